// Windows once-a-second tick: a timer-queue timer, which calls on a thread
// of the system's pool.
#include "platform/platform.h"

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

static DWORD painter_id;
static HANDLE painter_handle;

void plat_note_painter()
{
    DWORD self = GetCurrentThreadId();
    if (self == painter_id && painter_handle)
        return;
    if (painter_handle)
        CloseHandle(painter_handle);
    painter_id = self;
    painter_handle = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, self);
}

// GetThreadTimes counts in the system's ticks of 15.6 ms, too coarse to
// tell a pause: the thread's cycles are counted instead, taken at about
// 3000 a microsecond.
long long plat_painter_cpu_us()
{
    ULONG64 cycles;
    if (!painter_handle || !QueryThreadCycleTime(painter_handle, &cycles))
        return -1;
    return (long long)(cycles / 3000);
}

bool plat_painter_runnable() { return false; }
