// The operating system as the launcher uses it, on Win32 under Wine: the file probe, the current drive and
// directory, and starting a program that cannot be started.
#include "Win32System.h"

#include "PlantedDlls.h"
#include "SystemLibrary.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

class Win32SystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::wstring(temp) + L"qx system " + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        CreateDirectoryW((dir_ + L"HALV12QX.exe").c_str(), nullptr); // a directory with the game's name
        HANDLE file = CreateFileW((dir_ + L"game.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        GetCurrentDirectoryW(MAX_PATH, saved_);
    }
    void TearDown() override {
        SetCurrentDirectoryW(saved_);
        DeleteFileW((dir_ + L"game.exe").c_str());
        RemoveDirectoryW((dir_ + L"HALV12QX.exe").c_str());
        RemoveDirectoryW(dir_.c_str());
    }

    static std::wstring Current() {
        wchar_t current[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, current);
        return current;
    }

    Win32System os_;
    std::wstring dir_;
    wchar_t saved_[MAX_PATH] = {};
};

TEST_F(Win32SystemTest, FileExistsOnlyForAFileThatCanBeOpened) {
    EXPECT_TRUE(os_.FileExists(dir_ + L"game.exe"));
    EXPECT_TRUE(os_.FileExists(dir_ + L"GAME.EXE")); // names ignore case
    EXPECT_FALSE(os_.FileExists(dir_ + L"missing.exe"));
    EXPECT_FALSE(os_.FileExists(dir_ + L"no such folder\\game.exe"));
    EXPECT_FALSE(os_.FileExists(dir_ + L"HALV12QX.exe"));   // a directory
    EXPECT_FALSE(os_.FileExists(dir_ + L"HALV12QX.exe\\")); // the same, as a folder path
    EXPECT_FALSE(os_.FileExists(L""));
    // Held open by another program that shares nothing: it cannot be read, so it is not the game.
    HANDLE held = CreateFileW((dir_ + L"game.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(os_.FileExists(dir_ + L"game.exe"));
    CloseHandle(held);
}

TEST_F(Win32SystemTest, FileExistsLeavesTheFileClosed) {
    ASSERT_TRUE(os_.FileExists(dir_ + L"game.exe"));
    // An exclusive open succeeds only if the probe kept no handle.
    HANDLE file =
        CreateFileW((dir_ + L"game.exe").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

TEST_F(Win32SystemTest, RelativeProbeLooksInTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.c_str()));
    EXPECT_TRUE(os_.FileExists(L"game.exe"));
    EXPECT_FALSE(os_.FileExists(L"HALV12QX.exe"));
}

TEST_F(Win32SystemTest, FullPathResolvesAgainstTheCurrentDriveAndDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.c_str()));
    EXPECT_EQ(os_.FullPath(L"Games\\"), dir_ + L"Games\\");
    EXPECT_EQ(os_.FullPath(std::wstring(1, dir_[0]) + L":Games\\"), dir_ + L"Games\\");
    EXPECT_EQ(os_.FullPath(L"\\Games\\"), dir_.substr(0, 2) + L"\\Games\\");
}

TEST_F(Win32SystemTest, DriveAndDirectoryChangesReportTheSystemsErrors) {
    EXPECT_EQ(os_.ChangeDirectory(dir_), 0u);
    EXPECT_EQ(Current() + L"\\", dir_);
    EXPECT_EQ(os_.ChangeDrive(L'C'), 0u);
    EXPECT_EQ(towupper(Current()[0]), L'C');
    EXPECT_NE(os_.ChangeDirectory(dir_ + L"no such folder\\"), 0u);
    EXPECT_EQ(Current() + L"\\", dir_); // unchanged by the failure
}

