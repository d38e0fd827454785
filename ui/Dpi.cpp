#include "Dpi.h"

#include "SystemLibrary.h"

namespace {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

} // namespace

FARPROC User32Proc(const char* name) {
    return NewerSystemFunctionsHidden() ? nullptr : GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
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

bool NonClientScalesWithDpi(HWND hwnd) {
    // DPI_AWARENESS_CONTEXT is a handle, and DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 is -4; the headers at the XP
    // floor declare neither.
    auto windowContext = User32Function<HANDLE(WINAPI*)(HWND)>("GetWindowDpiAwarenessContext");
    auto contextsEqual = User32Function<BOOL(WINAPI*)(HANDLE, HANDLE)>("AreDpiAwarenessContextsEqual");
    const auto kPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    return windowContext && contextsEqual && contextsEqual(windowContext(hwnd), kPerMonitorV2);
}

SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
    auto adjustForDpi = User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT r{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}
