// The start-up baseline: an empty top-level window of the launcher's style and client size, centred, and nothing
// else. The launcher's start-up time is measured against this program's.
#include "Dpi.h"
#include "Form1Frame.h"

#include <windows.h>

namespace {

const wchar_t kClassName[] = L"QXBenchEmptyWindow";
const wchar_t kCaption[] = L"Empty window";

// Per-monitor aware like the launcher (which says so in its manifest); the newer call first, for old Windows the
// Vista one. Both are looked up so the exe still starts where they are missing.
void DeclareDpiAwareness() {
    auto setContext = User32Function<BOOL(WINAPI*)(HANDLE)>("SetProcessDpiAwarenessContext");
    if (setContext && setContext(reinterpret_cast<HANDLE>(-4) /* PER_MONITOR_AWARE_V2 */))
        return;
    if (auto setAware = User32Function<BOOL(WINAPI*)()>("SetProcessDPIAware"))
        setAware();
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

    // The launcher's frame, size and place, without its controls.
    SIZE size = Form1FrameSize(SystemDpi());
    POINT at = CentredOnWorkArea(size);
    HWND hwnd = CreateWindowExW(0, kClassName, kCaption, kForm1Style, at.x, at.y, size.cx, size.cy, nullptr, nullptr,
                                instance, nullptr);
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
