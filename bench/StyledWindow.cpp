// The styled reference: the launcher's window with the same controls, captions, layout and font, and the launcher's
// own manifest (common controls 6 visual styles, per-monitor DPI awareness), but nothing of the launcher's logic: no
// settings read, no icon, no banner. What the launcher takes beyond this program is its own start-up work.
#include "Dpi.h"
#include "Form1Controls.h"
#include "Form1Frame.h"
#include "GdiObject.h"
#include "UiFont.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace {

const wchar_t kClassName[] = L"QXBenchStyledWindow";
const wchar_t kPictureClass[] = L"QXBenchPicture"; // an empty box where the launcher shows its banner

HWND gControls[kControlCount];
GdiObject<HFONT> gFont;

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        int dpi = WindowDpi(hwnd);
        CreateForm1Controls(hwnd, reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance, kPictureClass, gControls);
        gFont.reset(CreateUiFont(dpi, AllForm1Captions()));
        for (HWND control : gControls)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(gFont.get()), FALSE);
        PlaceForm1Controls(gControls, dpi);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    if (!RegisterWindowClass(instance, kClassName, WndProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)) ||
        !RegisterWindowClass(instance, kPictureClass, DefWindowProcW, nullptr))
        return 1;

    SIZE size = Form1FrameSize(SystemDpi());
    POINT at = CentredOnWorkArea(size);
    HWND hwnd = CreateWindowExW(kForm1ExStyle, kClassName, kForm1Caption, kForm1Style, at.x, at.y, size.cx, size.cy,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
    SetFocus(gControls[0]);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(hwnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
