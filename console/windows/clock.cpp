// Windows millisecond pause: kernel32's Sleep, which no signal cuts short.
// The system timer ticks every 15.6 ms unless asked for 1 ms, which would
// make the demo game's pauses of a few milliseconds several times too long.
#include "console/platform.h"
#include "console/windows/console_state.h"

#include <cstdlib>
#include <windows.h>

static void end_fine_timer() { timeEndPeriod(1); }

unsigned plat_sleep_ms(unsigned ms)
{
    static bool fine_timer;
    if (!fine_timer) {
        fine_timer = true;
        if (timeBeginPeriod(1) == TIMERR_NOERROR)
            atexit(end_fine_timer);
    }
    console_place_cursor();
    Sleep(ms);
    return 0;
}
