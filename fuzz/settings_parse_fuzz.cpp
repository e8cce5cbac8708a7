// Fuzzes the WENA.ini reader: any content gives 0-3 fields, and wherever the
// C library's "%d,%d,%d" is well defined (no number too long for int), the
// reader agrees with it field for field.
#include "board/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static bool every_number_fits(const std::string &text)
{
    size_t run = 0;
    for (char c : text) {
        run = c >= '0' && c <= '9' ? run + 1 : 0;
        if (run > 9)
            return false;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    BoardSelection mine{-7, -7, -7};
    int taken = settings_parse(reinterpret_cast<const char *>(data), size, &mine);
    if (taken < 0 || taken > 3)
        abort();

    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();  // the C library stops at the first zero byte
    if (!every_number_fits(text))
        return 0;
    int fields[3] = {-7, -7, -7};
    int converted = sscanf(text.c_str(), "%d,%d,%d", &fields[0], &fields[1], &fields[2]);
    if (converted == EOF)
        converted = 0;
    if (converted != taken || fields[0] != mine.input || fields[1] != mine.output ||
        fields[2] != mine.analog)
        abort();
    return 0;
}
