/* A first board program in C: the switches on port 5 light the LEDs on
 * port 8, and the LCD shows both ports and channel A of the analog board.
 * Press I, O and V to plug boards in, 0-7 to flip switches, Q to quit. */
#include <wena.h>

int main(void)
{
    lcd_cursor_off();
    for (;;) {
        sim_poll();
        PDR8 = PDR5;
        /* Both lines are written every time: a board change clears the LCD. */
        lcd_goto(0, 0);
        lcd_puts("ｽｲｯﾁ -> LED");
        lcd_goto(0, 1);
        lcd_puthex(PDR5, 2);
        lcd_puts(" A=");
        lcd_putdec((int32_t)(ADDA >> 6));
        lcd_puts("   ");
        Sleep(20);
    }
}
