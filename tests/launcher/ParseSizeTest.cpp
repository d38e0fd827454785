#include "ParseSize.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// Widened to int so a failure prints the number, not a character.
std::optional<int> Parse(const std::wstring& text) {
    const std::optional<std::int16_t> result = ParseSize(text);
    if (!result)
        return std::nullopt;
    return *result;
}

const std::optional<int> kOutOfRange;

std::wstring Repeat(wchar_t c, std::size_t count) {
    return std::wstring(count, c);
}

} // namespace

// --- The examples the size fields are documented with ---

TEST(ParseSizeExamples, AsTheSizeFieldsAreDocumented) {
    const struct {
        const wchar_t* text;
        int expected;
    } rows[] = {{L"1024", 1024}, {L" 1 0 2 4", 1024}, {L"800x600", 800}, {L"", 0},          {L"abc", 0},
                {L"1e3", 1000},  {L"&H400", 1024},    {L"1023.5", 1024}, {L"1024.5", 1024}, {L"-2.5", -2}};
    for (const auto& row : rows)
        EXPECT_EQ(Parse(row.text), row.expected) << testing::PrintToString(std::wstring(row.text));
}

// --- Blanks ---

TEST(ParseSizeBlanks, TabsAndLineFeedsAreIgnoredEverywhere) {
    EXPECT_EQ(Parse(L"\t1\t0\t2\t4\t"), 1024);
    EXPECT_EQ(Parse(L"\n1024\n"), 1024);
    EXPECT_EQ(Parse(L"1\n2\n8\n0"), 1280);
}

TEST(ParseSizeBlanks, CarriageReturnIsNotABlankAndEndsTheNumber) {
    EXPECT_EQ(Parse(L"1024\r\n"), 1024);
    EXPECT_EQ(Parse(L"12\r34"), 12);
    EXPECT_EQ(Parse(L"\r1024"), 0);
}

TEST(ParseSizeBlanks, IgnoredInsideSignFractionExponentAndPrefix) {
    EXPECT_EQ(Parse(L" - 5"), -5);
    EXPECT_EQ(Parse(L"1 . 5"), 2);
    EXPECT_EQ(Parse(L"1 e 3"), 1000);
    EXPECT_EQ(Parse(L"1 e - 1"), 0);
    EXPECT_EQ(Parse(L"& H 4 0 0"), 1024);
    EXPECT_EQ(Parse(L"- & o 1 7"), -15);
}

TEST(ParseSizeBlanks, OnlyBlanksGiveZero) {
    EXPECT_EQ(Parse(L"   \t\n "), 0);
}

TEST(ParseSizeBlanks, OtherSpaceCharactersEndTheNumber) {
    EXPECT_EQ(Parse(L"\u00a0"
                    L"12"),
              0); // no-break space
    EXPECT_EQ(Parse(L"1\u3000"
                    L"2"),
              1); // ideographic space, as typed with a Chinese input method
    EXPECT_EQ(Parse(L"1\v2"), 1);
    EXPECT_EQ(Parse(L"1\f2"), 1);
}

// --- Signs ---

TEST(ParseSizeSign, PlusAndMinus) {
    EXPECT_EQ(Parse(L"+640"), 640);
    EXPECT_EQ(Parse(L"-1"), -1);
    EXPECT_EQ(Parse(L"-480"), -480);
}

TEST(ParseSizeSign, AtMostOneSign) {
    EXPECT_EQ(Parse(L"--5"), 0);
    EXPECT_EQ(Parse(L"+-5"), 0);
    EXPECT_EQ(Parse(L"-+5"), 0);
}

TEST(ParseSizeSign, SignAloneGivesZero) {
    EXPECT_EQ(Parse(L"-"), 0);
    EXPECT_EQ(Parse(L"+"), 0);
    EXPECT_EQ(Parse(L"-x5"), 0);
}

TEST(ParseSizeSign, SignAfterTheNumberEndsIt) {
    EXPECT_EQ(Parse(L"5-3"), 5);
    EXPECT_EQ(Parse(L"7+"), 7);
}

