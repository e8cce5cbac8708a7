// The 16x2 character LCD, drawn at the right of the board. One byte is one
// cell; a full line drops what follows (no wrap, no scroll, no display
// shift). The LCD cursor lives in sim.lcd_col / sim.lcd_row.
#include "lcd/lcd.h"

#include "board/layout.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "lcd/lcd_format.h"
#include "lcd/lcd_text.h"

#include <cstring>

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
    sim_first_poll_for_lcd();
    sim_quit_if_next();
    if (sim.lcd_panel_shown == 0) {
        lcd_paint_panel();
        sim.lcd_panel_shown = 1;
    }
}

void lcd_goto(int col, int row)
{
    lcd_prepare();
    lcd_show_waiting_bytes();
    // The board's routine resets a bad position rather than clamping it.
    sim.lcd_col = col < 0 || col >= LCD_COLS ? 0 : col;
    sim.lcd_row = row < 0 || row >= LCD_ROWS ? 0 : row;
    con_goto(LCD_X + sim.lcd_col, LCD_Y + sim.lcd_row);
}

// One cell, the code as it is: a code page 932 byte.
static void lcd_put_code(char ch)
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

// In UTF-8 text the bytes of the yen sign or of a katakana wait in
// sim.lcd_utf8 until the last one comes, possibly in a later call. Every
// other byte shows at once as its own code, so that text written in byte
// codes, as is usual for these displays, means what it means on the board.
// A byte that breaks a waiting character off shows it as its bytes.
static void lcd_putc_utf8(char ch)
{
    sim.lcd_utf8[sim.lcd_utf8_have++] = ch;
    while (sim.lcd_utf8_have > 0) {
        unsigned char code;
        size_t used = lcd_code_from_utf8(sim.lcd_utf8, (size_t)sim.lcd_utf8_have, &code);
        if (used == 0)
            return;
        sim.lcd_utf8_have -= (int)used;
        memmove(sim.lcd_utf8, sim.lcd_utf8 + used, (size_t)sim.lcd_utf8_have);
        lcd_put_code((char)code);
    }
}

void lcd_show_waiting_bytes()
{
    int have = sim.lcd_utf8_have;
    sim.lcd_utf8_have = 0;
    for (int i = 0; i < have; ++i)
        lcd_put_code(sim.lcd_utf8[i]);
}

static void lcd_put_bytes(const char *text)
{
    lcd_show_waiting_bytes();
    for (; *text != '\0'; ++text)
        lcd_put_code(*text);
}

void wena_lcd_putc(char ch, int encoding)
{
    lcd_prepare();
    if (encoding == WENA_UTF8) {
        lcd_putc_utf8(ch);
    } else {
        lcd_show_waiting_bytes();
        lcd_put_code(ch);
    }
}

void wena_lcd_puts(const char *text, int encoding)
{
    if (text == nullptr)
        return;
    for (; *text != '\0'; ++text)
        wena_lcd_putc(*text, encoding);
}

void lcd_putdec(int32_t value)
{
    char text[LCD_TEXT_MAX];
    lcd_format_dec(value, text);
    lcd_put_bytes(text);
}

void lcd_putfix(float value, int width, int decimals)
{
    char text[LCD_TEXT_MAX];
    lcd_format_fix(value, width, decimals, text);
    lcd_put_bytes(text);
}

void lcd_putbin(uint32_t value, int count)
{
    char text[LCD_TEXT_MAX];
    lcd_format_bin(value, count, text);
    lcd_put_bytes(text);
}

void lcd_puthex(uint32_t value, int count)
{
    char text[LCD_TEXT_MAX];
    lcd_format_hex(value, count, text);
    lcd_put_bytes(text);
}

void lcd_cursor_off()
{
    lcd_prepare();
    lcd_show_waiting_bytes();
    con_cursor_hide();
}

void lcd_cursor_on()
{
    lcd_prepare();
    lcd_show_waiting_bytes();
    con_cursor_show();
}

void lcd_clear()
{
    lcd_prepare();
    lcd_show_waiting_bytes();
    lcd_text_colour();
    for (int row = 0; row < LCD_ROWS; ++row)
        lcd_blank_line(row);
    con_goto(LCD_X, LCD_Y);
    sim.lcd_col = 0;
    sim.lcd_row = 0;
}
