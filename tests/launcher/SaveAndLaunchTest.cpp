// The click of "启动游戏": what reaches the game's stored settings, what is probed and started, and when the launcher
// ends or complains.
#include "SaveAndLaunch.h"

#include "../store/TestRegistry.h"
#include "Fakes.h"
#include "RegistryStandIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kinds = std::vector<FakeSystem::Kind>;

const std::string kChineseConfigs = "Software\\ORIM\\Halvoren12QX Tc\\Configs";
const std::string kChineseInstall = "Software\\ORIM\\Halvoren12QX Tc\\Install";
const std::string kJapaneseConfigs = "Software\\ORIM\\Halvoren12QX\\Configs";
const std::string kJapaneseInstall = "Software\\ORIM\\Halvoren12QX\\Install";
constexpr std::uint32_t kDword = 4;
constexpr int kShowMinimized = 2;
const std::wstring kMissingPrefix = L"找不到可运行的文件！";

Bytes Le(std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

// Both editions installed as the game's installer leaves them, with settings from an earlier run; the form as Form1
// opens (Chinese edition, full screen, exit after start checked).
class SaveAndLaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        StoreSettings(kChineseConfigs, 0, 640, 480);
        StoreSettings(kJapaneseConfigs, 2, 800, 600);
        testreg::SetText(kChineseInstall, "InstallInfo", "D:\\Games\\Z\\");
        testreg::SetText(kJapaneseInstall, "InstallInfo", "E:\\Spiele\\QX\\");
        standin::ClearJournal();
    }

    static void StoreSettings(const std::string& key, std::int32_t fullscreen, std::int32_t width,
                              std::int32_t height) {
        testreg::SetDword(key, "FULLSCREEN", fullscreen);
        testreg::SetDword(key, "WIDTH", width);
        testreg::SetDword(key, "HEIGHT", height);
    }

    void Type(const std::wstring& width, const std::wstring& height) {
        form_.text1 = width;
        form_.text2 = height;
    }

    static void ExpectStored(const std::string& key, const std::string& name, std::int32_t value) {
        SCOPED_TRACE(key + " " + name);
        auto raw = testreg::Read(key, name);
        ASSERT_TRUE(raw.has_value());
        EXPECT_EQ(raw->type, kDword);
        EXPECT_EQ(raw->bytes, Le(value));
    }

    static void ExpectSettings(const std::string& key, std::int32_t fullscreen, std::int32_t width,
                               std::int32_t height) {
        ExpectStored(key, "FULLSCREEN", fullscreen);
        ExpectStored(key, "WIDTH", width);
        ExpectStored(key, "HEIGHT", height);
    }

    // Every value the click wrote, as "key|name", in order.
    static std::vector<std::string> Writes() {
        std::vector<std::string> writes;
        for (const auto& call : standin::Journal())
            if (call.kind == standin::Call::Set)
                writes.push_back(call.keyPath + "|" + call.valueName);
        return writes;
    }

    static bool JournalMentions(const std::string& key) {
        const auto& journal = standin::Journal();
        return std::any_of(journal.begin(), journal.end(), [&](const auto& call) { return call.keyPath == key; });
    }

    // Started once, minimized with focus; the command line is the path unless said otherwise.
    void ExpectLaunched(const std::wstring& path, const std::wstring& commandLine = {}) const {
        auto starts = os_.CallsOf(FakeSystem::StartProcessCall);
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0].path, path);
        EXPECT_EQ(starts[0].commandLine, commandLine.empty() ? path : commandLine);
        EXPECT_EQ(starts[0].showCommand, kShowMinimized);
    }

    FakeForm form_;
    FakeSystem os_;
};

