// QXLauncher.exe as a player uses it, out of process under Wine: both editions installed with the stand-in game
// as HALV12QX.exe, the window driven through its controls, then the registry and the stand-in's record checked.
#include "Layout.h"

#include "../store/TestRegistry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kChineseConfigs[] = "Software\\ORIM\\Halvoren12QX Tc\\Configs";
const char kChineseInstall[] = "Software\\ORIM\\Halvoren12QX Tc\\Install";
const char kJapaneseConfigs[] = "Software\\ORIM\\Halvoren12QX\\Configs";
const char kJapaneseInstall[] = "Software\\ORIM\\Halvoren12QX\\Install";

// Build outputs are Unix paths; Wine shows the Unix root as drive Z:.
std::wstring WinePath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return path;
}

// The exe under test: this build's, or the one QX_LAUNCHER_EXE names (the 32-bit release, driven from here).
std::wstring LauncherExe() {
    char path[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA("QX_LAUNCHER_EXE", path, MAX_PATH);
    return WinePath(length > 0 && length < MAX_PATH ? path : QX_LAUNCHER_EXE);
}

// Every wait, stretched by QX_E2E_TIME_SCALE where the exe under test runs emulated and starts many times slower.
DWORD Scaled(DWORD ms) {
    char factor[16] = {};
    DWORD length = GetEnvironmentVariableA("QX_E2E_TIME_SCALE", factor, sizeof factor);
    int scale = length > 0 && length < sizeof factor ? atoi(factor) : 1;
    return ms * static_cast<DWORD>(scale > 1 ? scale : 1);
}

std::string Utf8(const std::wstring& text) {
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::string Ansi(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text)
        result += static_cast<char>(c); // the test directories are plain ASCII
    return result;
}

using Record = std::map<std::string, std::string>;

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[512] = {};
    // WM_GETTEXT, not GetWindowTextW: the latter cannot read another process's controls.
    SendMessageW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
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

class LauncherEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetEnvironmentVariableW(L"SystemDrive", temp, MAX_PATH);
        base_ = std::wstring(temp) + L"\\QX Tests " + std::to_wstring(GetCurrentProcessId()) + L"\\";
        chineseDir_ = base_ + L"Halvoren 12QX Tc\\";
        japaneseDir_ = base_ + L"Halvoren 12QX\\";
        for (const auto& dir : {base_, chineseDir_, japaneseDir_})
            CreateDirectoryW(dir.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(WinePath(QX_STANDIN_EXE).c_str(), (chineseDir_ + L"HALV12QX.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(WinePath(QX_STANDIN_EXE).c_str(), (japaneseDir_ + L"HALV12QX.exe").c_str(), FALSE));

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
        if (launcher_.hProcess) {
            if (WaitForSingleObject(launcher_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(launcher_.hProcess, 1);
                WaitForSingleObject(launcher_.hProcess, 5000);
            }
            CloseHandle(launcher_.hProcess);
            CloseHandle(launcher_.hThread);
        }
        testreg::DeleteTree("Software\\ORIM");
        for (const auto& dir : {chineseDir_, japaneseDir_}) {
            DeleteFileW((dir + L"HALV12QX.exe").c_str());
            DeleteFileW((dir + L"launch-record.txt").c_str());
            RemoveDirectoryW(dir.c_str());
        }
        RemoveDirectoryW(base_.c_str());
    }

    // Starts QXLauncher.exe from C:\ and waits until its window is ready for input.
    void StartLauncher() {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring exe = LauncherExe();
        std::wstring line = L"\"" + exe + L"\"";
        wchar_t root[] = L"C:\\";
        ASSERT_TRUE(
            CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, root, &startup, &launcher_));
        WaitForInputIdle(launcher_.hProcess, Scaled(15000));
        window_ = WaitForWindow(launcher_.dwProcessId, L"QXLauncherForm1");
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(WindowText(window_), L"Ostrel制作 ");
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
    SendMessageW(box, WM_COMMAND, IDOK, 0);

    EXPECT_FALSE(LauncherEnds(1500)) << "the launcher must stay open even with 启动后退出 checked";
    EXPECT_TRUE(IsWindowVisible(window_));
    // The settings were stored before the probe.
    EXPECT_EQ(StoredDword(kJapaneseConfigs, "WIDTH"), 800);
    EXPECT_EQ(StoredDword(kJapaneseConfigs, "HEIGHT"), -1);
    EXPECT_EQ(testreg::Read(kJapaneseConfigs, "HEIGHT")->bytes, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
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
