// QXLauncher.exe as a player uses it, out of process under Wine: both editions installed with the stand-in game
// as HALV12QX.exe, the window driven through its controls, then the registry and the stand-in's record checked.
#include "Layout.h"

#include "../TestHost_win.h"
#include "../store/TestRegistry.h"
#include "PlantedDlls.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kChineseConfigs[] = "Software\\ORIM\\Halvoren12QX Tc\\Configs";
const char kChineseInstall[] = "Software\\ORIM\\Halvoren12QX Tc\\Install";
const char kJapaneseConfigs[] = "Software\\ORIM\\Halvoren12QX\\Configs";
const char kJapaneseInstall[] = "Software\\ORIM\\Halvoren12QX\\Install";

// The exe under test: the one QX_LAUNCHER_EXE names by a Unix or Windows path (the 32-bit release, driven from here),
// else the kit's or this build's.
std::wstring LauncherExe() {
    char path[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA("QX_LAUNCHER_EXE", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? WinePath(path) : Companion(L"QXLauncher.exe", QX_LAUNCHER_EXE);
}

// A Windows path as Unix programs see it, under Wine (whose Unix file names are UTF-8 here).
std::wstring UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unixPath = toUnix ? toUnix(path.c_str()) : nullptr;
    std::wstring result = FromUtf8(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Every wait, stretched by QX_E2E_TIME_SCALE where the exe under test runs emulated and starts many times slower. The
// waits poll, so only the checks that the launcher stays open wait out their whole time.
DWORD Scaled(DWORD ms) {
    char factor[16] = {};
    DWORD length = GetEnvironmentVariableA("QX_E2E_TIME_SCALE", factor, sizeof factor);
    int scale = length > 0 && length < sizeof factor ? atoi(factor) : 1;
    return ms * static_cast<DWORD>(scale > 1 ? scale : 1);
}

// `text` in a code page, any character it cannot hold replaced as the system does.
std::string Encoded(const std::wstring& text, UINT codePage) {
    int length =
        WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::string Utf8(const std::wstring& text) {
    return Encoded(text, CP_UTF8);
}

// As the game's installer stores a folder: in the system's code page, which the launcher reads it back in.
std::string Ansi(const std::wstring& text) {
    return Encoded(text, CP_ACP);
}

using Record = std::map<std::string, std::string>;

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[512] = {};
    // WM_GETTEXT, not GetWindowTextW: the latter cannot read another process's controls.
    SendMessageW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

// The pixels of `icon` drawn `size` pixels square on `background`, or of the same square of the screen at `origin`.
std::vector<COLORREF> IconPixels(HICON icon, COLORREF background, int size, const POINT* origin = nullptr) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, bitmap);
    if (origin) {
        BitBlt(dc, 0, 0, size, size, screen, origin->x, origin->y, SRCCOPY);
    } else {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all{0, 0, size, size};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    }
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

struct FoundWindow {
    DWORD processId;
    const wchar_t* className; // null for any
    HWND hwnd;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* find = reinterpret_cast<FoundWindow*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != find->processId || !IsWindowVisible(hwnd))
        return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    if (find->className && lstrcmpW(className, find->className) != 0)
        return TRUE;
    find->hwnd = hwnd;
    return FALSE;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs = 15000) {
    for (DWORD waited = 0; waited < Scaled(timeoutMs); waited += 50) {
        FoundWindow find{processId, className, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&find));
        if (find.hwnd)
            return find.hwnd;
        Sleep(50);
    }
    return nullptr;
}

BOOL CALLBACK FindIconControl(HWND child, LPARAM param) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (lstrcmpiW(className, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HWND*>(param) = child;
        return FALSE;
    }
    return TRUE;
}

// A message box's icon as it is on the screen (another process's icon handle cannot be drawn here), and whether
// it is `expected` drawn on the same background.
bool BoxShowsIcon(HWND box, const wchar_t* expected) {
    HWND control = nullptr;
    EnumChildWindows(box, FindIconControl, reinterpret_cast<LPARAM>(&control));
    if (!control)
        return false;
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // At the size the box shows it, which follows the DPI (Wine 10 scales it at 144 DPI, Wine 8 does not).
    RECT client{};
    GetClientRect(control, &client);
    const int size = client.right > 0 ? client.right : GetSystemMetrics(SM_CXICON);
    POINT origin{0, 0};
    ClientToScreen(control, &origin);
    auto shown = IconPixels(nullptr, 0, size, &origin);
    const auto icon = static_cast<HICON>(LoadImageW(nullptr, expected, IMAGE_ICON, size, size, LR_SHARED));
    return shown == IconPixels(icon, shown.front(), size); // a corner is background
}

class LauncherEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = TempFolder(L"QX Tests"); // below the temporary folder, not in the system drive's root
        createdDirs_.push_back(base_);
        chineseDir_ = base_ + L"Halvoren 12QX Tc\\";
        japaneseDir_ = base_ + L"Halvoren 12QX\\";
        InstallStandIn(chineseDir_);
        InstallStandIn(japaneseDir_);
        if (HasFatalFailure())
            return;

        testreg::DeleteTree("Software\\ORIM");
        testreg::SetDword(kChineseConfigs, "WIDTH", 1024);
        testreg::SetDword(kChineseConfigs, "HEIGHT", 768);
        testreg::SetDword(kChineseConfigs, "FULLSCREEN", 0);
        testreg::SetText(kChineseInstall, "InstallInfo", Ansi(chineseDir_));
        testreg::SetDword(kJapaneseConfigs, "WIDTH", 800);
        testreg::SetDword(kJapaneseConfigs, "HEIGHT", 600);
        testreg::SetDword(kJapaneseConfigs, "FULLSCREEN", 1);
        testreg::SetText(kJapaneseInstall, "InstallInfo", Ansi(japaneseDir_));
        // The stand-in writes its record and ends instead of opening its window.
        SetEnvironmentVariableW(L"QX_STANDIN_QUIT", L"1");
    }

    void TearDown() override {
        EndLauncher();
        testreg::DeleteTree("Software\\ORIM");
        for (const auto& dir : gameDirs_) {
            DeleteFileW((dir + L"QXLauncher.exe").c_str());
            DeleteFileW((dir + L"HALV12QX.exe").c_str());
            DeleteFileW((dir + L"launch-record.txt").c_str());
        }
        for (auto dir = createdDirs_.rbegin(); dir != createdDirs_.rend(); ++dir)
            RemoveDirectoryW(dir->c_str());
    }

    // The stand-in game as HALV12QX.exe in `dir` (a full path ending in a separator), making the folders on the way
    // that are missing; TearDown removes what this made.
    void InstallStandIn(const std::wstring& dir) {
        for (std::size_t end = dir.find(L'\\', 3); end != std::wstring::npos; end = dir.find(L'\\', end + 1)) {
            const std::wstring folder = dir.substr(0, end + 1);
            if (CreateDirectoryW(folder.c_str(), nullptr))
                createdDirs_.push_back(folder);
        }
        gameDirs_.push_back(dir);
        ASSERT_TRUE(
            CopyFileW(Companion(L"HALV12QX.exe", QX_STANDIN_EXE).c_str(), (dir + L"HALV12QX.exe").c_str(), FALSE));
    }

    // Starts QXLauncher.exe (from C:\ unless told otherwise) as Explorer does, with the default error mode (so the
    // mode read in it later is its own, on Windows too) and the show command a shortcut may set, passed as Explorer
    // passes it (STARTF_USESHOWWINDOW), and waits until its window is ready for input.
    void StartLauncher(const std::wstring& exe = LauncherExe(), const std::wstring& directory = L"C:\\",
                       int shortcutShowCommand = -1) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (shortcutShowCommand >= 0) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = static_cast<WORD>(shortcutShowCommand);
        }
        std::wstring line = L"\"" + exe + L"\"";
        ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                                   nullptr, directory.c_str(), &startup, &launcher_));
        WaitForInputIdle(launcher_.hProcess, Scaled(15000));
        window_ = WaitForWindow(launcher_.dwProcessId, L"QXLauncherForm1");
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(WindowText(window_), L"Ostrel制作 ");
    }

    void EndLauncher() {
        if (!launcher_.hProcess)
            return;
        if (WaitForSingleObject(launcher_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(launcher_.hProcess, 1);
            WaitForSingleObject(launcher_.hProcess, 5000);
        }
        CloseHandle(launcher_.hProcess);
        CloseHandle(launcher_.hThread);
        launcher_ = {};
    }

    HWND C(ControlId id) const { return GetDlgItem(window_, id); }

    // Select everything in the field and type over it, character by character.
    void Type(ControlId field, const std::wstring& text) {
        SendMessageW(C(field), EM_SETSEL, 0, -1);
        SendMessageW(C(field), WM_CHAR, VK_BACK, 0);
        for (wchar_t c : text)
            SendMessageW(C(field), WM_CHAR, c, 1);
    }

    void Click(ControlId id) { SendMessageW(C(id), BM_CLICK, 0, 0); }

    // Posted, because the click may open a modal message box.
    void ClickStartGame() { PostMessageW(C(kCommand1), BM_CLICK, 0, 0); }

    void SetCkexit(bool checked) {
        if ((SendMessageW(C(kCkexit), BM_GETCHECK, 0, 0) == BST_CHECKED) != checked)
            Click(kCkexit);
    }

    bool LauncherEnds(DWORD timeoutMs = 10000) {
        return WaitForSingleObject(launcher_.hProcess, Scaled(timeoutMs)) == WAIT_OBJECT_0;
    }

    bool LauncherRuns() { return WaitForSingleObject(launcher_.hProcess, 0) == WAIT_TIMEOUT; }

    static Record WaitForRecord(const std::wstring& dir, DWORD timeoutMs = 20000) {
        std::wstring path = dir + L"launch-record.txt";
        for (DWORD waited = 0; waited < Scaled(timeoutMs); waited += 100) {
            std::ifstream file(path.c_str(), std::ios::binary);
            if (file) {
                Record record;
                std::string line;
                while (std::getline(file, line)) {
                    if (!line.empty() && line.back() == '\r')
                        line.pop_back();
                    auto eq = line.find('=');
                    if (eq != std::string::npos)
                        record[line.substr(0, eq)] = line.substr(eq + 1);
                }
                return record;
            }
            Sleep(100);
        }
        return {};
    }

    static bool RecordExists(const std::wstring& dir) {
        return GetFileAttributesW((dir + L"launch-record.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    static std::int32_t StoredDword(const char* key, const char* name) {
        auto raw = testreg::Read(key, name);
        if (!raw || raw->bytes.size() != 4 || raw->type != REG_DWORD)
            return INT32_MIN;
        std::int32_t value;
        memcpy(&value, raw->bytes.data(), 4);
        return value;
    }

    static std::string WithoutTrailingSlash(const std::wstring& dir) { return Utf8(dir.substr(0, dir.size() - 1)); }

    std::wstring base_, chineseDir_, japaneseDir_;
    std::vector<std::wstring> gameDirs_, createdDirs_;
    PROCESS_INFORMATION launcher_{};
    HWND window_ = nullptr;
};

TEST_F(LauncherEndToEnd, JapaneseFullScreenIsStoredAndTheGameStartsFromItsDirectory) {
    StartLauncher();
    Click(kZop2);
    EXPECT_EQ(WindowText(C(kText1)), L"800"); // the Japanese values read at start-up
    Type(kText1, L"1280");
    Type(kText2, L"960");
    Click(kOP2);
    ClickStartGame();

    Record record = WaitForRecord(japaneseDir_);
    ASSERT_FALSE(record.empty()) << "the game was not started";
    EXPECT_EQ(record["commandLine"], Utf8(japaneseDir_ + L"HALV12QX.exe"));
    EXPECT_EQ(record["currentDirectory"], WithoutTrailingSlash(japaneseDir_));
    EXPECT_EQ(record["showCommand"], "2");
    EXPECT_EQ(record["edition"], "1");
    EXPECT_EQ(record["WIDTH"], "1280");
    EXPECT_EQ(record["HEIGHT"], "960");
    EXPECT_EQ(record["FULLSCREEN"], "1");
    EXPECT_TRUE(LauncherEnds()) << "启动后退出 is checked";

    // The Chinese edition's settings are untouched.
    EXPECT_EQ(StoredDword(kChineseConfigs, "WIDTH"), 1024);
    EXPECT_EQ(StoredDword(kChineseConfigs, "HEIGHT"), 768);
    EXPECT_EQ(StoredDword(kChineseConfigs, "FULLSCREEN"), 0);
    EXPECT_FALSE(RecordExists(chineseDir_));
}

TEST_F(LauncherEndToEnd, ChineseWindowedStartsItsLowerCaseNameAndTheLauncherStaysOpen) {
    StartLauncher();
    EXPECT_EQ(WindowText(C(kText1)), L"1024");
    SetCkexit(false);
    Type(kText1, L"1 6 0 0");
    Type(kText2, L"900.5");
    Click(kOP1);
    ClickStartGame();

    Record record = WaitForRecord(chineseDir_);
    ASSERT_FALSE(record.empty()) << "the game was not started";
    EXPECT_EQ(record["commandLine"], Utf8(chineseDir_ + L"HALV12qx.exe"));
    EXPECT_EQ(record["currentDirectory"], WithoutTrailingSlash(chineseDir_));
    EXPECT_EQ(record["showCommand"], "2");
    EXPECT_EQ(record["edition"], "0");
    EXPECT_EQ(record["WIDTH"], "1600");
    EXPECT_EQ(record["HEIGHT"], "900"); // half to even
    EXPECT_EQ(record["FULLSCREEN"], "0");
    EXPECT_FALSE(LauncherEnds(1500));
    // Switching editions shows what was read at start-up, not what was just stored.
    Click(kZop2);
    Click(kZOP1);
    EXPECT_EQ(WindowText(C(kText1)), L"1024");
    EXPECT_EQ(WindowText(C(kText2)), L"768");
    EXPECT_EQ(StoredDword(kJapaneseConfigs, "WIDTH"), 800);
}

// The game on another drive than the one the launcher starts on, whose remembered directory (the "=Z:" entry a
// command prompt leaves in the environment) was deleted since: the launch still succeeds. The game keeps running
// after the launcher has ended: the launcher does not wait for it.
TEST_F(LauncherEndToEnd, GameOnAnotherDriveStartsDespiteAStaleDriveDirectoryAndIsNotWaitedFor) {
    if (!UnixRootIsDriveZ())
        GTEST_SKIP() << "needs a second drive open to writing, as Wine's Z: for the Unix root is";
    const std::wstring otherDrive = L"Z:\\tmp\\QX Tests " + std::to_wstring(GetCurrentProcessId()) + L"\\";
    const std::wstring gameDir = otherDrive + L"Halvoren12QX\\";
    InstallStandIn(gameDir);
    testreg::SetText(kJapaneseInstall, "InstallInfo", Ansi(gameDir));
    SetEnvironmentVariableW(L"=Z:", (otherDrive + L"deleted since").c_str());
    SetEnvironmentVariableW(L"QX_STANDIN_QUIT", nullptr); // the stand-in stays open in its window

    StartLauncher();
    SetEnvironmentVariableW(L"=Z:", nullptr);
    Click(kZop2);
    ClickStartGame();

    Record record = WaitForRecord(gameDir);
    EXPECT_EQ(record["currentDirectory"], WithoutTrailingSlash(gameDir));
    EXPECT_EQ(record["commandLine"], Utf8(gameDir + L"HALV12QX.exe"));
    EXPECT_EQ(WaitForWindow(launcher_.dwProcessId, L"#32770", 500), nullptr) << "a message instead of the game";
    EXPECT_TRUE(LauncherEnds()) << "启动后退出 is checked and the game is running";

    HWND game = FindWindowW(L"QxStandInGame", nullptr);
    EXPECT_NE(game, nullptr) << "the game should still be running";
    DWORD gameProcessId = 0;
    GetWindowThreadProcessId(game, &gameProcessId);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, gameProcessId)) {
        PostMessageW(game, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process, 1);
        CloseHandle(process);
    }
}

