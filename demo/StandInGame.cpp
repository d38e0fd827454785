// Stand-in for the game's executable (HALV12QX.exe), for the end-to-end tests and the demo install. It does what a
// game started by the launcher does first: finds out which installed edition it is, reads that edition's display
// settings, and then records what it was given in launch-record.txt beside itself. With QX_STANDIN_QUIT set it ends
// there; otherwise it shows the same facts in a small window until closed.
#include "Dpi.h"
#include "GdiObject.h"
#include "UiFont.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t kWindowClass[] = L"QxStandInGame";
constexpr wchar_t kWindowTitle[] = L"Halvoren 12 QX (stand-in)";
constexpr wchar_t kRecordName[] = L"launch-record.txt";
constexpr wchar_t kRecordTempName[] = L"launch-record.txt.tmp";
constexpr wchar_t kQuitVariable[] = L"QX_STANDIN_QUIT";
constexpr wchar_t kInstallValue[] = L"InstallInfo";
constexpr int kUnknownEdition = -1;
constexpr int kMarginDips = 14;
constexpr int kMaxTextWidthDips = 680;

struct EditionKeys {
    const wchar_t* name;
    const wchar_t* configKey;
    const wchar_t* installKey;
};

// The same two registry areas the launcher uses, by edition index.
constexpr EditionKeys kEditions[] = {
    {L"Chinese", L"Software\\ORIM\\Halvoren12QX Tc\\Configs", L"Software\\ORIM\\Halvoren12QX Tc\\Install"},
    {L"Japanese", L"Software\\ORIM\\Halvoren12QX\\Configs", L"Software\\ORIM\\Halvoren12QX\\Install"},
};
constexpr int kEditionCount = static_cast<int>(sizeof(kEditions) / sizeof(kEditions[0]));

constexpr const wchar_t* kSettingNames[] = {L"WIDTH", L"HEIGHT", L"FULLSCREEN"};
constexpr int kSettingCount = static_cast<int>(sizeof(kSettingNames) / sizeof(kSettingNames[0]));

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key)
            RegCloseKey(key);
    }
    LONG Open(HKEY root, const wchar_t* path) {
        HKEY opened = nullptr;
        LONG status = RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &opened);
        if (status == ERROR_SUCCESS)
            key = opened;
        return status;
    }
    HKEY Get() const { return key; }

private:
    HKEY key = nullptr;
};

// One of WIDTH, HEIGHT, FULLSCREEN as the game finds it.
struct DwordSetting {
    enum class State { Value, Missing, OtherType, Failed };
    State state = State::Missing;
    std::int32_t value = 0;
    DWORD type = 0;
    DWORD size = 0;
    LONG error = 0;
};

struct LaunchFacts {
    std::wstring commandLine;
    std::wstring currentDirectory;
    int showCommand = 0;
    int startupShowWindow = -1;
    std::wstring exePath;
    std::wstring exeDirectory;
    int edition = kUnknownEdition;
    DwordSetting settings[kSettingCount];
    std::wstring recordPath;
    DWORD recordError = ERROR_SUCCESS;
};

std::wstring ModulePath() {
    // The path may exceed MAX_PATH; a full buffer means it was cut short.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring CurrentDirectory() {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    while (needed != 0) {
        std::wstring directory(needed, L'\0');
        DWORD length = GetCurrentDirectoryW(needed, directory.data());
        if (length < needed) {
            directory.resize(length);
            return directory;
        }
        needed = length;
    }
    return {};
}

// The directory part with its trailing backslash, the form "InstallInfo" holds.
std::wstring DirectoryOf(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Alike but for case, as the file system compares names: upper-cased, then code by code (CompareStringOrdinal does
// the same from Vista on; the stand-in goes to XP with the test kit).
bool SameDirectory(std::wstring a, std::wstring b) {
    CharUpperBuffW(&a[0], static_cast<DWORD>(a.size()));
    CharUpperBuffW(&b[0], static_cast<DWORD>(b.size()));
    return a == b;
}

// "InstallInfo" as text; false when the key or value is missing or is not text.
bool ReadInstallDirectory(const EditionKeys& edition, std::wstring& directory) {
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, edition.installKey) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key.Get(), kInstallValue, nullptr, &type, nullptr, &size);
    while (status == ERROR_SUCCESS) {
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return false;
        // One spare character: a value stored without its terminating NUL still reads as a string.
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bufferSize = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
        status = RegQueryValueExW(key.Get(), kInstallValue, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                  &bufferSize);
        if (status == ERROR_SUCCESS) {
            directory.assign(text.data());
            return type == REG_SZ || type == REG_EXPAND_SZ;
        }
        if (status != ERROR_MORE_DATA)
            return false;
        // The value grew between the two reads: ask again.
        status = RegQueryValueExW(key.Get(), kInstallValue, nullptr, &type, nullptr, &size);
    }
    return false;
}

