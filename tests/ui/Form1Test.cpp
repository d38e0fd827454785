// The real Form1, in this process, under Wine: its controls, layout, fonts, initial state, load step and keyboard.
#include "Form1.h"

#include "Banner.h"
#include "Dpi.h"
#include "Form1Frame.h"
#include "Layout.h"
#include "SystemLibrary.h"
#include "UiFont.h"
#include "Win32System.h"

#include "../store/TestRegistry.h"
#include "PlantedDlls.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kChineseConfigs[] = "Software\\ORIM\\Halvoren12QX Tc\\Configs";
const char kJapaneseConfigs[] = "Software\\ORIM\\Halvoren12QX\\Configs";

// Remembers what the launcher asked of the system; starts nothing.
class RecordingSystem : public OperatingSystem {
public:
    bool FileExists(const std::wstring& path) override {
        calls.push_back(L"FileExists " + path);
        return false;
    }
    std::wstring FullPath(const std::wstring& path) override { return path; }
    std::uint32_t ChangeDrive(wchar_t) override { return 0; }
    std::uint32_t ChangeDirectory(const std::wstring&) override { return 0; }
    std::wstring StartupDirectory() override { return L""; }
    std::uint32_t StartProcess(const std::wstring&, const std::wstring&, int) override { return 0; }
    std::uint32_t ShellStart(const std::wstring&, const std::wstring&, int) override { return 0; }
    std::wstring ErrorText(std::uint32_t, const std::wstring&) override { return L""; }
    void ShowError(const std::wstring& text) override { calls.push_back(L"ShowError " + text); }
    void ExitProgram() override { calls.push_back(L"ExitProgram"); }
    std::vector<std::wstring> calls;
};

std::wstring Text(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[64] = {};
    GetClassNameW(hwnd, buffer, 64);
    return buffer;
}

// The DPI the system runs at, as the screen reports it: the window opens on the primary monitor, which has it (unless
// the scaling changed since sign-in).
int RunningDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