TEST_F(LauncherEndToEnd, MissingExecutableIsReportedAndTheLauncherSurvives) {
    ASSERT_TRUE(DeleteFileW((japaneseDir_ + L"HALV12QX.exe").c_str()));
    StartLauncher();
    Click(kZop2);
    Type(kText2, L"-1");
    ClickStartGame();

    HWND box = WaitForWindow(launcher_.dwProcessId, L"#32770");
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(WindowText(box), L"");
    EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), L"找不到可运行的文件！" + japaneseDir_ + L"HALV12QX.exe");
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    // Wine 10 draws the box's icon resampled at other DPIs than 96, matching no icon it loads pixel for pixel: under
    // Wine the icon is told at 96 DPI (CTest's run) only. This program is not DPI-aware, so the prefix's setting says.
    DWORD logPixels = 96, size = sizeof logPixels;
    HKEY desktop;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_READ, &desktop) == ERROR_SUCCESS) {
        RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&logPixels), &size);
        RegCloseKey(desktop);
    }
    const bool iconComparable = !UnderWine() || logPixels == 96;
    if (iconComparable) {
        EXPECT_TRUE(BoxShowsIcon(box, IDI_HAND)) << "not the stop icon";
        EXPECT_FALSE(BoxShowsIcon(box, IDI_EXCLAMATION));
    }
    SendMessageW(box, WM_COMMAND, IDOK, 0);

    EXPECT_FALSE(LauncherEnds(1500)) << "the launcher must stay open even with 启动后退出 checked";
    EXPECT_TRUE(IsWindowVisible(window_));
    // The settings were stored before the probe.
    EXPECT_EQ(StoredDword(kJapaneseConfigs, "WIDTH"), 800);
    EXPECT_EQ(StoredDword(kJapaneseConfigs, "HEIGHT"), -1);
    EXPECT_EQ(testreg::Read(kJapaneseConfigs, "HEIGHT")->bytes, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

// After a launch that left the launcher open in the Chinese edition's folder, the Japanese edition, with no
// installation recorded, is looked for where the launcher started: the Chinese game is not started again.
TEST_F(LauncherEndToEnd, AnEditionWithoutInstallationDoesNotStartTheGameLaunchedBefore) {
    StartLauncher();
    SetCkexit(false);
    ClickStartGame();
    ASSERT_FALSE(WaitForRecord(chineseDir_).empty()) << "the Chinese game was not started";
    ASSERT_TRUE(DeleteFileW((chineseDir_ + L"launch-record.txt").c_str()));
    testreg::DeleteTree(kJapaneseInstall);
    Click(kZop2);
    ClickStartGame();

    HWND box = WaitForWindow(launcher_.dwProcessId, L"#32770");
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), L"找不到可运行的文件！HALV12QX.exe");
    SendMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(RecordExists(chineseDir_)) << "the Chinese game was started for the Japanese edition";
}