// The edition whose installation directory is ours; the Chinese edition wins if both name it.
int DetectEdition(const std::wstring& exeDirectory) {
    if (exeDirectory.empty())
        return kUnknownEdition;
    for (int index = 0; index < kEditionCount; ++index) {
        std::wstring installDirectory;
        if (ReadInstallDirectory(kEditions[index], installDirectory) && SameDirectory(installDirectory, exeDirectory))
            return index;
    }
    return kUnknownEdition;
}

DwordSetting ReadSetting(HKEY key, const wchar_t* name) {
    DwordSetting setting;
    DWORD type = 0;
    DWORD size = 0;
    // Type and size first: a value of another type or size is reported, not half read.
    LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD data = 0;
        size = sizeof(data);
        status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
        if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(DWORD)) {
            setting.state = DwordSetting::State::Value;
            setting.value = static_cast<std::int32_t>(data);
            return setting;
        }
        if (status == ERROR_MORE_DATA)
            status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        setting.state = DwordSetting::State::Missing;
    } else if (status == ERROR_SUCCESS) {
        setting.state = DwordSetting::State::OtherType;
        setting.type = type;
        setting.size = size;
    } else {
        setting.state = DwordSetting::State::Failed;
        setting.error = status;
    }
    return setting;
}

// Without a known edition there is no configuration key to read: every setting stays missing.
void ReadSettings(int edition, DwordSetting (&settings)[kSettingCount]) {
    if (edition == kUnknownEdition)
        return;
    RegKey key;
    LONG status = key.Open(HKEY_CURRENT_USER, kEditions[edition].configKey);
    for (int index = 0; index < kSettingCount; ++index) {
        if (status == ERROR_SUCCESS) {
            settings[index] = ReadSetting(key.Get(), kSettingNames[index]);
        } else if (status != ERROR_FILE_NOT_FOUND) {
            settings[index].state = DwordSetting::State::Failed;
            settings[index].error = status;
        }
    }
}

std::wstring FormatSetting(const DwordSetting& setting) {
    switch (setting.state) {
    case DwordSetting::State::Value:
        return std::to_wstring(setting.value);
    case DwordSetting::State::Missing:
        return L"missing";
    case DwordSetting::State::OtherType:
        return L"type " + std::to_wstring(setting.type) + L", " + std::to_wstring(setting.size) + L" bytes";
    case DwordSetting::State::Failed:
        break;
    }
    return L"error " + std::to_wstring(setting.error);
}

std::wstring FormatEdition(int edition) {
    return edition == kUnknownEdition ? std::wstring(L"unknown") : std::to_wstring(edition);
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::string RecordText(const LaunchFacts& facts) {
    std::wstring text;
    auto addLine = [&text](const wchar_t* key, const std::wstring& value) {
        text += key;
        text += L'=';
        text += value;
        text += L"\r\n";
    };
    addLine(L"commandLine", facts.commandLine);
    addLine(L"currentDirectory", facts.currentDirectory);
    addLine(L"showCommand", std::to_wstring(facts.showCommand));
    addLine(L"startupShowWindow", std::to_wstring(facts.startupShowWindow));
    addLine(L"exePath", facts.exePath);
    addLine(L"edition", FormatEdition(facts.edition));
    for (int index = 0; index < kSettingCount; ++index)
        addLine(kSettingNames[index], FormatSetting(facts.settings[index]));
    return ToUtf8(text);
}

DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

// A reader that has the old record open without delete sharing (most C and C++ runtimes open files that way) blocks
// the rename for as long as it reads: try again for about a second before giving up.
DWORD ReplaceRecord(const std::wstring& tempPath, const std::wstring& recordPath) {
    constexpr int kAttempts = 50;
    constexpr DWORD kPauseMs = 20;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(tempPath.c_str(), recordPath.c_str(), MOVEFILE_REPLACE_EXISTING))
            return ERROR_SUCCESS;
        DWORD error = LastErrorOr(ERROR_WRITE_FAULT);
        if (attempt == kAttempts || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
            return error;
        Sleep(kPauseMs);
    }
}

