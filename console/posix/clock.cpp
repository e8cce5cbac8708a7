// POSIX millisecond pause. While it lasts, keys typed at the terminal are
// read as they come (see keys.cpp).
#include "console/platform.h"
#include "console/posix/keyboard.h"

#include <cerrno>
#include <ctime>
#include <poll.h>

static long long monotonic_ms()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

static unsigned sleep_plainly(unsigned ms)
{
    struct timespec want = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    struct timespec left = {0, 0};
    if (nanosleep(&want, &left) == 0 || errno != EINTR)
        return 0;
    return (unsigned)(left.tv_sec * 1000 + (left.tv_nsec + 999999) / 1000000);
}

unsigned plat_sleep_ms(unsigned ms)
{
    long long deadline = monotonic_ms() + ms;
    for (;;) {
        long long left = deadline - monotonic_ms();
        if (left <= 0)
            return 0;
        int fd = keyboard_wait_fd();
        if (fd < 0)
            return sleep_plainly((unsigned)left);
        struct pollfd in = {fd, POLLIN, 0};
        int ready = poll(&in, 1, left > 1000000 ? 1000000 : (int)left);
        if (ready < 0 && errno == EINTR)
            return (unsigned)(deadline - monotonic_ms() > 0 ? deadline - monotonic_ms() : 0);
        if (ready > 0)
            keyboard_drain();
    }
}