TEST_F(SaveAndLaunchTest, ChineseFullScreenWritesThenStartsFromItsDirectoryAndEnds) {
    Type(L"1280", L"960");
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    ExpectSettings(kChineseConfigs, 1, 1280, 960);
    EXPECT_EQ(Writes(), (std::vector<std::string>{kChineseConfigs + "|WIDTH", kChineseConfigs + "|HEIGHT",
                                                  kChineseConfigs + "|FULLSCREEN"}));
    // After the writes: one read of the installation directory, from the Chinese installation key.
    const auto& journal = standin::Journal();
    auto lastSet = std::find_if(journal.rbegin(), journal.rend(),
                                [](const auto& call) { return call.kind == standin::Call::Set; });
    ASSERT_NE(lastSet, journal.rend());
    std::vector<standin::Call> after(lastSet.base(), journal.end());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front().kind, standin::Call::Close);
    int installQueries = 0;
    for (std::size_t i = 1; i < after.size(); ++i) {
        EXPECT_EQ(after[i].keyPath, kChineseInstall);
        if (after[i].kind == standin::Call::Query) {
            EXPECT_EQ(after[i].valueName, "InstallInfo");
            ++installQueries;
        }
        EXPECT_NE(after[i].kind, standin::Call::Set);
    }
    EXPECT_GE(installQueries, 1);

    EXPECT_EQ(os_.Kinds(),
              (Kinds{FakeSystem::FileExistsCall, FakeSystem::ChangeDriveCall, FakeSystem::ChangeDirectoryCall,
                     FakeSystem::StartProcessCall, FakeSystem::ExitProgramCall}));
    EXPECT_EQ(os_.calls[0].path, L"D:\\Games\\Z\\HALV12QX.exe");
    EXPECT_EQ(os_.calls[1].drive, L'D');
    EXPECT_EQ(os_.calls[2].path, L"D:\\Games\\Z\\");
    ExpectLaunched(L"D:\\Games\\Z\\HALV12qx.exe");
    // Every registry call was made before the probe.
    for (const auto& call : os_.calls)
        EXPECT_EQ(call.journalLength, journal.size());
}

TEST_F(SaveAndLaunchTest, CkexitUncheckedLeavesTheWindowOpenAsItWas) {
    Type(L"1280", L"960");
    form_.ckexit = 0;
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    ExpectLaunched(L"D:\\Games\\Z\\HALV12qx.exe");
    EXPECT_TRUE(os_.CallsOf(FakeSystem::ExitProgramCall).empty());
    EXPECT_TRUE(os_.Messages().empty());
    EXPECT_TRUE(form_.setCalls.empty());
    EXPECT_EQ(form_.text1, L"1280");
    EXPECT_EQ(form_.text2, L"960");
}

TEST_F(SaveAndLaunchTest, OnlyACheckedCkexitEndsTheLauncher) {
    // A check box can also report 2, its third (grayed) state: that is not "checked".
    form_.ckexit = 2;
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    ExpectLaunched(L"D:\\Games\\Z\\HALV12qx.exe");
    EXPECT_TRUE(os_.CallsOf(FakeSystem::ExitProgramCall).empty());
}

