#include "console/cp932.h"

#include "platform/platform.h"

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

bool cp932_wide_everywhere(uint16_t code)
{
    char utf8[CP932_UTF8_MAX];
    if (cp932_to_utf8(code, utf8) != 3)
        return false;
    unsigned cp = (utf8[0] & 0x0Fu) << 12 | (utf8[1] & 0x3Fu) << 6 | (utf8[2] & 0x3Fu);
    return (cp >= 0x2E80 && cp <= 0x303E) || (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF01 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6);
}
