/* A voltmeter on channel A of the analog board: the LCD shows the A/D
 * register ADDA and the voltage it stands for. Press V to plug the analog
 * board in, + and - to turn channel A's voltage, Q to quit. */
#include <wena.h>

int main(void)
{
    lcd_cursor_off();
    for (;;) {
        sim_poll();
        /* Bits 15-6 hold the reading, 0-1023 over 0-5 V. */
        uint32_t counts = ADDA >> 6;
        lcd_goto(0, 0);
        lcd_puts("ADDA ");
        lcd_puthex(ADDA, 4);
        lcd_goto(0, 1);
        lcd_puts("ﾃﾞﾝｱﾂ ");
        lcd_putfix((float)counts * 5.0f / 1023.0f, 1, 2);
        lcd_puts(" V");
        Sleep(20);
    }
}
