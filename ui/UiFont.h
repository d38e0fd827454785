// The one font of the window and its messages. Requested with the Chinese character set, so that Wine in a
// non-Chinese locale maps it to an installed CJK font instead of drawing empty boxes.
#pragma once

#include <windows.h>

#include <string>

// A 9-point font at `dpi` whose glyphs cover `text`: the first face of a preference list that does, otherwise
// the first face. The caller deletes it.
HFONT CreateUiFont(int dpi, const std::wstring& text);

bool FontCoversText(HFONT font, const std::wstring& text);
std::wstring FontFaceName(HFONT font);

// MessageBoxW, with a copy of `font` given to the box's text so that Chinese shows under Wine too.
int MessageBoxWithFont(HWND owner, const std::wstring& text, const std::wstring& title, UINT flags, HFONT font);
