// The registry value helpers, and the four calls beneath them. The same tests run natively against the in-memory
// stand-in and under Wine against the real registry: where the two disagree, the stand-in is wrong.
#include "Module1.h"
#include "RegistryApi.h"
#include "TestRegistry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#ifndef _WIN32
#include "RegistryStandIn.h"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kSz = 1, kBinary = 3, kDword = 4, kQword = 11;

class Store : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        standin::Reset();
#endif
        root_ = testreg::ProcessTestRoot();
        testreg::DeleteTree(root_);
        key_ = root_ + "\\Configs";
        testreg::CreateKey(key_);
    }
    void TearDown() override {
        testreg::DeleteTreeAndEmptyParent(root_);
    }

    std::string root_;
    std::string key_; // exists, empty
};

TEST_F(Store, EmptyKeyPathOpensNothing) {
    RegStatus = 5;
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, "", "WIDTH"), L"");
    EXPECT_EQ(RegStatus, ERR_EMPTY_KEY);
    RegStatus = 5;
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, "", "WIDTH"), 0);
    EXPECT_EQ(RegStatus, -1002);
    RegStatus = 5;
    SetKeyDword(kHkeyCurrentUser, "", "QXLauncherTestValue", 7);
    EXPECT_EQ(RegStatus, -1002);
    // Had it opened the root, the value would now stand directly under HKEY_CURRENT_USER.
    EXPECT_FALSE(testreg::Read("", "QXLauncherTestValue").has_value());
}

// What TearDown does with this process's key, on a parent of the test's own: kept while another process's key (and
// its value) is in it, gone with the last one.
TEST_F(Store, TheTestsKeyGoesWithTheLastProcessKeyInIt) {
    const std::string parent = root_ + "\\Tests";
    testreg::CreateKey(parent + "\\1");
    testreg::SetDword(parent + "\\2", "WIDTH", 800);
    testreg::DeleteTreeAndEmptyParent(parent + "\\2");
    EXPECT_FALSE(testreg::KeyExists(parent + "\\2"));
    EXPECT_TRUE(testreg::KeyExists(parent + "\\1"));
    testreg::DeleteTreeAndEmptyParent(parent + "\\1");
    EXPECT_FALSE(testreg::KeyExists(parent));
}

TEST_F(Store, MissingKeyFallsBackAndIsNeverCreated) {
    const std::string missing = root_ + "\\Missing\\Deeper";
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, missing, "InstallInfo"), L"");
    EXPECT_EQ(RegStatus, 2);
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, missing, "WIDTH"), 0);
    EXPECT_EQ(RegStatus, 2);
    SetKeyDword(kHkeyCurrentUser, missing, "WIDTH", 1280);
    EXPECT_EQ(RegStatus, 2);
    EXPECT_FALSE(testreg::KeyExists(root_ + "\\Missing"));
    // A second write still finds nothing: the first did not create the key.
    SetKeyDword(kHkeyCurrentUser, missing, "WIDTH", 1280);
    EXPECT_EQ(RegStatus, 2);
    EXPECT_FALSE(testreg::KeyExists(missing));
}

TEST_F(Store, MissingValueReadsAsZeroOrEmptyWithStatusOfTheClose) {
    RegStatus = 5;
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "WIDTH"), 0);
    EXPECT_EQ(RegStatus, 0);
    RegStatus = 5;
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, "InstallInfo"), L"");
    EXPECT_EQ(RegStatus, 0);
    EXPECT_FALSE(testreg::Read(key_, "WIDTH").has_value());
}

TEST_F(Store, TextValueIsReadWithoutItsTerminator) {
    testreg::SetText(key_, "InstallInfo", "D:\\Games\\");
    ASSERT_EQ(testreg::Read(key_, "InstallInfo")->bytes.size(), 10u);
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, "InstallInfo"), L"D:\\Games\\");
    EXPECT_EQ(RegStatus, 0);
}

TEST_F(Store, TextValueHoldingOnlyItsTerminatorIsEmpty) {
    testreg::SetRaw(key_, "InstallInfo", kSz, Bytes{0});
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, "InstallInfo"), L"");
    EXPECT_EQ(RegStatus, 0);
}

TEST_F(Store, OneCharacterTextIsTheShortestThatIsRead) {
    testreg::SetRaw(key_, "InstallInfo", kSz, Bytes{'D', 0});
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, "InstallInfo"), L"D");
    EXPECT_EQ(RegStatus, 0);
}

TEST_F(Store, LongTextValueIsReadWhole) {
    std::string text;
    for (int i = 0; text.size() < 5000; ++i)
        text += "C:\\Games\\Halvoren " + std::to_string(i) + "\\";
    testreg::SetText(key_, "InstallInfo", text);
    std::wstring read = GetKeyString(kHkeyCurrentUser, key_, "InstallInfo");
    EXPECT_EQ(read, std::wstring(text.begin(), text.end()));
    EXPECT_EQ(RegStatus, 0);
}

