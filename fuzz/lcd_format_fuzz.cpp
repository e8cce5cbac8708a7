// libFuzzer target for the LCD number texts. Every result must be terminated
// at its returned length and fit the buffer; decimal, binary and hex texts
// must read back as their value, and fixed-point texts for everyday
// arguments must read back to within half a unit of their last place.
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//       lcd/lcd_format.cpp fuzz/lcd_format_fuzz.cpp -o lcd_format_fuzz
#include "lcd/lcd_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Input {
    float value;
    int32_t width, decimals;
    int32_t bin_count, hex_count;
    int32_t dec_value;
    uint32_t bits;
    uint8_t modest_width, modest_decimals;
};

void check(bool ok, const char *what, const char *text)
{
    if (ok)
        return;
    fprintf(stderr, "lcd_format: %s: \"%s\"\n", what, text);
    abort();
}

// The buffer is allocated at exactly its size so that ASan sees any overrun.
void check_text(const char *out, int len)
{
    check(len >= 0 && len < LCD_TEXT_MAX, "length outside the buffer", "");
    check(out[len] == '\0', "not terminated at its length", out);
    check(strlen(out) == (size_t)len, "a NUL inside the text", out);
}

int expected_digits(int count)
{
    if (count < 0)
        return 0;
    return count > LCD_TEXT_MAX - 1 ? LCD_TEXT_MAX - 1 : count;
}

void check_dec(int32_t value, char *out)
{
    int len = lcd_format_dec(value, out);
    check_text(out, len);
    check(strtoll(out, nullptr, 10) == value, "decimal reads back wrong", out);
}

void check_bin(uint32_t value, int count, char *out)
{
    int len = lcd_format_bin(value, count, out);
    check_text(out, len);
    check(len == expected_digits(count), "binary digit count", out);
    for (int i = 0; i < len; ++i) {
        int bit = len - 1 - i;
        char want = bit < 32 && (value >> bit & 1u) ? '1' : '0';
        check(out[i] == want, "binary digit", out);
    }
}

void check_hex(uint32_t value, int count, char *out)
{
    int len = lcd_format_hex(value, count, out);
    check_text(out, len);
    check(len == expected_digits(count), "hex digit count", out);
    for (int i = 0; i < len; ++i) {
        int nibble = len - 1 - i;
        char want = nibble < 8 ? "0123456789ABCDEF"[value >> (4 * nibble) & 0xFu] : '0';
        check(out[i] == want, "hex digit", out);
    }
}

// Any arguments: a right-aligned number or a row of stars, nothing else.
void check_fix_shape(const char *out, int len)
{
    if (strchr(out, '*')) {
        check(strspn(out, "*") == (size_t)len, "stars mixed with other text", out);
        return;
    }
    check(strspn(out, " -.0123456789") == (size_t)len, "unexpected character", out);
    size_t lead = strspn(out, " ");
    check(lead < (size_t)len, "no number", out);
    check(strspn(out + lead, "-.0123456789") == (size_t)len - lead, "space inside the number", out);
}

void check_fix(float value, int width, int decimals, char *out)
{
    int len = lcd_format_fix(value, width, decimals, out);
    check_text(out, len);
    check_fix_shape(out, len);
}

// Everyday arguments: the text reads back to within half a unit of its last
// place, plus what single-precision scaling may have lost.
void check_fix_value(float value, int width, int decimals, char *out)
{
    int len = lcd_format_fix(value, width, decimals, out);
    check_text(out, len);
    check_fix_shape(out, len);
    double scale = pow(10.0, decimals + 1);
    double scaling_error = (decimals + 1) * ldexp(1.0, -24) * 1.01;
    double magnitude = fabs((double)value) * scale;
    if (out[0] == '*') {
        check(magnitude >= 2147483648.0 * (1 - scaling_error), "stars for a value that fits", out);
        return;
    }
    check(magnitude < 2147483648.0 * (1 + scaling_error), "no stars for a value that does not fit", out);
    int field = decimals == 0 ? width : width + decimals + 1;
    check(len >= field, "field too narrow", out);
    check(len == field || out[0] != ' ', "padded past the field", out);
    const char *point = strchr(out, '.');
    check(decimals == 0 ? point == nullptr : point && (int)strlen(point + 1) == decimals,
          "wrong number of decimals", out);
    double shown = strtod(out, nullptr);
    double tolerance = 0.5 * pow(10.0, -decimals) * (1 + 1e-9) + fabs((double)value) * scaling_error;
    check(fabs(shown - (double)value) <= tolerance, "value reads back wrong", out);
}

float modest(float value)
{
    if (!std::isfinite(value))
        return 0.0f;
    return std::fmod(value, 1e6f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in;
    memset(&in, 0, sizeof in);
    memcpy(&in, data, size < sizeof in ? size : sizeof in);

    char *out = static_cast<char *>(malloc(LCD_TEXT_MAX));
    check_dec(in.dec_value, out);
    check_bin(in.bits, in.bin_count, out);
    check_hex(in.bits, in.hex_count, out);
    check_fix(in.value, in.width, in.decimals, out);
    check_fix_value(modest(in.value), 1 + in.modest_width % 10, in.modest_decimals % 5, out);
    free(out);
    return 0;
}
