// Windows once-a-second tick: a timer-queue timer, which calls on a thread
// of the system's pool.
#include "console/platform.h"

#include <windows.h>

static void (*tick_function)();
static HANDLE timer;

static VOID CALLBACK on_timer(PVOID, BOOLEAN)
{
    if (tick_function)
        tick_function();
}

void plat_every_second(void (*tick)())
{
    tick_function = tick;
    if (timer) {
        DeleteTimerQueueTimer(nullptr, timer, nullptr);
        timer = nullptr;
    }
    if (tick)
        CreateTimerQueueTimer(&timer, nullptr, on_timer, nullptr, 1000, 1000, WT_EXECUTEDEFAULT);
}

// The console's own thread is never interrupted on Windows: the call is made
// on the timer's thread.
void plat_call_on_main(void (*call)()) { call(); }
