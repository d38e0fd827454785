#include "Win32System.h"

#include "DecimalText.h"
#include "SystemLibrary.h"
#include "UiFont.h"

#include <objbase.h>

#include <vector>

void PrepareProcess() {
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
    NarrowDllSearch();
}

Win32System::Win32System(ProcessStarters starters) : starters_(starters) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring current(size, L'\0');
    const DWORD length = size ? GetCurrentDirectoryW(size, current.data()) : 0;
    if (length == 0 || length >= size)
        return;
    current.resize(length);
    // "C:\" ends in its separator already, "C:\Games" does not.
    if (current.back() != L'\\' && current.back() != L'/')
        current += L'\\';
    startupDirectory_ = current;
}

bool Win32System::FileExists(const std::wstring& path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory cannot be opened, so it does not count as the game.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    return CloseHandle(file) != FALSE;
}

std::wstring Win32System::FullPath(const std::wstring& path) {
    // "D:Games\" resolves against D's own remembered directory, "\Games\" against the current drive.
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

std::uint32_t Win32System::ChangeDrive(wchar_t driveLetter) {
    // "D:" alone makes D the current drive, at that drive's own current directory.
    const wchar_t drive[] = {driveLetter, L':', L'\0'};
    return SetCurrentDirectoryW(drive) ? 0 : GetLastError();
}

std::uint32_t Win32System::ChangeDirectory(const std::wstring& directory) {
    return SetCurrentDirectoryW(directory.c_str()) ? 0 : GetLastError();
}

std::uint32_t Win32System::StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                                        int showCommand) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    // The launcher fails critical errors quietly; the game gets the default mode, as when started from Explorer.
    if (!starters_.createProcess(applicationPath.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, nullptr, &startup, &process))
        return GetLastError();
    // The game is not tracked.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

std::uint32_t Win32System::ShellStart(const std::wstring& path, const std::wstring& directory, int showCommand) {
    // shell32 costs start-up time and is needed only here, for a game that asks for administrator rights.
    if (!starters_.shellExecuteEx)
        starters_.shellExecuteEx =
            SystemFunction<decltype(starters_.shellExecuteEx)>(L"shell32.dll", "ShellExecuteExW");
    if (!starters_.shellExecuteEx)
        return ERROR_PROC_NOT_FOUND;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The launcher reports failures itself; the start is complete before the launcher may end.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_FLAG_DDEWAIT;
    info.hwnd = owner_;
    info.lpFile = path.c_str();
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = showCommand;
    // The shell may hand the start to extensions, which want COM; and while the prompt is up the window must not
    // take a second "启动游戏".
    ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // Disabling the window takes the focus from its control: it is given back afterwards, as DialogBox does.
    HWND focus = owner_ ? GetFocus() : nullptr;
    const bool wasEnabled = owner_ && !EnableWindow(owner_, FALSE);
    // The default error mode for the game here too.
    const UINT mode = SetErrorMode(0);
    const BOOL started = starters_.shellExecuteEx(&info);
    const DWORD error = started ? 0 : GetLastError();
    SetErrorMode(mode);
    if (wasEnabled)
        EnableWindow(owner_, TRUE);
    if (focus && IsWindow(focus) && GetActiveWindow() == owner_)
        SetFocus(focus);
    // A failure is never taken for a start, even one that left no code.
    return started ? 0 : (error ? error : static_cast<std::uint32_t>(ERROR_GEN_FAILURE));
}

// Texts such as 193's ("%1 is not a valid Win32 application") name what failed through "%1", and some have more
// inserts (34: "Insert %2 (Volume Serial Number: %3) into drive %1."), for which the launcher knows nothing.
std::wstring WithInserts(const std::wstring& text, const std::wstring& first) {
    std::wstring filled;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const wchar_t next = at + 1 < text.size() ? text[at + 1] : L'\0';
        if (text[at] != L'%' || next < L'1' || next > L'9') {
            filled += text[at];
            if (text[at] == L'%' && next == L'%') // "%%" is a percent sign, not the start of an insert
                filled += text[++at];
            continue;
        }
        std::size_t end = at + 2;
        int number = next - L'0';
        if (end < text.size() && text[end] >= L'0' && text[end] <= L'9')
            number = number * 10 + (text[end++] - L'0'); // %1 to %99
        const std::size_t format =
            end < text.size() && text[end] == L'!' ? text.find(L'!', end + 1) : std::wstring::npos;
        if (format != std::wstring::npos)
            end = format + 1; // "%1!s!"
        filled += number == 1 ? first : L"…";
        at = end - 1;
    }
    return filled;
}

std::wstring Win32System::ErrorText(std::uint32_t error, const std::wstring& subject) {
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return WithInserts(text, subject) + L" (" + DecimalText(error) + L")";
}

void Win32System::ShowError(const std::wstring& text) {
    // Asked each time: a DPI change gives the window a new font.
    auto font = owner_ ? reinterpret_cast<HFONT>(SendMessageW(owner_, WM_GETFONT, 0, 0)) : nullptr;
    MessageBoxWithFont(owner_, text, L"", MB_OK | MB_ICONSTOP, font);
}

void Win32System::ExitProgram() {
    ExitProcess(0);
}