TEST_F(Win32SystemTest, StartingWhatCannotRunGivesTheErrorAndItsText) {
    std::uint32_t missing = os_.StartProcess(dir_ + L"missing.exe", dir_ + L"missing.exe", SW_SHOWMINIMIZED);
    EXPECT_EQ(missing, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    std::uint32_t notProgram = os_.StartProcess(dir_ + L"game.exe", dir_ + L"game.exe", SW_SHOWMINIMIZED);
    EXPECT_NE(notProgram, 0u); // an empty file is no program
    // Only the application path counts: a command line naming a program that exists must not start that one, as
    // Windows would for a null application path (and try "C:\Program.exe" for a path with blanks).
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(os_.StartProcess(dir_ + L"missing.exe", std::wstring(self) + L" --gtest_list_tests", SW_SHOWMINIMIZED),
              static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(os_.ShellStart(dir_ + L"missing.exe", dir_, SW_SHOWMINIMIZED),
              static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    std::wstring text = os_.ErrorText(missing, dir_ + L"missing.exe");
    EXPECT_NE(text.find(L"(2)"), std::wstring::npos);
    EXPECT_GT(text.size(), 4u); // the system's words come before the number
    // 193's text names the program through "%1": the path that failed stands there.
    text = os_.ErrorText(ERROR_BAD_EXE_FORMAT, dir_ + L"game.exe");
    EXPECT_NE(text.find(dir_ + L"game.exe"), std::wstring::npos) << testing::PrintToString(text);
    // No insert is left in any of the system's texts; those the launcher knows nothing for read "…".
    for (std::uint32_t code = 0; code < 16000; ++code) {
        text = os_.ErrorText(code, L"D:\\");
        for (std::size_t at = text.find(L'%'); at != std::wstring::npos; at = text.find(L'%', at + 2))
            EXPECT_FALSE(iswdigit(text[at + 1])) << code << ": " << testing::PrintToString(text);
    }
    EXPECT_EQ(WithInserts(L"Insert %2 (Volume Serial Number: %3) into drive %1.", L"D:\\"),
              L"Insert … (Volume Serial Number: …) into drive D:\\.");
    EXPECT_EQ(WithInserts(L"100%% of %1!s! or %12", L"X"), L"100%% of X or …");
}

UINT CurrentErrorMode() {
    UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    return mode;
}

// Preparing the process, as the launcher does first thing: critical errors fail quietly (GoogleTest set a mode of its
// own, so this starts from none), and a bare DLL name is no longer looked for in the current folder. Where
// SetDefaultDllDirectories is missing (XP, Vista and 7 without their update), making the system folder the DLL
// directory does that. Elsewhere SetDllDirectoryW is left alone (its setting would pass on to the game), the exe's own
// folder leaves the search too, and a folder that a component adds later is searched. Older Windows first, with
// SetDefaultDllDirectories hidden (Wine has it): the default search cannot be had back in one process.
void ExpectPreparedProcess(bool olderWindows) {
    // Named for this process: the other tests' processes plant theirs in the same folder.
    const std::wstring besideName = L"qxbeside" + std::to_wstring(GetCurrentProcessId()) + L".dll";
    PlantedDlls current({L"qxprobe.dll"}), added({L"qxadded.dll"}, L" added"), beside({besideName}, L"", ProgramFolder());
    ASSERT_TRUE(current.ready && added.ready && beside.ready);
    SetDllDirectoryW(nullptr);
    ASSERT_TRUE(SetCurrentDirectoryW(current.dir.c_str()));
    LoadLibraryW(L"qxprobe.dll");
    LoadLibraryW(besideName.c_str());
    ASSERT_EQ(current.Loaded(), std::vector<std::wstring>{L"qxprobe.dll"})
        << "the control: the current folder is searched";
    ASSERT_EQ(beside.Loaded(), std::vector<std::wstring>{besideName}) << "the control: the exe's folder is searched";
    SetErrorMode(0);
    HideNewerSystemFunctions(olderWindows);
    PrepareProcess();
    HideNewerSystemFunctions(false);
    EXPECT_TRUE(CurrentErrorMode() & SEM_FAILCRITICALERRORS);
    LoadLibraryW(L"qxprobe.dll");
    LoadLibraryW(besideName.c_str());
    EXPECT_TRUE(current.Loaded().empty());
    // Without SetDefaultDllDirectories nothing takes the exe's folder out: Windows searches it first.
    EXPECT_EQ(beside.Loaded().size(), olderWindows ? 1u : 0u);
    wchar_t directory[MAX_PATH] = {}, system[MAX_PATH] = {};
    GetDllDirectoryW(MAX_PATH, directory);
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(std::wstring(directory), olderWindows ? system : L"");
    if (!olderWindows) {
        SetDllDirectoryW(added.dir.c_str()); // as an input method adds its own folder
        LoadLibraryW(L"qxadded.dll");
        EXPECT_EQ(added.Loaded(), std::vector<std::wstring>{L"qxadded.dll"});
    }
    SetDllDirectoryW(nullptr);
    SetCurrentDirectoryW(L"C:\\");
}

TEST_F(Win32SystemTest, PreparingTheProcessOnOlderWindowsTakesTheCurrentFolderOutOfTheDllSearch) {
    ExpectPreparedProcess(true);
}

TEST_F(Win32SystemTest, PreparingTheProcessLimitsTheDllSearchToTheSystemFolderAndAddedOnes) {
    if (!SystemFunction<FARPROC>(L"kernel32.dll", "SetDefaultDllDirectories"))
        GTEST_SKIP() << "no SetDefaultDllDirectories here (XP, Vista and 7 without KB2533623): the case before holds";
    ExpectPreparedProcess(false);
}

// What the system's two start calls were given, seen through fakes in their place: Wine passes no error mode on to a
// child and has no UAC, so real calls would show neither.
struct {
    DWORD flags = 0;
    UINT errorMode = 99;
    BOOL ownerEnabled = TRUE; // the launcher's window takes no second click while the prompt is up
    SHELLEXECUTEINFOW shell{};
    std::wstring file, directory;       // copies of the strings the shell was given
    DWORD shellError = ERROR_CANCELLED; // the player declined the prompt; 0 for a failure that leaves no code
} gSeen;

BOOL WINAPI FakeCreateProcess(const wchar_t*, wchar_t*, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*, BOOL, DWORD flags,
                              void*, const wchar_t*, STARTUPINFOW*, PROCESS_INFORMATION*) {
    gSeen.flags = flags;
    SetLastError(OperatingSystem::kErrorElevationRequired);
    return FALSE;
}

BOOL WINAPI FakeShellExecuteEx(SHELLEXECUTEINFOW* info) {
    gSeen.errorMode = CurrentErrorMode();
    gSeen.ownerEnabled = IsWindowEnabled(info->hwnd);
    gSeen.shell = *info;
    gSeen.file = info->lpFile ? info->lpFile : L"(null)";
    gSeen.directory = info->lpDirectory ? info->lpDirectory : L"(null)";
    SetFocus(nullptr); // the prompt takes the focus
    SetLastError(gSeen.shellError);
    return FALSE;
}

// The game gets the default error mode either way it is started, and the shell start asks for the elevation prompt,
// owned by the launcher's window and completed before the launcher may end, with the game's own path, folder and show
// command, and no arguments. Afterwards the control that had the focus has it again, as after a dialog.
TEST_F(Win32SystemTest, TheGameGetsTheDefaultErrorModeWhicheverWayItStarts) {
    SetErrorMode(SEM_FAILCRITICALERRORS); // the launcher's own
    Win32System os({FakeCreateProcess, FakeShellExecuteEx});
    HWND owner =
        CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND field =
        CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, owner, nullptr, nullptr, nullptr);
    SetActiveWindow(owner);
    SetFocus(field);
    ASSERT_EQ(GetFocus(), field);
    os.SetOwner(owner);
    const std::wstring game = dir_ + L"HALV12QX.exe";

    EXPECT_EQ(os.StartProcess(game, game, SW_SHOWMINIMIZED), OperatingSystem::kErrorElevationRequired);
    EXPECT_TRUE(gSeen.flags & CREATE_DEFAULT_ERROR_MODE);

    EXPECT_EQ(os.ShellStart(game, dir_, SW_SHOWMINIMIZED), static_cast<std::uint32_t>(ERROR_CANCELLED));
    EXPECT_EQ(gSeen.errorMode, 0u);
    EXPECT_EQ(gSeen.file, game);
    EXPECT_EQ(gSeen.directory, dir_);
    EXPECT_EQ(gSeen.shell.lpParameters, nullptr);
    EXPECT_EQ(gSeen.shell.nShow, SW_SHOWMINIMIZED);
    EXPECT_EQ(gSeen.shell.hwnd, owner);
    EXPECT_EQ(gSeen.shell.fMask, static_cast<ULONG>(SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC));
    EXPECT_TRUE(CurrentErrorMode() & SEM_FAILCRITICALERRORS) << "the launcher's own mode comes back";
    EXPECT_FALSE(gSeen.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetFocus(), field);
    gSeen.shellError = 0;
    EXPECT_NE(os.ShellStart(game, dir_, SW_SHOWMINIMIZED), 0u) << "a failure without a code taken for a start";
    DestroyWindow(owner);
}

} // namespace