bool Checked(HWND hwnd) {
    return SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class Form1Window : public ::testing::Test {
protected:
    void SetUp() override {
        testreg::DeleteTree("Software\\ORIM");
        testreg::CreateKey(kChineseConfigs);
        testreg::CreateKey(kJapaneseConfigs);
    }
    void TearDown() override {
        form_.reset();
        Pump();
        testreg::DeleteTree("Software\\ORIM");
    }

    void Open(int showCommand = SW_SHOWNORMAL) {
        form_ = std::make_unique<Form1>(system_);
        ASSERT_TRUE(form_->Create(GetModuleHandleW(nullptr)));
        form_->Load();
        form_->Show(showCommand);
        Pump();
    }

    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;
            if (form_ && form_->TranslateDialogMessage(msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // A key as the message loop would see it, with Shift held or not.
    void Press(UINT key, bool shift = false) {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        HWND target = GetFocus();
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        Pump();
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }

    void Click(ControlId id) {
        SendMessageW(form_->Control(id), BM_CLICK, 0, 0);
        Pump();
    }

    HWND C(ControlId id) const { return form_->Control(id); }

    void LayoutIsExactAtTheSystemDpi();
    void LayoutIsExactAt(int dpi, SIZE grown = {0, 0});

    RecordingSystem system_;
    std::unique_ptr<Form1> form_;
};

struct Expected {
    ControlId id;
    const wchar_t* className;
    LONG typeStyle; // the BS_ type bits for buttons, -1 otherwise
    const wchar_t* caption;
    RECT pixels; // left, top, width, height at 96 DPI, in the window's client area
    ControlId parent;
};

constexpr SIZE kClient96{355, 385};
const Expected kExpected[] = {
    {kPicture1, kBannerClass, -1, kBannerTitle, {32, 0, 297, 113}, ControlId(0)},
    {kFrame1, L"Button", BS_GROUPBOX, L"", {32, 112, 297, 65}, ControlId(0)},
    {kZOP1, L"Button", BS_AUTORADIOBUTTON, L"中文QX版", {88, 136, 81, 17}, kFrame1},
    {kZop2, L"Button", BS_AUTORADIOBUTTON, L"日文QX版", {208, 136, 73, 17}, kFrame1},
    {kFrame2, L"Button", BS_GROUPBOX, L"", {32, 184, 297, 65}, ControlId(0)},
    {kOP1, L"Button", BS_AUTORADIOBUTTON, L"窗口启动", {88, 208, 81, 17}, kFrame2},
    {kOP2, L"Button", BS_AUTORADIOBUTTON, L"全屏启动", {208, 208, 73, 17}, kFrame2},
    {kFrame3, L"Button", BS_GROUPBOX, L"分辨率", {32, 256, 297, 49}, ControlId(0)},
    {kLabel1, L"Static", -1, L"W：", {64, 280, 18, 12}, kFrame3},
    {kText1, L"Edit", -1, nullptr, {80, 279, 89, 18}, kFrame3},
    {kLabel2, L"Static", -1, L"H：", {208, 280, 18, 12}, kFrame3},
    {kText2, L"Edit", -1, nullptr, {224, 280, 89, 18}, kFrame3},
    {kCommand1, L"Button", BS_DEFPUSHBUTTON, L"启动游戏", {56, 312, 249, 49}, ControlId(0)},
    {kCkexit, L"Button", BS_AUTOCHECKBOX, L"启动后退出", {136, 368, 89, 12}, ControlId(0)},
};

// 96-DPI pixels at `dpi`. A pixel at 96 DPI is 15 twips, so this is the layout's rule MulDiv(twips, dpi, 1440).
int Scaled(LONG pixels, int dpi) {
    return MulDiv(pixels, dpi, 96);
}

// A control's place at `dpi` as a twips layout defines it: every rectangle scaled on its own, and a group box's
// controls at the box's place plus their own offset in it, each rounded on its own: rounding the sum instead is a
// pixel off at 100 or 106 DPI.
RECT ExpectedAt(const Expected& e, int dpi) {
    RECT r{Scaled(e.pixels.left, dpi), Scaled(e.pixels.top, dpi), Scaled(e.pixels.right, dpi),
           Scaled(e.pixels.bottom, dpi)};
    for (const Expected& box : kExpected)
        if (box.id == e.parent) {
            r.left = Scaled(box.pixels.left, dpi) + Scaled(e.pixels.left - box.pixels.left, dpi);
            r.top = Scaled(box.pixels.top, dpi) + Scaled(e.pixels.top - box.pixels.top, dpi);
        }
    return r;
}

// Also as on Windows XP to 8.1, where the per-monitor DPI functions are missing (hidden here, since Wine has them): the
// window then asks shcore for its monitor's DPI, from the system folder alone, never a shcore.dll planted in the DLL
// search.
TEST_F(Form1Window, EveryControlHasItsKindCaptionParentAndPlaceAtTheSystemDpi) {
    PlantedDlls planted({L"shcore.dll"});
    ASSERT_TRUE(planted.ready);
    ASSERT_EQ(GetModuleHandleW(L"shcore.dll"), nullptr);
    SetDllDirectoryW(planted.dir.c_str());
    LoadLibraryW(L"shcore.dll"); // the control: a bare name finds the planted one
    ASSERT_EQ(planted.Loaded(), std::vector<std::wstring>{L"shcore.dll"});
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    for (bool older : {true, false}) { // older first: the window's own load of shcore is the process's first
        SCOPED_TRACE(older ? "without the functions of Windows 10" : "with the functions of Windows 10");
        HideNewerSystemFunctions(older);
        Open();
        if (older) {
            EXPECT_NE(GetModuleHandleW((std::wstring(system) + L"\\shcore.dll").c_str()), nullptr);
            EXPECT_EQ(MonitorDpi(form_->Hwnd()), RunningDpi());
        }
        LayoutIsExactAtTheSystemDpi();
        EXPECT_TRUE(planted.Loaded().empty());
        form_.reset();
    }
    HideNewerSystemFunctions(false);
    SetDllDirectoryW(nullptr);
}

// The rectangles at 96 DPI, scaled to the DPI the system runs at; they hold at any, custom scaling included (run at
// 96, 100, 106, 120, 144, 168 and 192).
void Form1Window::LayoutIsExactAtTheSystemDpi() {
    ASSERT_EQ(WindowDpi(form_->Hwnd()), RunningDpi());
    LayoutIsExactAt(RunningDpi());
}

// `grown`: what the client area holds beyond the layout's size.
void Form1Window::LayoutIsExactAt(int dpi, SIZE grown) {
    RECT client;
    GetClientRect(form_->Hwnd(), &client);
    EXPECT_EQ(client.right, Scaled(kClient96.cx, dpi) + grown.cx);
    EXPECT_EQ(client.bottom, Scaled(kClient96.cy, dpi) + grown.cy);
    auto clientRect = [&](HWND hwnd) {
        RECT r;
        GetWindowRect(hwnd, &r);
        MapWindowPoints(HWND_DESKTOP, form_->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(FindControl(e.id)->name);
        HWND hwnd = C(e.id);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(GetParent(hwnd), form_->Hwnd());
        EXPECT_EQ(GetDlgCtrlID(hwnd), e.id);
        EXPECT_EQ(ClassOf(hwnd), e.className);
        if (e.typeStyle >= 0) {
            EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK, e.typeStyle);
        }
        if (e.caption) {
            EXPECT_EQ(Text(hwnd), e.caption);
        }
        RECT r = clientRect(hwnd);
        const RECT expected = ExpectedAt(e, dpi);
        EXPECT_EQ(r.left, expected.left);
        EXPECT_EQ(r.top, expected.top);
        EXPECT_EQ(r.right - r.left, expected.right);
        EXPECT_EQ(r.bottom - r.top, expected.bottom);
        if (e.parent) {
            // Inside its group box, at the box's origin plus its own offset.
            RECT p = clientRect(C(e.parent));
            EXPECT_TRUE(r.left >= p.left && r.top >= p.top && r.right <= p.right && r.bottom <= p.bottom);
        }
        EXPECT_TRUE(IsWindowVisible(hwnd));
    }
}

// The DPI the window tests ran at, which the 120 DPI run (Dpi120.WindowTests) and the kit's run under Wine compare
// with the one they set: at 96 DPI, or in a program the system treats as DPI-unaware (shown 96 and stretched), every
// other case passes whatever the scaling.
TEST(Form1Dpi, TheTestsAreDpiAwareAndSeeTheDpiTheSystemIsSetTo) {
    // Looked up: Windows 10 1607's per-thread awareness, else Vista's per-process one; XP stretches no program.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto proc = [user32](const char* name) { return reinterpret_cast<void*>(GetProcAddress(user32, name)); };
    auto threadContext = reinterpret_cast<HANDLE(WINAPI*)()>(proc("GetThreadDpiAwarenessContext"));
    auto awareness = reinterpret_cast<int(WINAPI*)(HANDLE)>(proc("GetAwarenessFromDpiAwarenessContext"));
    auto processAware = reinterpret_cast<BOOL(WINAPI*)()>(proc("IsProcessDPIAware"));
    if (threadContext && awareness) {
        EXPECT_GT(awareness(threadContext()), 0) << "DPI-unaware (0) or unknown (-1)";
    } else if (processAware) {
        EXPECT_TRUE(processAware());
    }
    const int dpi = RunningDpi();
    if (UnderWine()) { // Windows takes its system DPI from the display's scaling, not from this value alone
        DWORD logPixels = 96, size = sizeof logPixels;
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            RegQueryValueExW(key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&logPixels), &size);
            RegCloseKey(key);
        }
        EXPECT_EQ(dpi, static_cast<int>(logPixels)) << "the prefix's LogPixels";
    }
    printf("window tests ran at %d DPI\n", dpi);
    fflush(stdout);
}

// What a screen reader gets from the control's standard client object, through Active Accessibility.
struct Announced {
    bool reached = false;
    std::wstring name;
    LONG role = 0;
};

Announced Announce(HWND hwnd) {
    Announced result;
    IAccessible* accessible = nullptr;
    // The interface id from the header's GUID value: MinGW-w64's liboleacc.a resolves IID_IAccessible wrongly.
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))) ||
        !accessible)
        return result;
    result.reached = true;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (accessible->get_accName(self, &name) == S_OK && name)
        result.name.assign(name, SysStringLen(name));
    SysFreeString(name);
    VARIANT role;
    VariantInit(&role);
    if (accessible->get_accRole(self, &role) == S_OK && role.vt == VT_I4)
        result.role = role.lVal;
    VariantClear(&role);
    accessible->Release();
    return result;
}

