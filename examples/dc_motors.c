/* Two DC motors driven from the toggle switches: switches 3 and 2 drive the
 * left motor, 1 and 0 the right one (01 forward, 10 reverse, 11 brake). The
 * LCD names what each motor does. Press I for the switch board and O four
 * times for DCMT; Q quits. */
#include <wena.h>

static const char *const motor_state[4] = {"ﾃｲｼ  ", "ｾｲﾃﾝ ", "ﾊﾝﾃﾝ ", "ﾌﾞﾚｰｷ"};

int main(void)
{
    lcd_cursor_off();
    for (;;) {
        sim_poll();
        PDR8 = PDR5 & 0x0F;
        lcd_goto(0, 0);
        lcd_puts("L:");
        lcd_puts(motor_state[PDR8 >> 2 & 3]);
        lcd_puts(" R:");
        lcd_puts(motor_state[PDR8 & 3]);
        lcd_goto(0, 1);
        lcd_puts("SW3-0=");
        lcd_putbin(PDR8, 4);
        Sleep(20);
    }
}
