// Every character beyond ASCII, in UTF-8 or in code page 932, is one key: its
// first byte. What comes after it, and after a character cut short, is
// never lost.
#include "platform/key_chars.h"

#include <gtest/gtest.h>

#include <string>

static std::string keys_of(const std::string &bytes)
{
    KeyChars chars{};
    std::string keys;
    for (unsigned char b : bytes)
        if (key_chars_take(chars, b))
            keys += (char)b;
    return keys;
}

static std::string utf8(unsigned long cp)
{
    std::string s;
    if (cp < 0x800) {
        s += (char)(0xC0 | cp >> 6);
    } else if (cp < 0x10000) {
        s += (char)(0xE0 | cp >> 12);
        s += (char)(0x80 | (cp >> 6 & 0x3F));
    } else {
        s += (char)(0xF0 | cp >> 18);
        s += (char)(0x80 | (cp >> 12 & 0x3F));
        s += (char)(0x80 | (cp >> 6 & 0x3F));
    }
    return s + (char)(0x80 | (cp & 0x3F));
}

// Each character stands between keys that could also end a code page 932
// pair ("x", "b").
TEST(KeyChars, EveryCharacterInUtf8IsOneKey)
{
    for (unsigned long cp = 0x80; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        std::string c = utf8(cp);
        ASSERT_EQ(keys_of("x" + c + "b"), "x" + c.substr(0, 1) + "b") << "U+" << std::hex << cp;
    }
}

TEST(KeyChars, EveryCharacterInCodePage932IsOneKey)
{
    for (int b = 0xA1; b <= 0xDF; ++b) {  // half-width katakana
        std::string c(1, (char)b);
        ASSERT_EQ(keys_of("x" + c + "b"), "x" + c + "b") << std::hex << b;
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            std::string c = {(char)lead, (char)trail};
            ASSERT_EQ(keys_of("x" + c + "b"), "x" + c.substr(0, 1) + "b") << std::hex << lead << " " << trail;
        }
    }
}

// A character cut short by a byte that cannot continue it: that byte is a
// key, and so is a stray byte that begins nothing.
TEST(KeyChars, ACharacterCutShortLosesNoKeyAfterIt)
{
    EXPECT_EQ(keys_of("\x81 q"), "\x81 q");
    EXPECT_EQ(keys_of("\xEA\x1bq"), "\xEA\x1bq");
    EXPECT_EQ(keys_of("\xE3\x81q"), "\xE3q");
    EXPECT_EQ(keys_of("\xC3\xC3\xA9q"), "\xC3\xC3q");
    EXPECT_EQ(keys_of("\x80\xA0q\xFFq"), "q\xFFq");
}
