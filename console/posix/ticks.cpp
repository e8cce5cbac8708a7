// POSIX once-a-second tick: SIGALRM from an interval timer.
#include "console/platform.h"

#include <csignal>
#include <sys/time.h>

static void (*tick_function)();

static void on_alarm(int)
{
    if (tick_function)
        tick_function();
}

void plat_every_second(void (*tick)())
{
    tick_function = tick;
    if (tick) {
        struct sigaction action {};
        action.sa_handler = on_alarm;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | SA_NODEFER;
        sigaction(SIGALRM, &action, nullptr);
    }
    long seconds = tick ? 1 : 0;
    struct itimerval timer = {{seconds, 0}, {seconds, 0}};
    setitimer(ITIMER_REAL, &timer, nullptr);
}
