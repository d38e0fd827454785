#include "Dpi.h"

#include "SystemLibrary.h"

namespace {

bool gHideNewerFunctions = false;

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

} // namespace

FARPROC User32Proc(const char* name) {
    return gHideNewerFunctions ? nullptr : GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
}

void HideNewerUser32Functions(bool hide) {
    gHideNewerFunctions = hide;
}

int SystemDpi() {
    auto getDpiForSystem = User32Function<UINT(WINAPI*)()>("GetDpiForSystem");
    return getDpiForSystem ? static_cast<int>(getDpiForSystem()) : ScreenDpi();
}

int WindowDpi(HWND hwnd) {
    auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow) {
        if (UINT dpi = getDpiForWindow(hwnd))
            return static_cast<int>(dpi);
        return ScreenDpi();
    }
    return MonitorDpi(hwnd);
}

// Windows 8.1 and Windows 10 before 1607 scale per monitor but have no GetDpiForWindow; shcore answers for the
// monitor the window is on. XP to 7 come this way too and have no shcore: it is loaded from the system folder alone.
int MonitorDpi(HWND hwnd) {
    auto getDpiForMonitor =
        SystemFunction<HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*)>(L"shcore.dll", "GetDpiForMonitor");
    UINT dpiX = 0, dpiY = 0;
    constexpr int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI
    if (getDpiForMonitor &&
        SUCCEEDED(getDpiForMonitor(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &dpiX, &dpiY)) &&
        dpiY)
        return static_cast<int>(dpiY);
    return ScreenDpi();
}

SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
    auto adjustForDpi = User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT r{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}
