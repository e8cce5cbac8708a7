/* Every name wena.h gives a board program, used once, in code that is C89
 * and C++ alike: compiled in each standard, it must draw no warning. */
#include <wena.h>

int main(void)
{
    void (*write)(const char *) = lcd_puts;
    void (*put)(char) = lcd_putc;
    sim_poll();
    PDR8 = PDR5;
    lcd_putc('\xB1');
    put('\xDF');
    write("x");
    lcd_puts("\xBD\xC0\xB0\xC4");
    lcd_goto(0, 1);
    lcd_putdec(-5);
    lcd_putfix(1.5f, 3, 1);
    lcd_putbin(5u, 3);
    lcd_puthex(0xABu, 2);
    lcd_cursor_on();
    lcd_cursor_off();
    lcd_clear();
    Sleep(ADDA + ADDB + ADDC + ADDD > 0 ? 1u : 0u);
    return 0;
}
