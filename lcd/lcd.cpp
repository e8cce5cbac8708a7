// The 16x2 character LCD, drawn at the right of the board. One byte is one
// cell; a full line drops what follows (no wrap, no scroll, no display
// shift). The LCD cursor lives in sim.lcd_col / sim.lcd_row.
#include "lcd/lcd.h"

#include "board/layout.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "lcd/lcd_format.h"

enum {
    BEZEL_X = 59,
    BEZEL_Y = 13,
    BEZEL_COLS = 20,
    BEZEL_ROWS = 4
};

static void lcd_text_colour() { con_set_color(0, 0, 6, 8); }

// Console text printed after an LCD write is bright white on black.
static void lcd_normal_colour() { con_set_color(7, 8, 0, 0); }

static void lcd_blank_line(int row)
{
    con_goto(LCD_X, LCD_Y + row);
    con_print("%*s", LCD_COLS, "");
}

void lcd_paint_panel()
{
    con_set_color(0, 0, 7, 0);
    for (int row = 0; row < BEZEL_ROWS; ++row) {
        con_goto(BEZEL_X, BEZEL_Y + row);
        con_print("%*s", BEZEL_COLS, "");
    }
    lcd_text_colour();
    for (int row = 0; row < LCD_ROWS; ++row)
        lcd_blank_line(row);
}

void lcd_prepare()
{
    sim_first_layout();
    sim_quit_if_next();
    if (sim.lcd_panel_shown == 0) {
        lcd_paint_panel();
        sim.lcd_panel_shown = 1;
    }
}

void lcd_goto(int col, int row)
{
    lcd_prepare();
    // The board's routine resets a bad position rather than clamping it.
    sim.lcd_col = col < 0 || col >= LCD_COLS ? 0 : col;
    sim.lcd_row = row < 0 || row >= LCD_ROWS ? 0 : row;
    con_goto(LCD_X + sim.lcd_col, LCD_Y + sim.lcd_row);
}

void lcd_putc(char ch)
{
    lcd_prepare();
    if (ch == '\0') {
        sim.lcd_col = 0;
    } else if (sim.lcd_col < LCD_COLS) {
        lcd_text_colour();
        con_goto(LCD_X + sim.lcd_col, LCD_Y + sim.lcd_row);
        con_print("%c", ch);
        ++sim.lcd_col;
    }
    lcd_normal_colour();
}

void lcd_puts(const char *text)
{
    if (text == nullptr)
        return;
    for (; *text != '\0'; ++text)
        lcd_putc(*text);
}

void lcd_putdec(int32_t value)
{
    char text[LCD_TEXT_MAX];
    lcd_format_dec(value, text);
    lcd_puts(text);
}

void lcd_putfix(float value, int width, int decimals)
{
    char text[LCD_TEXT_MAX];
    lcd_format_fix(value, width, decimals, text);
    lcd_puts(text);
}

void lcd_putbin(uint32_t value, int count)
{
    char text[LCD_TEXT_MAX];
    lcd_format_bin(value, count, text);
    lcd_puts(text);
}

void lcd_puthex(uint32_t value, int count)
{
    char text[LCD_TEXT_MAX];
    lcd_format_hex(value, count, text);
    lcd_puts(text);
}

void lcd_cursor_off()
{
    lcd_prepare();
    con_cursor_hide();
}

void lcd_cursor_on()
{
    lcd_prepare();
    con_cursor_show();
}

void lcd_clear()
{
    lcd_prepare();
    lcd_text_colour();
    for (int row = 0; row < LCD_ROWS; ++row)
        lcd_blank_line(row);
    con_goto(LCD_X, LCD_Y);
    sim.lcd_col = 0;
    sim.lcd_row = 0;
}
