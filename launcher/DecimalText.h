// A number as the window shows it: plain decimal, a leading minus sign when negative, no blanks or leading zeros.
// (std::to_wstring would do, but drags the C runtime's whole printf into the 32-bit exe.)
#pragma once

#include <cstdint>
#include <string>

inline std::wstring DecimalText(std::int64_t value) {
    wchar_t digits[24];
    wchar_t* end = digits + 24;
    wchar_t* p = end;
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        *--p = L'-';
    return std::wstring(p, end);
}
