// The test kit loses none of a player's settings: the game's keys come back bit for bit after a test program that
// crashed mid-test, after a run cut short in another folder (what was set since kept beside), beside a second run at
// once, and after a test program started on its own; a backup that cannot be read or parsed, or a tree that cannot be
// kept as it is, stops the run and changes nothing; and its report is true from any folder. Each case was seen to fail
// with the fix it holds reverted.
#include "../TestHost_win.h"
#include "../store/TestRegistry.h"
#include "GameKeys_win.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <functional>
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
    {kConfigs, L"Quad", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
    {kConfigs, L"None", REG_NONE, {9}},
    {kConfigs, L"Unnamed type", 0x12345, {1, 2}},
    {kConfigs, L"One byte", REG_SZ, {'x'}},
    {kConfigs, L"Odd length", REG_SZ, {'a', 0, 'b'}},
    {L"Software\\ORIM\\十二QX ハル", L"设置", REG_DWORD, {1, 0, 0, 0}},
};
const char* const kKeys[] = {"Software\\ORIM", "Software\\ORIM\\Empty", "Software\\ORIM\\Crashed"};

// A character the running code page holds (past ASCII where it can), or one it lacks ('测' where it lacks none).
std::wstring CodePageCharacter(bool held) {
    for (wchar_t c : {L'é', L'ж', L'测', L'ア', L'한', L'ก'}) {
        BOOL lossy = FALSE;
        const wchar_t text[] = {c, 0};
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy);
        if (!lossy == held)
            return text;
    }
    return held ? L"e" : L"测";
}

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
        // One folder's name the code page cannot hold, the other's it can, both with a blank.
        for (std::wstring* kit : {&kit_, &other_}) {
            *kit = TempFolder(L"qx kit " + CodePageCharacter(kit == &other_));
            for (const auto& [file, built] :
                 {std::pair{L"kit-runner.exe", QX_KIT_RUNNER}, std::pair{L"kit_crasher.exe", QX_KIT_CRASHER}})
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
            WIN32_FIND_DATAW found;
            HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
            for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
                DeleteFileW((folder + found.cFileName).c_str());
            if (search != INVALID_HANDLE_VALUE)
                FindClose(search);
            RemoveDirectoryW(folder.c_str());
        }
        testreg::DeleteTree("Software\\ORIM");
    }

    // Starts the kit's runner in `kit` on the given programs (kShipped: as a tester starts it), or `kit_crasher.exe`
    // alone when `programs` is null. What it prints goes to `kit`\output.txt.
    PROCESS_INFORMATION Start(const std::wstring& kit, const wchar_t* programs, const wchar_t* crasher) {
        SetEnvironmentVariableW(L"QX_KIT_CRASHER", crasher);
        const std::wstring exe = kit + (programs ? L"kit-runner.exe" : L"kit_crasher.exe");
        std::wstring line =
            L"\"" + exe + L"\"" + (programs && programs != kShipped ? std::wstring(L" --programs ") + programs : L"");
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE output = CreateFileW((kit + L"output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    &inherited, CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
        PROCESS_INFORMATION process{};
        EXPECT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, kit.c_str(), &startup,
                                   &process));
        CloseHandle(output);
        return process;
    }
    static constexpr const wchar_t* kShipped = L"(as shipped)";

    static std::string Output(const std::wstring& kit) {
        std::string text;
        gamekeys::ReadWhole(kit + L"output.txt", text);
        return text;
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

    // The crasher's process once it has changed the game's keys (its child's, for "child"), or null if it never did.
    static HANDLE CrasherRunning(const char* mark = "pid") {
        for (int waited = 0; waited < 1200; ++waited, Sleep(50)) {
            if (auto pid = testreg::Read("Software\\ORIM\\Crashed", mark)) {
                DWORD id = 0;
                memcpy(&id, pid->bytes.data(), sizeof id);
                return OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            }
        }
        return nullptr;
    }

    // Runs the runner in `kit` on `programs` with the crasher in `mode`, doing `meanwhile` once the crasher has changed
    // the game's keys; the runner's exit code.
    DWORD RunPaused(
        const std::wstring& kit, const wchar_t* programs, const wchar_t* mode,
        const std::function<void()>& meanwhile = [] {}) {
        ResetEvent(go_);
        PROCESS_INFORMATION run = Start(kit, programs, mode);
        HANDLE crasher = CrasherRunning();
        EXPECT_TRUE(crasher) << "the test program never ran";
        CloseHandle(crasher);
        meanwhile();
        SetEvent(go_);
        return Finish(run);
    }

    // Whether `process` ends within 10 s; it is ended then in any case.
    static bool Ends(HANDLE process) {
        const bool ended = WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
        return ended;
    }

    std::string Backup() const {
        std::string bytes;
        gamekeys::ReadWhole(state_ + L"orim-backup.bin", bytes);
        return bytes;
    }

    void WriteBackup(const std::string& bytes) const {
        HANDLE file =
            CreateFileW((state_ + L"orim-backup.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
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
        EXPECT_NE(RunPaused(kit_, L"kit_crasher.exe", L"crash"), 0u);
        EXPECT_EQ(Stored(), before);
        EXPECT_TRUE(Backup().empty());
    }
}

// Cut short in one folder (the runner killed: its program ends with it), put right by a run from another, which keeps
// what was set since in a file that, renamed to the backup's name, is put back in its turn; meanwhile a second run at
// once, from either folder, stops and changes nothing.
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
    SetEvent(go_);
    HANDLE child = CrasherRunning("child");
    Finish(run, true);
    for (HANDLE process : {crasher, child})
        EXPECT_TRUE(Ends(process)) << "a test program outlived the runner";
    ASSERT_TRUE(Backup() == backup) << "the backup changed";

    testreg::SetDword("Software\\ORIM\\Halvoren12QX\\Configs", "WIDTH", 7); // by the game, or the player, since
    const State since = Stored();
    EXPECT_EQ(Run(other_, L""), 0u);
    EXPECT_EQ(Stored(), before);
    EXPECT_TRUE(Backup().empty());
    WIN32_FIND_DATAW kept;
    HANDLE search = FindFirstFileW((state_ + L"orim-before-restore-*.bin").c_str(), &kept);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "what was set since is not kept";
    FindClose(search);
    EXPECT_NE(Output(other_).find(" rename that file to orim-backup.bin"), std::string::npos);
    ASSERT_TRUE(MoveFileW((state_ + kept.cFileName).c_str(), (state_ + L"orim-backup.bin").c_str()));
    EXPECT_EQ(Run(other_, L""), 0u);
    EXPECT_EQ(Stored(), since);
}

// A scanner that holds the lock for a moment is waited for. One that holds the backup through the end of a run keeps
// it from being deleted: the run still passes, and the backup, marked as put back, never overwrites what is set later.
TEST_F(KitRunner, FilesHeldByAScannerCostNoSettingsAndNoFalseResult) {
    HANDLE lock = CreateFileW((state_ + L"run.lock").c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION run = Start(kit_, L"", L"pass");
    Sleep(500);
    CloseHandle(lock);
    EXPECT_EQ(Finish(run), 0u) << Output(kit_);

    const State before = Stored();
    HANDLE held = nullptr;
    EXPECT_EQ(RunPaused(kit_, L"kit_crasher.exe", L"pass",
                        [&] {
                            held = CreateFileW((state_ + L"orim-backup.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING, 0, nullptr);
                        }),
              0u)
        << Output(kit_);
    CloseHandle(held);
    EXPECT_EQ(Stored(), before);
    testreg::SetDword("Software\\ORIM\\Halvoren12QX\\Configs", "WIDTH", 1600);
    const State later = Stored();
    EXPECT_EQ(Run(other_, L""), 0u);
    EXPECT_EQ(Stored(), later);
    EXPECT_TRUE(Backup().empty());
}

using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
struct UnicodeString {
    USHORT length, maximumLength;
    const wchar_t* buffer;
};
using NtSetValueKeyFunction = LONG(WINAPI*)(HANDLE, const UnicodeString*, ULONG, ULONG, const void*, ULONG);
template <typename Function> Function Ntdll(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// A key's access list: `acl`, or none (everyone may do anything).
ACL empty{ACL_REVISION, 0, sizeof(ACL), 0, 0};
LONG SetAccess(HKEY key, ACL* acl) {
    SECURITY_DESCRIPTOR access;
    InitializeSecurityDescriptor(&access, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&access, TRUE, acl, FALSE);
    return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &access);
}

// A link (its target outside the game's tree), a name the W functions cannot give again, and a key this user may not
// read, the game's own among them, stop the run before anything changes, naming the key.
TEST_F(KitRunner, ATreeTheKitCannotKeepAsItIsStopsTheRunBeforeAnythingChanges) {
    const State before = Stored();
    // The link's target, by the name the kernel gives HKEY_CURRENT_USER.
    const std::string root = testreg::ProcessTestRoot();
    testreg::SetDword(root, "outside", 1);
    HANDLE token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE user[256];
    DWORD size = sizeof user;
    GetTokenInformation(token, TokenUser, user, size, &size);
    CloseHandle(token);
    wchar_t* sid = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid);
    const std::wstring target =
        L"\\Registry\\User\\" + std::wstring(sid) + L"\\" + std::wstring(root.begin(), root.end());
    LocalFree(sid);
    for (const wchar_t* path : {L"Software\\ORIM\\Halvoren12QX Tc\\Link", L"Software\\ORIM\\Halvoren12QX Tc\\Name",
                                L"Software\\ORIM\\Halvoren12QX Tc\\Locked", L"Software\\ORIM"}) {
        const std::wstring kind = wcsrchr(path, L'\\') + 1;
        SCOPED_TRACE(testing::Message() << kind);
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, kind == L"Link" ? REG_OPTION_CREATE_LINK : 0,
                                  KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (kind == L"Link") {
            RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                           static_cast<DWORD>(target.size() * sizeof(wchar_t)));
        } else if (kind == L"Name") {
            const UnicodeString name{6, 6, L"a\0b"};
            const DWORD one = 1;
            Ntdll<NtSetValueKeyFunction>("NtSetValueKey")(key, &name, 0, REG_DWORD, &one, 4);
        } else {
            SetAccess(key, &empty); // nobody may read it
        }
        RegCloseKey(key);
        const State arranged = Stored();
        EXPECT_EQ(Run(kit_, L""), 2u);
        EXPECT_EQ(Stored(), arranged);
        EXPECT_TRUE(Backup().empty());
        const std::wstring named = L"HKEY_CURRENT_USER\\" + std::wstring(path) + L" ";
        EXPECT_NE(Output(kit_).find(std::string(named.begin(), named.end())), std::string::npos) << Output(kit_);
        // Taken away again as it is: readable first, and a link by its own handle, not by its target's name.
        for (REGSAM access : {REGSAM{WRITE_DAC}, REGSAM{DELETE}}) {
            if (RegOpenKeyExW(HKEY_CURRENT_USER, path, REG_OPTION_OPEN_LINK, access, &key) == ERROR_SUCCESS) {
                if (access == WRITE_DAC)
                    SetAccess(key, nullptr);
                else if (kind != L"ORIM")
                    Ntdll<NtDeleteKeyFunction>("NtDeleteKey")(key);
                RegCloseKey(key);
            }
        }
        EXPECT_EQ(Stored(), before);
    }
    EXPECT_TRUE(testreg::Read(root, "outside")) << "the link's target was deleted";
    testreg::DeleteTreeAndEmptyParent(root);
}

// Started on its own, a test program saves and puts back the settings itself; under the runner, it reports from a
// folder the code page cannot name on a volume without short names, and from one with a blank that it can. The
// runner as a tester starts it fails, by name, for each program or file the kit ships that is not there.
TEST_F(KitRunner, ATestProgramStartedAloneOrFromAnyFolderKeepsTheSettingsAndReports) {
    const State before = Stored();
    struct Row {
        const char* trace;
        std::wstring* kit;
        const wchar_t* programs;
        const wchar_t* noShortNames;
    } rows[] = {{"started alone", &kit_, nullptr, nullptr},
                {"under the runner, unnamable folder, no short names", &kit_, L"kit_crasher.exe", L"1"},
                {"under the runner, folder with a blank", &other_, L"kit_crasher.exe", nullptr}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.trace);
        SetEnvironmentVariableW(L"QX_KIT_NO_SHORT_NAMES", row.noShortNames);
        EXPECT_EQ(RunPaused(*row.kit, row.programs, L"pass"), 0u) << Output(*row.kit);
        EXPECT_EQ(Stored(), before);
        EXPECT_TRUE(Backup().empty());
        if (row.programs) {
            EXPECT_NE(GetFileAttributesW((*row.kit + L"kit_crasher.xml").c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
    EXPECT_EQ(Run(other_, kShipped), 1u);
    for (const char* name : {"store_tests.exe", "e2e_tests.exe", "kit_tests.exe", "QXLauncher.exe", "HALV12QX.exe"})
        EXPECT_NE(Output(other_).find(name + std::string(" ")), std::string::npos) << name << " not named";
    EXPECT_EQ(Stored(), before);
}

// A backup that is held open elsewhere, or cut short at any record, stops the run before anything changes; once
// whole and free again, it is put back.
TEST_F(KitRunner, ABackupThatCannotBeReadOrParsedStopsTheRunAndIsKept) {
    const State before = Stored();
    SetEvent(go_);
    PROCESS_INFORMATION alone = Start(kit_, nullptr, L"wait");
    HANDLE crasher = CrasherRunning(), child = CrasherRunning("child");
    ASSERT_TRUE(crasher && child) << "the test program or its child never ran";
    Finish(alone, true);
    EXPECT_TRUE(Ends(child)) << "the test program's child outlived it";
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

// The backup's folder is the one the system gives for the user's roaming application data, also without %APPDATA%
// (as when a program clears its environment), as on XP, where it is found where Explorer records it.
TEST(KitState, IsInTheRoamingApplicationDataFolderTheSystemReports) {
    wchar_t system[MAX_PATH] = {}, saved[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, system), S_OK);
    const bool set = GetEnvironmentVariableW(L"APPDATA", saved, MAX_PATH) > 0;
    for (bool cleared : {false, true}) {
        SCOPED_TRACE(cleared ? "no %APPDATA%" : "as started");
        if (cleared)
            SetEnvironmentVariableW(L"APPDATA", nullptr);
        EXPECT_EQ(gamekeys::StateFolder(), std::wstring(system) + L"\\QXLauncher Tests\\");
    }
    SetEnvironmentVariableW(L"APPDATA", set ? saved : nullptr);
}

} // namespace