TEST(ParseSizeSign, NegativeZeroIsZero) {
    EXPECT_EQ(Parse(L"-0"), 0);
    EXPECT_EQ(Parse(L"-0.4"), 0);
    EXPECT_EQ(Parse(L"-0.5"), 0);
    EXPECT_EQ(Parse(L"-&H0"), 0);
}

// --- Decimal point and rounding ---

TEST(ParseSizeDecimal, PointWithDigitsOnEitherSide) {
    EXPECT_EQ(Parse(L"12."), 12);
    EXPECT_EQ(Parse(L".7"), 1);
    EXPECT_EQ(Parse(L"0.25"), 0);
    EXPECT_EQ(Parse(L"799.9"), 800);
}

TEST(ParseSizeDecimal, PointWithoutDigitsGivesZero) {
    EXPECT_EQ(Parse(L"."), 0);
    EXPECT_EQ(Parse(L"-."), 0);
    EXPECT_EQ(Parse(L"..5"), 0);
}

TEST(ParseSizeDecimal, SecondPointEndsTheNumber) {
    EXPECT_EQ(Parse(L"1.2.9"), 1);
    EXPECT_EQ(Parse(L"600.4.9"), 600);
}

TEST(ParseSizeDecimal, LeadingAndTrailingZeros) {
    EXPECT_EQ(Parse(L"0001024"), 1024);
    EXPECT_EQ(Parse(L"1024.0000"), 1024);
    EXPECT_EQ(Parse(L"000.000"), 0);
    EXPECT_EQ(Parse(L"00032767"), 32767);
}

TEST(ParseSizeRounding, TrailingZerosKeepAnExactHalf) {
    EXPECT_EQ(Parse(L"2.5000000000000000000000000"), 2);
    EXPECT_EQ(Parse(L"3.50"), 4);
}

TEST(ParseSizeRounding, ATinyExcessOverHalfRoundsAway) {
    EXPECT_EQ(Parse(L"0.50000000000000000001"), 1);
    EXPECT_EQ(Parse(L"2.50000000000000000001"), 3);
    EXPECT_EQ(Parse(L"-2.50000000000000000001"), -3);
    EXPECT_EQ(Parse(L"1024.500000000000000000000000000000000000001"), 1025);
}

TEST(ParseSizeRounding, ATinyShortfallBelowHalfRoundsDown) {
    EXPECT_EQ(Parse(L"0.49999999999999999999"), 0);
    EXPECT_EQ(Parse(L"1.49999999999999999999"), 1);
    EXPECT_EQ(Parse(L"-1.49999999999999999999"), -1);
}

TEST(ParseSizeRounding, NonHalvesRoundToNearest) {
    EXPECT_EQ(Parse(L"1.4"), 1);
    EXPECT_EQ(Parse(L"1.6"), 2);
    EXPECT_EQ(Parse(L"-1.6"), -2);
    EXPECT_EQ(Parse(L"0.09"), 0);
    EXPECT_EQ(Parse(L"0.0000001"), 0);
}

// Every integer and every half around the range, against half-to-even worked out in integers here.
TEST(ParseSizeRounding, EveryIntegerAndHalfAroundTheRange) {
    for (int whole = -33000; whole <= 33000; ++whole) {
        const std::optional<int> expectedWhole =
            whole >= -32768 && whole <= 32767 ? std::optional<int>(whole) : kOutOfRange;
        ASSERT_EQ(Parse(std::to_wstring(whole)), expectedWhole) << whole;

        // whole.5 lies between whole and whole + 1 (or whole - 1 when negative); the even neighbour wins.
        const int away = whole < 0 ? whole - 1 : whole + 1;
        const int even = whole % 2 == 0 ? whole : away;
        const std::wstring half = std::to_wstring(whole) + L".5";
        const std::optional<int> expectedHalf =
            even >= -32768 && even <= 32767 ? std::optional<int>(even) : kOutOfRange;
        ASSERT_EQ(Parse(half), expectedHalf) << whole << ".5";
        if (whole == 0) {
            ASSERT_EQ(Parse(L".5"), 0);
        }
    }
}

