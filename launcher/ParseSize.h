// Turns the text of a size field into a number by the leading-number rule (see ParseSize.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The rounded number at the start of the text, or nothing when it lies outside -32768..32767.
std::optional<std::int16_t> ParseSize(const std::wstring& text);
