// Characters beyond ASCII in a stream of key bytes, in UTF-8 or in code page
// 932 as a Japanese Windows saves a text file: each is one key, its first
// byte, which no board takes. The bytes that continue it are no keys of their
// own, so that "２" (0x82 0x51 in code page 932) never acts as Q.
#pragma once

struct KeyChars {
    unsigned char utf8_left;  // continuation bytes still expected
    bool lead_alone;          // the last byte began a UTF-8 character
    bool cp932_pair;          // ...and may instead begin a code page 932 pair
    bool cp932_trail_next;    // the last byte began a code page 932 pair
};

// Whether b is a key of its own; else it continues the character before.
bool key_chars_take(KeyChars &chars, unsigned char b);
