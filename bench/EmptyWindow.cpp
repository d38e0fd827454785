// The start-up baseline: an empty top-level window of the launcher's style and client size, centred, and nothing
// else. The launcher's start-up time is measured against this program's.
#include <windows.h>

namespace {

const wchar_t kClassName[] = L"QXBenchEmptyWindow";
const wchar_t kCaption[] = L"Empty window";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kClientWidth = 355; // pixels at 96 DPI, as the launcher's client area
constexpr int kClientHeight = 385;

template <typename Fn> Fn User32Function(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// Per-monitor aware like the launcher (which says so in its manifest); the newer call first, for old Windows the
// Vista one. Both are looked up so the exe still starts where they are missing.
void DeclareDpiAwareness() {
    auto setContext = User32Function<BOOL(WINAPI*)(HANDLE)>("SetProcessDpiAwarenessContext");
    if (setContext && setContext(reinterpret_cast<HANDLE>(-4) /* PER_MONITOR_AWARE_V2 */))
        return;
    if (auto setAware = User32Function<BOOL(WINAPI*)()>("SetProcessDPIAware"))
        setAware();
}

int SystemDpi() {
    if (auto getDpiForSystem = User32Function<UINT(WINAPI*)()>("GetDpiForSystem"))
        return static_cast<int>(getDpiForSystem());
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

SIZE WindowSize(int dpi) {
    RECT r{0, 0, MulDiv(kClientWidth, dpi, 96), MulDiv(kClientHeight, dpi, 96)};
    auto adjustForDpi = User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&r, kStyle, FALSE, 0, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&r, kStyle, FALSE, 0);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    DeclareDpiAwareness();

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc))
        return 1;

    SIZE size = WindowSize(SystemDpi());
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - size.cx) / 2;
    int y = work.top + (work.bottom - work.top - size.cy) / 2;
    HWND hwnd = CreateWindowExW(0, kClassName, kCaption, kStyle, x > work.left ? x : work.left,
                                y > work.top ? y : work.top, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
