// Showing an edition's cached settings in the window, on load and on the clicks of the edition buttons.
#include "ShowEditionSettings.h"

#include "../store/TestRegistry.h"
#include "Fakes.h"
#include "RegistryStandIn.h"
#include "SettingsCache.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

const std::string kChineseConfigs = "Software\\ORIM\\Halvoren12QX Tc\\Configs";
const std::string kJapaneseConfigs = "Software\\ORIM\\Halvoren12QX\\Configs";
constexpr int kChinese = 0, kJapanese = 1;

struct Settings {
    std::int32_t fullscreen, width, height;
};

// A cache loaded from the given stored settings, with the registry journal cleared afterwards so that any store
// access by the display step would show.
class EditionDisplay : public ::testing::Test {
protected:
    void SetUp() override { standin::Reset(); }

    void LoadCache(Settings chinese, Settings japanese) {
        for (auto [key, s] : {std::pair{kChineseConfigs, chinese}, std::pair{kJapaneseConfigs, japanese}}) {
            testreg::SetDword(key, "FULLSCREEN", s.fullscreen);
            testreg::SetDword(key, "WIDTH", s.width);
            testreg::SetDword(key, "HEIGHT", s.height);
        }
        cache_.Load();
        standin::ClearJournal();
    }

    std::vector<Option> SelectionCalls() const {
        std::vector<Option> options;
        for (const auto& call : form_.setCalls)
            if (call.kind == FakeForm::SetCall::Selected)
                options.push_back(call.option);
        return options;
    }

    void ExpectTexts(const std::wstring& width, const std::wstring& height) const {
        EXPECT_EQ(form_.text1, width);
        EXPECT_EQ(form_.text2, height);
    }

    SettingsCache cache_;
    FakeForm form_;
};

using ShowEditionSettingsTest = EditionDisplay;

TEST_F(ShowEditionSettingsTest, FullScreenModeSelectsOp2AndShowsSizes) {
    LoadCache({1, 1280, 1024}, {0, 800, 600});
    form_.ChooseDisplayMode(true, false);

    ShowEditionSettings(form_, cache_, kChinese);

    EXPECT_FALSE(form_.IsSelected(Option::OP1));
    EXPECT_TRUE(form_.IsSelected(Option::OP2));
    ExpectTexts(L"1280", L"1024");
    EXPECT_EQ(SelectionCalls(), (std::vector<Option>{Option::OP1, Option::OP2}));
}

TEST_F(ShowEditionSettingsTest, WindowedModeSelectsOp1FirstThenClearsOp2) {
    LoadCache({0, 640, 480}, {1, 800, 600});
    form_.ChooseDisplayMode(false, true);

    ShowEditionSettings(form_, cache_, kChinese);

    EXPECT_TRUE(form_.IsSelected(Option::OP1));
    EXPECT_FALSE(form_.IsSelected(Option::OP2));
    // The real window's group would clear OP2 by itself once OP1 is set; the explicit clear comes after.
    ASSERT_EQ(form_.setCalls.size(), 4u);
    EXPECT_EQ(form_.setCalls[0].option, Option::OP1);
    EXPECT_TRUE(form_.setCalls[0].selected);
    EXPECT_EQ(form_.setCalls[1].option, Option::OP2);
    EXPECT_FALSE(form_.setCalls[1].selected);
    EXPECT_EQ(form_.setCalls[2].kind, FakeForm::SetCall::Text);
    EXPECT_EQ(form_.setCalls[2].field, Field::Text1);
    EXPECT_EQ(form_.setCalls[2].text, L"640");
    EXPECT_EQ(form_.setCalls[3].field, Field::Text2);
    EXPECT_EQ(form_.setCalls[3].text, L"480");
}

TEST_F(ShowEditionSettingsTest, ShowsTheRequestedEditionOnly) {
    LoadCache({1, 1280, 1024}, {0, 1600, 900});

    ShowEditionSettings(form_, cache_, kJapanese);

    EXPECT_TRUE(form_.IsSelected(Option::OP1));
    EXPECT_FALSE(form_.IsSelected(Option::OP2));
    ExpectTexts(L"1600", L"900");
}

TEST_F(ShowEditionSettingsTest, ModesWithoutButtonKeepTheUsersChoiceWhileTextsChange) {
    for (std::int32_t mode : {2, 5, -1, INT_MAX, INT_MIN}) {
        for (bool op1Chosen : {true, false}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + (op1Chosen ? ", OP1 chosen" : ", OP2 chosen"));
            standin::Reset();
            LoadCache({mode, 1280, 1024}, {1, 800, 600});
            form_ = FakeForm();
            form_.ChooseDisplayMode(op1Chosen, !op1Chosen);

            ShowEditionSettings(form_, cache_, kChinese);

            EXPECT_EQ(form_.IsSelected(Option::OP1), op1Chosen);
            EXPECT_EQ(form_.IsSelected(Option::OP2), !op1Chosen);
            EXPECT_TRUE(SelectionCalls().empty());
            ExpectTexts(L"1280", L"1024");
        }
    }
}

