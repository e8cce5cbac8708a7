// Number formatting for the LCD operations, separate from the screen so
// that it can be tested and fuzzed on its own. Each writes a NUL-terminated
// text of at most LCD_TEXT_MAX - 1 bytes and returns its length.
#pragma once

#include <cstdint>

enum { LCD_TEXT_MAX = 48 };

int lcd_format_dec(int32_t value, char out[LCD_TEXT_MAX]);
int lcd_format_fix(float value, int width, int decimals, char out[LCD_TEXT_MAX]);
int lcd_format_bin(uint32_t value, int count, char out[LCD_TEXT_MAX]);
int lcd_format_hex(uint32_t value, int count, char out[LCD_TEXT_MAX]);