struct AccessibleControl {
    ControlId id;
    const wchar_t* name;
    LONG role;            // as Windows reports it
    bool wineReportsRole; // Wine 8 reports buttons, group boxes and labels with the generic client role
};

TEST_F(Form1Window, EveryControlHasTheNameAndRoleAScreenReaderAnnounces) {
    Open();
    const AccessibleControl expected[] = {
        {kCommand1, L"启动游戏", ROLE_SYSTEM_PUSHBUTTON, false},
        {kFrame1, L"", ROLE_SYSTEM_GROUPING, false},
        {kZOP1, L"中文QX版", ROLE_SYSTEM_RADIOBUTTON, false},
        {kZop2, L"日文QX版", ROLE_SYSTEM_RADIOBUTTON, false},
        {kFrame2, L"", ROLE_SYSTEM_GROUPING, false},
        {kOP2, L"全屏启动", ROLE_SYSTEM_RADIOBUTTON, false},
        {kOP1, L"窗口启动", ROLE_SYSTEM_RADIOBUTTON, false},
        {kFrame3, L"分辨率", ROLE_SYSTEM_GROUPING, false},
        {kLabel1, L"W：", ROLE_SYSTEM_STATICTEXT, false},
        {kText1, L"W：", ROLE_SYSTEM_TEXT, true},
        {kLabel2, L"H：", ROLE_SYSTEM_STATICTEXT, false},
        {kText2, L"H：", ROLE_SYSTEM_TEXT, true},
        {kCkexit, L"启动后退出", ROLE_SYSTEM_CHECKBUTTON, false},
        {kPicture1, L"Halvoren 12 QX", ROLE_SYSTEM_CLIENT, true},
    };
    ASSERT_EQ(std::size(expected), kControlCount);
    for (const AccessibleControl& e : expected) {
        SCOPED_TRACE(FindControl(e.id)->name);
        Announced heard = Announce(C(e.id));
        ASSERT_TRUE(heard.reached);
        EXPECT_EQ(heard.name, e.name);
        if (GetWindowLongW(C(e.id), GWL_STYLE) & WS_TABSTOP) {
            EXPECT_FALSE(heard.name.empty()) << "a Tab stop without a name";
        }
        if (e.wineReportsRole || !UnderWine()) {
            EXPECT_EQ(heard.role, e.role);
        }
    }
}

