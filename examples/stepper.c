/* A stepper motor driven one-phase, then two-phase, each 100 steps forward
 * and 100 back, a step every 20 ms. Both motors of the STEPMT board get the
 * same phases. The LCD shows the drive and the program's own step count,
 * which the board's readouts match. Press O five times for STEPMT; Q quits. */
#include <wena.h>

static const uint8_t one_phase[4] = {0x1, 0x2, 0x4, 0x8};
static const uint8_t two_phase[4] = {0x3, 0x6, 0xC, 0x9};

static int position; /* index into the phase table */
static int32_t steps;

static void pause_ms(int ms)
{
    for (int t = 0; t < ms; t += 10) {
        sim_poll();
        Sleep(10);
    }
}

static void show(const char *drive)
{
    lcd_goto(0, 0);
    lcd_puts(drive);
    lcd_goto(0, 1);
    lcd_puts("STEP ");
    lcd_putdec(steps);
    lcd_puts("    ");
}

static void output(const uint8_t *phases)
{
    uint8_t phase = phases[position];
    PDR8 = (uint8_t)(phase << 4 | phase);
}

static void run(const uint8_t *phases, int direction, const char *drive)
{
    /* Changing the drive moves half a step, which is no step at all. */
    output(phases);
    show(drive);
    pause_ms(20);
    for (int i = 0; i < 100; ++i) {
        position = (position + direction) & 3;
        steps += direction;
        output(phases);
        show(drive);
        pause_ms(20);
    }
}

int main(void)
{
    lcd_cursor_off();
    for (;;) {
        run(one_phase, +1, "1ｿｳ ｾｲﾃﾝ  ");
        run(one_phase, -1, "1ｿｳ ｷﾞｬｸﾃﾝ");
        run(two_phase, +1, "2ｿｳ ｾｲﾃﾝ  ");
        run(two_phase, -1, "2ｿｳ ｷﾞｬｸﾃﾝ");
    }
}
