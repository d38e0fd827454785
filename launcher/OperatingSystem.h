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
    // The current directory the launcher started in, as a full path ending in a separator; empty if unknown.
    virtual std::wstring StartupDirectory() = 0;
    // These four answer 0 on success, otherwise the system's error code.
    virtual std::uint32_t ChangeDrive(wchar_t driveLetter) = 0;
    virtual std::uint32_t ChangeDirectory(const std::wstring& directory) = 0;
    // Starts the program at applicationPath with the given command line and show command; does not wait. The program
    // gets the system's default error mode, whatever the launcher's own.
    virtual std::uint32_t StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                                       int showCommand) = 0;
    // Starts the program at path through the shell, without arguments, from `directory` (none when empty): the way
    // that shows the elevation prompt for a program that needs administrator rights. The player declining the prompt
    // answers kErrorCancelled.
    virtual std::uint32_t ShellStart(const std::wstring& path, const std::wstring& directory, int showCommand) = 0;
    // The system's text for an error, with `subject` (the path that failed) in place of its "%1".
    virtual std::wstring ErrorText(std::uint32_t error, const std::wstring& subject) = 0;
    // A modal box with the stop icon, one OK button and an empty title.
    virtual void ShowError(const std::wstring& text) = 0;
    virtual void ExitProgram() = 0;

    static constexpr std::uint32_t kErrorElevationRequired = 740; // ERROR_ELEVATION_REQUIRED
    static constexpr std::uint32_t kErrorCancelled = 1223;        // ERROR_CANCELLED
};
