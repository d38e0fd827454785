// The test kit loses none of a player's settings: the game's keys come back bit for bit after a test program that
// crashed mid-test, after a run cut short in another folder, beside a second run at once, and after a test program
// started on its own; a backup that cannot be read or parsed stops the run and stays as it is.
#include "../TestHost_win.h"
#include "../store/TestRegistry.h"
#include "GameKeys_win.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct Value {
    const wchar_t* key;
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
};

std::vector<BYTE> Utf16(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)};
}

const wchar_t kConfigs[] = L"Software\\ORIM\\Halvoren12QX\\Configs";
const wchar_t kInstall[] = L"Software\\ORIM\\Halvoren12QX Tc\\Install";
const Value kValues[] = {
    {L"Software\\ORIM", L"", REG_SZ, Utf16(L"orim")}, // the key's default value
    {kConfigs, L"WIDTH", REG_DWORD, {0x00, 0x05, 0, 0}},
    {kConfigs, L"Blob", REG_BINARY, {0, 1, 0xFE, 0xFF, 0}},
    {kConfigs, L"Empty", REG_SZ, {}},
    {kConfigs, L"Long", REG_BINARY, std::vector<BYTE>(70000, 0xA5)},
    {kInstall, L"InstallInfo", REG_SZ, Utf16(L"D:\\游戏\\十二QX\\")}, // as a Unicode installer stores it
    {kInstall, L"Unterminated", REG_SZ, {'C', 0, ':', 0}},
    {kInstall, L"Path", REG_EXPAND_SZ, Utf16(L"%ProgramFiles%\\ハル")},
    {L"Software\\ORIM\\Halvoren12QX Tc\\Install\\Nested", L"List", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
};
const char* const kKeys[] = {"Software\\ORIM", "Software\\ORIM\\Empty", "Software\\ORIM\\Crashed"};

// Every arranged value as stored now, type and bytes as the registry keeps them (or nothing), and which keys exist.
using State = std::vector<std::pair<DWORD, std::vector<BYTE>>>;
State Stored() {
    State stored;
    for (const Value& v : kValues) {
        HKEY key;
        DWORD type = ~0u, size = 0;
        std::vector<BYTE> bytes(80000);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, v.key, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            size = static_cast<DWORD>(bytes.size());
            if (RegQueryValueExW(key, v.name, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS)
                type = ~0u, size = 0;
            RegCloseKey(key);
        }
        bytes.resize(size);
        stored.emplace_back(type, bytes);
    }
    for (const char* key : kKeys)
        stored.emplace_back(testreg::KeyExists(key), std::vector<BYTE>{});
    return stored;
}

class KitRunner : public ::testing::Test {
protected:
    void SetUp() override {
        // The runners started here keep their backup and lock apart from those of the run this program is in.
        state_ = TempFolder(L"qx kit state");
        SetEnvironmentVariableW(L"QX_KIT_STATE", state_.c_str());
        const std::wstring goName = L"QXKitCrasherGo-" + std::to_wstring(GetCurrentProcessId());
        go_ = CreateEventW(nullptr, TRUE, FALSE, goName.c_str());
        SetEnvironmentVariableW(L"QX_KIT_CRASHER_GO", goName.c_str());
        for (std::wstring* kit : {&kit_, &other_}) {
            *kit = TempFolder(kit == &kit_ ? L"qx kit 测试" : L"qx kit other");
            for (const auto& [file, built] : {std::pair{L"kit-runner.exe", QX_KIT_RUNNER},
                                              std::pair{L"kit_crasher.exe", QX_KIT_CRASHER}})
                ASSERT_TRUE(CopyFileW(Companion(file, built).c_str(), (*kit + file).c_str(), FALSE));
        }
        testreg::DeleteTree("Software\\ORIM");
        for (const Value& v : kValues) {
            HKEY key;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, v.key, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            std::vector<BYTE> guarded = v.bytes; // a non-zero byte after the data keeps it exact
            guarded.push_back(0xFF);
            RegSetValueExW(key, v.name, 0, v.type, guarded.data(), static_cast<DWORD>(v.bytes.size()));
            RegCloseKey(key);
        }
        testreg::CreateKey(kKeys[1]);
    }
    void TearDown() override {
        for (const wchar_t* name : {L"QX_KIT_STATE", L"QX_KIT_CRASHER", L"QX_KIT_CRASHER_GO", L"QX_KIT_NO_SHORT_NAMES"})
            SetEnvironmentVariableW(name, nullptr);
        CloseHandle(go_);
        for (const std::wstring& folder : {kit_, other_, state_}) {
            for (const wchar_t* file : {L"kit-runner.exe", L"kit_crasher.exe", L"kit_crasher.xml", L"kit_crasher.txt",
                                        L"orim-backup.bin", L"orim-backup.bin.part", L"run.lock"})
                DeleteFileW((folder + file).c_str());
            RemoveDirectoryW(folder.c_str());
        }
        testreg::DeleteTree("Software\\ORIM");
    }

    // Starts the kit's runner in `kit` on the given programs, or `kit_crasher.exe` alone when `programs` is null.
    PROCESS_INFORMATION Start(const std::wstring& kit, const wchar_t* programs, const wchar_t* crasher) {
        SetEnvironmentVariableW(L"QX_KIT_CRASHER", crasher);
        const std::wstring exe = kit + (programs ? L"kit-runner.exe" : L"kit_crasher.exe");
        std::wstring line = L"\"" + exe + L"\"" + (programs ? std::wstring(L" --programs ") + programs : L"");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        EXPECT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, kit.c_str(),
                                   &startup, &process));
        return process;
    }

    static DWORD Finish(PROCESS_INFORMATION process, bool kill = false) {
        if (kill)
            TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 120000);
        DWORD exitCode = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return exitCode;
    }

    DWORD Run(const std::wstring& kit, const wchar_t* programs, const wchar_t* crasher = L"crash") {
        return Finish(Start(kit, programs, crasher));
    }

    // The crasher's process once it has changed the game's keys, or null if it never did.
    static HANDLE CrasherRunning() {
        for (int waited = 0; waited < 1200; ++waited, Sleep(50)) {
            if (auto pid = testreg::Read("Software\\ORIM\\Crashed", "pid")) {
                DWORD id = 0;
                memcpy(&id, pid->bytes.data(), sizeof id);
                return OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            }
        }
        return nullptr;
    }

    std::string Backup() const {
        std::string bytes;
        gamekeys::ReadWhole(state_ + L"orim-backup.bin", bytes);
        return bytes;
    }

    void WriteBackup(const std::string& bytes) const {
        HANDLE file = CreateFileW((state_ + L"orim-backup.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    std::wstring kit_, other_, state_;
    HANDLE go_ = nullptr;
};

TEST_F(KitRunner, ACrashedTestProgramFailsTheRunAndTheGameKeysComeBackBitForBit) {
    for (bool absent : {false, true}) {
        SCOPED_TRACE(absent ? "no game keys" : "game keys with odd values");
        if (absent)
            testreg::DeleteTree("Software\\ORIM");
        const State before = Stored();
        ResetEvent(go_);
        PROCESS_INFORMATION run = Start(kit_, L"kit_crasher.exe", L"crash");
        HANDLE crasher = CrasherRunning();
        ASSERT_TRUE(crasher) << "the test program never ran";
        SetEvent(go_);
        EXPECT_EQ(WaitForSingleObject(crasher, 60000), WAIT_OBJECT_0);
        CloseHandle(crasher);
        EXPECT_NE(Finish(run), 0u);
        EXPECT_EQ(Stored(), before);
        EXPECT_TRUE(Backup().empty());
    }
}

// Cut short in one folder (its window closed: the runner and its program end at once), put right by a run from
// another, and meanwhile a second run at once, from either folder, stops and changes nothing.
TEST_F(KitRunner, ARunCutShortIsPutRightByTheNextFromAnyFolderAndASecondRunAtOnceStops) {
    const State before = Stored();
    PROCESS_INFORMATION run = Start(kit_, L"kit_crasher.exe", L"wait");
    HANDLE crasher = CrasherRunning();
    ASSERT_TRUE(crasher) << "the test program never ran";
    const State during = Stored();
    const std::string backup = Backup();
    ASSERT_FALSE(backup.empty());
    for (const std::wstring* kit : {&kit_, &other_}) {
        EXPECT_EQ(Run(*kit, L""), 2u);
        EXPECT_EQ(Stored(), during);
        EXPECT_TRUE(Backup() == backup) << "the backup changed";
    }
    Finish(run, true);
    TerminateProcess(crasher, 1);
    WaitForSingleObject(crasher, 10000);
    CloseHandle(crasher);
    ASSERT_TRUE(Backup() == backup) << "the backup changed";

    EXPECT_EQ(Run(other_, L""), 0u);
    EXPECT_EQ(Stored(), before);
    EXPECT_TRUE(Backup().empty());
}

// Started on its own, a test program saves and puts back the settings itself; under the runner, it passes from a
// folder the code page cannot name on a volume without short names.
TEST_F(KitRunner, ATestProgramStartedAloneOrFromAnUnnamableFolderKeepsTheSettings) {
    const State before = Stored();
    for (bool alone : {true, false}) {
        SCOPED_TRACE(alone ? "started alone" : "under the runner, no short names");
        SetEnvironmentVariableW(L"QX_KIT_NO_SHORT_NAMES", alone ? nullptr : L"1");
        ResetEvent(go_);
        PROCESS_INFORMATION run = Start(kit_, alone ? nullptr : L"kit_crasher.exe", L"pass");
        HANDLE crasher = CrasherRunning();
        ASSERT_TRUE(crasher) << "the test program never ran";
        CloseHandle(crasher);
        SetEvent(go_);
        EXPECT_EQ(Finish(run), 0u);
        EXPECT_EQ(Stored(), before);
        EXPECT_TRUE(Backup().empty());
    }
    EXPECT_NE(GetFileAttributesW((kit_ + L"kit_crasher.xml").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A backup that is held open elsewhere, or cut short at any record, stops the run before anything changes; once
// whole and free again, it is put back.
TEST_F(KitRunner, ABackupThatCannotBeReadOrParsedStopsTheRunAndIsKept) {
    const State before = Stored();
    PROCESS_INFORMATION alone = Start(kit_, nullptr, L"wait");
    HANDLE crasher = CrasherRunning();
    ASSERT_TRUE(crasher) << "the test program never ran";
    Finish(alone, true);
    CloseHandle(crasher);
    const State during = Stored();
    const std::string backup = Backup();
    ASSERT_GT(backup.size(), 20u);

    // Held open elsewhere: it can be neither read nor written, though it could be replaced.
    HANDLE held = CreateFileW((state_ + L"orim-backup.bin").c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(Run(other_, L""), 2u);
    CloseHandle(held);
    EXPECT_EQ(Stored(), during);
    EXPECT_TRUE(Backup() == backup) << "the backup changed";
    for (std::size_t cut : {backup.size() - 1, backup.size() / 2, std::size_t{5}}) {
        SCOPED_TRACE("cut to " + std::to_string(cut) + " bytes");
        WriteBackup(backup.substr(0, cut));
        EXPECT_EQ(Run(other_, L""), 2u);
        EXPECT_EQ(Stored(), during);
        EXPECT_TRUE(Backup() == backup.substr(0, cut)) << "the backup changed";
    }
    WriteBackup(backup);
    EXPECT_EQ(Run(other_, L""), 0u);
    EXPECT_EQ(Stored(), before);
}

} // namespace

namespace {

// Windows XP has no %LOCALAPPDATA%: the backup's folder is then found where Explorer records it, the same one.
TEST(KitState, IsTheSameFolderWithoutLocalAppDataAsOnXp) {
    wchar_t saved[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", saved, MAX_PATH), 0u);
    const std::wstring folder = gamekeys::StateFolder();
    SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
    EXPECT_EQ(gamekeys::StateFolder(), folder);
    SetEnvironmentVariableW(L"LOCALAPPDATA", saved);
    EXPECT_NE(folder.find(L"\\QXLauncher Tests\\"), std::wstring::npos);
}

} // namespace
