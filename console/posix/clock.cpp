// POSIX millisecond pause, kept close to the time asked for: a paced loop
// of short pauses (the demo game sleeps 2-6 ms twenty times a step) would
// otherwise run several per cent slow from wake-up lateness alone.
#include "console/platform.h"

#include <cerrno>
#include <ctime>
#include <sys/prctl.h>

enum : long long {
    NS_PER_MS = 1000000,
    // Lateness beyond this is the machine being busy, not the timer: it is
    // not made up for.
    MAX_CARRY_NS = 2 * NS_PER_MS,
    // Only a pause that follows the last one this closely makes up for its
    // lateness; any other pause lasts at least as long as asked.
    JUST_PAUSED_NS = 10 * NS_PER_MS
};

static long long now_ns()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

static struct timespec as_timespec(long long ns)
{
    return {(time_t)(ns / 1000000000LL), (long)(ns % 1000000000LL)};
}

static long long last_wake_ns = -1;
static long long carried_ns;  // how late the last pause woke, made up by the next

unsigned plat_sleep_ms(unsigned ms)
{
    static bool slack_set;
    if (!slack_set) {
        slack_set = true;
        // The default 50 us slack lets every wake-up come late on purpose.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    }
    long long start = now_ns();
    if (last_wake_ns < 0 || start - last_wake_ns > JUST_PAUSED_NS)
        carried_ns = 0;
    long long deadline = start + (long long)ms * NS_PER_MS - carried_ns;
    struct timespec until = as_timespec(deadline);
    int failed = deadline > start ? clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) : 0;
    long long woke = now_ns();
    last_wake_ns = woke;
    if (failed == EINTR) {
        carried_ns = 0;
        long long left = deadline - woke;
        return left > 0 ? (unsigned)((left + NS_PER_MS - 1) / NS_PER_MS) : 0;
    }
    long long late = woke - deadline;
    carried_ns = late < 0 ? 0 : late > MAX_CARRY_NS ? MAX_CARRY_NS : late;
    return 0;
}
