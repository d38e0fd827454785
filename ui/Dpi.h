// DPI queries that work from Windows 7 on and under Wine: the per-monitor functions are looked up at run time.
#pragma once

#include <windows.h>

int SystemDpi();
int WindowDpi(HWND hwnd);
// The effective DPI of the monitor the window is on (shcore's GetDpiForMonitor), or the screen's where that is missing.
int MonitorDpi(HWND hwnd);
// The outer size of a window whose client area is clientWidth x clientHeight pixels at `dpi`.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);
