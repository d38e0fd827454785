// Form1's controls as data: kind, logical parent, caption, rectangle in twips and initial state, in creation order
// (which is also the keyboard order). Portable, so the layout arithmetic is tested natively.
#pragma once

#include <cstddef>

enum class ControlKind { PictureBox, GroupBox, OptionButton, Label, TextField, PushButton, CheckBox };

enum ControlId : int {
    kCommand1 = 1, // IDOK, so that Enter clicks it
    kFrame1 = 1001,
    kZOP1,
    kZop2,
    kFrame2,
    kOP2,
    kOP1,
    kFrame3,
    kLabel1,
    kText1,
    kLabel2,
    kText2,
    kCkexit,
    kPicture1,
};

struct ControlSpec {
    ControlId id;
    const char* name;
    ControlKind kind;
    int parent; // index into kForm1Controls of the enclosing group box, or -1 for the window
    const wchar_t* caption;
    int left, top, width, height; // twips, relative to the parent's client area
    bool initiallySet;            // selected, checked, or holding the focus when the window opens
};

constexpr std::size_t kControlCount = 14;
extern const ControlSpec kForm1Controls[kControlCount];

extern const wchar_t kForm1Caption[];
constexpr int kForm1ClientWidth = 5325; // twips
constexpr int kForm1ClientHeight = 5775;
constexpr int kTwipsPerInch = 1440;

struct PixelRect {
    int left, top, width, height;
};

// twips * dpi / 1440, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// Where a control sits in the window's client area at the given DPI. A control inside a group box is placed
// relative to that box.
PixelRect ControlRect(std::size_t index, int dpi);

const ControlSpec* FindControl(ControlId id);
std::size_t ControlIndex(ControlId id);
