#include "Form1Frame.h"

#include "Dpi.h"
#include "Layout.h"

SIZE Form1ClientSize(int dpi) {
    const PixelSize client = Form1ClientPixels(dpi);
    return SIZE{client.width, client.height};
}

SIZE Form1FrameSize(int dpi) {
    const SIZE client = Form1ClientSize(dpi);
    return WindowSizeForClient(client.cx, client.cy, kForm1Style, kForm1ExStyle, dpi);
}

PixelSize Form1NonClientSize(int dpi) {
    const SIZE client = Form1ClientSize(dpi), frame = Form1FrameSize(dpi);
    return PixelSize{frame.cx - client.cx, frame.cy - client.cy};
}

// SW_RESTORE shows a new window normal, as SW_SHOWNORMAL does, but Windows replaces a program's first SW_SHOWNORMAL or
// SW_SHOW with the show command of its start-up info, which would maximize it after all.
int Form1ShowCommand(int requested) {
    return requested == SW_SHOWMAXIMIZED || requested == SW_SHOWNORMAL || requested == SW_SHOW ? SW_RESTORE : requested;
}

POINT CentredOnWorkArea(SIZE size) {
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    LONG x = work.left + (work.right - work.left - size.cx) / 2;
    LONG y = work.top + (work.bottom - work.top - size.cy) / 2;
    return POINT{x > work.left ? x : work.left, y > work.top ? y : work.top};
}
