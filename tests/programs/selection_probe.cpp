// A board program for scripted-run tests: shows the board selection on the
// LCD, so a scenario sees which boards the run started with. Its argument
// picks a misbehaviour: "pause" sleeps before the first poll, "return" ends
// after a few polls, "stall" stops polling and pausing for good, "doze"
// pauses for a minute, "nap" calls the C library's sleep() and shows on LCD
// line 1 what it left unslept.
#include "board/sim_state.h"

#include <wena.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
    if (strcmp(mode, "pause") == 0)
        Sleep(500);
    for (int polls = 0;; ++polls) {
        sim_poll();
        char text[40];
        snprintf(text, sizeof text, "%d,%d,%d", sim.selection.input, sim.selection.output, sim.selection.analog);
        lcd_goto(0, 0);
        lcd_puts(text);
        if (strcmp(mode, "return") == 0 && polls == 5)
            return 0;
        if (strcmp(mode, "stall") == 0 && polls == 5)
            for (;;)
                pause();
        if (strcmp(mode, "doze") == 0 && polls == 5)
            Sleep(60000);
        if (strcmp(mode, "nap") == 0 && polls == 5) {
            snprintf(text, sizeof text, "left %u s", sleep(2));
            lcd_goto(0, 1);
            lcd_puts(text);
        }
        Sleep(20);
    }
}
