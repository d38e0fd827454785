#include "UiFont.h"

#include <vector>

namespace {

const wchar_t* const kFaces[] = {L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun", L"NSimSun",
                                 L"WenQuanYi Micro Hei", L"Noto Sans CJK SC", L"Droid Sans Fallback"};
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

// Sees the message box being activated, before it is first painted.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        wchar_t className[16] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), className, 16);
        if (lstrcmpW(className, L"#32770") == 0 && tBoxFont)
            EnumChildWindows(reinterpret_cast<HWND>(wParam), SetChildFont, reinterpret_cast<LPARAM>(tBoxFont));
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
    DWORD done = GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                  GGI_MARK_NONEXISTING_GLYPHS);
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
    tBoxFont = font;
    tBoxHook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
    int result = MessageBoxW(owner, text.c_str(), title.c_str(), flags);
    if (tBoxHook)
        UnhookWindowsHookEx(tBoxHook);
    tBoxHook = nullptr;
    tBoxFont = nullptr;
    return result;
}
