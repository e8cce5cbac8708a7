#include "lcd/lcd_text.h"

// The yen sign U+00A5 is C2 A5 and shows as code 0x5C. The katakana U+FF61 to
// U+FF9F, codes 0xA1 to 0xDF, are EF BD A1 to EF BD BF and EF BE 80 to EF BE 9F.
size_t lcd_code_from_utf8(const char *text, size_t n, unsigned char *code)
{
    const unsigned char *b = reinterpret_cast<const unsigned char *>(text);
    *code = b[0];
    if (b[0] != 0xC2 && b[0] != 0xEF)
        return 1;
    if (n < 2)
        return 0;
    if (b[0] == 0xC2) {
        if (b[1] != 0xA5)
            return 1;
        *code = 0x5C;
        return 2;
    }
    if (b[1] != 0xBD && b[1] != 0xBE)
        return 1;
    if (n < 3)
        return 0;
    unsigned char last = b[2];
    if (b[1] == 0xBD && last >= 0xA1 && last <= 0xBF)
        *code = last;
    else if (b[1] == 0xBE && last >= 0x80 && last <= 0x9F)
        *code = (unsigned char)(last + 0x40);
    else
        return 1;
    return 3;
}
