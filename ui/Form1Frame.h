// Form1's frame: its style, its outer size at a DPI and its place on screen. Shared by the launcher's window and the
// start-up benchmark's reference windows, so that all of them open the same frame.
#pragma once

#include <windows.h>

constexpr DWORD kForm1Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kForm1ExStyle = WS_EX_CONTROLPARENT;

// The layout's size at `dpi`: Form1's client area.
SIZE Form1ClientSize(int dpi);
// The outer size of Form1 whose client area is the layout's, at `dpi`.
SIZE Form1FrameSize(int dpi);
// Where a frame of `size` is centred on the primary work area (its top-left corner kept on screen).
POINT CentredOnWorkArea(SIZE size);