// --- Exponent ---

TEST(ParseSizeExponent, EitherCaseAndSigns) {
    EXPECT_EQ(Parse(L"1E3"), 1000);
    EXPECT_EQ(Parse(L"1e+3"), 1000);
    EXPECT_EQ(Parse(L"1e-3"), 0);
    EXPECT_EQ(Parse(L"1e0"), 1);
    EXPECT_EQ(Parse(L"1e-0"), 1);
    EXPECT_EQ(Parse(L"1e0004"), 10000);
}

TEST(ParseSizeExponent, MovesThePointBeforeRounding) {
    EXPECT_EQ(Parse(L"1.5e1"), 15);
    EXPECT_EQ(Parse(L"15e-1"), 2);
    EXPECT_EQ(Parse(L"25e-1"), 2);
    EXPECT_EQ(Parse(L"-25e-1"), -2);
    EXPECT_EQ(Parse(L"3.2767e4"), 32767);
    EXPECT_EQ(Parse(L"12800e-1"), 1280);
    EXPECT_EQ(Parse(L".5e1"), 5);
    EXPECT_EQ(Parse(L"5.e1"), 50);
    EXPECT_EQ(Parse(L"0.0064e5"), 640);
}

TEST(ParseSizeExponent, ELetterWithoutDigitsIsNotPartOfTheNumber) {
    EXPECT_EQ(Parse(L"1e"), 1);
    EXPECT_EQ(Parse(L"1e+"), 1);
    EXPECT_EQ(Parse(L"1e-"), 1);
    EXPECT_EQ(Parse(L"7ex"), 7);
    EXPECT_EQ(Parse(L"7e+x3"), 7);
}

TEST(ParseSizeExponent, ExponentWithoutMantissaGivesZero) {
    EXPECT_EQ(Parse(L"e3"), 0);
    EXPECT_EQ(Parse(L".e3"), 0);
    EXPECT_EQ(Parse(L"-e3"), 0);
}

TEST(ParseSizeExponent, OnlyEOpensAnExponent) {
    EXPECT_EQ(Parse(L"1d3"), 1);
    EXPECT_EQ(Parse(L"1D3"), 1);
    EXPECT_EQ(Parse(L"2.5d1"), 2);
}

TEST(ParseSizeExponent, TextAfterTheExponentEndsTheNumber) {
    EXPECT_EQ(Parse(L"1e3.5"), 1000);
    EXPECT_EQ(Parse(L"1e3e2"), 1000);
    EXPECT_EQ(Parse(L"2e2x3"), 200);
}

// --- &H and &O literals ---

TEST(ParseSizeRadix, HexInEitherCase) {
    EXPECT_EQ(Parse(L"&h400"), 1024);
    EXPECT_EQ(Parse(L"&HFF"), 255);
    EXPECT_EQ(Parse(L"&hff"), 255);
    EXPECT_EQ(Parse(L"&HaB"), 171);
}

TEST(ParseSizeRadix, OctalInEitherCase) {
    EXPECT_EQ(Parse(L"&O17"), 15);
    EXPECT_EQ(Parse(L"&o777"), 511);
    EXPECT_EQ(Parse(L"&O2400"), 1280);
}

TEST(ParseSizeRadix, ValuesAreMagnitudesNeverWrappedToNegative) {
    EXPECT_EQ(Parse(L"&H7FFF"), 32767);
    EXPECT_EQ(Parse(L"&H8000"), kOutOfRange);
    EXPECT_EQ(Parse(L"&HFFFF"), kOutOfRange);
    EXPECT_EQ(Parse(L"&HFFFFFFFF"), kOutOfRange);
    EXPECT_EQ(Parse(L"&H10000"), kOutOfRange);
    EXPECT_EQ(Parse(L"&O77777"), 32767);
    EXPECT_EQ(Parse(L"&O100000"), kOutOfRange);
    EXPECT_EQ(Parse(L"&O177777"), kOutOfRange);
}

