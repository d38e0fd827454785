// Form1's controls as windows, made from the layout table: shared by the launcher's window and the start-up
// benchmark's styled reference, so that the reference shows the same controls.
#pragma once

#include "Layout.h"

#include <windows.h>

#include <string>

// Creates every control of kForm1Controls as a child of `parent`, in keyboard order and initial state, unsized;
// the picture box is a window of `pictureClass`.
void CreateForm1Controls(HWND parent, HINSTANCE instance, const wchar_t* pictureClass, HWND (&controls)[kControlCount]);

// Moves each control to its place at `dpi`.
void PlaceForm1Controls(HWND (&controls)[kControlCount], int dpi);

// The window's caption and every control's: the font chosen for the window must have all their glyphs.
std::wstring AllForm1Captions();