// Moves of the window while it handles WM_DPICHANGED, and a change of DPI nested in the first one, as when the move
// crosses into a monitor of yet another DPI.
struct {
    WNDPROC original = nullptr;
    int moves = 0;
    int nestedDpi = 0;
    HWND form = nullptr;
    std::vector<int> minMax; // the show commands minimizing or restoring the form asked for
} gMoves;

// Wine ignores a show command that would activate a window minimized already; Windows brings it forward. The hook
// sees the command on both.
LRESULT CALLBACK RecordMinMax(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_MINMAX && reinterpret_cast<HWND>(wParam) == gMoves.form)
        gMoves.minMax.push_back(LOWORD(lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CountMoves(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WINDOWPOSCHANGED) {
        ++gMoves.moves;
        if (const int dpi = std::exchange(gMoves.nestedDpi, 0)) {
            RECT window;
            GetWindowRect(hwnd, &window);
            SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&window));
        }
    }
    return CallWindowProcW(gMoves.original, hwnd, message, wParam, lParam);
}

// The rectangle WM_DPICHANGED suggests scales the whole window: per-monitor DPI v2 (Windows 10 1703 on) scales the
// title bar and borders with it, v1 (8.1, early 10) does not, and Wine does neither. Whatever the rectangle, the
// window moves once, centred on it, and its client area is the layout's rounded size (Form1ClientSize, which the frame
// a window opens with holds too): one pixel short at 120 or 144 DPI would cut the bottom row. A minimized window stays
// minimized behind the game and comes back at that size; after a nested change, the window, layout and font all
// follow the last DPI. Wine never sends WM_DPICHANGED by itself, so it is sent here by hand with the rectangle v1 or
// v2 would suggest. Both Wines report the window as per-monitor v1 (Wine 10's thread says v2, its windows v1), so
// the frame v2 takes is worked out by Form1FrameAfterDpiChange, tested natively for both at 96 to 192 DPI.
TEST_F(Form1Window, MovingToAScreenOfAnotherDpiScalesTheLayoutAndTheFont) {
    Open();
    EXPECT_EQ(MonitorDpi(form_->Hwnd()), WindowDpi(form_->Hwnd())); // the fallback for Windows 8.1 agrees
    HFONT before = form_->Font();
    HWND game =
        CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    gMoves.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(form_->Hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountMoves)));
    struct Row {
        int dpi;
        bool wholeWindowScaled; // suggested as v1 does; else as v2 does, the layout in the new DPI's frame
        bool minimized;
        int nestedDpi; // 0 for none
        bool older;    // Windows 10's functions hidden: the v1 branch, as on 8.1 (Windows 10 1703 on takes v2)
    };
    // The first row sets 96 DPI, whatever the system runs at, for the rows after it; 106 (110 %) rounds a group box's
    // controls apart from it. The older system's rows come first, while the frame is the one the window opened with:
    // on Windows a v2 change sent by hand leaves its borders.
    const Row rows[] = {{96, true, false, 0, true},  {144, false, false, 0, true},   {106, true, true, 0, true},
                        {96, true, false, 0, false}, {144, false, false, 0, false},  {120, true, false, 0, false},
                        {144, true, true, 0, false}, {96, false, false, 120, false}, {144, true, false, 0, false}};
    // The system's title bar and borders around Form1 at a DPI.
    auto edges = [](int at) {
        RECT r{0, 0, 0, 0};
        auto adjust = User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
        if (!adjust || !adjust(&r, kForm1Style, FALSE, kForm1ExStyle, static_cast<UINT>(at)))
            AdjustWindowRectEx(&r, kForm1Style, FALSE, kForm1ExStyle);
        return SIZE{r.right - r.left, r.bottom - r.top};
    };
    const int realDpi = WindowDpi(form_->Hwnd()); // a message sent by hand leaves the window's own DPI as it is
    int dpi = realDpi;
    for (const Row& row : rows) {
        HideNewerSystemFunctions(row.older);
        const bool scales = NonClientScalesWithDpi(form_->Hwnd());
        SCOPED_TRACE(std::to_string(dpi) + " to " + std::to_string(row.dpi) + " DPI, suggested " +
                     (row.wholeWindowScaled ? "as v1" : "as v2") +
                     (scales ? ", title bar scales (v2)" : ", title bar kept (v1 or Wine)") +
                     (row.minimized ? ", minimized" : "") + (row.nestedDpi ? ", nested" : "") +
                     (row.older ? ", Windows 10's functions hidden" : ""));
        RECT window;
        GetWindowRect(form_->Hwnd(), &window);
        SIZE frame = edges(row.dpi);
        frame = {frame.cx + Scaled(kClient96.cx, row.dpi), frame.cy + Scaled(kClient96.cy, row.dpi)};
        if (row.wholeWindowScaled)
            frame = {MulDiv(window.right - window.left, row.dpi, dpi),
                     MulDiv(window.bottom - window.top, row.dpi, dpi)};
        RECT suggested{100, 90, 100 + frame.cx, 90 + frame.cy};
        if (row.minimized) {
            ShowWindow(form_->Hwnd(), SW_MINIMIZE);
            SetActiveWindow(game); // the player is in the game
        }
        gMoves.moves = 0;
        gMoves.nestedDpi = row.nestedDpi;
        gMoves.minMax.clear();
        gMoves.form = form_->Hwnd();
        HHOOK hook = SetWindowsHookExW(WH_CBT, RecordMinMax, nullptr, GetCurrentThreadId());
        SendMessageW(form_->Hwnd(), WM_DPICHANGED, MAKEWPARAM(row.dpi, row.dpi), reinterpret_cast<LPARAM>(&suggested));
        UnhookWindowsHookEx(hook);
        EXPECT_EQ(gMoves.minMax.empty(), !row.minimized) << "a minimized window is shown again, minimized";
        EXPECT_EQ(gMoves.minMax, std::vector<int>(gMoves.minMax.size(), SW_SHOWMINNOACTIVE)) << "restores or activates";
        dpi = row.nestedDpi ? row.nestedDpi : row.dpi;
        if (row.minimized) {
            EXPECT_TRUE(IsIconic(form_->Hwnd())) << "restored by the change";
            EXPECT_EQ(GetActiveWindow(), game) << "brought forward by the change";
            ShowWindow(form_->Hwnd(), SW_RESTORE);
        } else {
            EXPECT_EQ(gMoves.moves, row.nestedDpi ? 2 : 1);
        }
        GetWindowRect(form_->Hwnd(), &window);
        // Per-monitor v2 on Windows: the frame holds the new DPI's title bar and borders, which the system still
        // draws at the window's real DPI, so a message sent by hand leaves their difference in the client area.
        SIZE grown{0, 0};
        if (scales)
            grown = {edges(dpi).cx - edges(realDpi).cx, edges(dpi).cy - edges(realDpi).cy};
        LayoutIsExactAt(dpi, grown);
        if (!row.minimized && !row.nestedDpi) {
            EXPECT_LE(abs(window.left + window.right - suggested.left - suggested.right), 1);
            EXPECT_LE(abs(window.top + window.bottom - suggested.top - suggested.bottom), 1);
        }
        LOGFONTW font{};
        GetObjectW(form_->Font(), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -MulDiv(9, dpi, 72)); // 9 points
        EXPECT_EQ(BannerDpi(C(kPicture1)), dpi);       // the banner scales with the layout
    }
    HideNewerSystemFunctions(false);
    SetWindowLongPtrW(form_->Hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gMoves.original));
    DestroyWindow(game);
    ASSERT_NE(form_->Font(), before);
    // Message boxes ask the window for its font, and get the new one.
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(form_->Hwnd(), WM_GETFONT, 0, 0)), form_->Font());
}

