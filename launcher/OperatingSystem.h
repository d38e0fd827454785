// What the launcher's logic asks of the operating system. ui/ implements it over Win32; tests use a fake.
#pragma once

#include <cstdint>
#include <string>

class OperatingSystem {
public:
    virtual ~OperatingSystem() = default;
    // Opens the file for reading and closes it at once; false for a missing file or directory, a directory,
    // or no read access.
    virtual bool FileExists(const std::wstring& path) = 0;
    // The full path of a directory given relative to the current drive or directory ("Games\", "D:Games\",
    // "\Games\"); the path unchanged when it cannot be resolved.
    virtual std::wstring FullPath(const std::wstring& path) = 0;
    // These three answer 0 on success, otherwise the system's error code.
    virtual std::uint32_t ChangeDrive(wchar_t driveLetter) = 0;
    virtual std::uint32_t ChangeDirectory(const std::wstring& directory) = 0;
    // Starts the program at applicationPath with the given command line and show command; does not wait.
    virtual std::uint32_t StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                                       int showCommand) = 0;
    virtual std::wstring ErrorText(std::uint32_t error) = 0;
    // A modal box with the stop icon, one OK button and an empty title.
    virtual void ShowError(const std::wstring& text) = 0;
    virtual void ExitProgram() = 0;
};
