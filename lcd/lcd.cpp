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

static void lcd_put_bytes(const char *text)
{
    for (; *text != '\0'; ++text)
        lcd_put_code(*text);
}

// The bytes of a UTF-8 character wait in sim.lcd_utf8 until the last one
// comes. A character begun by earlier bytes that this byte cannot continue
// shows as the replacement, and the byte then starts afresh.
static void lcd_putc_utf8(char ch)
{
    unsigned char b = (unsigned char)ch;
    if (sim.lcd_utf8_have > 0 && (b & 0xC0) != 0x80) {
        sim.lcd_utf8_have = 0;
        lcd_put_code(LCD_REPLACEMENT);
    }
    sim.lcd_utf8[sim.lcd_utf8_have++] = ch;
    size_t have = (size_t)sim.lcd_utf8_have;
    unsigned char code;
    size_t used = lcd_code_from_utf8(sim.lcd_utf8, have, &code);
    int length = utf8_sequence_length((unsigned char)sim.lcd_utf8[0]);
    if (used < have || used == (size_t)length) {
        sim.lcd_utf8_have = 0;
        lcd_put_code((char)code);
        if (used < have)
            lcd_putc_utf8(ch);
    } else if (length == 0) {
        sim.lcd_utf8_have = 0;
        lcd_put_code(LCD_REPLACEMENT);
    }
}

void wena_lcd_putc(char ch, int encoding)
{
    if (encoding == WENA_UTF8)
        lcd_putc_utf8(ch);
    else
        lcd_put_code(ch);
}

void wena_lcd_puts(const char *text, int encoding)
{
    if (text == nullptr)
        return;
    if (encoding != WENA_UTF8) {
        lcd_put_bytes(text);
        return;
    }
    size_t left = strlen(text);
    while (left > 0) {
        unsigned char code;
        size_t used = lcd_code_from_utf8(text, left, &code);
        lcd_put_code((char)code);
        text += used;
        left -= used;
    }
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
