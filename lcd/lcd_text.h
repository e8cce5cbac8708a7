// UTF-8 text to LCD codes: the LCD's character set is code page 932's single
// bytes, ASCII and the half-width katakana.
#pragma once

#include <cstddef>

enum { LCD_REPLACEMENT = '?' };

// The length of the UTF-8 sequence a lead byte begins (1 to 4), 0 for a byte
// no sequence begins with.
int utf8_sequence_length(unsigned char lead);

// Decodes the sequence at text (at most n bytes). Gives the number of bytes
// used and sets *code to the LCD code, LCD_REPLACEMENT for a character the
// LCD has no code for. An ill-formed sequence uses its well-formed start
// (at least one byte) and gives LCD_REPLACEMENT.
size_t lcd_code_from_utf8(const char *text, size_t n, unsigned char *code);
