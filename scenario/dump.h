// Pictures of the screen model for people and programs: the 80x25 screen as
// UTF-8 text, as an HTML page in the board's colours, and the LCD alone.
// Each gives false when the file cannot be written.
#pragma once

#include "console/screen.h"

#include <string>

bool dump_text(const char *path);
bool dump_html(const char *path);
bool dump_lcd(const char *path);

// The HTML picture dump_html writes, as text: of the screen model, or of
// cells kept elsewhere.
std::string dump_html_page();
std::string dump_html_page_of(const ScreenCell (&cells)[SCREEN_ROWS][SCREEN_COLS]);

// The style rules that give the HTML picture its cells and colours, for a
// page that shows such pictures inside its own.
std::string dump_html_screen_style();

// The text of LCD line 0 or 1 (16 cells) as UTF-8, trailing blanks removed.
// out holds at least LCD_LINE_UTF8_MAX bytes.
enum { LCD_LINE_UTF8_MAX = 16 * 8 + 1 };
int dump_lcd_line(int line, char out[LCD_LINE_UTF8_MAX]);
