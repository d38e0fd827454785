// The launcher's one window. It owns its controls and the SettingsCache, forwards the three clicks that have
// procedures to the launcher's logic, and answers that logic's questions about its controls.
#pragma once

#include "Dpi.h"
#include "FormControls.h"
#include "GdiObject.h"
#include "Layout.h"
#include "OperatingSystem.h"
#include "SettingsCache.h"

#include <windows.h>

class Form1 : public FormControls {
public:
    explicit Form1(OperatingSystem& os) : os_(os) {}
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window hidden, with every control in its initial state.
    bool Create(HINSTANCE instance);
    // The load step: read the stored settings and show the Chinese edition's, before the window is first shown.
    void Load();
    void Show(int showCommand);
    // Decodes and shows the banner; Show() schedules it for when the window first waits for input.
    void LoadBanner();

    HWND Hwnd() const { return hwnd_; }
    HWND Control(ControlId id) const;
    HFONT Font() const { return font_.get(); }

    // Keyboard navigation: Tab, arrows within a group, Enter for "启动游戏", Esc to close.
    bool TranslateDialogMessage(MSG& msg);

    bool IsSelected(Option option) const override;
    void SetSelected(Option option, bool selected) override;
    std::wstring GetText(Field field) const override;
    void SetText(Field field, const std::wstring& text) override;
    int CkexitValue() const override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnCommand(int id, int code);
    void OnActivate(bool active);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void ApplyFont();
    void PlaceControls();

    OperatingSystem& os_;
    SettingsCache cache_;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND controls_[kControlCount] = {};
    HWND lastFocus_ = nullptr;
    GdiObject<HFONT> font_;
    GdiObject<HBITMAP> banner_;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;

    static constexpr UINT_PTR kBannerTimer = 1;
};

// Runs the window's message loop until it is closed; returns the exit code.
int RunMessageLoop(Form1& form);
