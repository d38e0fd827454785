// Loading the settings cache: six reads of the game's stored display settings, in a fixed order, nothing written.
#include "SettingsCache.h"

#include "../store/TestRegistry.h"
#include "RegistryStandIn.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kChineseConfigs = "Software\\ORIM\\Halvoren12QX Tc\\Configs";
const std::string kJapaneseConfigs = "Software\\ORIM\\Halvoren12QX\\Configs";

struct Settings {
    std::int32_t fullscreen, width, height;
};

class SettingsCacheLoad : public ::testing::Test {
protected:
    void SetUp() override { standin::Reset(); }

    static void Store(const std::string& key, Settings s) {
        testreg::SetDword(key, "FULLSCREEN", s.fullscreen);
        testreg::SetDword(key, "WIDTH", s.width);
        testreg::SetDword(key, "HEIGHT", s.height);
    }

    static void ExpectEdition(const SettingsCache& cache, int edition, Settings s) {
        SCOPED_TRACE("edition " + std::to_string(edition));
        EXPECT_EQ(cache.DisplayMode(edition), s.fullscreen);
        EXPECT_EQ(cache.Width(edition), s.width);
        EXPECT_EQ(cache.Height(edition), s.height);
    }

    static int CountOf(standin::Call::Kind kind) {
        int count = 0;
        for (const auto& call : standin::Journal())
            count += call.kind == kind;
        return count;
    }
};

TEST_F(SettingsCacheLoad, ReadsSixValuesInFixedOrderEachInsideItsOwnOpenAndClose) {
    Store(kChineseConfigs, {1, 1280, 1024});
    Store(kJapaneseConfigs, {0, 800, 600});
    standin::ClearJournal();

    SettingsCache cache;
    cache.Load();

    const std::vector<std::pair<std::string, std::string>> expected = {
        {kChineseConfigs, "FULLSCREEN"}, {kJapaneseConfigs, "FULLSCREEN"}, {kChineseConfigs, "WIDTH"},
        {kChineseConfigs, "HEIGHT"},     {kJapaneseConfigs, "WIDTH"},      {kJapaneseConfigs, "HEIGHT"},
    };
    const auto& journal = standin::Journal();
    ASSERT_EQ(journal.size(), expected.size() * 3);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("read " + std::to_string(i + 1) + ": " + expected[i].second);
        const auto& open = journal[3 * i];
        const auto& query = journal[3 * i + 1];
        const auto& close = journal[3 * i + 2];
        EXPECT_EQ(open.kind, standin::Call::Open);
        EXPECT_EQ(open.keyPath, expected[i].first);
        EXPECT_EQ(open.result, 0);
        EXPECT_EQ(query.kind, standin::Call::Query);
        EXPECT_EQ(query.keyPath, expected[i].first);
        EXPECT_EQ(query.valueName, expected[i].second);
        EXPECT_EQ(query.result, 0);
        EXPECT_EQ(close.kind, standin::Call::Close);
        EXPECT_EQ(close.keyPath, expected[i].first);
    }
    EXPECT_EQ(standin::OpenHandleCount(), 0);
}

TEST_F(SettingsCacheLoad, EveryEntryLandsInItsOwnSlot) {
    Store(kChineseConfigs, {3, 1280, 1024});
    Store(kJapaneseConfigs, {4, 1600, 900});

    SettingsCache cache;
    cache.Load();

    ExpectEdition(cache, 0, {3, 1280, 1024});
    ExpectEdition(cache, 1, {4, 1600, 900});
}

TEST_F(SettingsCacheLoad, ReadsFromCurrentUserOnly) {
    Store(kChineseConfigs, {1, 1920, 1080});
    // The same keys under another root must not be what the launcher sees.
    for (const std::string& key : {kChineseConfigs, kJapaneseConfigs}) {
        standin::SetValue(HKEY_LOCAL_MACHINE, key, "FULLSCREEN", REG_DWORD, {7, 0, 0, 0});
        standin::SetValue(HKEY_LOCAL_MACHINE, key, "WIDTH", REG_DWORD, {0x20, 0x03, 0, 0});
        standin::SetValue(HKEY_LOCAL_MACHINE, key, "HEIGHT", REG_DWORD, {0x58, 0x02, 0, 0});
    }

    SettingsCache cache;
    cache.Load();

    ExpectEdition(cache, 0, {1, 1920, 1080});
    ExpectEdition(cache, 1, {0, 0, 0});
}

