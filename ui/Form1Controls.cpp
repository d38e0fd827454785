#include "Form1Controls.h"

namespace {

struct WindowClass {
    const wchar_t* name;
    DWORD style;
};

// Radio groups start at their first button (WS_GROUP | WS_TABSTOP); the control after a group starts a new one.
WindowClass ClassAndStyle(const ControlSpec& c, const wchar_t* pictureClass) {
    switch (c.kind) {
    case ControlKind::PushButton:
        return {L"Button", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP};
    case ControlKind::GroupBox:
        return {L"Button", BS_GROUPBOX | WS_GROUP};
    case ControlKind::OptionButton:
        return {L"Button", BS_AUTORADIOBUTTON | ((c.id == kZOP1 || c.id == kOP2) ? WS_GROUP | WS_TABSTOP : 0u)};
    case ControlKind::Label:
        return {L"Static", SS_LEFT | SS_NOPREFIX | WS_GROUP};
    case ControlKind::TextField:
        return {L"Edit", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP};
    case ControlKind::CheckBox:
        return {L"Button", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP};
    case ControlKind::PictureBox:
        return {pictureClass, WS_TABSTOP | WS_GROUP};
    }
    return {L"Static", 0};
}

} // namespace

void CreateForm1Controls(HWND parent, HINSTANCE instance, const wchar_t* pictureClass,
                         HWND (&controls)[kControlCount]) {
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const ControlSpec& c = kForm1Controls[i];
        WindowClass wc = ClassAndStyle(c, pictureClass);
        DWORD exStyle = c.kind == ControlKind::TextField ? WS_EX_CLIENTEDGE : 0;
        controls[i] = CreateWindowExW(exStyle, wc.name, c.caption, WS_CHILD | WS_VISIBLE | wc.style, 0, 0, 0, 0, parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        if (c.initiallySet && (c.kind == ControlKind::OptionButton || c.kind == ControlKind::CheckBox))
            SendMessageW(controls[i], BM_SETCHECK, BST_CHECKED, 0);
    }
}

void PlaceForm1Controls(HWND (&controls)[kControlCount], int dpi) {
    for (std::size_t i = 0; i < kControlCount; ++i) {
        PixelRect r = ControlRect(i, dpi);
        SetWindowPos(controls[i], nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

std::wstring AllForm1Captions() {
    std::wstring text = kForm1Caption;
    for (const auto& c : kForm1Controls)
        text += c.caption;
    return text;
}
