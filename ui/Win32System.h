// The operating system as the launcher's logic sees it, over Win32.
#pragma once

#include "OperatingSystem.h"

#include <windows.h>

class Win32System : public OperatingSystem {
public:
    // Notes the current directory, as the one the launcher started in.
    Win32System();

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
};
