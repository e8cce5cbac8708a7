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

static void (*watch_function)();
static DWORD watch_period_ms;

static DWORD WINAPI run_watch(LPVOID)
{
    for (;;) {
        Sleep(watch_period_ms);
        watch_function();
    }
}

void plat_watch(void (*watch)(), unsigned period_ms)
{
    watch_function = watch;
    watch_period_ms = period_ms;
    HANDLE thread = CreateThread(nullptr, 0, run_watch, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}
