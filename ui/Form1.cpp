#include "Form1.h"

#include "Banner.h"
#include "Dpi.h"
#include "Form1Controls.h"
#include "Form1Frame.h"
#include "SaveAndLaunch.h"
#include "ShowEditionSettings.h"
#include "UiFont.h"
#include "resource.h"

#include <commctrl.h>

namespace {

const wchar_t kForm1Class[] = L"QXLauncherForm1";
ControlId OptionControl(Option option) {
    switch (option) {
    case Option::ZOP1:
        return kZOP1;
    case Option::Zop2:
        return kZop2;
    case Option::OP1:
        return kOP1;
    case Option::OP2:
        return kOP2;
    }
    return kZOP1;
}

} // namespace

// The window goes first; the font and banner it shows are released after it.
Form1::~Form1() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

bool Form1::Create(HINSTANCE instance) {
    instance_ = instance;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    RegisterBannerClass(instance);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kForm1Class;
    RegisterClassExW(&wc);

    // Sized for the system DPI and centred on the work area; WM_DPICHANGED corrects it on another monitor.
    int dpi = SystemDpi();
    SIZE size = Form1FrameSize(dpi);
    POINT at = CentredOnWorkArea(size);
    if (!CreateWindowExW(kForm1ExStyle, kForm1Class, kForm1Caption, kForm1Style, at.x, at.y, size.cx, size.cy, nullptr,
                         nullptr, instance, this))
        return false;
    // The monitor the window landed on may not be at the system DPI (per-monitor scaling changed since sign-in);
    // the controls were laid out for the window's own DPI, so the frame follows it.
    if (dpi_ != dpi) {
        size = Form1FrameSize(dpi_);
        SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}

void Form1::Load() {
    cache_.Load();
    ShowEditionSettings(*this, cache_, 0);
}

void Form1::Show(int showCommand) {
    ShowWindow(hwnd_, Form1ShowCommand(showCommand));
    UpdateWindow(hwnd_);
    SetFocus(Control(kCommand1));
    // Decoding the banner loads the system's imaging libraries, which costs more than everything else at start-up
    // (most of all under Wine). It carries no behaviour, so it is drawn once the window is up and taking input.
    SetTimer(hwnd_, kBannerTimer, USER_TIMER_MINIMUM, nullptr);
}

void Form1::LoadBanner() {
    if (banner_.get())
        return;
    banner_.reset(LoadJpegResource(instance_, IDR_BANNER));
    SetBannerBitmap(Control(kPicture1), banner_.get());
}

HWND Form1::Control(ControlId id) const {
    std::size_t index = ControlIndex(id);
    return index < kControlCount ? controls_[index] : nullptr;
}

bool Form1::TranslateDialogMessage(MSG& msg) {
    return hwnd_ && IsDialogMessageW(hwnd_, &msg);
}

LRESULT CALLBACK Form1::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return form ? form->OnMessage(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Form1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_TIMER:
        if (wParam == kBannerTimer) {
            KillTimer(hwnd_, kBannerTimer);
            LoadBanner();
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_.get());
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void Form1::OnCreate() {
    dpi_ = WindowDpi(hwnd_);
    CreateForm1Controls(hwnd_, instance_, kBannerClass, controls_);
    // Never drawn: the banner's name for screen readers.
    SetWindowTextW(Control(kPicture1), kBannerTitle);
    ApplyFont();
    PlaceControls();
}

void Form1::OnCommand(int id, int code) {
    switch (id) {
    case kZOP1:
        if (code == BN_CLICKED)
            OnEditionButtonClick(*this, cache_, 0);
        break;
    case kZop2:
        if (code == BN_CLICKED)
            OnEditionButtonClick(*this, cache_, 1);
        break;
    case kCommand1:
        if (code == BN_CLICKED)
            SaveAndLaunch(*this, os_);
        break;
    case IDCANCEL:
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

// As a dialog does: the control that had the focus gets it back when the window is active again (after a message
// box, or switching to another program), so the keyboard goes on where it was.
void Form1::OnActivate(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus))
            lastFocus_ = focus;
        return;
    }
    SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : Control(kCommand1));
}

// The layout is made for the new DPI first, then the frame follows in one move (Form1FrameAfterDpiChange), so that
// it stays on the monitor that asked. A minimized window gets the same size as its normal placement, where it comes
// back, and stays minimized and in the background. A DPI change nested in the move (the window crossing another
// monitor's edge) has laid out and sized the window for its own DPI: it stands.
void Form1::OnDpiChanged(int dpi, const RECT& suggested) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd_, &placement);
    auto pixels = [](const RECT& r) { return PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top}; };
    const DpiChange change{dpi_,
                           dpi,
                           NonClientScalesWithDpi(hwnd_),
                           Form1NonClientSize,
                           pixels(placement.rcNormalPosition),
                           pixels(suggested),
                           IsIconic(hwnd_) != FALSE};
    dpi_ = dpi;
    ApplyFont();
    PlaceControls();
    InvalidateRect(hwnd_, nullptr, TRUE);

    const PixelRect to = Form1FrameAfterDpiChange(change);
    if (change.minimized) {
        placement.rcNormalPosition = RECT{to.left, to.top, to.left + to.width, to.top + to.height};
        placement.showCmd = SW_SHOWMINNOACTIVE; // as it is: SW_SHOWMINIMIZED would bring it forward
        SetWindowPlacement(hwnd_, &placement);
        return;
    }
    SetWindowPos(hwnd_, nullptr, to.left, to.top, to.width, to.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The controls are given the new font before the old one is deleted.
void Form1::ApplyFont() {
    HFONT font = CreateUiFont(dpi_, AllForm1Captions());
    for (HWND control : controls_)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    font_.reset(font);
}

void Form1::PlaceControls() {
    PlaceForm1Controls(controls_, dpi_);
    SetBannerDpi(Control(kPicture1), dpi_);
}

bool Form1::IsSelected(Option option) const {
    return SendMessageW(Control(OptionControl(option)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form1::SetSelected(Option option, bool selected) {
    SendMessageW(Control(OptionControl(option)), BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::wstring Form1::GetText(Field field) const {
    HWND edit = Control(field == Field::Text1 ? kText1 : kText2);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Form1::SetText(Field field, const std::wstring& text) {
    SetWindowTextW(Control(field == Field::Text1 ? kText1 : kText2), text.c_str());
}

int Form1::CkexitValue() const {
    return SendMessageW(Control(kCkexit), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

int RunMessageLoop(Form1& form) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.TranslateDialogMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
