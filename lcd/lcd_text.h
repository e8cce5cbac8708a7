// UTF-8 text to LCD codes. The LCD's character set is code page 932's single
// bytes: of its characters only the yen sign and the half-width katakana are
// more than one byte in UTF-8. Every other byte is the LCD code it is, as in
// a program built with code page 932 strings.
#pragma once

#include <cstddef>

// Reads the LCD code the n bytes at text (n > 0) begin with into *code and
// gives the number of bytes it takes: 2 or 3 for the yen sign or a katakana
// in UTF-8, 1 for a byte that begins neither (its own code), 0 when all n
// bytes are the start of one of them, whose rest has not come.
size_t lcd_code_from_utf8(const char *text, size_t n, unsigned char *code);
