// The operating system as the launcher's logic sees it, over Win32.
#pragma once

#include "OperatingSystem.h"

#include <windows.h>
#include <shellapi.h>

// First thing at start, before anything is loaded or probed: critical errors fail quietly (no "There is no disk in
// the drive" box when a stored folder names an empty drive; the launcher's own message follows), and DLLs come from
// the system folder only.
void PrepareProcess();

// A system error text with `first` in place of its "%1", and "…" for any other insert.
std::wstring WithInserts(const std::wstring& text, const std::wstring& first);

// The two calls that start the game. Tests put fakes in their place: Wine neither passes an error mode on to a child
// nor asks for elevation, so only a fake shows what the game is started with.
struct ProcessStarters {
    BOOL(WINAPI* createProcess)(const wchar_t*, wchar_t*, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*, BOOL, DWORD,
                                void*, const wchar_t*, STARTUPINFOW*, PROCESS_INFORMATION*) = CreateProcessW;
    BOOL(WINAPI* shellExecuteEx)(SHELLEXECUTEINFOW*) = nullptr; // null: shell32's, loaded when first needed
};

class Win32System : public OperatingSystem {
public:
    // Notes the current directory, as the one the launcher started in.
    explicit Win32System(ProcessStarters starters = {});

    // Message boxes are owned by `owner` and drawn in its current font (WM_GETFONT).
    void SetOwner(HWND owner) { owner_ = owner; }

    bool FileExists(const std::wstring& path) override;
    std::wstring FullPath(const std::wstring& path) override;
    std::wstring StartupDirectory() override { return startupDirectory_; }
    std::uint32_t ChangeDrive(wchar_t driveLetter) override;
    std::uint32_t ChangeDirectory(const std::wstring& directory) override;
    std::uint32_t StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                               int showCommand) override;
    std::uint32_t ShellStart(const std::wstring& path, const std::wstring& directory, int showCommand) override;
    std::wstring ErrorText(std::uint32_t error, const std::wstring& subject) override;
    void ShowError(const std::wstring& text) override;
    void ExitProgram() override;

private:
    HWND owner_ = nullptr;
    std::wstring startupDirectory_;
    ProcessStarters starters_;
};
