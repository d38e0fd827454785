// DPI queries that work from Windows XP on and under Wine: the per-monitor functions are looked up at run time.
#pragma once

#include <windows.h>

// Declared by the headers for newer Windows only; older ones use 96 DPI and never send the message.
#ifndef USER_DEFAULT_SCREEN_DPI
#define USER_DEFAULT_SCREEN_DPI 96
#endif
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

int SystemDpi();
int WindowDpi(HWND hwnd);
// The outer size of a window whose client area is clientWidth x clientHeight pixels at `dpi`.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);
