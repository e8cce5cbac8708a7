#include "console/cp932.h"

#include <cstring>
#include <iconv.h>

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

// glibc's converter needs no locale; it is opened once and kept for the
// life of the process.
static iconv_t converter()
{
    static iconv_t cd = iconv_open("UTF-8", "CP932");
    return cd;
}

static int convert_with_iconv(const char *in, size_t in_len, char *out)
{
    iconv_t cd = converter();
    if (cd == (iconv_t)-1)
        return 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *src = const_cast<char *>(in);
    char *dst = out;
    size_t dst_left = CP932_UTF8_MAX;
    if (iconv(cd, &src, &in_len, &dst, &dst_left) == (size_t)-1 || in_len != 0)
        return 0;
    return (int)(dst - out);
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
    int n = convert_with_iconv(in, in_len, out);
    return n > 0 ? n : copy_literal(replacement_mark, out);
}