TEST_F(SaveAndLaunchTest, JapaneseEditionUsesItsOwnKeysAndStartName) {
    form_.ChooseEdition(false, true);
    Type(L"1600", L"900");
    os_.files = {L"E:\\Spiele\\QX\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    ExpectSettings(kJapaneseConfigs, 1, 1600, 900);
    EXPECT_EQ(Writes(), (std::vector<std::string>{kJapaneseConfigs + "|WIDTH", kJapaneseConfigs + "|HEIGHT",
                                                  kJapaneseConfigs + "|FULLSCREEN"}));
    EXPECT_TRUE(JournalMentions(kJapaneseInstall));
    EXPECT_EQ(os_.calls[0].path, L"E:\\Spiele\\QX\\HALV12QX.exe");
    EXPECT_EQ(os_.CallsOf(FakeSystem::ChangeDriveCall).at(0).drive, L'E');
    EXPECT_EQ(os_.CallsOf(FakeSystem::ChangeDirectoryCall).at(0).path, L"E:\\Spiele\\QX\\");
    ExpectLaunched(L"E:\\Spiele\\QX\\HALV12QX.exe");
    EXPECT_EQ(os_.CallsOf(FakeSystem::ExitProgramCall).size(), 1u);
}

TEST_F(SaveAndLaunchTest, TheOtherEditionIsLeftUntouched) {
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe", L"E:\\Spiele\\QX\\HALV12QX.exe"};
    Type(L"1280", L"960");

    SaveAndLaunch(form_, os_);
    EXPECT_FALSE(JournalMentions(kJapaneseConfigs));
    EXPECT_FALSE(JournalMentions(kJapaneseInstall));
    ExpectSettings(kJapaneseConfigs, 2, 800, 600);

    standin::ClearJournal();
    form_.ChooseEdition(false, true);
    Type(L"1024", L"768");
    SaveAndLaunch(form_, os_);
    EXPECT_FALSE(JournalMentions(kChineseConfigs));
    EXPECT_FALSE(JournalMentions(kChineseInstall));
    ExpectSettings(kChineseConfigs, 1, 1280, 960);
    ExpectSettings(kJapaneseConfigs, 1, 1024, 768);
}

using DisplayModeChoice = SaveAndLaunchTest;

TEST_F(DisplayModeChoice, WindowedStoresZero) {
    testreg::SetDword(kChineseConfigs, "FULLSCREEN", 1);
    form_.ChooseDisplayMode(true, false);

    SaveAndLaunch(form_, os_);

    ExpectStored(kChineseConfigs, "FULLSCREEN", 0);
    EXPECT_EQ(Writes().size(), 3u);
}

TEST_F(DisplayModeChoice, NeitherButtonLeavesTheStoredModeAsItIs) {
    form_.ChooseDisplayMode(false, false);

    SaveAndLaunch(form_, os_);

    EXPECT_EQ(Writes(), (std::vector<std::string>{kChineseConfigs + "|WIDTH", kChineseConfigs + "|HEIGHT"}));
    ExpectSettings(kChineseConfigs, 0, 1024, 768);
}

TEST_F(DisplayModeChoice, Op1WinsWhenBothAreSelected) {
    form_.ChooseDisplayMode(true, true);

    SaveAndLaunch(form_, os_);

    ExpectStored(kChineseConfigs, "FULLSCREEN", 0);
    EXPECT_EQ(Writes().size(), 3u);
}

using EditionChoice = SaveAndLaunchTest;

TEST_F(EditionChoice, NeitherEditionDoesNothingAtAll) {
    form_.ChooseEdition(false, false);
    Type(L"1280", L"960");
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe", L"E:\\Spiele\\QX\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    EXPECT_TRUE(standin::Journal().empty());
    EXPECT_TRUE(os_.calls.empty());
    EXPECT_TRUE(form_.setCalls.empty());
    ExpectSettings(kChineseConfigs, 0, 640, 480);
    ExpectSettings(kJapaneseConfigs, 2, 800, 600);
}

TEST_F(EditionChoice, Zop1WinsWhenBothAreSelected) {
    form_.ChooseEdition(true, true);
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe", L"E:\\Spiele\\QX\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    ExpectSettings(kChineseConfigs, 1, 1024, 768);
    ExpectSettings(kJapaneseConfigs, 2, 800, 600);
    ExpectLaunched(L"D:\\Games\\Z\\HALV12qx.exe");
}

using SizeFields = SaveAndLaunchTest;

TEST_F(SizeFields, TextWithoutANumberIsStoredAsZero) {
    Type(L"abc", L"");

    SaveAndLaunch(form_, os_);

    ExpectStored(kChineseConfigs, "WIDTH", 0);
    ExpectStored(kChineseConfigs, "HEIGHT", 0);
}

TEST_F(SizeFields, MinusOneIsStoredAsAllOnes) {
    Type(L"1024", L"-1");

    SaveAndLaunch(form_, os_);

    auto raw = testreg::Read(kChineseConfigs, "HEIGHT");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, kDword);
    EXPECT_EQ(raw->bytes, (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(SizeFields, SixteenBitLimitsAreStoredSignExtended) {
    // Each field on its own: a width widened without its sign would store 00 80 00 00.
    const Bytes kMax{0xFF, 0x7F, 0x00, 0x00}, kMin{0x00, 0x80, 0xFF, 0xFF};
    for (bool widthNegative : {false, true}) {
        SCOPED_TRACE(widthNegative ? "negative width" : "negative height");
        FakeSystem os;
        Type(widthNegative ? L"-32768" : L"32767", widthNegative ? L"32767" : L"-32768");

        SaveAndLaunch(form_, os);

        auto width = testreg::Read(kChineseConfigs, "WIDTH");
        auto height = testreg::Read(kChineseConfigs, "HEIGHT");
        ASSERT_TRUE(width && height);
        EXPECT_EQ(width->bytes, widthNegative ? kMin : kMax);
        EXPECT_EQ(height->bytes, widthNegative ? kMax : kMin);
        EXPECT_EQ(os.Messages().size(), 1u); // only the missing executable
    }
}

TEST_F(SizeFields, OutOfRangeWidthStopsBeforeAnythingIsWritten) {
    Type(L"40000", L"768");
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    auto messages = os_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"宽度"), std::wstring::npos) << "names the field";
    EXPECT_EQ(messages[0].find(L"高度"), std::wstring::npos);
    EXPECT_NE(messages[0].find(L"40000"), std::wstring::npos) << "quotes the text";
    EXPECT_EQ(os_.Kinds(), (Kinds{FakeSystem::ShowErrorCall}));
    EXPECT_TRUE(Writes().empty());
    ExpectSettings(kChineseConfigs, 0, 640, 480);
    EXPECT_TRUE(form_.setCalls.empty());
    EXPECT_EQ(form_.text1, L"40000");
}

TEST_F(SizeFields, OutOfRangeHeightStopsBeforeAnythingIsWritten) {
    Type(L"1024", L"-40000");
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    auto messages = os_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"高度"), std::wstring::npos) << "names the field";
    EXPECT_EQ(messages[0].find(L"宽度"), std::wstring::npos);
    EXPECT_NE(messages[0].find(L"-40000"), std::wstring::npos) << "quotes the text";
    EXPECT_EQ(os_.Kinds(), (Kinds{FakeSystem::ShowErrorCall}));
    EXPECT_TRUE(Writes().empty());
    ExpectSettings(kChineseConfigs, 0, 640, 480);
    EXPECT_TRUE(form_.setCalls.empty());
    EXPECT_EQ(form_.text2, L"-40000");
}

