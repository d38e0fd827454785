// DPI queries that work from Windows XP on and under Wine: the per-monitor functions are looked up at run time, on
// each call (microseconds), so that no guarded static pulls the C++ runtime's locks and exceptions into small programs.
#pragma once

#include <windows.h>

// A user32 function that older Windows may lack, looked up by name; null where it does not exist.
template <typename Fn> Fn User32Function(const char* name) {
    // Through void*: FARPROC does not convert to another function pointer type without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
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
// The outer size of a window whose client area is clientWidth x clientHeight pixels at `dpi`.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);
