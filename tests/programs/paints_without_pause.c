/* Paints the LCD without pause and never polls once the board is laid out:
 * Ctrl-C or the watchdog has to end it while it draws. */
#include <wena.h>

int main(void)
{
    unsigned long i;
    lcd_cursor_off();
    for (i = 0;; ++i) {
        lcd_goto((int)(i % 16), (int)(i / 16 % 2));
        lcd_putc(i % 2 ? 'A' : 'B');
    }
}
