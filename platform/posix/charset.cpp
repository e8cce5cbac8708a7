// POSIX code page 932 conversion: glibc's iconv, which needs no locale.
#include "platform/platform.h"

#include <iconv.h>

// Opened once and kept for the life of the process.
static iconv_t converter()
{
    static iconv_t cd = iconv_open("UTF-8", "CP932");
    return cd;
}

int plat_cp932_to_utf8(const char *bytes, size_t n, char *out, size_t capacity)
{
    iconv_t cd = converter();
    if (cd == (iconv_t)-1)
        return 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *src = const_cast<char *>(bytes);
    char *dst = out;
    size_t dst_left = capacity;
    if (iconv(cd, &src, &n, &dst, &dst_left) == (size_t)-1 || n != 0)
        return 0;
    return (int)(dst - out);
}

