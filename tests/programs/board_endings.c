/* Board programs that end or stop while their LCD change waits to be sent:
 * "paint" paints without pausing after one poll, "crash" dies right after
 * painting, "flicker" paints "@@@@" and, 5 ms later, "%%%%" over it before
 * each pause, so that "@@@@" is never the picture at a pause. */
#include <wena.h>

#include <string.h>
#include <time.h>

static double seconds_now(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static void spin_ms(int ms)
{
    double until = seconds_now() + ms / 1000.0;
    while (seconds_now() < until) {
    }
}

int main(int argc, char **argv)
{
    int32_t i = 0;
    if (argc < 2)
        return 2;
    sim_poll();
    if (strcmp(argv[1], "paint") == 0)
        for (;;) {
            lcd_goto(0, 0);
            lcd_putdec(i++);
        }
    if (strcmp(argv[1], "crash") == 0) {
        Sleep(300);
        lcd_goto(0, 0);
        lcd_puts("x=");
        lcd_putdec(42);
        *(volatile char *)0 = 0;
    }
    if (strcmp(argv[1], "flicker") == 0)
        for (i = 0; i < 100; ++i) {
            lcd_goto(0, 0);
            lcd_puts("@@@@");
            spin_ms(5);
            lcd_goto(0, 0);
            lcd_puts("%%%%");
            Sleep(1);
        }
    return 0;
}
