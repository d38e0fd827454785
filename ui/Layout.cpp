#include "Layout.h"

const wchar_t kForm1Caption[] = L"Ostrel制作 ";

// Option buttons of one group follow their group box; OP2 comes before OP1 so that it is first in keyboard order.
const ControlSpec kForm1Controls[kControlCount] = {
    {kCommand1, "Command1", ControlKind::PushButton, -1, L"启动游戏", 840, 4680, 3735, 735, true},
    {kFrame1, "Frame1", ControlKind::GroupBox, -1, L"", 480, 1680, 4455, 975, false},
    {kZOP1, "ZOP1", ControlKind::OptionButton, 1, L"中文QX版", 840, 360, 1215, 255, true},
    {kZop2, "Zop2", ControlKind::OptionButton, 1, L"日文QX版", 2640, 360, 1095, 255, false},
    {kFrame2, "Frame2", ControlKind::GroupBox, -1, L"", 480, 2760, 4455, 975, false},
    {kOP2, "OP2", ControlKind::OptionButton, 4, L"全屏启动", 2640, 360, 1095, 255, true},
    {kOP1, "OP1", ControlKind::OptionButton, 4, L"窗口启动", 840, 360, 1215, 255, false},
    {kFrame3, "Frame3", ControlKind::GroupBox, -1, L"分辨率", 480, 3840, 4455, 735, false},
    {kLabel1, "Label1", ControlKind::Label, 7, L"W：", 480, 360, 270, 180, false},
    {kText1, "Text1", ControlKind::TextField, 7, L"1024", 720, 345, 1335, 270, false},
    {kLabel2, "Label2", ControlKind::Label, 7, L"H：", 2640, 360, 270, 180, false},
    {kText2, "Text2", ControlKind::TextField, 7, L"768", 2880, 360, 1335, 270, false},
    {kCkexit, "Ckexit", ControlKind::CheckBox, -1, L"启动后退出", 2040, 5520, 1335, 180, true},
    {kPicture1, "Picture1", ControlKind::PictureBox, -1, L"", 480, 0, 4455, 1695, false},
};

int TwipsToPixels(int twips, int dpi) {
    long long scaled = static_cast<long long>(twips) * dpi;
    long long half = kTwipsPerInch / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch : -((-scaled + half) / kTwipsPerInch));
}

PixelSize Form1ClientPixels(int dpi) {
    return PixelSize{TwipsToPixels(kForm1ClientWidth, dpi), TwipsToPixels(kForm1ClientHeight, dpi)};
}

PixelRect Form1FrameAfterDpiChange(const DpiChange& change) {
    const PixelSize client = Form1ClientPixels(change.newDpi);
    PixelSize edges;
    if (change.nonClientScales) {
        edges = change.nonClientAt(change.newDpi);
    } else {
        const PixelSize before = Form1ClientPixels(change.oldDpi);
        edges = {change.normal.width - before.width, change.normal.height - before.height};
    }
    const int width = client.width + edges.width, height = client.height + edges.height;
    const PixelRect& on = change.minimized ? change.normal : change.suggested;
    return PixelRect{on.left + (on.width - width) / 2, on.top + (on.height - height) / 2, width, height};
}

PixelRect ControlRect(std::size_t index, int dpi) {
    const ControlSpec& c = kForm1Controls[index];
    PixelRect r{TwipsToPixels(c.left, dpi), TwipsToPixels(c.top, dpi), TwipsToPixels(c.width, dpi),
                TwipsToPixels(c.height, dpi)};
    if (c.parent >= 0) {
        PixelRect p = ControlRect(static_cast<std::size_t>(c.parent), dpi);
        r.left += p.left;
        r.top += p.top;
    }
    return r;
}

const ControlSpec* FindControl(ControlId id) {
    for (const auto& c : kForm1Controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::size_t ControlIndex(ControlId id) {
    for (std::size_t i = 0; i < kControlCount; ++i)
        if (kForm1Controls[i].id == id)
            return i;
    return kControlCount;
}
