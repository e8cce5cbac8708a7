/* A hexadecimal counter on the 7-segment board: PDR8 counts up twice a
 * second and the two digits show it, 00 to FF and round again. Switch 0 of
 * the toggle-switch board holds the count. Press O twice for SEG7D and I for
 * the switches; Q quits. */
#include <wena.h>

int main(void)
{
    uint8_t count = 0;
    int ticks = 0;
    lcd_cursor_off();
    for (;;) {
        sim_poll();
        if (!(PDR5 & 0x01) && ++ticks == 50) {
            ticks = 0;
            ++count;
        }
        PDR8 = count;
        /* Both lines every time: a board change clears the LCD. */
        lcd_goto(0, 0);
        lcd_puts("16ｼﾝ ｶｳﾝﾀ");
        lcd_goto(0, 1);
        lcd_puts("PDR8=");
        lcd_puthex(count, 2);
        lcd_puts(PDR5 & 0x01 ? " ﾃｲｼ" : "    ");
        Sleep(10);
    }
}