// While an error box is open, the window moves to a screen of another DPI and replaces its font.
struct BoxDuringDpiChange {
    HWND form = nullptr;
    DWORD textFontType = 0; // of the font the box's text draws with, after the change
    bool seen = false;
};
BoxDuringDpiChange* gBoxProbe;

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
    if (ClassOf(hwnd) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

VOID CALLBACK ChangeDpiUnderTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&box));
    if (!box)
        return;
    KillTimer(nullptr, timer);
    RECT suggested{100, 100, 100 + 560, 100 + 640};
    SendMessageW(gBoxProbe->form, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    auto font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(box, 0xFFFF), WM_GETFONT, 0, 0));
    gBoxProbe->textFontType = GetObjectType(font);
    gBoxProbe->seen = true;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Form1Window, AnErrorBoxKeepsItsFontWhenTheWindowChangesDpi) {
    Open();
    Win32System os;
    os.SetOwner(form_->Hwnd());
    BoxDuringDpiChange probe;
    probe.form = form_->Hwnd();
    gBoxProbe = &probe;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, ChangeDpiUnderTheBox);
    os.ShowError(L"找不到可运行的文件！HALV12QX.exe");
    KillTimer(nullptr, timer);
    gBoxProbe = nullptr;
    ASSERT_TRUE(probe.seen);
    EXPECT_EQ(probe.textFontType, static_cast<DWORD>(OBJ_FONT)) << "the box's font was deleted under it";
}

