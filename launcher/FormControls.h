// What the launcher's logic sees of Form1: its option buttons, its two size fields and the exit check box.
#pragma once

#include <string>

enum class Option { ZOP1, Zop2, OP1, OP2 };
enum class Field { Text1, Text2 };

class FormControls {
public:
    virtual ~FormControls() = default;
    virtual bool IsSelected(Option option) const = 0;
    virtual void SetSelected(Option option, bool selected) = 0;
    virtual std::wstring GetText(Field field) const = 0;
    virtual void SetText(Field field, const std::wstring& text) = 0;
    virtual int CkexitValue() const = 0; // 1 when checked
};