TEST_F(SizeFields, BothOutOfRangeGiveOneMessage) {
    Type(L"99999", L"40000");

    SaveAndLaunch(form_, os_);

    EXPECT_EQ(os_.Messages().size(), 1u);
    EXPECT_TRUE(Writes().empty());
}

using MissingExecutable = SaveAndLaunchTest;

TEST_F(MissingExecutable, ValuesStayWrittenAndOneMessageNamesTheProbedPath) {
    form_.ChooseEdition(false, true);
    Type(L"1280", L"960");
    ASSERT_EQ(form_.ckexit, 1);

    SaveAndLaunch(form_, os_);

    ExpectSettings(kJapaneseConfigs, 1, 1280, 960);
    EXPECT_EQ(os_.Kinds(), (Kinds{FakeSystem::FileExistsCall, FakeSystem::ShowErrorCall}));
    EXPECT_EQ(os_.calls[0].path, L"E:\\Spiele\\QX\\HALV12QX.exe");
    EXPECT_EQ(os_.Messages(), (std::vector<std::wstring>{kMissingPrefix + L"E:\\Spiele\\QX\\HALV12QX.exe"}));
    EXPECT_TRUE(form_.setCalls.empty());
}

TEST_F(MissingExecutable, ChineseProbeUsesTheUpperCaseName) {
    // Only the start name's spelling is present; the probe and the message use the other one.
    os_.files = {L"D:\\Games\\Z\\HALV12qx.exe"};

    SaveAndLaunch(form_, os_);

    EXPECT_EQ(os_.calls.at(0).path, L"D:\\Games\\Z\\HALV12QX.exe");
    EXPECT_EQ(os_.Messages(), (std::vector<std::wstring>{L"找不到可运行的文件！D:\\Games\\Z\\HALV12QX.exe"}));
    EXPECT_TRUE(os_.CallsOf(FakeSystem::StartProcessCall).empty());
    EXPECT_TRUE(os_.CallsOf(FakeSystem::ExitProgramCall).empty());
}