TEST_F(ShowEditionSettingsTest, NumbersAreWrittenInPlainDecimal) {
    struct Case {
        std::int32_t value;
        const wchar_t* text;
    };
    for (Case c : {Case{-1, L"-1"}, Case{0, L"0"}, Case{7, L"7"}, Case{INT_MIN, L"-2147483648"},
                   Case{INT_MAX, L"2147483647"}, Case{-32768, L"-32768"}}) {
        SCOPED_TRACE(c.value);
        standin::Reset();
        LoadCache({1, c.value, 1024}, {1, 800, c.value});

        ShowEditionSettings(form_, cache_, kChinese);
        EXPECT_EQ(form_.text1, c.text);
        ShowEditionSettings(form_, cache_, kJapanese);
        EXPECT_EQ(form_.text2, c.text);
    }
}

TEST_F(ShowEditionSettingsTest, LeavesTheEditionButtonsAlone) {
    LoadCache({0, 1280, 1024}, {1, 800, 600});

    ShowEditionSettings(form_, cache_, kJapanese);

    // Form1 starts with ZOP1 selected; showing edition 1 does not move the edition choice.
    EXPECT_TRUE(form_.IsSelected(Option::ZOP1));
    EXPECT_FALSE(form_.IsSelected(Option::Zop2));
    for (Option option : SelectionCalls())
        EXPECT_TRUE(option == Option::OP1 || option == Option::OP2);
}

TEST_F(ShowEditionSettingsTest, NeverTouchesTheStore) {
    LoadCache({1, 1280, 1024}, {0, 800, 600});

    ShowEditionSettings(form_, cache_, kChinese);
    ShowEditionSettings(form_, cache_, kJapanese);
    form_.ChooseEdition(false, true);
    OnEditionButtonClick(form_, cache_, kJapanese);

    EXPECT_TRUE(standin::Journal().empty());
}

using EditionButtonClick = EditionDisplay;

TEST_F(EditionButtonClick, SelectedZop2ShowsJapaneseValues) {
    LoadCache({1, 1280, 1024}, {0, 800, 600});
    form_.ChooseEdition(false, true);

    OnEditionButtonClick(form_, cache_, kJapanese);

    ExpectTexts(L"800", L"600");
    EXPECT_TRUE(form_.IsSelected(Option::OP1));
    EXPECT_FALSE(form_.IsSelected(Option::OP2));
}

TEST_F(EditionButtonClick, SelectedZop1ShowsChineseValues) {
    LoadCache({0, 1280, 1024}, {1, 800, 600});
    form_.text1 = L"1";
    form_.text2 = L"2";

    OnEditionButtonClick(form_, cache_, kChinese);

    ExpectTexts(L"1280", L"1024");
    EXPECT_TRUE(form_.IsSelected(Option::OP1));
}

TEST_F(EditionButtonClick, ClickOfAButtonThatIsNotSelectedDoesNothing) {
    LoadCache({0, 1280, 1024}, {0, 800, 600});
    form_.text1 = L"1920";
    form_.text2 = L"1080";

    // Form1's start: ZOP1 selected, so Zop2 is not.
    OnEditionButtonClick(form_, cache_, kJapanese);
    form_.ChooseEdition(false, true);
    OnEditionButtonClick(form_, cache_, kChinese);

    EXPECT_TRUE(form_.setCalls.empty());
    ExpectTexts(L"1920", L"1080");
    EXPECT_TRUE(form_.IsSelected(Option::OP2));
}

TEST_F(EditionButtonClick, TypedWidthIsReplacedByTheStartUpValueOnSwitchingBack) {
    LoadCache({1, 1280, 1024}, {1, 800, 600});
    ShowEditionSettings(form_, cache_, kChinese); // the window's load step
    form_.text1 = L"800";

    form_.ChooseEdition(false, true);
    OnEditionButtonClick(form_, cache_, kJapanese);
    form_.ChooseEdition(true, false);
    OnEditionButtonClick(form_, cache_, kChinese);

    ExpectTexts(L"1280", L"1024");
}

TEST_F(EditionButtonClick, JapaneseModeWithoutButtonKeepsTheUsersDisplayChoice) {
    LoadCache({1, 1280, 1024}, {5, 1600, 900});
    ShowEditionSettings(form_, cache_, kChinese);
    ASSERT_TRUE(form_.IsSelected(Option::OP2));
    form_.ChooseDisplayMode(true, false); // the user picks "窗口启动"
    form_.setCalls.clear();

    form_.ChooseEdition(false, true);
    OnEditionButtonClick(form_, cache_, kJapanese);

    EXPECT_TRUE(form_.IsSelected(Option::OP1));
    EXPECT_FALSE(form_.IsSelected(Option::OP2));
    EXPECT_TRUE(SelectionCalls().empty());
    ExpectTexts(L"1600", L"900");
}

} // namespace
