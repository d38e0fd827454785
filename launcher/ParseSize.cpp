#include "ParseSize.h"

// Placeholder until the full leading-number rule lands.
std::optional<std::int16_t> ParseSize(const std::wstring& text) {
    long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
        if (value > 32767)
            return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}