TEST_F(MissingExecutable, FileInTheOtherEditionsDirectoryDoesNotCount) {
    os_.files = {L"E:\\Spiele\\QX\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    EXPECT_EQ(os_.Kinds(), (Kinds{FakeSystem::FileExistsCall, FakeSystem::ShowErrorCall}));
}

using StoreGaps = SaveAndLaunchTest;

TEST_F(StoreGaps, MissingConfigurationKeyWritesNothingButStillLaunches) {
    testreg::DeleteTree(kChineseConfigs);
    standin::ClearJournal();
    Type(L"1280", L"960");
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(testreg::KeyExists(kChineseConfigs));
    EXPECT_TRUE(JournalMentions(kChineseInstall));
    ExpectLaunched(L"D:\\Games\\Z\\HALV12qx.exe");
    EXPECT_EQ(os_.CallsOf(FakeSystem::ExitProgramCall).size(), 1u);
}

// A launcher copied into the game's folder, with no installation recorded: the bare name is found where it started,
// which it makes current; the game gets the bare name as its command line.
TEST_F(StoreGaps, MissingInstallKeyFindsTheBareNameWhereTheLauncherStarted) {
    testreg::DeleteTree(kChineseInstall);
    standin::ClearJournal();
    os_.files = {L"C:\\Launcher\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    EXPECT_FALSE(testreg::KeyExists(kChineseInstall));
    EXPECT_EQ(os_.calls.at(0).path, L"C:\\Launcher\\HALV12QX.exe");
    EXPECT_EQ(os_.CallsOf(FakeSystem::ChangeDirectoryCall).at(0).path, L"C:\\Launcher\\");
    ExpectLaunched(L"C:\\Launcher\\HALV12qx.exe", L"HALV12qx.exe");
    EXPECT_EQ(os_.CallsOf(FakeSystem::ExitProgramCall).size(), 1u);
}

TEST_F(StoreGaps, InstallKeyWithoutInstallInfoMissesTheBareName) {
    testreg::DeleteTree(kChineseInstall);
    testreg::CreateKey(kChineseInstall);

    SaveAndLaunch(form_, os_);

    EXPECT_EQ(os_.Messages(), (std::vector<std::wstring>{L"找不到可运行的文件！HALV12QX.exe"}));
    EXPECT_TRUE(os_.CallsOf(FakeSystem::ChangeDriveCall).empty());
}

// The launcher stayed open after starting the Chinese edition, so its current folder is that edition's; the
// Japanese one, with no installation recorded, must not find and start the Chinese game there by its bare name.
TEST_F(StoreGaps, AnEditionWithoutInstallationNeverStartsTheOneLaunchedBefore) {
    form_.ckexit = 0;
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};
    SaveAndLaunch(form_, os_);
    ASSERT_EQ(os_.currentDirectory, L"D:\\Games\\Z\\");

    testreg::DeleteTree(kJapaneseInstall);
    form_.ChooseEdition(false, true);
    os_.calls.clear();
    SaveAndLaunch(form_, os_);

    EXPECT_EQ(os_.Messages(), (std::vector<std::wstring>{kMissingPrefix + L"HALV12QX.exe"}));
    EXPECT_TRUE(os_.CallsOf(FakeSystem::StartProcessCall).empty());
}

using InstallDirectory = SaveAndLaunchTest;

TEST_F(InstallDirectory, NetworkPathChangesDirectoryButNoDrive) {
    testreg::SetText(kChineseInstall, "InstallInfo", "\\\\server\\share\\Games\\");
    os_.files = {L"\\\\server\\share\\Games\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    EXPECT_EQ(os_.Kinds(), (Kinds{FakeSystem::FileExistsCall, FakeSystem::ChangeDirectoryCall,
                                  FakeSystem::StartProcessCall, FakeSystem::ExitProgramCall}));
    EXPECT_EQ(os_.CallsOf(FakeSystem::ChangeDirectoryCall).at(0).path, L"\\\\server\\share\\Games\\");
    ExpectLaunched(L"\\\\server\\share\\Games\\HALV12qx.exe");
}

