/* wena: the H8/3664F training board, simulated in a text terminal.
 *
 * The one header a board program includes; it compiles as C and as C++.
 * Write the output port, poll, then read the input port:
 *
 *     PDR8 = 0x0F;
 *     sim_poll();
 *     if (PDR5 & 0x02) ...
 */
#ifndef WENA_H
#define WENA_H

#include <stdint.h>
#ifdef _WIN32
#include <windows.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The simulated microcontroller registers. Use them by their board names
 * below: PDR5, PDR8 and ADDA to ADDD. */
typedef struct PortRegisters {
    uint8_t PDR5;            /* port 5, the input port; set by the keyboard inside sim_poll */
    uint8_t PDR8;            /* port 8, the output port; shown at the next sim_poll */
    uint32_t ad_result[4];   /* A/D results of channels A-D: the 10-bit value times 64 */
    uint32_t ad_mirror[4];   /* a second bank holding the same four values */
} PortRegisters;

extern PortRegisters wena_registers;

#define PDR5 (wena_registers.PDR5)
#define PDR8 (wena_registers.PDR8)
#define ADDA (wena_registers.ad_result[0])
#define ADDB (wena_registers.ad_result[1])
#define ADDC (wena_registers.ad_result[2])
#define ADDD (wena_registers.ad_result[3])

/* Applies at most one waiting key and shows a changed PDR8. Call it before
 * every read of PDR5. The first call lays the board out; an LCD call made
 * before it makes that first poll itself, a waiting key included. */
void sim_poll(void);

/* The 16x2 character LCD. A line holds 16 characters; what goes past its end
 * is dropped, there is no wrap. A byte is the LCD's own character code, as
 * on the board: ASCII, the yen sign 0x5C and the half-width katakana 0xA1 to
 * 0xDF (code page 932's single bytes), one cell each. lcd_putc('\xDF') is
 * the degree mark, and lcd_puts("\xBD\xC0\xB0\xC4 25\xDF" "C") shows
 * "su ta - to 25 degrees C" in every build.
 *
 * Text is taken in the encoding the compiler gives this file's string
 * literals, found below at compile time: UTF-8 (every compiler's default),
 * or code page 932 under -fexec-charset=CP932 or a Japanese Visual Studio
 * without /utf-8. Half-width "su ta - to" is four cells either way.
 * - Code page 932: one byte, one cell, as the board does.
 * - UTF-8: the yen sign and the half-width katakana (U+FF61 to U+FF9F)
 *   written in UTF-8 take one cell each. Every other byte keeps its
 *   one-byte meaning and shows as a code page 932 build shows it; so a
 *   character the LCD lacks shows as its bytes: "\xC3\xBD", "y acute" in
 *   UTF-8, is the two katakana "te su". Only C2 A5 and the UTF-8 forms of
 *   the katakana, EF BD A1 to EF BE 9F, read otherwise than as bytes.
 * lcd_putc takes one byte of the text. In UTF-8 the bytes of a yen sign or
 * of a katakana wait for the rest, so calling lcd_putc on each byte of a
 * string shows what lcd_puts shows. Bytes still waiting show as their own
 * codes when the next byte does not continue them, and when the program
 * polls, pauses or makes another LCD call first. A character constant of a
 * katakana is more than a byte in UTF-8 and does not fit a char: write it
 * as a string, or as its code ('\xB1'). (This file is ASCII, so that any
 * compiler reads it in any locale.)
 *
 * A board change (I, O or V at the keyboard) clears the LCD: text written
 * once before the program's loop is gone after it, so write what must stay
 * inside the loop. */
#define WENA_UTF8 0
#define WENA_CP932 1
/* U+FF71, half-width katakana a, is one byte in code page 932, three in UTF-8. */
#define WENA_TEXT_ENCODING (sizeof("\uFF71") == 2 ? WENA_CP932 : WENA_UTF8)

void wena_lcd_putc(char ch, int encoding);
void wena_lcd_puts(const char *text, int encoding);

/* lcd_putc(ch): byte 0 returns to column 0. lcd_puts(text). Both are
 * defined at the end of this file, for the language the program is in. */

void lcd_goto(int col, int row);      /* out-of-range values become 0 */

/* Signed decimal, no padding. Every int32_t shows in full, the most negative
 * one too: -2147483648. */
void lcd_putdec(int32_t value);

/* value rounded half away from zero to `decimals` places, right-aligned in a
 * field of width + decimals + 1 characters (width when decimals is 0; width
 * counts the sign). lcd_putfix(3.14159f, 3, 2) shows "  3.14".
 * - A number wider than its field is shown whole, not cut: (1234.5f, 2, 1)
 *   shows "1234.5".
 * - A value that does not fit, because value times 10 to the power
 *   decimals + 1 is 2147483648 or more in size (about 2.1e8 and above with
 *   no decimals, 2.1e7 with one), or that is not a number or infinite,
 *   fills the field with '*' instead: (3e9f, 3, 1) shows "*****".
 * - Use 0 to 14 decimals: more lose the point, fewer than 0 show the value
 *   divided by 10. */
void lcd_putfix(float value, int width, int decimals);

/* The low `count` bits, most significant first; nothing when count is 0 or
 * less. Bits above bit 31 show as 0: lcd_putbin(5, 34) shows 31 zeros, then
 * 101. */
void lcd_putbin(uint32_t value, int count);

/* The low `count` hexadecimal digits, upper case; nothing when count is 0 or
 * less. Digits above the eighth show as 0: lcd_puthex(0xABCDEF12, 10) shows
 * 00ABCDEF12. */
void lcd_puthex(uint32_t value, int count);

void lcd_cursor_off(void);
void lcd_cursor_on(void);             /* a thin line where the next character goes */
void lcd_clear(void);

/* Pauses the program for ms milliseconds. A loop that never pauses uses a
 * whole core; Sleep(20) in it is enough for a board program. On Windows the name is kernel32's
 * too: <windows.h> comes first, then Sleep is made the library's pause, so
 * that a scripted run's virtual clock sees it. */
#ifdef _WIN32
void wena_sleep(unsigned int ms);
#define Sleep(ms) wena_sleep(ms)
#else
void Sleep(unsigned int ms);
#endif

#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
static inline void lcd_putc(char ch) { wena_lcd_putc(ch, WENA_TEXT_ENCODING); }
static inline void lcd_puts(const char *text) { wena_lcd_puts(text, WENA_TEXT_ENCODING); }
#else
/* C89 has no inline, and no \u: GCC and Clang read it all the same, but
 * -pedantic warns of it, and -Wall of a static function a program does not
 * call, outside a system header. So from here on this file is one, for
 * them; these two lines are all that it covers. */
#ifdef __GNUC__
#pragma GCC system_header
#endif
static void lcd_putc(char ch) { wena_lcd_putc(ch, WENA_TEXT_ENCODING); }
static void lcd_puts(const char *text) { wena_lcd_puts(text, WENA_TEXT_ENCODING); }
#endif

#ifdef __cplusplus
}
#endif

#endif
