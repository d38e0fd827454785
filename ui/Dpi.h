// DPI queries that work from Windows XP on and under Wine: the per-monitor functions are looked up at run time, on
// each call (microseconds), so that no guarded static pulls the C++ runtime's locks and exceptions into small programs.
#pragma once

#include <windows.h>

// A user32 function that older Windows may lack, looked up by name; null where it does not exist, or where tests hide
// it (HideNewerSystemFunctions).
FARPROC User32Proc(const char* name);
template <typename Fn> Fn User32Function(const char* name) {
    // Through void*: FARPROC does not convert to another function pointer type without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(User32Proc(name)));
}

// Declared by the headers for newer Windows only; older ones use 96 DPI and never send the message.
#ifndef USER_DEFAULT_SCREEN_DPI
#define USER_DEFAULT_SCREEN_DPI 96
#endif
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

int SystemDpi();
int WindowDpi(HWND hwnd);
// The effective DPI of the monitor the window is on (shcore's GetDpiForMonitor), or the screen's where that is missing.
int MonitorDpi(HWND hwnd);
// Per-monitor DPI v2 (Windows 10 1703 on) scales a window's title bar and borders with its DPI; v1 (8.1, 10 before
// 1703), older systems and Wine leave them at the size they had.
bool NonClientScalesWithDpi(HWND hwnd);
// The outer size of a window whose client area is clientWidth x clientHeight pixels at `dpi`.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);
