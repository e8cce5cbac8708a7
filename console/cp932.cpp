#include "console/cp932.h"

#include "console/platform.h"

#include <cstring>

static const char replacement_mark[] = "\xEF\xBF\xBD";
static const char yen_sign[] = "\xC2\xA5";

bool cp932_is_lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool cp932_is_trail(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool cp932_is_printable_single(unsigned char b)
{
    return (b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF);
}

static int copy_literal(const char *text, char *out)
{
    int n = (int)strlen(text);
    memcpy(out, text, (size_t)n);
    return n;
}

int cp932_to_utf8(uint16_t code, char out[CP932_UTF8_MAX])
{
    char in[2];
    size_t in_len = 0;
    if (code > 0xFF) {
        in[in_len++] = (char)(code >> 8);
        in[in_len++] = (char)(code & 0xFF);
    } else {
        unsigned char b = (unsigned char)code;
        // Code page 932 fonts draw 0x5C as the yen sign.
        if (b == 0x5C)
            return copy_literal(yen_sign, out);
        if (b >= 0x20 && b <= 0x7E) {
            out[0] = (char)b;
            return 1;
        }
        if (!cp932_is_printable_single(b))
            return copy_literal(replacement_mark, out);
        in[in_len++] = (char)b;
    }
    int n = plat_cp932_to_utf8(in, in_len, out, CP932_UTF8_MAX);
    return n > 0 ? n : copy_literal(replacement_mark, out);
}