// Calls a kernel32 function with a text as its one argument (which GetErrorMode ignores) in another process, on a
// thread started there, and returns its result once the thread has ended (a thread still running gives STILL_ACTIVE);
// nothing if a step failed. kernel32 lies at the same address in every process of one bitness. The launcher's error
// mode and DLL search are read this way, from inside it: Wine answers a query of another process's error mode with
// the caller's own, and passes neither on to a child.
std::optional<DWORD> CallInProcess(HANDLE process, const char* function, const std::wstring& text = L"") {
    const SIZE_T size = (text.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    auto entry = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), function)));
    std::optional<DWORD> result;
    HANDLE thread = remote && entry && WriteProcessMemory(process, remote, text.c_str(), size, nullptr)
                        ? CreateRemoteThread(process, nullptr, 0, entry, remote, 0, nullptr)
                        : nullptr;
    if (thread) {
        DWORD code = 0;
        if (WaitForSingleObject(thread, Scaled(10000)) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &code))
            result = code;
        CloseHandle(thread);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE); // fails harmlessly on none
    return result;
}

// The launcher unpacked beside a DLL and started from that folder, as from Downloads. Its first step made critical
// errors fail quietly (it started with the default mode, as from Explorer) and took that folder out of its DLL search:
// a bare name loaded in it afterwards, as system code loads on its behalf, does not find the DLL. The same DLL by its
// full path does: the remote load works.
TEST_F(LauncherEndToEnd, TheLauncherFailsCriticalErrorsQuietlyAndLoadsNoDllBesideIt) {
    if (!GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))
        GTEST_SKIP() << "without SetDefaultDllDirectories (XP, Vista and 7 without KB2533623) the exe's own folder "
                        "stays in the DLL search, and XP has no GetErrorMode";
    PlantedDlls planted({L"qxprobe.dll", L"QXLauncher.exe"});
    ASSERT_TRUE(CopyFileW(LauncherExe().c_str(), (planted.dir + L"QXLauncher.exe").c_str(), FALSE));
    StartLauncher(planted.dir + L"QXLauncher.exe", planted.dir);
    const std::optional<DWORD> mode = CallInProcess(launcher_.hProcess, "GetErrorMode");
    ASSERT_TRUE(mode) << "no call in the launcher completed";
    EXPECT_TRUE(*mode & SEM_FAILCRITICALERRORS);
    ASSERT_TRUE(CallInProcess(launcher_.hProcess, "LoadLibraryW", planted.dir + L"qxprobe.dll"));
    ASSERT_EQ(planted.Loaded(), std::vector<std::wstring>{L"qxprobe.dll"}) << "the control: a full path loads";
    ASSERT_TRUE(CallInProcess(launcher_.hProcess, "LoadLibraryW", L"qxprobe.dll"));
    EXPECT_EQ(planted.Loaded(), std::vector<std::wstring>{});
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(LauncherEnds());
}

