#include "platform/key_chars.h"

static bool is_cp932_trail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
static bool continues_utf8(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

// The bytes that begin a pair in code page 932 and never begin a UTF-8
// character (0xE0 to 0xF4 may begin either).
static bool only_cp932_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xF5 && b <= 0xFC); }

bool key_chars_take(KeyChars &chars, unsigned char b)
{
    bool pair_pending = chars.cp932_trail_next || (chars.lead_alone && chars.cp932_pair);
    chars.cp932_trail_next = false;
    chars.lead_alone = false;
    if (chars.utf8_left > 0 && continues_utf8(b)) {
        --chars.utf8_left;
        return false;
    }
    chars.utf8_left = 0;
    if (pair_pending && is_cp932_trail(b))
        return false;
    if (b >= 0xC2 && b <= 0xF4) {
        chars.utf8_left = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
        chars.lead_alone = true;
        chars.cp932_pair = b >= 0xE0;
    } else if (only_cp932_lead(b)) {
        chars.cp932_trail_next = true;
    } else if (continues_utf8(b)) {
        // Not in a UTF-8 character: a half-width katakana of code page 932
        // (0xA1 to 0xDF) is one key; the other stray bytes are dropped.
        return b >= 0xA1;
    }
    return true;
}