TEST_F(InstallDirectory, BlanksInThePathAreNeitherQuotedNorLeftToTheSystem) {
    testreg::SetText(kChineseInstall, "InstallInfo", "C:\\Program Files\\Halvoren 12QX\\");
    os_.files = {L"C:\\Program Files\\Halvoren 12QX\\HALV12QX.exe"};

    SaveAndLaunch(form_, os_);

    ExpectLaunched(L"C:\\Program Files\\Halvoren 12QX\\HALV12qx.exe");
    auto start = os_.CallsOf(FakeSystem::StartProcessCall).at(0);
    EXPECT_EQ(start.commandLine.find(L'"'), std::wstring::npos);
    EXPECT_EQ(os_.CallsOf(FakeSystem::ChangeDriveCall).at(0).drive, L'C');
    EXPECT_EQ(os_.CallsOf(FakeSystem::ChangeDirectoryCall).at(0).path, L"C:\\Program Files\\Halvoren 12QX\\");
}

// A directory stored relative to the current drive or directory is resolved once, before the probe, and what was
// probed is what the directory change and the start use.
TEST_F(InstallDirectory, RelativeDirectoryIsResolvedOnceForProbeDirectoryAndStart) {
    struct Row {
        const char* stored;
        const wchar_t* resolved;
        wchar_t drive; // 0: no drive change
    };
    const Row rows[] = {
        {"Games\\", L"C:\\Launcher\\Games\\", L'C'},
        {"D:Games\\", L"D:\\Saved\\Games\\", L'D'},
        {"\\Games\\", L"E:\\Games\\", L'E'},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        FakeSystem os;
        testreg::SetText(kChineseInstall, "InstallInfo", row.stored);
        const std::wstring resolved = row.resolved;
        const std::string stored = row.stored;
        os.fullPaths = {{std::wstring(stored.begin(), stored.end()), resolved}};
        os.files = {resolved + L"HALV12QX.exe"};

        SaveAndLaunch(form_, os);

        EXPECT_EQ(os.Kinds(),
                  (Kinds{FakeSystem::FullPathCall, FakeSystem::FileExistsCall, FakeSystem::ChangeDriveCall,
                         FakeSystem::ChangeDirectoryCall, FakeSystem::StartProcessCall, FakeSystem::ExitProgramCall}));
        EXPECT_TRUE(os.Messages().empty());
        EXPECT_EQ(os.CallsOf(FakeSystem::ChangeDriveCall).at(0).drive, row.drive);
        EXPECT_EQ(os.CallsOf(FakeSystem::ChangeDirectoryCall).at(0).path, resolved);
        auto start = os.CallsOf(FakeSystem::StartProcessCall).at(0);
        EXPECT_EQ(start.path, resolved + L"HALV12qx.exe");
        EXPECT_EQ(start.commandLine, resolved + L"HALV12qx.exe");
    }
}

TEST_F(InstallDirectory, MissingGameInARelativeDirectoryIsReportedWhereItWasLookedFor) {
    testreg::SetText(kChineseInstall, "InstallInfo", "Games\\");
    os_.fullPaths = {{L"Games\\", L"C:\\Launcher\\Games\\"}};

    SaveAndLaunch(form_, os_);

    EXPECT_EQ(os_.Messages(), (std::vector<std::wstring>{kMissingPrefix + L"C:\\Launcher\\Games\\HALV12QX.exe"}));
}

using LaunchFailure = SaveAndLaunchTest;