// A shortcut set to "Run: Maximized" opens the fixed frame normal and in front; "Minimized" opens it minimized, and
// as Explorer passes it (SW_SHOWMINNOACTIVE) leaves the window the player was in at the front, where
// SW_SHOWMINIMIZED makes the launcher the foreground window. Windows lets a program take the foreground only while
// it may itself, as this one may after it brought its own window in front.
TEST_F(LauncherEndToEnd, AShortcutsShowCommandOpensTheWindowNormalOrMinimized) {
    HWND player =
        CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    for (int shortcut : {SW_SHOWMAXIMIZED, SW_SHOWMINNOACTIVE, SW_SHOWMINIMIZED}) {
        SCOPED_TRACE(shortcut);
        SetForegroundWindow(player);
        const bool inFront = GetForegroundWindow() == player, activates = shortcut != SW_SHOWMINNOACTIVE;
        StartLauncher(LauncherExe(), L"C:\\", shortcut);
        EXPECT_FALSE(IsZoomed(window_));
        EXPECT_EQ(IsIconic(window_) != FALSE, shortcut != SW_SHOWMAXIMIZED);
        if (inFront || !activates) {
            EXPECT_EQ(GetForegroundWindow() == window_, activates) << "foreground: " << GetForegroundWindow();
        } else {
            std::printf("foreground left unchecked for show command %d: the system kept this program from the "
                        "foreground (input elsewhere meanwhile), so it keeps the launcher it starts from it too\n",
                        shortcut);
        }
        EndLauncher();
    }
    DestroyWindow(player);
}

