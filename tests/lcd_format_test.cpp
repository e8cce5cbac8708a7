// The LCD's number texts: what each operation shows, and that no argument
// writes past the buffer or leaves it unterminated.
#include "lcd/lcd_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// A guard area right after the buffer catches writes past its end.
struct Guarded {
    char text[LCD_TEXT_MAX];
    char guard[16];
};

template <typename Format>
std::string formatted(Format format)
{
    Guarded out;
    memset(&out, '#', sizeof out);
    int len = format(out.text);
    EXPECT_GE(len, 0);
    EXPECT_LT(len, (int)LCD_TEXT_MAX);
    if (len < 0 || len >= (int)LCD_TEXT_MAX)
        return "<bad length>";
    EXPECT_EQ(out.text[len], '\0') << "terminated at the returned length";
    EXPECT_EQ(strlen(out.text), (size_t)len);
    EXPECT_EQ(std::string(out.guard, sizeof out.guard), std::string(sizeof out.guard, '#'))
        << "nothing written past the buffer";
    return std::string(out.text, (size_t)len);
}

std::string dec(int32_t value) { return formatted([&](char *out) { return lcd_format_dec(value, out); }); }

std::string fix(float value, int width, int decimals)
{
    return formatted([&](char *out) { return lcd_format_fix(value, width, decimals, out); });
}

std::string bin(uint32_t v, int n) { return formatted([&](char *out) { return lcd_format_bin(v, n, out); }); }

std::string hex(uint32_t v, int n) { return formatted([&](char *out) { return lcd_format_hex(v, n, out); }); }

std::string spaces(int n) { return std::string((size_t)n, ' '); }
std::string stars(int n) { return std::string((size_t)n, '*'); }

const float nan_value = std::numeric_limits<float>::quiet_NaN();
const float infinity = std::numeric_limits<float>::infinity();

}  // namespace

TEST(LcdDecimal, SignThenDigitsWithoutPaddingDownToTheMostNegativeValue)
{
    EXPECT_EQ(dec(0), "0");
    EXPECT_EQ(dec(-45), "-45");
    EXPECT_EQ(dec(2147483647), "2147483647");
    EXPECT_EQ(dec(INT32_MIN), "-2147483648");
}

TEST(LcdFixed, RightAlignedRoundedHalfAwayFromZeroAndNeverCut)
{
    EXPECT_EQ(fix(3.14159f, 3, 2), "  3.14");
    EXPECT_EQ(fix(0.5f, 1, 2), "0.50");
    EXPECT_EQ(fix(0.05f, 1, 2), "0.05");
    EXPECT_EQ(fix(-1.25f, 3, 1), " -1.3") << "the sign takes a place before the point";
    EXPECT_EQ(fix(2.5f, 1, 0), "3");
    EXPECT_EQ(fix(42.0f, 4, 0), "  42");
    EXPECT_EQ(fix(-0.25f, 2, 0), "-0");
    EXPECT_EQ(fix(0.25f, 1, 1), "0.3");
    EXPECT_EQ(fix(-0.25f, 2, 1), "-0.3");
    EXPECT_EQ(fix(2.49f, 1, 0), "2");
    EXPECT_EQ(fix(-2.5f, 2, 0), "-3");
    EXPECT_EQ(fix(9.96f, 2, 1), "10.0") << "a carry adds a place";
    EXPECT_EQ(fix(1234.5f, 2, 1), "1234.5");
    EXPECT_EQ(fix(-0.04f, 1, 1), "-0.0") << "scaled to -4 before rounding";
    EXPECT_EQ(fix(-0.004f, 1, 1), "0.0") << "scaled to -0.4, truncated to 0";
    EXPECT_EQ(fix(125.0f, 4, -1), "  13");
    EXPECT_EQ(fix(12.0f, 3, INT_MIN), "1") << "a negative field width adds no padding";
}

