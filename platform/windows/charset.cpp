// Windows code page 932 conversion: the system's own code page tables, so the
// text reads the same whatever code page the console was left in.
#include "platform/platform.h"

#include <windows.h>

int plat_cp932_to_utf8(const char *bytes, size_t n, char *out, size_t capacity)
{
    wchar_t wide[4];
    int units = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, (int)n, wide, 4);
    if (units <= 0)
        return 0;
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, units, out, (int)capacity, nullptr, nullptr);
    return length > 0 ? length : 0;
}