// With no installation recorded, a launcher copied into the game's folder and started there (a double-click) starts
// the game beside it.
TEST_F(LauncherEndToEnd, WithNoInstallationRecordedTheGameBesideTheLauncherStarts) {
    testreg::DeleteTree(kJapaneseInstall);
    ASSERT_TRUE(CopyFileW(LauncherExe().c_str(), (japaneseDir_ + L"QXLauncher.exe").c_str(), FALSE));
    StartLauncher(japaneseDir_ + L"QXLauncher.exe", japaneseDir_);
    Click(kZop2);
    ClickStartGame();

    Record record = WaitForRecord(japaneseDir_);
    ASSERT_FALSE(record.empty()) << "the game beside the launcher was not started";
    EXPECT_EQ(record["commandLine"], "HALV12QX.exe");
    EXPECT_EQ(record["currentDirectory"], WithoutTrailingSlash(japaneseDir_));
    EXPECT_TRUE(LauncherEnds());
}

TEST_F(LauncherEndToEnd, MissingConfigurationKeyStaysAbsentAndTheGameStillStarts) {
    testreg::DeleteTree(kChineseConfigs);
    StartLauncher();
    EXPECT_EQ(WindowText(C(kText1)), L"0");
    Type(kText1, L"1280");
    ClickStartGame();

    Record record = WaitForRecord(chineseDir_);
    ASSERT_FALSE(record.empty()) << "the game was not started";
    EXPECT_EQ(record["WIDTH"], "missing");
    EXPECT_FALSE(testreg::KeyExists(kChineseConfigs));
    EXPECT_TRUE(LauncherEnds());
}

