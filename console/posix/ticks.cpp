// POSIX once-a-second tick (SIGALRM from an interval timer) and the watch
// thread.
#include "console/platform.h"

#include <csignal>
#include <pthread.h>
#include <sys/time.h>
#include <system_error>
#include <thread>

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

// The thread is made with every signal blocked, and keeps that mask.
void plat_watch(void (*watch)(), unsigned period_ms)
{
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    try {
        std::thread([watch, period_ms] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(period_ms));
                watch();
            }
        }).detach();
    } catch (const std::system_error &) {
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}