// A shortcut set to "Run: Maximized" or "Minimized" starts the launcher with that show command.
TEST_F(Form1Window, WindowHasItsCaptionAndAFixedFrameWhateverItIsShownWith) {
    for (int showCommand : {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINNOACTIVE}) {
        SCOPED_TRACE(showCommand);
        Open(showCommand);
        EXPECT_EQ(Text(form_->Hwnd()), L"Ostrel制作 ");
        EXPECT_FALSE(GetWindowLongW(form_->Hwnd(), GWL_STYLE) & WS_THICKFRAME);
        EXPECT_FALSE(IsZoomed(form_->Hwnd()));
        EXPECT_EQ(IsIconic(form_->Hwnd()) != FALSE, showCommand == SW_SHOWMINNOACTIVE);
        ShowWindow(form_->Hwnd(), SW_RESTORE);
        LayoutIsExactAtTheSystemDpi();
        form_.reset();
    }
}

TEST_F(Form1Window, FontCoversEveryCaption) {
    Open();
    std::wstring captions = kForm1Caption;
    for (const auto& c : kForm1Controls)
        captions += c.caption;
    EXPECT_TRUE(FontCoversText(form_->Font(), captions))
        << "font: " << testing::PrintToString(FontFaceName(form_->Font()));
    // The same glyphs are there for the messages "启动游戏" can show.
    EXPECT_TRUE(FontCoversText(form_->Font(),
                               L"找不到可运行的文件！宽度高度超出范围，请输入到之间的数值。无法进入游戏目录：启动"));
    for (const auto& c : kForm1Controls) {
        if (c.kind != ControlKind::PictureBox) { // the banner draws no text
            EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(C(c.id), WM_GETFONT, 0, 0)), form_->Font()) << c.name;
        }
    }
}