TEST_F(LauncherEndToEnd, OutOfRangeSizeIsRefusedWithAMessageAndNothingIsWritten) {
    StartLauncher();
    Type(kText1, L"40000");
    ClickStartGame();

    HWND box = WaitForWindow(launcher_.dwProcessId, L"#32770");
    ASSERT_NE(box, nullptr) << "no message box";
    std::wstring message = WindowText(GetDlgItem(box, 0xFFFF));
    EXPECT_NE(message.find(L"宽度"), std::wstring::npos) << Utf8(message);
    EXPECT_NE(message.find(L"40000"), std::wstring::npos) << Utf8(message);
    SendMessageW(box, WM_COMMAND, IDOK, 0);

    EXPECT_FALSE(LauncherEnds(1000));
    EXPECT_EQ(WindowText(C(kText1)), L"40000"); // the user's text stays for correcting
    EXPECT_EQ(StoredDword(kChineseConfigs, "WIDTH"), 1024);
    EXPECT_EQ(StoredDword(kChineseConfigs, "FULLSCREEN"), 0);
    EXPECT_FALSE(RecordExists(chineseDir_));
}

TEST_F(LauncherEndToEnd, ClosingTheWindowEndsTheLauncherAndSavesNothing) {
    StartLauncher();
    Type(kText1, L"640");
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(LauncherEnds());
    EXPECT_EQ(StoredDword(kChineseConfigs, "WIDTH"), 1024);
}