TEST_F(Store, TextStoredWithoutTerminatorLosesItsLastByte) {
    testreg::SetRaw(key_, "InstallInfo", kSz, Bytes{'D', ':', '\\', 'G', '\\'});
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, "InstallInfo"), L"D:\\G");
}

TEST_F(Store, AnyTypeIsTakenAsText) {
    testreg::SetRaw(key_, "InstallInfo", kDword, Bytes{'A', 'B', 'C', 0});
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, "InstallInfo"), L"ABC");
    testreg::SetRaw(key_, "Blob", kBinary, Bytes{'x', 'y', 'z'});
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, "Blob"), L"xy");
}

TEST_F(Store, DwordRoundTripsWithSign) {
    for (std::int32_t value : {0, 1, 1280, -1, 32767, -32768, INT32_MAX, INT32_MIN}) {
        SetKeyDword(kHkeyCurrentUser, key_, "WIDTH", value);
        EXPECT_EQ(RegStatus, 0);
        EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "WIDTH"), value);
        EXPECT_EQ(RegStatus, 0);
    }
}

TEST_F(Store, MinusOneIsStoredAsFourFFBytesOfTypeDword) {
    SetKeyDword(kHkeyCurrentUser, key_, "HEIGHT", -1);
    auto raw = testreg::Read(key_, "HEIGHT");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, kDword);
    EXPECT_EQ(raw->bytes, (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));

    testreg::SetRaw(key_, "WIDTH", kDword, Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "WIDTH"), -1);
}

TEST_F(Store, DwordIsLittleEndian) {
    SetKeyDword(kHkeyCurrentUser, key_, "WIDTH", 0x12345678);
    EXPECT_EQ(testreg::Read(key_, "WIDTH")->bytes, (Bytes{0x78, 0x56, 0x34, 0x12}));
}

TEST_F(Store, ShortValueFillsOnlyTheLowBytes) {
    testreg::SetRaw(key_, "WIDTH", kBinary, Bytes{0x00, 0x05});
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "WIDTH"), 0x0500);
    testreg::SetRaw(key_, "HEIGHT", kBinary, Bytes{0xFF});
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "HEIGHT"), 0xFF);
    EXPECT_EQ(RegStatus, 0);
}

TEST_F(Store, ValueLongerThanFourBytesReadsAsZero) {
    testreg::SetRaw(key_, "WIDTH", kQword, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "WIDTH"), 0);
    EXPECT_EQ(RegStatus, 0); // the close succeeded after the failed query
    testreg::SetText(key_, "HEIGHT", "1024");
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "HEIGHT"), 0);
}

TEST_F(Store, ShortTextIsReadAsItsBytes) {
    testreg::SetText(key_, "WIDTH", "ab"); // 'a' 'b' NUL
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "WIDTH"), 0x6261);
}

TEST_F(Store, NamesIgnoreLetterCase) {
    testreg::SetDword(key_, "width", 800);
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "WIDTH"), 800);
    std::string upperKey = key_;
    for (char& c : upperKey)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, upperKey, "Width"), 800);

    SetKeyDword(kHkeyCurrentUser, upperKey, "WIDTH", 1024);
    EXPECT_EQ(testreg::Read(key_, "width")->bytes, (Bytes{0x00, 0x04, 0, 0}));
}

TEST_F(Store, WriteReplacesValueOfAnotherType) {
    testreg::SetText(key_, "FULLSCREEN", "yes");
    SetKeyDword(kHkeyCurrentUser, key_, "FULLSCREEN", 1);
    auto raw = testreg::Read(key_, "FULLSCREEN");
    EXPECT_EQ(raw->type, kDword);
    EXPECT_EQ(raw->bytes, (Bytes{1, 0, 0, 0}));
}

TEST_F(Store, WriteTouchesOnlyItsOwnValue) {
    testreg::SetDword(key_, "HEIGHT", 768);
    SetKeyDword(kHkeyCurrentUser, key_, "WIDTH", 1024);
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_, "HEIGHT"), 768);
}

TEST_F(Store, FailedWriteEndsWithTheCloseResultAndStoresNothing) {
    // The registry refuses a value name longer than 16383 characters; the key was opened, so it is closed again
    // and the status is the close's.
    const std::string tooLong(16384, 'W');
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &key), 0);
    const std::int32_t one = 1;
    EXPECT_EQ(RegSetValueExA(key, tooLong.c_str(), 0, kDword, reinterpret_cast<const BYTE*>(&one), 4), 87);
    EXPECT_EQ(RegCloseKey(key), 0);

    RegStatus = 5;
    SetKeyDword(kHkeyCurrentUser, key_, tooLong, 1);
    EXPECT_EQ(RegStatus, 0);
    EXPECT_FALSE(testreg::Read(key_, tooLong).has_value());
}

TEST_F(Store, KeyPathSeparatorsAreForgiving) {
    testreg::SetDword(key_, "WIDTH", 640);
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, key_ + "\\", "WIDTH"), 640);
    EXPECT_EQ(RegStatus, 0);
    std::string doubled = root_ + "\\\\Configs";
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, doubled, "WIDTH"), 640);
    EXPECT_EQ(GetKeyDword(kHkeyCurrentUser, "\\" + key_, "WIDTH"), 0);
    EXPECT_EQ(RegStatus, 161);
}