// Written beside the exe under a temporary name and renamed over the old record, so a test polling for the file
// sees either nothing or all of it. Returns the system error code, 0 on success.
DWORD WriteRecord(const std::wstring& directory, const std::string& bytes) {
    std::wstring tempPath = directory + kRecordTempName;
    std::wstring recordPath = directory + kRecordName;
    HANDLE file =
        CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    BOOL wrote =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    // A short write can leave no error code behind; it still counts as a failure.
    DWORD error = wrote ? ERROR_SUCCESS : LastErrorOr(ERROR_WRITE_FAULT);
    if (!CloseHandle(file) && error == ERROR_SUCCESS)
        error = LastErrorOr(ERROR_WRITE_FAULT);
    if (error == ERROR_SUCCESS)
        error = ReplaceRecord(tempPath, recordPath);
    if (error != ERROR_SUCCESS) {
        DeleteFileW(tempPath.c_str());
        OutputDebugStringW((L"launch-record.txt not written: error " + std::to_wstring(error) + L"\n").c_str());
    }
    return error;
}

bool QuitRequested() {
    wchar_t value[2];
    // Non-zero only for a variable that is set and not empty.
    return GetEnvironmentVariableW(kQuitVariable, value, 2) > 0;
}

LaunchFacts GatherFacts(int showCommand) {
    LaunchFacts facts;
    facts.commandLine = GetCommandLineW();
    facts.currentDirectory = CurrentDirectory();
    facts.showCommand = showCommand;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    facts.startupShowWindow = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    facts.exePath = ModulePath();
    facts.exeDirectory = DirectoryOf(facts.exePath);
    facts.edition = DetectEdition(facts.exeDirectory);
    ReadSettings(facts.edition, facts.settings);
    facts.recordPath = facts.exeDirectory + kRecordName;
    return facts;
}

// ---- The demo window ----

const wchar_t* ShowCommandName(int command) {
    static const wchar_t* const kNames[] = {L"hidden",
                                            L"normal",
                                            L"minimized",
                                            L"maximized",
                                            L"normal, not activated",
                                            L"shown",
                                            L"minimize",
                                            L"minimized, not activated",
                                            L"shown, not activated",
                                            L"restore",
                                            L"default",
                                            L"force minimize"};
    if (command < 0 || command >= static_cast<int>(sizeof(kNames) / sizeof(kNames[0])))
        return L"unknown";
    return kNames[command];
}

std::wstring SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = L"error " + std::to_wstring(error);
    if (length > 0 && buffer) {
        std::wstring message(buffer, length);
        while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
            message.pop_back();
        text += L": " + message;
    }
    if (buffer)
        LocalFree(buffer);
    return text;
}

std::wstring DisplayText(const LaunchFacts& facts) {
    std::wstring text;
    auto addLine = [&text](const std::wstring& line) {
        if (!text.empty())
            text += L"\r\n";
        text += line;
    };
    addLine(L"This is a stand-in for the game Halvoren 12 QX. It shows how it was started and the settings it read.");
    addLine(L"");

    if (facts.edition == kUnknownEdition)
        addLine(L"Edition: unknown (this directory is not the InstallInfo of either edition)");
    else
        addLine(L"Edition: " + std::wstring(kEditions[facts.edition].name) + L" (" + std::to_wstring(facts.edition) +
                L")");
    addLine(L"Command line: " + facts.commandLine);
    addLine(L"Current directory: " + facts.currentDirectory);
    addLine(L"Show command: " + std::to_wstring(facts.showCommand) + L" (" + ShowCommandName(facts.showCommand) + L")");
    if (facts.startupShowWindow < 0)
        addLine(L"Startup show window: not set");
    else
        addLine(L"Startup show window: " + std::to_wstring(facts.startupShowWindow) + L" (" +
                ShowCommandName(facts.startupShowWindow) + L")");
    addLine(L"Program: " + facts.exePath);
    if (facts.edition == kUnknownEdition)
        addLine(L"Configuration key: none");
    else
        addLine(L"Configuration key: HKEY_CURRENT_USER\\" + std::wstring(kEditions[facts.edition].configKey));

    std::wstring settings;
    for (int index = 0; index < kSettingCount; ++index) {
        if (index > 0)
            settings += L"  ";
        settings += kSettingNames[index];
        settings += L' ';
        settings += FormatSetting(facts.settings[index]);
    }
    const DwordSetting& fullScreen = facts.settings[2];
    if (fullScreen.state == DwordSetting::State::Value) {
        if (fullScreen.value == 0)
            settings += L" (in a window)";
        else if (fullScreen.value == 1)
            settings += L" (full screen)";
        else
            settings += L" (no such mode)";
    }
    addLine(settings);

    if (facts.recordError == ERROR_SUCCESS)
        addLine(L"Record: " + facts.recordPath);
    else
        addLine(L"Record: not written to " + facts.recordPath + L" (" + SystemErrorText(facts.recordError) + L")");
    addLine(L"");
    addLine(L"Press Esc or close this window to end the stand-in.");
    return text;
}