TEST_F(Form1Window, BannerIsDecodedAtItsNaturalSizeOnceTheWindowIsUp) {
    Open();
    auto bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(C(kPicture1), GWLP_USERDATA));
    for (int i = 0; i < 200 && !bitmap; ++i) {
        Sleep(10);
        Pump();
        bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(C(kPicture1), GWLP_USERDATA));
    }
    ASSERT_NE(bitmap, nullptr) << "the banner was not decoded after the window opened";
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(bitmap, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 845);
    EXPECT_EQ(info.bmHeight, 573);
    // A picture's 32-bit handle becomes a pointer-sized one by sign extension, as every handle does.
    EXPECT_EQ(reinterpret_cast<INT_PTR>(BitmapFromPictureHandle(0xFFFF1234u)), static_cast<INT_PTR>(-0xEDCC));
}

TEST_F(Form1Window, WithNoStoredSettingsOP1IsSelectedAndBothSizesAreZero) {
    testreg::DeleteTree("Software\\ORIM");
    Open();
    EXPECT_TRUE(Checked(C(kZOP1)));
    EXPECT_FALSE(Checked(C(kZop2)));
    EXPECT_TRUE(Checked(C(kOP1)));
    EXPECT_FALSE(Checked(C(kOP2)));
    EXPECT_EQ(Text(C(kText1)), L"0");
    EXPECT_EQ(Text(C(kText2)), L"0");
    EXPECT_TRUE(Checked(C(kCkexit)));
    EXPECT_EQ(GetFocus(), C(kCommand1));
    EXPECT_FALSE(testreg::KeyExists("Software\\ORIM")); // loading created nothing
}

TEST_F(Form1Window, StoredChineseSettingsAreShownOnLoad) {
    testreg::SetDword(kChineseConfigs, "FULLSCREEN", 1);
    testreg::SetDword(kChineseConfigs, "WIDTH", 1280);
    testreg::SetDword(kChineseConfigs, "HEIGHT", 1024);
    testreg::SetDword(kJapaneseConfigs, "FULLSCREEN", 0);
    testreg::SetDword(kJapaneseConfigs, "WIDTH", 640);
    Open();
    EXPECT_TRUE(Checked(C(kZOP1)));
    EXPECT_TRUE(Checked(C(kOP2)));
    EXPECT_FALSE(Checked(C(kOP1)));
    EXPECT_EQ(Text(C(kText1)), L"1280");
    EXPECT_EQ(Text(C(kText2)), L"1024");
}

TEST_F(Form1Window, StoredDisplayModeTwoKeepsOP2) {
    testreg::SetDword(kChineseConfigs, "FULLSCREEN", 2);
    testreg::SetDword(kChineseConfigs, "WIDTH", -1);
    Open();
    EXPECT_TRUE(Checked(C(kOP2)));
    EXPECT_FALSE(Checked(C(kOP1)));
    EXPECT_EQ(Text(C(kText1)), L"-1");
    EXPECT_EQ(Text(C(kText2)), L"0");
}

TEST_F(Form1Window, EditionButtonsShowTheValuesReadAtStartUp) {
    testreg::SetDword(kChineseConfigs, "FULLSCREEN", 1);
    testreg::SetDword(kChineseConfigs, "WIDTH", 1280);
    testreg::SetDword(kChineseConfigs, "HEIGHT", 960);
    testreg::SetDword(kJapaneseConfigs, "FULLSCREEN", 5);
    testreg::SetDword(kJapaneseConfigs, "WIDTH", 800);
    testreg::SetDword(kJapaneseConfigs, "HEIGHT", 600);
    Open();
    // Stored later: the window still shows what it read when it opened.
    testreg::SetDword(kJapaneseConfigs, "WIDTH", 1920);

    Click(kOP1);
    Click(kZop2);
    EXPECT_TRUE(Checked(C(kZop2)));
    EXPECT_FALSE(Checked(C(kZOP1)));
    EXPECT_EQ(Text(C(kText1)), L"800");
    EXPECT_EQ(Text(C(kText2)), L"600");
    EXPECT_TRUE(Checked(C(kOP1))); // display mode 5 has no button: the user's choice stays

    SetWindowTextW(C(kText1), L"1234");
    Click(kZOP1);
    EXPECT_EQ(Text(C(kText1)), L"1280");
    EXPECT_EQ(Text(C(kText2)), L"960");
    EXPECT_TRUE(Checked(C(kOP2)));
    EXPECT_FALSE(Checked(C(kOP1)));
}

