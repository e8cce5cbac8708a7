// The LCD's internal operations, used by the board layout.
#pragma once

// LCD cell (c, r) is console cell (LCD_X + c, LCD_Y + r).
enum { LCD_COLS = 16, LCD_ROWS = 2, LCD_X = 61, LCD_Y = 14 };

// First-use step of every LCD operation: lays the board out if no poll has
// yet (without reading a key), then paints the LCD panel once.
void lcd_prepare();

// Bezel and an empty character area; the LCD cursor is not touched.
void lcd_paint_panel();

// The bytes of a yen sign or katakana begun in UTF-8 and not finished show
// as their own codes, one cell each: the program polls, pauses or does
// something else with the LCD, so the rest is not coming.
void lcd_show_waiting_bytes();
