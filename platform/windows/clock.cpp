// Windows millisecond pause: kernel32's Sleep, which no signal cuts short.
// The system timer ticks every 15.6 ms unless asked for 1 ms, which would
// make the demo game's pauses of a few milliseconds several times too long.
// Even then a Sleep ends up to a millisecond late (more under wine), which
// over a game's twenty pauses of 6 ms is a tenth of its pace: what a pause
// overran is taken from the next one (and the fraction of a millisecond it
// fell short is added), so that pauses in a row last together as long as
// asked.
#include "platform/platform.h"
#include "platform/windows/console_state.h"

#include <algorithm>
#include <cstdlib>
#include <windows.h>

// At most this much overrun is carried into the next pause: a pause that
// was late through a hiccup of the system does not shorten many after it.
constexpr double MAX_CARRIED_MS = 20;

static void end_fine_timer() { timeEndPeriod(1); }

static double now_ms()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

unsigned plat_sleep_ms(unsigned ms)
{
    static bool fine_timer;
    static double overrun_ms;
    if (!fine_timer) {
        fine_timer = true;
        if (timeBeginPeriod(1) == TIMERR_NOERROR)
            atexit(end_fine_timer);
    }
    console_place_cursor();
    double asked = (double)ms - overrun_ms, started = now_ms();
    if (asked >= 1)
        Sleep((DWORD)asked);
    overrun_ms = std::clamp(now_ms() - started - asked, -1.0, MAX_CARRIED_MS);
    return 0;
}