TEST_F(Form1Window, OptionGroupsAreExclusiveAndIndependent) {
    testreg::SetDword(kChineseConfigs, "FULLSCREEN", 1);
    Open();
    Click(kOP1);
    EXPECT_TRUE(Checked(C(kOP1)));
    EXPECT_FALSE(Checked(C(kOP2)));
    EXPECT_TRUE(Checked(C(kZOP1))); // the edition group is untouched
    Click(kZop2);
    EXPECT_FALSE(Checked(C(kZOP1)));
    EXPECT_TRUE(Checked(C(kOP1)));
}

TEST_F(Form1Window, TabVisitsTheControlsInOrderAndShiftTabGoesBack) {
    testreg::SetDword(kChineseConfigs, "FULLSCREEN", 1); // OP2 selected: Tab lands on the selected button
    Open();
    const ControlId order[] = {kCommand1, kZOP1, kOP2, kText1, kText2, kCkexit, kPicture1, kCommand1};
    ASSERT_EQ(GetFocus(), C(kCommand1));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        Press(VK_TAB);
        EXPECT_EQ(GetFocus(), C(order[i])) << "after Tab number " << i;
    }
    for (std::size_t i = std::size(order) - 1; i > 0; --i) {
        Press(VK_TAB, true);
        EXPECT_EQ(GetFocus(), C(order[i - 1])) << "after Shift+Tab, expecting " << FindControl(order[i - 1])->name;
    }
}

TEST_F(Form1Window, OP2ComesBeforeOP1InTheDisplayModeGroup) {
    Open();
    // Creation order is keyboard order: OP2 directly precedes OP1, and OP2 opens the group.
    EXPECT_EQ(GetWindow(C(kOP2), GW_HWNDNEXT), C(kOP1));
    EXPECT_TRUE(GetWindowLongW(C(kOP2), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(GetWindowLongW(C(kOP1), GWL_STYLE) & WS_GROUP);
    EXPECT_EQ(GetNextDlgGroupItem(form_->Hwnd(), C(kOP2), FALSE), C(kOP1));
    // From the selected OP1 (no stored settings), the arrow keys reach OP2 and select it.
    SetFocus(C(kOP1));
    Press(VK_UP);
    EXPECT_EQ(GetFocus(), C(kOP2));
    EXPECT_TRUE(Checked(C(kOP2)));
    EXPECT_FALSE(Checked(C(kOP1)));
}

TEST_F(Form1Window, FocusComesBackToItsControlWhenTheWindowIsActiveAgain) {
    Open();
    SetFocus(C(kText2));
    // Another window of this program takes the activation, as a message box does, then gives it back.
    HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SetActiveWindow(other);
    Pump();
    ASSERT_NE(GetFocus(), C(kText2));
    DestroyWindow(other);
    SetActiveWindow(form_->Hwnd());
    Pump();
    EXPECT_EQ(GetFocus(), C(kText2));
}

TEST_F(Form1Window, ArrowKeysMoveWithinAnEditionGroupAndShowThatEdition) {
    testreg::SetDword(kJapaneseConfigs, "WIDTH", 800);
    Open();
    SetFocus(C(kZOP1));
    Press(VK_RIGHT);
    EXPECT_EQ(GetFocus(), C(kZop2));
    EXPECT_TRUE(Checked(C(kZop2)));
    EXPECT_FALSE(Checked(C(kZOP1)));
    EXPECT_EQ(Text(C(kText1)), L"800");
}

TEST_F(Form1Window, EnterInATextFieldClicksStartGame) {
    Open();
    SetFocus(C(kText2));
    Press(VK_RETURN);
    ASSERT_EQ(system_.calls.size(), 2u);
    EXPECT_EQ(system_.calls[0], L"FileExists HALV12QX.exe"); // no installation recorded: the bare name
    EXPECT_EQ(system_.calls[1], L"ShowError 找不到可运行的文件！HALV12QX.exe");
}

TEST_F(Form1Window, ClosingSavesNothing) {
    testreg::SetDword(kChineseConfigs, "WIDTH", 1280);
    Open();
    SetWindowTextW(C(kText1), L"640");
    SendMessageW(form_->Hwnd(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(form_->Hwnd(), nullptr);
    EXPECT_EQ(testreg::Read(kChineseConfigs, "WIDTH")->bytes, (std::vector<std::uint8_t>{0x00, 0x05, 0, 0}));
    EXPECT_FALSE(testreg::Read(kChineseConfigs, "HEIGHT").has_value());
    EXPECT_TRUE(system_.calls.empty());
}

} // namespace
