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

struct PixelSize {
    int width, height;
};

// twips * dpi / 1440, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// Form1's client area at `dpi`: the layout's size, rounded as its controls are.
PixelSize Form1ClientPixels(int dpi);

// A change of Form1's DPI (WM_DPICHANGED) and what the new frame depends on.
struct DpiChange {
    int oldDpi, newDpi;
    bool nonClientScales;              // per-monitor DPI v2: the title bar and borders scale with the DPI
    PixelSize (*nonClientAt)(int dpi); // their size at a DPI, under v2
    PixelRect normal;                  // the window's normal placement, where a minimized window comes back
    PixelRect suggested;               // the rectangle the system suggests, on the monitor that asked
    bool minimized;
};

// Form1's frame after `change`: the layout's client area at the new DPI with a title bar and borders around it, under
// v2 at their size for the new DPI, under v1 (Windows 8.1, 10 before 1703) and on Wine as they were (the normal frame
// less the old client area). Centred on the suggested rectangle, or for a minimized window on its normal one.
PixelRect Form1FrameAfterDpiChange(const DpiChange& change);

// Where a control sits in the window's client area at the given DPI. A control inside a group box is placed
// relative to that box.
PixelRect ControlRect(std::size_t index, int dpi);

const ControlSpec* FindControl(ControlId id);
std::size_t ControlIndex(ControlId id);