TEST_F(SettingsCacheLoad, NoKeysAtAllGiveZeroEverywhere) {
    SettingsCache cache;
    Store(kChineseConfigs, {1, 1280, 1024});
    Store(kJapaneseConfigs, {1, 800, 600});
    cache.Load();
    ASSERT_EQ(cache.Width(0), 1280);

    // A second load over an empty registry overwrites every entry: nothing survives from the first.
    standin::Reset();
    cache.Load();

    ExpectEdition(cache, 0, {0, 0, 0});
    ExpectEdition(cache, 1, {0, 0, 0});
    // Every read tried its key and found none, in the same order as ever.
    const auto& journal = standin::Journal();
    ASSERT_EQ(journal.size(), 6u);
    const std::vector<std::string> keys = {kChineseConfigs, kJapaneseConfigs, kChineseConfigs,
                                           kChineseConfigs, kJapaneseConfigs, kJapaneseConfigs};
    for (std::size_t i = 0; i < journal.size(); ++i) {
        EXPECT_EQ(journal[i].kind, standin::Call::Open);
        EXPECT_EQ(journal[i].keyPath, keys[i]);
        EXPECT_EQ(journal[i].result, 2);
    }
}

TEST_F(SettingsCacheLoad, OnlyJapaneseKeysLeaveChineseEntriesAtZero) {
    Store(kJapaneseConfigs, {1, 1600, 900});

    SettingsCache cache;
    cache.Load();

    ExpectEdition(cache, 0, {0, 0, 0});
    ExpectEdition(cache, 1, {1, 1600, 900});
}

TEST_F(SettingsCacheLoad, KeyWithoutSomeValuesReadsThoseAsZero) {
    testreg::SetDword(kChineseConfigs, "WIDTH", 1024);
    testreg::CreateKey(kJapaneseConfigs);
    testreg::SetDword(kJapaneseConfigs, "FULLSCREEN", 1);

    SettingsCache cache;
    cache.Load();

    ExpectEdition(cache, 0, {0, 1024, 0});
    ExpectEdition(cache, 1, {1, 0, 0});
}

TEST_F(SettingsCacheLoad, DisplayModeWithoutButtonIsCachedAsStored) {
    Store(kChineseConfigs, {2, 1280, 1024});
    Store(kJapaneseConfigs, {5, 800, 600});

    SettingsCache cache;
    cache.Load();

    EXPECT_EQ(cache.DisplayMode(0), 2);
    EXPECT_EQ(cache.DisplayMode(1), 5);
}

TEST_F(SettingsCacheLoad, NegativeValuesKeepTheirSign) {
    Store(kChineseConfigs, {-1, -1, -640});
    Store(kJapaneseConfigs, {INT_MIN, -32768, INT_MIN});
    // FF FF FF FF as the game or a user may have stored it by hand.
    testreg::SetRaw(kChineseConfigs, "WIDTH", 4, {0xFF, 0xFF, 0xFF, 0xFF});

    SettingsCache cache;
    cache.Load();

    ExpectEdition(cache, 0, {-1, -1, -640});
    ExpectEdition(cache, 1, {INT_MIN, -32768, INT_MIN});
}

TEST_F(SettingsCacheLoad, NeverWritesOrCreatesAnything) {
    Store(kChineseConfigs, {1, 1280, 1024});
    standin::ClearJournal();

    SettingsCache cache;
    cache.Load();

    EXPECT_EQ(CountOf(standin::Call::Set), 0);
    EXPECT_EQ(CountOf(standin::Call::Query), 3);
    EXPECT_FALSE(testreg::KeyExists(kJapaneseConfigs));
    EXPECT_FALSE(testreg::KeyExists("Software\\ORIM\\Halvoren12QX"));
    // The stored values are exactly as they were.
    EXPECT_EQ(testreg::Read(kChineseConfigs, "FULLSCREEN")->bytes, (std::vector<std::uint8_t>{0x01, 0, 0, 0}));
    EXPECT_EQ(testreg::Read(kChineseConfigs, "WIDTH")->bytes, (std::vector<std::uint8_t>{0x00, 0x05, 0, 0}));
    EXPECT_EQ(testreg::Read(kChineseConfigs, "HEIGHT")->bytes, (std::vector<std::uint8_t>{0x00, 0x04, 0, 0}));
    EXPECT_EQ(standin::OpenHandleCount(), 0);
}

} // namespace