// Editions installed in folders named in Chinese or Japanese. The installer stored "InstallInfo" as ANSI text in its
// own code page; the launcher reads it in the code page of the locale it runs in, and finds the game only when that
// code page holds the folder's name.
struct LocaleCase {
    const char* name;
    const char* locale;     // the launcher's LANG and LC_ALL
    UINT launcherCodePage;  // the ANSI code page Wine gives that locale
    int edition;            // 0 Chinese, 1 Japanese
    const wchar_t* folder;  // below the test directory, created with its Unicode name
    UINT installerCodePage; // the code page "InstallInfo" was stored in
    bool found;
};

const LocaleCase kLocaleCases[] = {
    {"ChineseFolderInChineseLocale", "zh_CN.UTF-8", 936, 0, L"游戏\\十二QX", 936, true},
    {"JapaneseFolderInJapaneseLocale", "ja_JP.UTF-8", 932, 1, L"ゲーム\\ハルヴォレン", 932, true},
    {"ChineseFolderInEnglishLocale", "en_US.UTF-8", 1252, 0, L"游戏\\十二QX", 936, false},
    {"ChineseFolderInJapaneseLocale", "ja_JP.UTF-8", 932, 0, L"游戏\\十二QX", 936, false},
};

void PrintTo(const LocaleCase& c, std::ostream* os) {
    *os << c.name;
}

// The bytes of `text` in a code page; empty if the code page cannot hold it.
std::string CodePageBytes(const std::wstring& text, UINT codePage) {
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, &lossy);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                        length, nullptr, &lossy);
    return lossy ? std::string() : bytes;
}

// Registry text as a program in another code page reads it with the ANSI functions.
std::wstring AsReadIn(const std::wstring& text, UINT codePage) {
    const std::string bytes = Encoded(text, codePage);
    const int length = static_cast<int>(bytes.size());
    std::wstring read(bytes.size(), L'\0');
    read.resize(static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, bytes.data(), length, read.data(), length)));
    return read;
}

BOOL CALLBACK CollectLauncherWindow(HWND hwnd, LPARAM param) {
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    if (IsWindowVisible(hwnd) && lstrcmpW(className, L"QXLauncherForm1") == 0)
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> LauncherWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectLauncherWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

class LauncherInLocale : public LauncherEndToEnd, public ::testing::WithParamInterface<LocaleCase> {
protected:
    void SetUp() override {
        if (!UnixRootIsDriveZ())
            GTEST_SKIP() << "picks a Unix locale for the launcher through env(1), as only Wine can, from its Z: drive";
        LauncherEndToEnd::SetUp();
        if (HasFatalFailure())
            return;
        const LocaleCase& c = GetParam();
        localeDir_ = base_ + c.folder + L"\\";
        InstallStandIn(localeDir_);
        if (HasFatalFailure())
            return;
        std::string installInfo = CodePageBytes(localeDir_, c.installerCodePage);
        ASSERT_FALSE(installInfo.empty()) << "the installer's code page cannot hold the folder's name";
        testreg::SetAnsiText(c.edition == 0 ? kChineseInstall : kJapaneseInstall, "InstallInfo", installInfo,
                             c.installerCodePage);
    }

    // Under Wine a process takes its ANSI code page from the Unix locale it starts in, and a new Windows process
    // does not get its Unix environment from its parent's Windows one; a Unix program does. So the launcher is
    // started through env(1), from C:\, and found by its window, since a Unix program yields no process handle.
    void StartLauncherInLocale(const char* locale) {
        const std::vector<HWND> before = LauncherWindows();
        // Wine's loader for the exe's own bitness, as cmake/wine-run.sh picks it.
        DWORD binaryType = SCS_32BIT_BINARY;
        ASSERT_TRUE(GetBinaryTypeW(LauncherExe().c_str(), &binaryType));
        const wchar_t* loader = binaryType == SCS_64BIT_BINARY ? L"/usr/lib/wine/wine64" : L"/usr/lib/wine/wine";
        const std::string setting = locale;
        const std::wstring wideLocale(setting.begin(), setting.end());
        const std::wstring exe = UnixPath(LauncherExe());
        std::wstring line =
            L"/usr/bin/env LANG=" + wideLocale + L" LC_ALL=" + wideLocale + L" \"" + loader + L"\" \"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION unixProcess{};
        wchar_t root[] = L"C:\\";
        ASSERT_TRUE(CreateProcessW(WinePath("/usr/bin/env").c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   root, &startup, &unixProcess));
        for (HANDLE handle : {unixProcess.hProcess, unixProcess.hThread})
            if (handle)
                CloseHandle(handle);
        for (DWORD waited = 0; !window_ && waited < Scaled(15000); waited += 50) {
            for (HWND hwnd : LauncherWindows())
                if (std::find(before.begin(), before.end(), hwnd) == before.end())
                    window_ = hwnd;
            if (!window_)
                Sleep(50);
        }
        ASSERT_NE(window_, nullptr) << "no launcher window in " << locale;
        GetWindowThreadProcessId(window_, &launcher_.dwProcessId);
        launcher_.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         launcher_.dwProcessId);
        ASSERT_NE(launcher_.hProcess, nullptr);
        ASSERT_EQ(WindowText(window_), L"Ostrel制作 ");
    }

    std::wstring localeDir_;
};