TEST_F(LaunchFailure, DriveChangeFailingDoesNotStopALaunchThatCanSucceed) {
    // "D:" alone fails when D's remembered directory was deleted; the full directory change still works.
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};
    os_.changeDriveError = 3;

    SaveAndLaunch(form_, os_);

    EXPECT_TRUE(os_.Messages().empty());
    EXPECT_EQ(os_.CallsOf(FakeSystem::ChangeDirectoryCall).at(0).path, L"D:\\Games\\Z\\");
    ExpectLaunched(L"D:\\Games\\Z\\HALV12qx.exe");
    EXPECT_EQ(os_.CallsOf(FakeSystem::ExitProgramCall).size(), 1u);
}

TEST_F(LaunchFailure, DirectoryChangeFailingIsReportedAndNothingStarts) {
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};
    os_.changeDriveError = 15; // the directory's own error is the one reported
    os_.changeDirectoryError = 5;

    SaveAndLaunch(form_, os_);

    auto messages = os_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"D:\\Games\\Z\\"), std::wstring::npos);
    EXPECT_NE(messages[0].find(FakeSystem::ErrorTextFor(5)), std::wstring::npos);
    EXPECT_EQ(os_.CallsOf(FakeSystem::ErrorTextCall).at(0).error, 5u);
    EXPECT_TRUE(os_.CallsOf(FakeSystem::StartProcessCall).empty());
    EXPECT_TRUE(os_.CallsOf(FakeSystem::ExitProgramCall).empty());
    // The settings were saved before the attempt and stay saved.
    ExpectSettings(kChineseConfigs, 1, 1024, 768);
}

TEST_F(LaunchFailure, StartFailingIsReportedWithThePathAndTheLauncherStaysOpen) {
    os_.files = {L"D:\\Games\\Z\\HALV12QX.exe"};
    os_.startProcessError = 193;

    SaveAndLaunch(form_, os_);

    ExpectLaunched(L"D:\\Games\\Z\\HALV12qx.exe");
    auto messages = os_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"D:\\Games\\Z\\HALV12qx.exe"), std::wstring::npos);
    EXPECT_NE(messages[0].find(FakeSystem::ErrorTextFor(193)), std::wstring::npos);
    EXPECT_EQ(messages[0].find(kMissingPrefix), std::wstring::npos);
    EXPECT_EQ(os_.CallsOf(FakeSystem::ErrorTextCall).at(0).path, L"D:\\Games\\Z\\HALV12qx.exe"); // for its "%1"
    EXPECT_TRUE(os_.CallsOf(FakeSystem::ShellStartCall).empty());
    EXPECT_TRUE(os_.CallsOf(FakeSystem::ExitProgramCall).empty());
}

// A game that needs administrator rights: the start fails with 740 and the shell starts it again, with the prompt.
TEST_F(LaunchFailure, ElevationRequiredStartsTheGameThroughTheShell) {
    struct Row {
        std::uint32_t shellError; // 0: the player accepts the prompt; 1223: declines it; 5: the shell fails too
        bool reported, exits;
    };
    for (const Row& row : {Row{0, false, true}, Row{1223, false, false}, Row{5, true, false}}) {
        SCOPED_TRACE(row.shellError);
        FakeSystem os;
        os.files = {L"D:\\Games\\Z\\HALV12QX.exe"};
        os.startProcessError = 740;
        os.shellStartError = row.shellError;

        SaveAndLaunch(form_, os);

        auto shell = os.CallsOf(FakeSystem::ShellStartCall);
        ASSERT_EQ(shell.size(), 1u);
        EXPECT_EQ(shell[0].path, L"D:\\Games\\Z\\HALV12qx.exe");
        EXPECT_EQ(shell[0].commandLine, L"D:\\Games\\Z\\"); // its directory
        EXPECT_EQ(shell[0].showCommand, kShowMinimized);
        EXPECT_EQ(os.Messages().size(), row.reported ? 1u : 0u);
        EXPECT_EQ(os.CallsOf(FakeSystem::ErrorTextCall).size(), row.reported ? 1u : 0u);
        EXPECT_EQ(os.CallsOf(FakeSystem::ExitProgramCall).size(), row.exits ? 1u : 0u);
    }
}

} // namespace
