// Fuzzes ParseSize: any text must parse without crashing or undefined behaviour, blanks and a leading "+" must not
// change the result, and plain decimal, exponent and &H/&O inputs must match a reference computed independently.
#include "ParseSize.h"

#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

using Result = std::optional<std::int16_t>;

void Fail(const char* what, const std::wstring& text, Result expected, Result actual) {
    std::fprintf(stderr, "ParseSize mismatch (%s) for text of %zu characters:", what, text.size());
    for (wchar_t c : text)
        std::fprintf(stderr, " %lx", static_cast<unsigned long>(static_cast<std::uint32_t>(c)));
    std::fprintf(stderr, "\n  expected %s%d, got %s%d\n", expected ? "" : "out of range ", expected ? *expected : 0,
                 actual ? "" : "out of range ", actual ? *actual : 0);
    std::abort();
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n';
}

std::wstring WithoutBlanks(const std::wstring& text) {
    std::wstring kept;
    for (wchar_t c : text) {
        if (!IsBlank(c))
            kept += c;
    }
    return kept;
}

Result InRange(long double value) {
    if (value < -32768.0L || value > 32767.0L)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

// Properties every text has, whatever it holds.
void CheckInvariants(const std::wstring& text) {
    const Result result = ParseSize(text);
    const std::wstring compact = WithoutBlanks(text);
    if (ParseSize(compact) != result)
        Fail("blanks removed", text, result, ParseSize(compact));
    if (!compact.empty() && (compact[0] == L'+' || compact[0] == L'-'))
        return;
    if (ParseSize(L"+" + text) != result)
        Fail("leading plus", L"+" + text, result, ParseSize(L"+" + text));
    // Rounding is symmetric, so a minus negates; only a magnitude rounding to 32768 comes back into range.
    const Result negated = ParseSize(L"-" + text);
    if (result) {
        if (negated != Result(static_cast<std::int16_t>(-*result)))
            Fail("leading minus", L"-" + text, Result(static_cast<std::int16_t>(-*result)), negated);
    } else if (negated && *negated != -32768) {
        Fail("leading minus of out-of-range", L"-" + text, std::nullopt, negated);
    }
}

bool IsDecimal(char c) {
    return c >= '0' && c <= '9';
}

bool IsHex(char c) {
    return IsDecimal(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

std::size_t CountDigits(const std::string& s, std::size_t pos, bool (*isDigit)(char)) {
    std::size_t n = 0;
    while (pos + n < s.size() && isDigit(s[pos + n]))
        ++n;
    return n;
}

// [+-]?[0-9]{1,6}(\.[0-9]{1,6})?([eE][+-]?[0-9]{1,2})? and nothing else. With at most twelve significant digits
// and a small exponent, a value that is not an exact half lies at least 5e-13 from one (or is below 0.1), far
// beyond long double's error here, and exact halves convert exactly; so strtold + nearbyintl under the default
// round-to-nearest-even mode is a faithful reference.
std::optional<long double> ReferenceDecimal(const std::string& s) {
    std::size_t pos = s.size() > 0 && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    const std::size_t whole = CountDigits(s, pos, IsDecimal);
    if (whole < 1 || whole > 6)
        return std::nullopt;
    pos += whole;
    if (pos < s.size() && s[pos] == '.') {
        const std::size_t fraction = CountDigits(s, pos + 1, IsDecimal);
        if (fraction < 1 || fraction > 6)
            return std::nullopt;
        pos += 1 + fraction;
    }
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
        ++pos;
        if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
            ++pos;
        const std::size_t exponent = CountDigits(s, pos, IsDecimal);
        if (exponent < 1 || exponent > 2)
            return std::nullopt;
        pos += exponent;
    }
    if (pos != s.size())
        return std::nullopt;
    return std::nearbyintl(std::strtold(s.c_str(), nullptr));
}

// [+-]?&[HhOo] followed by 1 to 15 digits of the base, and nothing else: an unsigned magnitude with the sign applied.
std::optional<long double> ReferenceRadix(const std::string& s) {
    std::size_t pos = s.size() > 0 && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    if (s.size() < pos + 3 || s[pos] != '&')
        return std::nullopt;
    const char letter = s[pos + 1];
    const bool hex = letter == 'H' || letter == 'h';
    if (!hex && letter != 'O' && letter != 'o')
        return std::nullopt;
    const std::size_t digits = CountDigits(s, pos + 2, hex ? IsHex : IsOctal);
    if (digits < 1 || digits > 15 || pos + 2 + digits != s.size())
        return std::nullopt;
    const long double magnitude = static_cast<long double>(std::strtoull(s.c_str() + pos + 2, nullptr, hex ? 16 : 8));
    return s[0] == '-' ? -magnitude : magnitude;
}

void CheckAgainstReference(const std::wstring& text) {
    std::string compact;
    for (wchar_t c : WithoutBlanks(text)) {
        if (c <= 0 || c > 0x7f)
            return;
        compact += static_cast<char>(c);
    }
    std::optional<long double> reference = ReferenceDecimal(compact);
    if (!reference)
        reference = ReferenceRadix(compact);
    if (!reference)
        return;
    const Result expected = InRange(*reference);
    const Result actual = ParseSize(text);
    if (actual != expected)
        Fail("reference", text, expected, actual);
}

void Check(const std::wstring& text) {
    CheckInvariants(text);
    CheckAgainstReference(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (std::fegetround() != FE_TONEAREST)
        std::abort(); // the reference relies on the default rounding mode

    // Each byte one character, as typed text mostly is.
    Check(std::wstring(data, data + size));

    // Byte pairs as UTF-16 units (little-endian), which is what the window's text really is.
    std::wstring utf16;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        utf16 += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    Check(utf16);

    // Four bytes as one wchar_t, reaching values no window text holds, negative ones included.
    std::wstring wide;
    for (std::size_t i = 0; i + 3 < size; i += 4) {
        std::uint32_t unit = 0;
        std::memcpy(&unit, data + i, sizeof unit);
        wide += static_cast<wchar_t>(unit);
    }
    Check(wide);
    return 0;
}