class StandInWindow {
public:
    explicit StandInWindow(std::wstring text) : text(std::move(text)) {}

    bool Create(HINSTANCE instance) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kWindowClass;
        if (!RegisterClassExW(&windowClass))
            return false;
        return CreateWindowExW(0, kWindowClass, kWindowTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, instance, this) != nullptr;
    }

    // A game's own first ShowWindow takes the launcher's show command (minimized); the demo then brings the window
    // back so the person watching sees it.
    void Show(int showCommand) {
        ShowWindow(hwnd, showCommand);
        ShowWindow(hwnd, SW_RESTORE);
        SetForegroundWindow(hwnd);
        UpdateWindow(hwnd);
    }

private:
    static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<StandInWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<StandInWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        switch (message) {
        case WM_CREATE:
            return self->OnCreate();
        case WM_PAINT:
            return self->OnPaint();
        case WM_KEYDOWN:
            return self->OnKeyDown(wParam, lParam);
        case WM_DPICHANGED:
            return self->OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    LRESULT OnCreate() {
        dpi = WindowDpi(hwnd);
        font.reset(CreateUiFont(dpi, text));
        RECT workArea{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
        SIZE size = FitToText(workArea);
        SetWindowPos(hwnd, nullptr, workArea.left + (workArea.right - workArea.left - size.cx) / 2,
                     workArea.top + (workArea.bottom - workArea.top - size.cy) / 3, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }

    LRESULT OnDpiChanged(int newDpi, const RECT& suggested) {
        dpi = newDpi;
        font.reset(CreateUiFont(dpi, text));
        HMONITOR monitor = MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(monitor, &info);
        SIZE size = FitToText(info.rcWork);
        SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }

    LRESULT OnKeyDown(WPARAM key, LPARAM lParam) {
        if (key == VK_ESCAPE) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return 0;
        }
        return DefWindowProcW(hwnd, WM_KEYDOWN, key, lParam);
    }

    LRESULT OnPaint() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client;
        GetClientRect(hwnd, &client);
        int margin = MulDiv(kMarginDips, dpi, USER_DEFAULT_SCREEN_DPI);
        InflateRect(&client, -margin, -margin);
        HGDIOBJ oldFont = SelectObject(dc, font.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, kTextFormat);
        SelectObject(dc, oldFont);
        EndPaint(hwnd, &paint);
        return 0;
    }

    // Window size for the text: as wide as its longest line up to a limit (long paths wrap), as tall as it needs.
    SIZE FitToText(const RECT& workArea) {
        int margin = MulDiv(kMarginDips, dpi, USER_DEFAULT_SCREEN_DPI);
        int maxWidth = MulDiv(kMaxTextWidthDips, dpi, USER_DEFAULT_SCREEN_DPI);
        maxWidth = std::min<int>(maxWidth, (workArea.right - workArea.left) - 4 * margin);
        HDC dc = GetDC(hwnd);
        HGDIOBJ oldFont = SelectObject(dc, font.get());
        RECT natural{0, 0, 0, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &natural, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
        RECT bounds{0, 0, std::min<int>(natural.right, maxWidth), 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, DT_CALCRECT | kTextFormat);
        SelectObject(dc, oldFont);
        ReleaseDC(hwnd, dc);

        SIZE window = WindowSizeForClient(bounds.right + 2 * margin, bounds.bottom + 2 * margin, kStyle, 0, dpi);
        return {window.cx, std::min<LONG>(window.cy, workArea.bottom - workArea.top)};
    }

    static constexpr UINT kTextFormat = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS;

    std::wstring text;
    HWND hwnd = nullptr;
    int dpi = USER_DEFAULT_SCREEN_DPI;
    GdiObject<HFONT> font;
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    LaunchFacts facts = GatherFacts(showCommand);
    facts.recordError = WriteRecord(facts.exeDirectory, RecordText(facts));
    if (QuitRequested())
        return facts.recordError == ERROR_SUCCESS ? 0 : 1;

    StandInWindow window(DisplayText(facts));
    if (!window.Create(instance))
        return 1;
    window.Show(showCommand);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
