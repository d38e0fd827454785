#include "ParseSize.h"

#include <cstddef>

// A size field gives the number its text starts with: blanks are dropped wherever they stand, the number is a
// decimal with an optional fraction and exponent or an &H/&O literal, and it is rounded half to even. It is all
// done in integers, so no input is misjudged by binary rounding and no length of input costs more than a pass.

namespace {

constexpr std::int32_t kMinSize = -32768;
constexpr std::int32_t kMaxSize = 32767;

// Stands for every magnitude that no 16-bit value can hold; small enough that magnitude * 16 + 15 cannot overflow.
constexpr std::int32_t kHugeMagnitude = 1 << 20;

// Explicit exponents saturate here. Any text in memory is far shorter than this many characters, so a saturated
// exponent still outweighs every digit count and the verdict (far too large, or rounds to 0) stays right.
constexpr std::int64_t kExponentCap = 1'000'000'000'000'000;

// A decimal in range has at most five integer digits; the sixth significant digit is the rounding digit and the
// rest only matter as "something non-zero follows".
constexpr int kKeptDigits = 6;

// Blanks, tabs and line feeds; a carriage return is text like any other and ends the number ("1024\r\n" is 1024).
bool IsIgnored(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n';
}

int DigitValue(wchar_t c, int base) {
    int value = base;
    if (c >= L'0' && c <= L'9')
        value = c - L'0';
    else if (c >= L'A' && c <= L'F')
        value = c - L'A' + 10;
    else if (c >= L'a' && c <= L'f')
        value = c - L'a' + 10;
    return value < base ? value : -1;
}

// Reads the text one character at a time, stepping over the ignored ones; L'\0' past the end, which no rule accepts.
class Cursor {
public:
    explicit Cursor(const std::wstring& source) : text(source) { SkipIgnored(); }

    wchar_t Peek() const { return pos < text.size() ? text[pos] : L'\0'; }

    void Next() {
        ++pos;
        SkipIgnored();
    }

private:
    void SkipIgnored() {
        while (pos < text.size() && IsIgnored(text[pos]))
            ++pos;
    }

    const std::wstring& text;
    std::size_t pos = 0;
};

// The value 0.d1 d2 d3 ... x 10^pointPos, d1 being the first non-zero digit, kept in constant space.
class SignificantDigits {
public:
    void AddIntegerDigit(int digit) {
        if (digit == 0 && keptCount == 0)
            return; // a leading zero changes nothing
        Keep(digit);
        ++pointPos;
    }

    void AddFractionDigit(int digit) {
        if (digit == 0 && keptCount == 0) {
            --pointPos; // 0.001 is 0.1 x 10^-2
            return;
        }
        Keep(digit);
    }

    // The magnitude times 10^exponent, rounded half to even; kHugeMagnitude when it has six or more integer digits.
    std::int32_t Round(std::int64_t exponent) const {
        if (keptCount == 0)
            return 0;
        const std::int64_t integerDigits = pointPos + exponent;
        if (integerDigits > kKeptDigits - 1)
            return kHugeMagnitude;
        if (integerDigits < 0)
            return 0; // below 0.1
        const int split = static_cast<int>(integerDigits);
        std::int32_t magnitude = 0;
        for (int i = 0; i < split; ++i)
            magnitude = magnitude * 10 + DigitAt(i);
        const int roundDigit = DigitAt(split);
        bool moreAfter = nonZeroBeyondKept;
        for (int i = split + 1; i < keptCount; ++i)
            moreAfter = moreAfter || kept[i] != 0;
        if (roundDigit > 5 || (roundDigit == 5 && (moreAfter || magnitude % 2 != 0)))
            ++magnitude;
        return magnitude;
    }

private:
    void Keep(int digit) {
        if (keptCount < kKeptDigits)
            kept[keptCount++] = digit;
        else if (digit != 0)
            nonZeroBeyondKept = true;
    }

    int DigitAt(int i) const { return i < keptCount ? kept[i] : 0; }

    int kept[kKeptDigits] = {};
    int keptCount = 0;
    bool nonZeroBeyondKept = false;
    std::int64_t pointPos = 0; // the text's digit counts stay far below kExponentCap
};

// The exponent after a decimal mantissa, 0 when there is none. Only E or e opens one: a D, which some dialects
// also accept, ends the number ("1d3" is 1). An E without digits after it is not part of the number either.
std::int64_t ReadExponent(Cursor& cursor) {
    if (cursor.Peek() != L'E' && cursor.Peek() != L'e')
        return 0;
    cursor.Next();
    bool negative = false;
    if (cursor.Peek() == L'+' || cursor.Peek() == L'-') {
        negative = cursor.Peek() == L'-';
        cursor.Next();
    }
    if (DigitValue(cursor.Peek(), 10) < 0)
        return 0; // "1e" and "1e+" are 1; the E is text after the number
    std::int64_t exponent = 0;
    for (int digit; (digit = DigitValue(cursor.Peek(), 10)) >= 0; cursor.Next()) {
        if (exponent < kExponentCap)
            exponent = exponent * 10 + digit;
    }
    if (exponent > kExponentCap)
        exponent = kExponentCap;
    return negative ? -exponent : exponent;
}

std::int32_t ReadDecimalMagnitude(Cursor& cursor) {
    SignificantDigits digits;
    bool anyDigit = false;
    for (int digit; (digit = DigitValue(cursor.Peek(), 10)) >= 0; cursor.Next()) {
        digits.AddIntegerDigit(digit);
        anyDigit = true;
    }
    if (cursor.Peek() == L'.') {
        cursor.Next();
        for (int digit; (digit = DigitValue(cursor.Peek(), 10)) >= 0; cursor.Next()) {
            digits.AddFractionDigit(digit);
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0; // "", "-", "." and "e5" hold no number
    return digits.Round(ReadExponent(cursor));
}

// &H and &O literals are unsigned magnitudes of any length, never wrapped into negatives as 16-bit patterns:
// "&HFFFF" is 65535 and so out of range, and a leading sign applies as it does to decimals ("-&H400" is -1024).
std::int32_t ReadRadixMagnitude(Cursor& cursor) {
    cursor.Next(); // the '&'
    int base = 0;
    if (cursor.Peek() == L'H' || cursor.Peek() == L'h')
        base = 16;
    else if (cursor.Peek() == L'O' || cursor.Peek() == L'o')
        base = 8;
    else
        return 0; // "&" alone or "&400" holds no number
    cursor.Next();
    std::int32_t magnitude = 0;
    for (int digit; (digit = DigitValue(cursor.Peek(), base)) >= 0; cursor.Next()) {
        magnitude = magnitude * base + digit;
        if (magnitude > kHugeMagnitude)
            magnitude = kHugeMagnitude;
    }
    return magnitude;
}

} // namespace

std::optional<std::int16_t> ParseSize(const std::wstring& text) {
    Cursor cursor(text);
    bool negative = false;
    if (cursor.Peek() == L'+' || cursor.Peek() == L'-') {
        negative = cursor.Peek() == L'-';
        cursor.Next();
    }
    const std::int32_t magnitude = cursor.Peek() == L'&' ? ReadRadixMagnitude(cursor) : ReadDecimalMagnitude(cursor);
    // "-0", "-0.4" and "-&H0" give plain 0: the stored DWORD has no negative zero.
    const std::int32_t value = negative ? -magnitude : magnitude;
    if (value < kMinSize || value > kMaxSize)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}
