// libFuzzer target for UTF-8 text on the LCD (fuzz/run builds and runs it).
// Any bytes decode: each step uses at least one byte and no more than it has,
// gives a code the LCD has, and re-encoding the codes of well-formed input
// that the LCD can show gives the input back.
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

static std::string utf8_of(unsigned char code)
{
    if (code < 0x80)
        return std::string(1, (char)code);
    unsigned point = code - 0xA1 + 0xFF61;
    return {(char)(0xE0 | point >> 12), (char)(0x80 | (point >> 6 & 0x3F)), (char)(0x80 | (point & 0x3F))};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = (const char *)data;
    size_t left = size;
    while (left > 0) {
        unsigned char code;
        size_t used = lcd_code_from_utf8(text, left, &code);
        check(used >= 1 && used <= left && used <= 4, "bytes used out of range");
        bool shown = code < 0x80 || (code >= 0xA1 && code <= 0xDF);
        check(shown, "a code the LCD lacks");
        std::string piece(text, used);
        bool yen = piece == "\xC2\xA5";  // shown as 0x5C, which reads back as a backslash
        if (code != LCD_REPLACEMENT && !yen)
            check(utf8_of(code) == piece, "a shown character does not encode back");
        text += used;
        left -= used;
    }
    return 0;
}
