// Code page 932 (Shift_JIS) byte classes and conversion of one character to
// UTF-8 for the terminal. One byte is one column, a lead/trail pair two.
#pragma once

#include <cstdint>

bool cp932_is_lead(unsigned char b);
bool cp932_is_trail(unsigned char b);

// A one-byte code the console can show as itself (ASCII or half-width katakana).
bool cp932_is_printable_single(unsigned char b);

enum { CP932_UTF8_MAX = 8 };

// Writes the UTF-8 form of a one-byte code (0x00XX) or a two-byte code
// (lead << 8 | trail) to out and returns its length. Codes the code page does
// not define come out as the replacement mark U+FFFD.
int cp932_to_utf8(uint16_t code, char out[CP932_UTF8_MAX]);

// Whether every terminal draws this double-byte character two columns wide:
// kanji, kana and full-width forms. Others ("●", "→") are drawn one column
// wide by many.
bool cp932_wide_everywhere(uint16_t code);