TEST(ParseSizeRadix, LeadingSignAppliesAsToDecimals) {
    EXPECT_EQ(Parse(L"-&H400"), -1024);
    EXPECT_EQ(Parse(L"+&O17"), 15);
    EXPECT_EQ(Parse(L"-&H8000"), -32768);
    EXPECT_EQ(Parse(L"-&H8001"), kOutOfRange);
    EXPECT_EQ(Parse(L"-&O100000"), -32768);
}

TEST(ParseSizeRadix, PrefixWithoutDigitsGivesZero) {
    EXPECT_EQ(Parse(L"&H"), 0);
    EXPECT_EQ(Parse(L"&O"), 0);
    EXPECT_EQ(Parse(L"&HG1"), 0);
    EXPECT_EQ(Parse(L"&O8"), 0);
    EXPECT_EQ(Parse(L"&H-1"), 0);
}

TEST(ParseSizeRadix, OtherPrefixesHoldNoNumber) {
    EXPECT_EQ(Parse(L"&"), 0);
    EXPECT_EQ(Parse(L"&400"), 0);
    EXPECT_EQ(Parse(L"&B101"), 0);
    EXPECT_EQ(Parse(L"&X1F"), 0);
}

TEST(ParseSizeRadix, DigitsStopAtTheFirstOneOutsideTheBase) {
    EXPECT_EQ(Parse(L"&O18"), 1);
    EXPECT_EQ(Parse(L"&O7A"), 7);
    EXPECT_EQ(Parse(L"&HFG"), 15);
}

TEST(ParseSizeRadix, NoFractionOrExponent) {
    EXPECT_EQ(Parse(L"&H1E3"), 0x1E3); // E is a hex digit here
    EXPECT_EQ(Parse(L"&H1.8"), 1);
    EXPECT_EQ(Parse(L"&O1e3"), 1);
}

// --- Characters that end the number ---

TEST(ParseSizeStop, CommaIsNotADecimalPoint) {
    EXPECT_EQ(Parse(L"1,024"), 1);
    EXPECT_EQ(Parse(L"1,5"), 1);
}

TEST(ParseSizeStop, CurrencySignsEndTheNumber) {
    EXPECT_EQ(Parse(L"$100"), 0);
    EXPECT_EQ(Parse(L"100$"), 100);
    EXPECT_EQ(Parse(L"\u00a5"
                    L"100"),
              0);
    EXPECT_EQ(Parse(L"100\u20ac"), 100);
}

TEST(ParseSizeStop, LettersAndUnits) {
    EXPECT_EQ(Parse(L"1024px"), 1024);
    EXPECT_EQ(Parse(L"12a3"), 12);
    EXPECT_EQ(Parse(L"x12"), 0);
}

TEST(ParseSizeStop, FullWidthDigitsAreNotDigits) {
    EXPECT_EQ(Parse(L"\uff11\uff12"), 0);
    EXPECT_EQ(Parse(L"1\uff12"), 1);
}

TEST(ParseSizeStop, EmbeddedNulEndsTheNumber) {
    EXPECT_EQ(Parse(std::wstring(L"12\0"
                                 L"34",
                                 5)),
              12);
    EXPECT_EQ(Parse(std::wstring(L"\0"
                                 L"34",
                                 3)),
              0);
}

// --- Range limits ---

// The limits themselves, and every half around them, are in EveryIntegerAndHalfAroundTheRange.
TEST(ParseSizeRange, FarOutsideTheLimits) {
    EXPECT_EQ(Parse(L"40000"), kOutOfRange);
    EXPECT_EQ(Parse(L"99999"), kOutOfRange);
    EXPECT_EQ(Parse(L"100000"), kOutOfRange);
    EXPECT_EQ(Parse(L"-100000"), kOutOfRange);
}

TEST(ParseSizeRange, UpperLimitIsJudgedAfterRounding) {
    EXPECT_EQ(Parse(L"32767.49"), 32767);
    EXPECT_EQ(Parse(L"32767.4999999999999999999"), 32767);
    EXPECT_EQ(Parse(L"327675e-1"), kOutOfRange);
    EXPECT_EQ(Parse(L"3.2768e4"), kOutOfRange);
}