TEST_P(LauncherInLocale, TheGameIsFoundExactlyWhenTheLocaleHoldsItsFolderName) {
    const LocaleCase& c = GetParam();
    const char* configs = c.edition == 0 ? kChineseConfigs : kJapaneseConfigs;
    const std::wstring asRead = AsReadIn(localeDir_, c.launcherCodePage);
    ASSERT_EQ(asRead == localeDir_, c.found) << "the launcher's code page does not match the expected outcome";
    StartLauncherInLocale(c.locale);
    if (c.edition == 1)
        Click(kZop2);
    Type(kText1, L"1280");
    Type(kText2, L"720");
    Click(kOP2);
    ClickStartGame();

    if (c.found) {
        Record record = WaitForRecord(localeDir_);
        ASSERT_FALSE(record.empty()) << "the game was not started in " << c.locale << " (is that locale installed?)";
        EXPECT_EQ(record["commandLine"], Utf8(localeDir_ + (c.edition == 0 ? L"HALV12qx.exe" : L"HALV12QX.exe")));
        EXPECT_EQ(record["currentDirectory"], WithoutTrailingSlash(localeDir_));
        EXPECT_EQ(record["edition"], std::to_string(c.edition));
        EXPECT_EQ(record["WIDTH"], "1280");
        EXPECT_EQ(record["HEIGHT"], "720");
        EXPECT_EQ(record["FULLSCREEN"], "1");
        EXPECT_TRUE(LauncherEnds()) << "启动后退出 is checked";
    } else {
        HWND box = WaitForWindow(launcher_.dwProcessId, L"#32770");
        ASSERT_NE(box, nullptr) << "no message box";
        EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), L"找不到可运行的文件！" + asRead + L"HALV12QX.exe");
        SendMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_FALSE(LauncherEnds(1500)) << "the launcher must stay open";
        EXPECT_TRUE(IsWindowVisible(window_));
        EXPECT_FALSE(RecordExists(localeDir_));
    }
    // Stored before the game was looked for, found or not.
    EXPECT_EQ(StoredDword(configs, "WIDTH"), 1280);
    EXPECT_EQ(StoredDword(configs, "HEIGHT"), 720);
    EXPECT_EQ(StoredDword(configs, "FULLSCREEN"), 1);
}

INSTANTIATE_TEST_SUITE_P(InstallFolders, LauncherInLocale, ::testing::ValuesIn(kLocaleCases),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) { return info.param.name; });

TEST(ReleaseExecutable, CarriesVersionOneHundredthAndTheIcon) {
    std::wstring exe = LauncherExe();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
        wchar_t* value = nullptr;
        UINT length = 0;
        std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
        ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value), L"1.00");
    }
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr); // manifest
    FreeLibrary(module);
}

} // namespace