TEST_F(Store, EmptyValueNameIsTheKeysDefaultValue) {
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, ""), L"");
    testreg::SetText(key_, "", "default");
    EXPECT_EQ(GetKeyString(kHkeyCurrentUser, key_, ""), L"default");
}

#ifndef _WIN32
// Open handles and the call journal are visible on the stand-in only.
TEST_F(Store, HelpersLeaveNoKeyOpen) {
    testreg::SetText(key_, "InstallInfo", "C:\\G\\");
    GetKeyString(kHkeyCurrentUser, key_, "InstallInfo");
    GetKeyString(kHkeyCurrentUser, key_, "Missing");
    GetKeyDword(kHkeyCurrentUser, key_, "InstallInfo");
    SetKeyDword(kHkeyCurrentUser, key_, "WIDTH", 1);
    EXPECT_EQ(standin::OpenHandleCount(), 0);
}

TEST_F(Store, TerminatorOnlyTextIsNotQueriedTwice) {
    testreg::SetRaw(key_, "InstallInfo", kSz, Bytes{0});
    standin::ClearJournal();
    GetKeyString(kHkeyCurrentUser, key_, "InstallInfo");
    const auto& calls = standin::Journal();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, standin::Call::Open);
    EXPECT_EQ(calls[1].kind, standin::Call::Query);
    EXPECT_EQ(calls[2].kind, standin::Call::Close);
}
#endif

// The four calls themselves, as the helpers rely on them.
class RegistryCalls : public Store {};

TEST_F(RegistryCalls, OpeningWithoutSubKeyHandsBackTheRoot) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "", &key), 0);
    EXPECT_EQ(key, HKEY_CURRENT_USER);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, nullptr, &key), 0);
    EXPECT_EQ(key, HKEY_CURRENT_USER);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), 0);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &key), 0); // the root is still usable
    EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryCalls, MissingKeyGivesTwoAndNoHandle) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, (root_ + "\\Nope").c_str(), &key), 2);
    EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryCalls, ClosingTwiceOrNothingIsAnInvalidHandle) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &key), 0);
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_EQ(RegCloseKey(key), 6);
    EXPECT_EQ(RegCloseKey(nullptr), 6);
}

TEST_F(RegistryCalls, TwoOpensGiveTwoHandles) {
    HKEY a = nullptr, b = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &a), 0);
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &b), 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegCloseKey(a), 0);
    EXPECT_EQ(RegCloseKey(b), 0);
}

TEST_F(RegistryCalls, QueryReportsSizesAndShortBuffers) {
    testreg::SetText(key_, "InstallInfo", "D:\\Games\\");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &key), 0);

    BYTE slot[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    DWORD size = 0, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "InstallInfo", nullptr, &type, slot, &size), 234);
    EXPECT_EQ(size, 10u);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "InstallInfo", nullptr, &type, slot, &size), 234);
    EXPECT_EQ(size, 10u);

    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "InstallInfo", nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, kSz);

    size = 7;
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, slot, &size), 2);
    EXPECT_EQ(size, 7u); // with a buffer the size is left as passed
    size = 7;
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size), 2);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryCalls, ShortValueLeavesTheRestOfTheBuffer) {
    testreg::SetRaw(key_, "Two", kBinary, Bytes{0x34, 0x12});
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &key), 0);
    BYTE slot[4] = {0xAA, 0xBB, 0xCC, 0xDD};
    DWORD size = 4, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Two", nullptr, &type, slot, &size), 0);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(type, kBinary);
    EXPECT_EQ(slot[0], 0x34);
    EXPECT_EQ(slot[1], 0x12);
    EXPECT_EQ(slot[2], 0xCC);
    EXPECT_EQ(slot[3], 0xDD);
    EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryCalls, TextWriteCountsInATerminatorLeftOutOfTheSize) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, key_.c_str(), &key), 0);
    const BYTE terminated[] = {'a', 'b', 'c', 0};
    EXPECT_EQ(RegSetValueExA(key, "Counted", 0, kSz, terminated, 3), 0);
    const BYTE unterminated[] = {'a', 'b', 'c', 'X'};
    EXPECT_EQ(RegSetValueExA(key, "Exact", 0, kSz, unterminated, 3), 0);
    const BYTE binary[] = {'a', 'b', 'c', 0};
    EXPECT_EQ(RegSetValueExA(key, "Binary", 0, kBinary, binary, 3), 0);
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_EQ(testreg::Read(key_, "Counted")->bytes, (Bytes{'a', 'b', 'c', 0}));
    EXPECT_EQ(testreg::Read(key_, "Exact")->bytes, (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(testreg::Read(key_, "Binary")->bytes, (Bytes{'a', 'b', 'c'}));
}

TEST_F(RegistryCalls, LongPathComponentIsRejected) {
    HKEY key = nullptr;
    std::string path = root_ + "\\" + std::string(300, 'k');
    EXPECT_NE(RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key), 0);
}

} // namespace