TEST(ParseSizeRange, LowerLimitIsJudgedAfterRounding) {
    EXPECT_EQ(Parse(L"-32768.49"), -32768);
    EXPECT_EQ(Parse(L"-32768.51"), kOutOfRange);
    EXPECT_EQ(Parse(L"-32768.50000000000000000001"), kOutOfRange);
    EXPECT_EQ(Parse(L"-3.2768e4"), -32768);
}

TEST(ParseSizeRange, LargeMagnitudesWithManyDigitsAreOutOfRange) {
    EXPECT_EQ(Parse(L"123456.0e-1"), 12346); // 12345.6
    EXPECT_EQ(Parse(L"99999.4"), kOutOfRange);
    EXPECT_EQ(Parse(L"0.99999e5"), kOutOfRange);
}

// --- Huge inputs: exact, quick, and without giant allocations ---

TEST(ParseSizeHugeInput, ExponentsFarBeyondAnyNumberType) {
    EXPECT_EQ(Parse(L"1e400"), kOutOfRange);
    EXPECT_EQ(Parse(L"-1e400"), kOutOfRange);
    EXPECT_EQ(Parse(L"1e-400"), 0);
    EXPECT_EQ(Parse(L"1e99999999999999999999"), kOutOfRange);
    EXPECT_EQ(Parse(L"1e-99999999999999999999"), 0);
    EXPECT_EQ(Parse(L"0e99999999999999999999"), 0);
    EXPECT_EQ(Parse(L"-0.0e99999999999999999999"), 0);
    EXPECT_EQ(Parse(L"1e" + Repeat(L'9', 100000)), kOutOfRange);
    EXPECT_EQ(Parse(L"1e-" + Repeat(L'9', 100000)), 0);
}

TEST(ParseSizeHugeInput, ManyDigitsBalancedByTheExponent) {
    // 1 followed by 4999 zeros, times 10^-4996: 1000.
    EXPECT_EQ(Parse(L"1" + Repeat(L'0', 4999) + L"e-4996"), 1000);
    // 0.(400 zeros)64 times 10^403: 640.
    EXPECT_EQ(Parse(L"0." + Repeat(L'0', 400) + L"64e403"), 640);
    // 25 followed by 3000 zeros, times 10^-3001: 2.5, an exact half.
    EXPECT_EQ(Parse(L"25" + Repeat(L'0', 3000) + L"e-3001"), 2);
}

TEST(ParseSizeHugeInput, ThousandsOfDigits) {
    EXPECT_EQ(Parse(Repeat(L'9', 5000)), kOutOfRange);
    EXPECT_EQ(Parse(L"-" + Repeat(L'9', 5000)), kOutOfRange);
    EXPECT_EQ(Parse(Repeat(L'0', 5000) + L"1280"), 1280);
    EXPECT_EQ(Parse(L"0." + Repeat(L'0', 5000) + L"9"), 0);
    EXPECT_EQ(Parse(L"0.5" + Repeat(L'0', 5000)), 0);
    EXPECT_EQ(Parse(L"0.5" + Repeat(L'0', 5000) + L"1"), 1);
    EXPECT_EQ(Parse(L"1.4" + Repeat(L'9', 5000)), 1);
}

TEST(ParseSizeHugeInput, LongRadixLiterals) {
    EXPECT_EQ(Parse(L"&H" + Repeat(L'0', 5000) + L"400"), 1024);
    EXPECT_EQ(Parse(L"&H" + Repeat(L'F', 5000)), kOutOfRange);
    EXPECT_EQ(Parse(L"-&O" + Repeat(L'7', 5000)), kOutOfRange);
}

TEST(ParseSizeHugeInput, AMillionBlanksAndDigits) {
    std::wstring spaced;
    for (int i = 0; i < 1000000; ++i)
        spaced += L" 0";
    EXPECT_EQ(Parse(spaced + L" 8 0 0"), 800);
    EXPECT_EQ(Parse(Repeat(L'1', 1000000)), kOutOfRange);
    EXPECT_EQ(Parse(L"." + Repeat(L'3', 1000000)), 0);
}
