// POSIX millisecond pause, kept close to the time asked for: a paced loop
// of short pauses (the demo game sleeps 2-6 ms twenty times a step) would
// otherwise run several per cent slow from wake-up lateness alone. While a
// pause lasts, keys typed at the terminal are read as they come (keys.cpp).
#include "platform/platform.h"
#include "platform/posix/keyboard.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <poll.h>
#ifdef WENA_HAVE_PR_SET_TIMERSLACK
#include <sys/prctl.h>
#endif

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

static void use_small_timer_slack()
{
    static bool done;
    if (done)
        return;
    done = true;
#ifdef WENA_HAVE_PR_SET_TIMERSLACK
    // The default 50 us slack lets every wake-up come late on purpose.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

// Sleeps until the deadline; false when a signal cut it short.
static bool sleep_until(long long deadline)
{
#ifdef WENA_HAVE_CLOCK_NANOSLEEP
    struct timespec until = as_timespec(deadline);
    return clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != EINTR;
#else
    struct timespec left = as_timespec(deadline - now_ns());
    return left.tv_sec < 0 || left.tv_nsec < 0 || nanosleep(&left, nullptr) == 0 || errno != EINTR;
#endif
}

// Waits for a key at fd for at most ns nanoseconds: poll's result.
static int wait_for_key(int fd, long long ns)
{
    struct pollfd in = {fd, POLLIN, 0};
#ifdef WENA_HAVE_PPOLL
    struct timespec left = as_timespec(ns);
    return ppoll(&in, 1, &left, nullptr);
#else
    // Whole milliseconds, rounded up: the caller's loop ends on the clock.
    long long ms = (ns + NS_PER_MS - 1) / NS_PER_MS;
    return poll(&in, 1, ms > INT_MAX ? INT_MAX : (int)ms);
#endif
}

// Waits until the deadline on the monotonic clock, reading typed keys
// meanwhile; false when a signal cut the wait short.
static bool wait_until(long long deadline)
{
    for (;;) {
        long long now = now_ns();
        if (now >= deadline)
            return true;
        int fd = keyboard_wait_fd();
        if (fd < 0)
            return sleep_until(deadline);
        int ready = wait_for_key(fd, deadline - now);
        if (ready < 0 && errno == EINTR)
            return false;
        if (ready > 0)
            keyboard_drain();
    }
}

unsigned plat_sleep_ms(unsigned ms)
{
    use_small_timer_slack();
    long long start = now_ns();
    if (last_wake_ns < 0 || start - last_wake_ns > JUST_PAUSED_NS)
        carried_ns = 0;
    long long deadline = start + (long long)ms * NS_PER_MS - carried_ns;
    bool whole = wait_until(deadline);
    long long woke = now_ns();
    last_wake_ns = woke;
    if (!whole) {
        carried_ns = 0;
        long long left = deadline - woke;
        return left > 0 ? (unsigned)((left + NS_PER_MS - 1) / NS_PER_MS) : 0;
    }
    long long late = woke - deadline;
    carried_ns = late < 0 ? 0 : late > MAX_CARRY_NS ? MAX_CARRY_NS : late;
    return 0;
}
