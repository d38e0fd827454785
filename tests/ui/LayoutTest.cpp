// Twips to pixels, and where each control lands, at the DPIs Windows offers.
#include "Layout.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

namespace {

TEST(TwipsToPixels, FifteenTwipsMakeOnePixelAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(5325, 96), 355);
    EXPECT_EQ(TwipsToPixels(5775, 96), 385);
    EXPECT_EQ(TwipsToPixels(0, 96), 0);
}

TEST(TwipsToPixels, RoundsToTheNearestPixelAtHigherDpi) {
    EXPECT_EQ(TwipsToPixels(5325, 144), 533); // 532.5 rounds up
    EXPECT_EQ(TwipsToPixels(255, 120), 21);   // 21.25
    EXPECT_EQ(TwipsToPixels(345, 120), 29);   // 28.75
    EXPECT_EQ(TwipsToPixels(1440, 192), 192); // one inch
    EXPECT_EQ(TwipsToPixels(-15, 96), -1);
}

// The frame after a DPI change, worked out by hand from the client areas (355x385 at 96 DPI, 444x481 at 120, 533x578
// at 144, 710x770 at 192). v2 adds the title bar and borders at the new DPI; v1 keeps those of the normal frame
// (here 20x45 around the client area at the old DPI); under v2 they are 16x39 at 96 DPI, scaled. A minimized window
// is centred on its normal rectangle.
TEST(Form1Layout, FrameAfterADpiChangeHoldsTheNewClientAreaCentredWhereTheSystemAsks) {
    struct Row {
        int oldDpi, newDpi;
        bool v2, minimized;
        std::array<int, 4> expected; // left, top, width, height
    };
    const PixelRect suggested{200, 100, 600, 700};
    const Row rows[] = {
        {96, 144, true, false, {221, 132, 533 + 24, 578 + 58}},
        {96, 120, true, false, {268, 185, 444 + 20, 481 + 48}},
        {144, 96, true, false, {314, 238, 355 + 16, 385 + 39}},
        {96, 192, true, false, {129, 26, 710 + 32, 770 + 78}},
        {96, 144, false, false, {223, 138, 533 + 20, 578 + 45}},
        {144, 120, false, false, {268, 187, 444 + 20, 481 + 45}},
        {120, 192, true, true, {161, -11, 710 + 32, 770 + 78}},
        {120, 192, false, true, {167, 6, 710 + 20, 770 + 45}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        const PixelSize old = Form1ClientPixels(row.oldDpi);
        const PixelRect normal{300, 150, old.width + 20, old.height + 45};
        auto scaledEdges = [](int dpi) { return PixelSize{16 * dpi / 96, 39 * dpi / 96}; };
        const PixelRect frame =
            Form1FrameAfterDpiChange({row.oldDpi, row.newDpi, row.v2, scaledEdges, normal, suggested, row.minimized});
        EXPECT_EQ((std::array<int, 4>{frame.left, frame.top, frame.width, frame.height}), row.expected);
    }
}

TEST(Form1Layout, ControlsInsideAGroupBoxArePlacedFromItsOrigin) {
    PixelRect frame = ControlRect(ControlIndex(kFrame3), 96);
    PixelRect text1 = ControlRect(ControlIndex(kText1), 96);
    EXPECT_EQ(frame.left, 32);
    EXPECT_EQ(frame.top, 256);
    EXPECT_EQ(text1.left, 32 + 48);
    EXPECT_EQ(text1.top, 256 + 23);
    EXPECT_EQ(text1.width, 89);
    EXPECT_EQ(text1.height, 18);
}

TEST(Form1Layout, EveryControlStaysInsideTheClientAreaAndItsGroupBoxAtAnyDpi) {
    for (int dpi : {96, 120, 144, 168, 192, 288}) {
        SCOPED_TRACE(dpi);
        int clientWidth = TwipsToPixels(kForm1ClientWidth, dpi);
        int clientHeight = TwipsToPixels(kForm1ClientHeight, dpi);
        for (std::size_t i = 0; i < kControlCount; ++i) {
            SCOPED_TRACE(kForm1Controls[i].name);
            PixelRect r = ControlRect(i, dpi);
            EXPECT_GE(r.left, 0);
            EXPECT_GE(r.top, 0);
            EXPECT_LE(r.left + r.width, clientWidth);
            EXPECT_LE(r.top + r.height, clientHeight);
            if (kForm1Controls[i].parent >= 0) {
                PixelRect p = ControlRect(static_cast<std::size_t>(kForm1Controls[i].parent), dpi);
                EXPECT_GE(r.left, p.left);
                EXPECT_GE(r.top, p.top);
                EXPECT_LE(r.left + r.width, p.left + p.width);
                EXPECT_LE(r.top + r.height, p.top + p.height);
            }
        }
    }
}

TEST(Form1Layout, SizesScaleWithDpiSoThePhysicalSizeStays) {
    PixelRect at96 = ControlRect(ControlIndex(kCommand1), 96);
    PixelRect at192 = ControlRect(ControlIndex(kCommand1), 192);
    EXPECT_EQ(at192.width, 2 * at96.width);
    EXPECT_EQ(at192.height, 2 * at96.height);
    EXPECT_EQ(at192.left, 2 * at96.left);
}

TEST(Form1Layout, KeyboardOrderStartsWithStartGameAndPutsOP2BeforeOP1) {
    std::vector<ControlId> order;
    for (const auto& c : kForm1Controls)
        if (c.kind != ControlKind::GroupBox && c.kind != ControlKind::Label)
            order.push_back(c.id);
    std::vector<ControlId> expected{kCommand1, kZOP1, kZop2, kOP2, kOP1, kText1, kText2, kCkexit, kPicture1};
    EXPECT_EQ(order, expected);
}

TEST(Form1Layout, ControlIdsAreUniqueAndStartGameIsTheDefaultButtonId) {
    std::set<int> ids;
    for (const auto& c : kForm1Controls)
        EXPECT_TRUE(ids.insert(c.id).second) << c.name;
    EXPECT_EQ(kCommand1, 1); // IDOK: Enter in the window clicks it
    EXPECT_EQ(FindControl(kCommand1)->caption, std::wstring(L"启动游戏"));
    EXPECT_EQ(FindControl(ControlId(4242)), nullptr);
    EXPECT_EQ(ControlIndex(ControlId(4242)), kControlCount);
}

TEST(Form1Layout, InitialChoicesAreZOP1OP2AndCkexit) {
    std::set<std::string> set;
    for (const auto& c : kForm1Controls)
        if (c.initiallySet)
            set.insert(c.name);
    EXPECT_EQ(set, (std::set<std::string>{"Command1", "ZOP1", "OP2", "Ckexit"}));
    EXPECT_EQ(std::wstring(FindControl(kText1)->caption), L"1024");
    EXPECT_EQ(std::wstring(FindControl(kText2)->caption), L"768");
}

} // namespace
