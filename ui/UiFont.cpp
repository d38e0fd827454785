#include "UiFont.h"

#include "GdiObject.h"

#include <vector>

namespace {

const wchar_t* const kFaces[] = {
    L"Microsoft YaHei UI", L"Microsoft YaHei",    L"SimSun", L"NSimSun", L"WenQuanYi Micro Hei",
    L"Noto Sans CJK SC",   L"Droid Sans Fallback"};
constexpr int kPointSize = 9;

HFONT CreateFace(const wchar_t* face, int dpi) {
    return CreateFontW(-MulDiv(kPointSize, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

thread_local HHOOK tBoxHook;
thread_local HFONT tBoxFont;

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
}

BOOL CALLBACK MoveButton(HWND child, LPARAM offset) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (lstrcmpiW(className, L"Button") == 0) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
        const POINT* by = reinterpret_cast<const POINT*>(offset);
        SetWindowPos(child, nullptr, r.left + by->x, r.top + by->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

// The box measured its text in the system font; with ours the text may need more room. Grow the text, move the
// buttons and grow the box to match, so that nothing is cut off.
void FitBoxText(HWND box, HFONT font) {
    HWND text = GetDlgItem(box, 0xFFFF);
    if (!text)
        return;
    std::wstring message(static_cast<std::size_t>(GetWindowTextLengthW(text)) + 1, L'\0');
    message.resize(static_cast<std::size_t>(GetWindowTextW(text, message.data(), static_cast<int>(message.size()))));
    RECT current;
    GetWindowRect(text, &current);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);

    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, font);
    RECT needed{0, 0, (monitor.rcWork.right - monitor.rcWork.left) * 2 / 3, 0};
    DrawTextW(dc, message.c_str(), -1, &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(text, dc);

    const int width = current.right - current.left, height = current.bottom - current.top;
    const int growX = needed.right > width ? needed.right - width : 0;
    const int growY = needed.bottom > height ? needed.bottom - height : 0;
    if (!growX && !growY)
        return;
    SetWindowPos(text, nullptr, 0, 0, width + growX, height + growY, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    POINT offset{growX / 2, growY};
    EnumChildWindows(box, MoveButton, reinterpret_cast<LPARAM>(&offset));
    RECT frame;
    GetWindowRect(box, &frame);
    SetWindowPos(box, nullptr, frame.left - growX / 2, frame.top - growY / 2, frame.right - frame.left + growX,
                 frame.bottom - frame.top + growY, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Sees the message box being activated, before it is first painted.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        auto box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        GetClassNameW(box, className, 16);
        if (lstrcmpW(className, L"#32770") == 0 && tBoxFont) {
            EnumChildWindows(box, SetChildFont, reinterpret_cast<LPARAM>(tBoxFont));
            FitBoxText(box, tBoxFont);
        }
    }
    return CallNextHookEx(tBoxHook, code, wParam, lParam);
}

} // namespace

bool FontCoversText(HFONT font, const std::wstring& text) {
    if (text.empty())
        return true;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size());
    DWORD done =
        GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    DeleteDC(dc);
    if (done == GDI_ERROR)
        return false;
    for (WORD g : glyphs)
        if (g == 0xFFFF)
            return false;
    return true;
}

std::wstring FontFaceName(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    DeleteDC(dc);
    return face;
}

HFONT CreateUiFont(int dpi, const std::wstring& text) {
    for (const wchar_t* face : kFaces) {
        HFONT font = CreateFace(face, dpi);
        if (font && FontCoversText(font, text))
            return font;
        if (font)
            DeleteObject(font);
    }
    return CreateFace(kFaces[0], dpi);
}

int MessageBoxWithFont(HWND owner, const std::wstring& text, const std::wstring& title, UINT flags, HFONT font) {
    // The box draws with a copy of its own: the window replaces and deletes its font when its DPI changes, which
    // can happen while the box is open.
    LOGFONTW face{};
    GdiObject<HFONT> own(font && GetObjectW(font, sizeof face, &face) ? CreateFontIndirectW(&face) : nullptr);
    tBoxFont = own.get();
    tBoxHook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
    int result = MessageBoxW(owner, text.c_str(), title.c_str(), flags);
    if (tBoxHook)
        UnhookWindowsHookEx(tBoxHook);
    tBoxHook = nullptr;
    tBoxFont = nullptr;
    return result;
}