TEST(LcdFixed, StarsForWhatCannotBeHeldAndHugeArgumentsStopAtTheBuffer)
{
    EXPECT_EQ(fix(nan_value, 3, 2), stars(6));
    EXPECT_EQ(fix(infinity, 3, 0), stars(3));
    EXPECT_EQ(fix(-infinity, 1, 2), stars(4));
    EXPECT_EQ(fix(1e30f, 3, 1), stars(5));
    EXPECT_EQ(fix(-1e30f, 0, 0), stars(1)) << "at least one star";
    EXPECT_EQ(fix(nan_value, 5, INT_MIN), stars(1));
    // Ten times these, with decimals -1: the largest float below 2^31, and 2^31.
    EXPECT_EQ(fix(2147483520.0f, 1, -1), "214748352");
    EXPECT_EQ(fix(2147483648.0f, 1, -1), stars(1));
    EXPECT_EQ(fix(-2147483648.0f, 1, -1), stars(1)) << "its magnitude does not fit";
    EXPECT_EQ(fix(20000000.0f, 1, 1), "20000000.0");
    EXPECT_EQ(fix(30000000.0f, 1, 1), stars(3));
    EXPECT_EQ(fix(200000.0f, 1, 3), "200000.000");
    EXPECT_EQ(fix(-300000.0f, 1, 3), stars(5));
    const int longest = LCD_TEXT_MAX - 1;
    EXPECT_EQ(fix(1.5f, INT_MAX, 2), spaces(longest - 4) + "1.50");
    EXPECT_EQ(fix(1.5f, INT_MAX, 0), spaces(longest - 1) + "2");
    EXPECT_EQ(fix(nan_value, INT_MAX, 0), stars(longest));
    EXPECT_EQ(fix(nan_value, INT_MAX, INT_MAX), stars(longest));
    EXPECT_EQ(fix(1.0f, 1, INT_MAX), stars(longest)) << "scaling overflows to infinity";
    EXPECT_EQ(fix(1e-40f, 1, INT_MAX), stars(longest)) << "even from a denormal";
    EXPECT_EQ(fix(0.0f, 1, INT_MAX), spaces(longest - 15) + std::string(15, '0'))
        << "no more than fifteen places are built, so the point never comes";
    EXPECT_EQ(fix(0.0f, INT_MIN, INT_MAX), std::string(15, '0'));
    EXPECT_EQ(fix(3.14159f, -5, 2), "3.14");
}

TEST(LcdBinary, CountBitsMostSignificantFirstAndZerosAbove31)
{
    EXPECT_EQ(bin(5, 4), "0101");
    EXPECT_EQ(bin(6, 2), "10") << "only the low bits";
    EXPECT_EQ(bin(0x80000001u, 32), "10000000000000000000000000000001");
    EXPECT_EQ(bin(0xFFFFFFFFu, 0), "");
    EXPECT_EQ(bin(0xFFFFFFFFu, -1), "");
    EXPECT_EQ(bin(0xFFFFFFFFu, 33), "011111111111111111111111111111111");
    EXPECT_EQ(bin(0x80000001u, 40), "000000001" + std::string(30, '0') + "1");
    const std::string low32 = "10000000000000000000000000000001";
    EXPECT_EQ(bin(0x80000001u, 100), std::string(LCD_TEXT_MAX - 1 - 32, '0') + low32);
    EXPECT_EQ(bin(0x80000001u, INT_MAX), std::string(LCD_TEXT_MAX - 1 - 32, '0') + low32);
}

TEST(LcdHex, CountNibblesInUpperCaseAndZerosAbove7)
{
    EXPECT_EQ(hex(943, 4), "03AF");
    EXPECT_EQ(hex(255, 1), "F");
    EXPECT_EQ(hex(0x12345678u, 2), "78") << "only the low nibbles";
    EXPECT_EQ(hex(0xDEADBEEFu, 8), "DEADBEEF");
    EXPECT_EQ(hex(0xFFFFFFFFu, 0), "");
    EXPECT_EQ(hex(0xFFFFFFFFu, -1), "");
    EXPECT_EQ(hex(0xDEADBEEFu, 9), "0DEADBEEF");
    EXPECT_EQ(hex(0xDEADBEEFu, 33), std::string(25, '0') + "DEADBEEF");
    EXPECT_EQ(hex(0xDEADBEEFu, 100), std::string(LCD_TEXT_MAX - 1 - 8, '0') + "DEADBEEF");
    EXPECT_EQ(hex(0xDEADBEEFu, INT_MAX), std::string(LCD_TEXT_MAX - 1 - 8, '0') + "DEADBEEF");
}

