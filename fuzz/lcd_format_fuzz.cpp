// libFuzzer target for the LCD number texts (fuzz/run builds and runs it).
// Every result must be terminated at its returned length and fit the buffer;
// decimal, binary and hex texts must read back as their value; fixed-point
// texts are a right-aligned number or a row of stars, and for everyday
// arguments read back to within half a unit of their last place.
#include "lcd/lcd_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Input {
    float value;
    int32_t width, decimals, bin_count, hex_count, dec_value;
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
    check(out[len] == '\0' && strlen(out) == (size_t)len, "not terminated at its length", out);
}

// `count` digits of `bits` bits each, most significant first; digits beyond
// the 32 bits of the value are zero.
void check_digits(uint32_t value, int count, int bits, int len, const char *out)
{
    check_text(out, len);
    check(len == (count < 0 ? 0 : count > LCD_TEXT_MAX - 1 ? LCD_TEXT_MAX - 1 : count), "digit count", out);
    for (int i = 0; i < len; ++i) {
        int shift = (len - 1 - i) * bits;
        unsigned digit = shift < 32 ? value >> shift & ((1u << bits) - 1) : 0;
        check(out[i] == "0123456789ABCDEF"[digit], "digit", out);
    }
}

int check_fix_shape(float value, int width, int decimals, char *out)
{
    int len = lcd_format_fix(value, width, decimals, out);
    check_text(out, len);
    if (strchr(out, '*')) {
        check(strspn(out, "*") == (size_t)len, "stars mixed with other text", out);
        return len;
    }
    size_t lead = strspn(out, " ");
    check(lead < (size_t)len && strspn(out + lead, "-.0123456789") == (size_t)len - lead,
          "not a right-aligned number", out);
    return len;
}

// The tolerance adds what single-precision scaling may have lost.
void check_fix_value(float value, int width, int decimals, char *out)
{
    int len = check_fix_shape(value, width, decimals, out);
    double scaling_error = (decimals + 1) * ldexp(1.0, -24) * 1.01;
    double magnitude = fabs((double)value) * pow(10.0, decimals + 1);
    if (out[0] == '*') {
        check(magnitude >= 2147483648.0 * (1 - scaling_error), "stars for a value that fits", out);
        return;
    }
    check(magnitude < 2147483648.0 * (1 + scaling_error), "no stars for a value that does not fit", out);
    int field = decimals == 0 ? width : width + decimals + 1;
    check(len >= field && (len == field || out[0] != ' '), "not filling its field", out);
    const char *point = strchr(out, '.');
    check(decimals == 0 ? point == nullptr : point && (int)strlen(point + 1) == decimals,
          "wrong number of decimals", out);
    double tolerance = 0.5 * pow(10.0, -decimals) * (1 + 1e-9) + fabs((double)value) * scaling_error;
    check(fabs(strtod(out, nullptr) - (double)value) <= tolerance, "value reads back wrong", out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in;
    memset(&in, 0, sizeof in);
    memcpy(&in, data, size < sizeof in ? size : sizeof in);

    char *out = static_cast<char *>(malloc(LCD_TEXT_MAX));
    int len = lcd_format_dec(in.dec_value, out);
    check_text(out, len);
    check(strtoll(out, nullptr, 10) == in.dec_value, "decimal reads back wrong", out);
    check_digits(in.bits, in.bin_count, 1, lcd_format_bin(in.bits, in.bin_count, out), out);
    check_digits(in.bits, in.hex_count, 4, lcd_format_hex(in.bits, in.hex_count, out), out);
    check_fix_shape(in.value, in.width, in.decimals, out);
    float modest = std::isfinite(in.value) ? std::fmod(in.value, 1e6f) : 0.0f;
    check_fix_value(modest, 1 + in.modest_width % 10, in.modest_decimals % 5, out);
    free(out);
    return 0;
}
