// The test kit's runner loses none of a player's settings: the game's keys come back bit for bit after a test program
// that crashed mid-test, and after a run that was cut short, whose backup the next run puts back before it starts.
#include "../TestHost_win.h"
#include "../store/TestRegistry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Value {
    const char* key;
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
};

const Value kValues[] = {
    {"Software\\ORIM", "", REG_SZ, {'o', 'r', 'i', 'm', 0}}, // the key's default value
    {"Software\\ORIM\\Halvoren12QX\\Configs", "WIDTH", REG_DWORD, {0x00, 0x05, 0, 0}},
    {"Software\\ORIM\\Halvoren12QX\\Configs", "Blob", REG_BINARY, {0, 1, 0xFE, 0xFF, 0}},
    {"Software\\ORIM\\Halvoren12QX Tc\\Install", "InstallInfo", REG_SZ, {'C', ':', '\\'}}, // no terminator
    {"Software\\ORIM\\Halvoren12QX Tc\\Install\\Nested", "List", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}},
};
const char* const kKeys[] = {"Software\\ORIM", "Software\\ORIM\\Empty", "Software\\ORIM\\Crashed"};

// Every arranged value as stored now (type and bytes, or nothing), and which keys exist.
std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> Stored() {
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> stored;
    for (const Value& v : kValues) {
        auto raw = testreg::Read(v.key, v.name);
        stored.emplace_back(raw ? raw->type : ~0u, raw ? raw->bytes : std::vector<std::uint8_t>{});
    }
    for (const char* key : kKeys)
        stored.emplace_back(testreg::KeyExists(key), std::vector<std::uint8_t>{});
    return stored;
}

class KitRunner : public ::testing::Test {
protected:
    void SetUp() override {
        kit_ = TempFolder(L"qx kit 测试");
        ASSERT_TRUE(
            CopyFileW(Companion(L"kit-runner.exe", QX_KIT_RUNNER).c_str(), (kit_ + L"kit-runner.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(Companion(L"kit_crasher.exe", QX_KIT_CRASHER).c_str(),
                              (kit_ + L"kit_crasher.exe").c_str(), FALSE));
        testreg::DeleteTree("Software\\ORIM");
        for (const Value& v : kValues)
            testreg::SetRaw(v.key, v.name, v.type, v.bytes);
        testreg::CreateKey(kKeys[1]);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"QX_KIT_CRASHER_WAIT", nullptr);
        for (const wchar_t* file :
             {L"kit-runner.exe", L"kit_crasher.exe", L"kit_crasher.xml", L"kit_crasher.txt", L"orim-backup.bin"})
            DeleteFileW((kit_ + file).c_str());
        RemoveDirectoryW(kit_.c_str());
        testreg::DeleteTree("Software\\ORIM");
    }

    // Starts the kit's runner on the given programs.
    PROCESS_INFORMATION Start(const std::wstring& programs) {
        std::wstring line = L"\"" + kit_ + L"kit-runner.exe\" --programs " + programs;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        EXPECT_TRUE(CreateProcessW((kit_ + L"kit-runner.exe").c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   kit_.c_str(), &startup, &process));
        return process;
    }

    DWORD Run(const std::wstring& programs) {
        PROCESS_INFORMATION process = Start(programs);
        WaitForSingleObject(process.hProcess, 120000);
        DWORD exitCode = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return exitCode;
    }

    bool BackupLeft() const {
        return GetFileAttributesW((kit_ + L"orim-backup.bin").c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::wstring kit_;
};

TEST_F(KitRunner, ACrashedTestProgramFailsTheRunAndTheGameKeysComeBackBitForBit) {
    for (bool absent : {false, true}) {
        SCOPED_TRACE(absent ? "no game keys" : "game keys with odd values");
        if (absent)
            testreg::DeleteTree("Software\\ORIM");
        const auto before = Stored();
        EXPECT_NE(Run(L"kit_crasher.exe"), 0u);
        EXPECT_EQ(Stored(), before);
        EXPECT_FALSE(BackupLeft());
    }
}

TEST_F(KitRunner, ARunCutShortIsPutRightByTheNextBeforeItStarts) {
    const auto before = Stored();
    SetEnvironmentVariableW(L"QX_KIT_CRASHER_WAIT", L"1");
    PROCESS_INFORMATION process = Start(L"kit_crasher.exe");
    std::optional<testreg::Raw> crasher;
    for (int waited = 0; !crasher && waited < 1200; ++waited, Sleep(50))
        crasher = testreg::Read("Software\\ORIM\\Crashed", "pid");
    // Its window closed: the runner and the program it ran end at once.
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(crasher) << "the test program never ran";
    DWORD pid = 0;
    memcpy(&pid, crasher->bytes.data(), sizeof pid);
    if (HANDLE program = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(program, 1);
        WaitForSingleObject(program, 10000);
        CloseHandle(program);
    }
    ASSERT_TRUE(BackupLeft());
    ASSERT_NE(Stored(), before);

    EXPECT_EQ(Run(L""), 0u);
    EXPECT_EQ(Stored(), before);
    EXPECT_FALSE(BackupLeft());
}

} // namespace
