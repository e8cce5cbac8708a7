// A pause makes up for the last one's late wake-up only right after it;
// the bound checked is a lower one, which no machine load can break.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <ctime>
#include <unistd.h>

static double ms_since(const timespec &start)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - start.tv_sec) * 1e3 + (double)(now.tv_nsec - start.tv_nsec) / 1e6;
}

// The lateness carried is often only microseconds: many tries catch a
// pause that makes up for it when it should not.
TEST(Pause, AfterAWhileWithoutPausingLastsAtLeastAsLongAsAsked)
{
    for (int i = 0; i < 20; ++i) {
        plat_sleep_ms(1);  // wakes late, if only by nanoseconds
        usleep(20 * 1000);
        timespec start;
        clock_gettime(CLOCK_MONOTONIC, &start);
        plat_sleep_ms(5);
        ASSERT_GE(ms_since(start), 5.0) << "try " << i;
    }
}
