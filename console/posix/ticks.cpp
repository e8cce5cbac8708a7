// POSIX once-a-second tick and the watch: threads of their own, blocking
// every signal, so that the program's sleep(), read() and the like are never
// interrupted by them.
#include "console/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <system_error>
#include <thread>

static std::atomic<void (*)()> tick_function;

static void *tick_every_second(void *)
{
    for (;;) {
        struct timespec left = {1, 0};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
        void (*tick)() = tick_function;
        if (tick)
            tick();
    }
    return nullptr;
}

// Started once, by the thread that asks for the first tick.
static void start_ticking()
{
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, tick_every_second, nullptr) == 0)
        pthread_detach(thread);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

void plat_every_second(void (*tick)())
{
    static bool started;
    tick_function = tick;
    if (tick && !started) {
        started = true;
        start_ticking();
    }
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
