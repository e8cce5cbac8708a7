// Number texts for the LCD. The fixed-point form rounds the way the board's
// own routine does (scale in single precision, truncate, round half away
// from zero), but refuses values it cannot hold instead of overflowing.
#include "lcd/lcd_format.h"

#include <cmath>

enum {
    FIX_DIGITS_MAX = 15,                // the board's routine builds at most this many places
    FIX_BUILT_MAX = FIX_DIGITS_MAX + 2  // a point at the last place, then the sign
};

static int finish(char out[LCD_TEXT_MAX], int len)
{
    out[len] = '\0';
    return len;
}

static int clamp_field(long long len)
{
    if (len > LCD_TEXT_MAX - 1)
        return LCD_TEXT_MAX - 1;
    return len < 0 ? 0 : (int)len;
}

int lcd_format_dec(int32_t value, char out[LCD_TEXT_MAX])
{
    // Unsigned arithmetic, because -INT32_MIN does not fit in an int32.
    uint32_t mag = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    char rev[10];
    int n = 0;
    do {
        rev[n++] = (char)('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    int len = 0;
    if (value < 0)
        out[len++] = '-';
    while (n > 0)
        out[len++] = rev[--n];
    return finish(out, len);
}

// The width the field takes once shown: the point goes away with no decimals.
static long long fix_field(int width, int decimals)
{
    if (decimals == 0)
        return width;
    return (long long)width + decimals + 1;
}

static int fix_stars(int width, int decimals, char out[LCD_TEXT_MAX])
{
    int len = clamp_field(fix_field(width, decimals));
    if (len == 0)
        len = 1;
    for (int i = 0; i < len; ++i)
        out[i] = '*';
    return finish(out, len);
}

// value * 10^(decimals + 1), each step rounded to float. Stops early once
// the result can no longer change whether it fits, so huge counts stay cheap.
static float fix_scale(float value, int decimals)
{
    float scaled = value;
    for (long long i = 0; i <= (long long)decimals; ++i) {
        if (scaled == 0.0f || !(std::fabs(scaled) < 2147483648.0f))
            break;
        scaled *= 10.0f;
    }
    return scaled;
}

// Units place first: digits, the point after `decimals` places, the sign.
static int fix_build_reversed(uint32_t n, bool negative, int decimals, char rev[FIX_BUILT_MAX])
{
    int p = 0;
    for (;;) {
        if (p == decimals)
            rev[p++] = '.';
        rev[p] = (char)('0' + n % 10);
        n /= 10;
        if (p > decimals && n == 0)
            break;
        if (++p >= FIX_DIGITS_MAX) {
            --p;
            break;
        }
    }
    ++p;
    if (negative)
        rev[p++] = '-';
    return p;
}

int lcd_format_fix(float value, int width, int decimals, char out[LCD_TEXT_MAX])
{
    float scaled = fix_scale(value, decimals);
    // Checked before the conversion: an out-of-range float to int is undefined.
    if (!(std::fabs(scaled) < 2147483648.0f))
        return fix_stars(width, decimals, out);
    int32_t truncated = (int32_t)scaled;
    bool negative = truncated < 0;
    uint32_t n = negative ? 0u - (uint32_t)truncated : (uint32_t)truncated;
    n = (n + 5) / 10;

    char rev[FIX_BUILT_MAX];
    int built = fix_build_reversed(n, negative, decimals, rev);
    // A point in the units place means no decimals: it is not shown.
    int first = rev[0] == '.' ? 1 : 0;
    int shown = built - first;
    int len = 0;
    for (int pad = clamp_field(fix_field(width, decimals)) - shown; pad > 0; --pad)
        out[len++] = ' ';
    for (int i = built - 1; i >= first; --i)
        out[len++] = rev[i];
    return finish(out, len);
}

static int digit_count(int count)
{
    return clamp_field(count);
}

int lcd_format_bin(uint32_t value, int count, char out[LCD_TEXT_MAX])
{
    int len = digit_count(count);
    for (int i = 0; i < len; ++i) {
        int bit = len - 1 - i;
        out[i] = bit < 32 && (value >> bit & 1u) ? '1' : '0';
    }
    return finish(out, len);
}

int lcd_format_hex(uint32_t value, int count, char out[LCD_TEXT_MAX])
{
    static const char hex_digit[] = "0123456789ABCDEF";
    int len = digit_count(count);
    for (int i = 0; i < len; ++i) {
        int nibble = len - 1 - i;
        out[i] = nibble < 8 ? hex_digit[value >> (4 * nibble) & 0xFu] : '0';
    }
    return finish(out, len);
}
