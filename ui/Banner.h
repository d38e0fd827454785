// Picture1: the title banner, a JPEG embedded as a resource, shown at its natural size from the top-left corner
// and clipped to the box. It can hold the focus (it is last in keyboard order) and then shows a focus frame.
#pragma once

#include <windows.h>

extern const wchar_t kBannerClass[];
// The game's title, the banner's window text: never drawn, it is the name a screen reader announces for the banner.
extern const wchar_t kBannerTitle[];

// Decodes the JPEG resource with the system's own decoder (OleLoadPicture). Null when it cannot be decoded.
HBITMAP LoadJpegResource(HINSTANCE instance, int resourceId);

void RegisterBannerClass(HINSTANCE instance);

// The banner window shows `bitmap` (not owned) scaled by its DPI / 96.
void SetBannerBitmap(HWND banner, HBITMAP bitmap);

// The DPI the banner is drawn at. Form1 passes on its own, so that the banner and the layout always agree: where
// GetDpiForWindow is missing (Windows 8.1, early Windows 10) the banner cannot ask for it after a DPI change.
void SetBannerDpi(HWND banner, int dpi);
int BannerDpi(HWND banner);

// The bitmap behind an IPicture's 32-bit OLE_HANDLE: handles are sign-extended into 64-bit pointers.
HBITMAP BitmapFromPictureHandle(UINT handle);
