#include "lcd/lcd_text.h"

int utf8_sequence_length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The bounds of the second byte exclude overlong forms, surrogates and code
// points past U+10FFFF.
static bool second_byte_fits(unsigned char lead, unsigned char b)
{
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    return b >= low && b <= high;
}

static unsigned char lcd_code_of(unsigned long point)
{
    if (point < 0x80)
        return (unsigned char)point;
    if (point == 0xA5)  // the yen sign the LCD shows for 0x5C
        return 0x5C;
    if (point >= 0xFF61 && point <= 0xFF9F)
        return (unsigned char)(point - 0xFF61 + 0xA1);
    return LCD_REPLACEMENT;
}

size_t lcd_code_from_utf8(const char *text, size_t n, unsigned char *code)
{
    unsigned char lead = (unsigned char)text[0];
    int length = utf8_sequence_length(lead);
    *code = LCD_REPLACEMENT;
    if (length == 0)
        return 1;
    unsigned long point = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        unsigned char b = i < (int)n ? (unsigned char)text[i] : 0;
        bool fits = i == 1 ? second_byte_fits(lead, b) : (b & 0xC0) == 0x80;
        if (!fits)
            return (size_t)i;
        point = point << 6 | (b & 0x3F);
    }
    *code = lcd_code_of(point);
    return (size_t)length;
}
