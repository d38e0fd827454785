// The operating system as the launcher uses it, on Win32 under Wine: the file probe, the current drive and
// directory, and starting a program that cannot be started.
#include "Win32System.h"

#include "PlantedDlls.h"

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
    EXPECT_EQ(text.find(L"%1"), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_NE(text.find(dir_ + L"game.exe"), std::wstring::npos) << testing::PrintToString(text);
}

UINT CurrentErrorMode() {
    UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    return mode;
}

// What the system's two start calls were given, seen through fakes in their place.
struct {
    DWORD flags = 0;
    UINT errorMode = 99;
    BOOL ownerEnabled = TRUE; // the launcher's window takes no second click while the prompt is up
    SHELLEXECUTEINFOW shell{};
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
    SetLastError(ERROR_CANCELLED); // the player declined the prompt
    return FALSE;
}

// The launcher fails critical errors quietly; the game gets the default mode either way it is started, and the
// shell start asks for the elevation prompt with the game's own path, folder and show command, and no arguments.
// Preparing the process also narrows its DLL search: a bare name no longer finds a DLL planted in a folder that the
// search held before.
TEST_F(Win32SystemTest, TheGameGetsTheDefaultErrorModeWhicheverWayItStarts) {
    PlantedDlls planted({L"qxprobe.dll"});
    ASSERT_TRUE(planted.ready);
    SetDllDirectoryW(planted.dir.c_str());
    PrepareProcess();
    ASSERT_TRUE(CurrentErrorMode() & SEM_FAILCRITICALERRORS);
    SetDllDirectoryW(planted.dir.c_str()); // from now on the search is the system folder, whatever is added
    EXPECT_EQ(LoadLibraryW(L"qxprobe.dll"), nullptr);
    EXPECT_TRUE(planted.Loaded().empty());
    Win32System os({FakeCreateProcess, FakeShellExecuteEx});
    HWND owner = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    os.SetOwner(owner);
    const std::wstring game = dir_ + L"HALV12QX.exe";

    EXPECT_EQ(os.StartProcess(game, game, SW_SHOWMINIMIZED), OperatingSystem::kErrorElevationRequired);
    EXPECT_TRUE(gSeen.flags & CREATE_DEFAULT_ERROR_MODE);

    EXPECT_EQ(os.ShellStart(game, dir_, SW_SHOWMINIMIZED), static_cast<std::uint32_t>(ERROR_CANCELLED));
    EXPECT_EQ(gSeen.errorMode, 0u);
    EXPECT_EQ(gSeen.shell.lpFile, game);
    EXPECT_EQ(gSeen.shell.lpDirectory, dir_);
    EXPECT_EQ(gSeen.shell.lpParameters, nullptr);
    EXPECT_EQ(gSeen.shell.nShow, SW_SHOWMINIMIZED);
    EXPECT_TRUE(CurrentErrorMode() & SEM_FAILCRITICALERRORS) << "the launcher's own mode comes back";
    EXPECT_FALSE(gSeen.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

} // namespace
