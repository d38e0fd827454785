#include "Banner.h"

#include "Dpi.h"
#include "GdiObject.h"
#include "SystemLibrary.h"

#include <ole2.h>
#include <olectl.h>

const wchar_t kBannerClass[] = L"QXBanner";
const wchar_t kBannerTitle[] = L"Halvoren 12 QX";

namespace {

using CreateStreamOnHGlobalFn = HRESULT(WINAPI*)(HGLOBAL, BOOL, IStream**);
using OleLoadPictureFn = HRESULT(WINAPI*)(IStream*, LONG, BOOL, REFIID, void**);

} // namespace

// ole32 and oleaut32 are loaded here, when the banner is decoded, rather than with the exe: loading them is a good
// part of what the decoding costs, and the window is already up by then.
HBITMAP LoadJpegResource(HINSTANCE instance, int resourceId) {
    static auto createStream = SystemFunction<CreateStreamOnHGlobalFn>(L"ole32.dll", "CreateStreamOnHGlobal");
    static auto oleLoadPicture = SystemFunction<OleLoadPictureFn>(L"oleaut32.dll", "OleLoadPicture");
    if (!createStream || !oleLoadPicture)
        return nullptr;

    HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = info ? LoadResource(instance, info) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = info ? SizeofResource(instance, info) : 0;
    if (!bytes || !size)
        return nullptr;

    // The stream takes ownership of its own copy of the bytes.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    void* target = copy ? GlobalLock(copy) : nullptr;
    if (!target) {
        if (copy)
            GlobalFree(copy);
        return nullptr;
    }
    CopyMemory(target, bytes, size);
    GlobalUnlock(copy);

    // COM only for the decoding: every object is released before it is uninitialised again.
    ComScope com(COINIT_APARTMENTTHREADED);
    HBITMAP result = nullptr;
    IStream* stream = nullptr;
    if (SUCCEEDED(createStream(copy, TRUE, &stream))) {
        IPicture* picture = nullptr;
        if (SUCCEEDED(oleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                     reinterpret_cast<void**>(&picture)))) {
            OLE_HANDLE handle = 0;
            // The picture owns its bitmap; keep a copy of our own and let the picture go.
            if (SUCCEEDED(picture->get_Handle(&handle)))
                result = static_cast<HBITMAP>(CopyImage(BitmapFromPictureHandle(handle), IMAGE_BITMAP, 0, 0, 0));
            picture->Release();
        }
        stream->Release();
    } else {
        GlobalFree(copy);
    }
    return result;
}

namespace {

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    auto bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap, sizeof info, &info)) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, bitmap);
        int dpi = BannerDpi(hwnd);
        if (dpi == USER_DEFAULT_SCREEN_DPI) {
            BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
        } else {
            // Natural size means the same physical size at any DPI: the same part of the banner stays visible.
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, 0, 0, MulDiv(info.bmWidth, dpi, 96), MulDiv(info.bmHeight, dpi, 96), source, 0, 0,
                       info.bmWidth, info.bmHeight, SRCCOPY);
        }
        SelectObject(source, old);
        DeleteDC(source);
    } else {
        // Until the banner is decoded: its own top colour, so that it fades in without a flash.
        GdiObject<HBRUSH> placeholder(CreateSolidBrush(RGB(0x1d, 0x2b, 0x53)));
        FillRect(dc, &client, placeholder.get());
    }
    if (GetFocus() == hwnd) {
        RECT focus = client;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK BannerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1; // Paint covers everything
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

void RegisterBannerClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = BannerProc;
    wc.cbWndExtra = sizeof(LONG_PTR); // its DPI
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kBannerClass;
    RegisterClassExW(&wc);
}

void SetBannerBitmap(HWND banner, HBITMAP bitmap) {
    SetWindowLongPtrW(banner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
    InvalidateRect(banner, nullptr, FALSE);
}

void SetBannerDpi(HWND banner, int dpi) {
    SetWindowLongPtrW(banner, 0, dpi);
    InvalidateRect(banner, nullptr, FALSE);
}

int BannerDpi(HWND banner) {
    auto dpi = static_cast<int>(GetWindowLongPtrW(banner, 0));
    return dpi > 0 ? dpi : WindowDpi(banner);
}

HBITMAP BitmapFromPictureHandle(UINT handle) {
    return static_cast<HBITMAP>(LongToHandle(static_cast<LONG>(handle)));
}
