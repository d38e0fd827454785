// Form1's frame: its style, its outer size at a DPI and its place on screen. Shared by the launcher's window and the
// start-up benchmark's reference windows, so that all of them open the same frame.
#pragma once

#include "Layout.h"

#include <windows.h>

constexpr DWORD kForm1Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kForm1ExStyle = WS_EX_CONTROLPARENT;

// The layout's size at `dpi`: Form1's client area.
SIZE Form1ClientSize(int dpi);
// The outer size of Form1 whose client area is the layout's, at `dpi`.
SIZE Form1FrameSize(int dpi);
// Form1's title bar and borders at `dpi`, as the system computes them for a window that scales them per monitor.
PixelSize Form1NonClientSize(int dpi);
// The show command Form1 is shown with, for the one the program was started with. The frame is fixed, so a shortcut
// set to "Run: Maximized" shows it normal; "Minimized" stays minimized.
int Form1ShowCommand(int requested);
// Where a frame of `size` is centred on the primary work area (its top-left corner kept on screen).
POINT CentredOnWorkArea(SIZE size);
