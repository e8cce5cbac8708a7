// POSIX millisecond pause.
#include "console/platform.h"

#include <cerrno>
#include <ctime>

unsigned plat_sleep_ms(unsigned ms)
{
    struct timespec want = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    struct timespec left = {0, 0};
    if (nanosleep(&want, &left) == 0 || errno != EINTR)
        return 0;
    return (unsigned)(left.tv_sec * 1000 + (left.tv_nsec + 999999) / 1000000);
}
