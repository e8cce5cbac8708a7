// libFuzzer target for UTF-8 text on the LCD (fuzz/run builds and runs it).
// Any bytes decode: each step uses no more bytes than it has, a byte that
// begins no character of the LCD is its own code, a longer step is exactly
// the UTF-8 form of its code, no such form is missed, and only an
// unfinished end of one waits.
#include "lcd/lcd_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

static void check(bool ok, const char *what)
{
    if (ok)
        return;
    fprintf(stderr, "lcd_text: %s\n", what);
    abort();
}

// The UTF-8 form of an LCD code beyond ASCII; 0x5C is the yen sign.
static std::string utf8_of(unsigned code)
{
    if (code == 0x5C)
        return "\xC2\xA5";
    unsigned point = code - 0xA1 + 0xFF61;
    return {(char)(0xE0 | point >> 12), (char)(0x80 | (point >> 6 & 0x3F)), (char)(0x80 | (point & 0x3F))};
}

// The first LCD character whose UTF-8 form the text begins with, or whose
// form the text is the start of, if it is shorter; 0 for none.
static unsigned lcd_form_at(const std::string &text)
{
    for (unsigned code = 0xA0; code <= 0xDF; ++code) {
        std::string form = utf8_of(code == 0xA0 ? 0x5C : code);
        if (text.compare(0, form.size(), form, 0, text.size()) == 0)
            return code == 0xA0 ? 0x5C : code;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = (const char *)data;
    size_t left = size;
    while (left > 0) {
        unsigned char code;
        size_t used = lcd_code_from_utf8(text, left, &code);
        std::string ahead(text, left < 3 ? left : 3);
        unsigned form = lcd_form_at(ahead);
        bool whole = form != 0 && ahead.size() >= utf8_of(form).size();
        if (used == 0) {
            check(form != 0 && !whole, "waits for more than the start of a character");
            break;
        }
        check(used <= left, "uses more bytes than it has");
        if (whole)
            check(code == form && used == utf8_of(form).size(), "a character of the LCD missed");
        else
            check(used == 1 && code == (unsigned char)text[0], "a byte not its own code");
        text += used;
        left -= used;
    }
    return 0;
}
