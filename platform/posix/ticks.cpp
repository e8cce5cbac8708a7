// POSIX once-a-second tick and the watch: threads of their own, blocking
// every signal, so that the program's sleep(), read() and the like are never
// interrupted by them.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif
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

namespace {

struct Painter {
    bool known;
    pthread_t thread;
    clockid_t clock;
    long tid;  // for its state in /proc, where there is one
};

}  // namespace

static Painter painter;

void plat_note_painter()
{
    pthread_t self = pthread_self();
    if (painter.known && pthread_equal(self, painter.thread))
        return;
    painter.thread = self;
    painter.known = pthread_getcpuclockid(self, &painter.clock) == 0;
#ifdef __linux__
    painter.tid = syscall(SYS_gettid);
#else
    painter.tid = 0;
#endif
}

long long plat_painter_cpu_us()
{
    struct timespec used;
    if (!painter.known || clock_gettime(painter.clock, &used) != 0)
        return -1;
    return (long long)used.tv_sec * 1000000 + used.tv_nsec / 1000;
}

// On Linux the thread's state tells a thread that waits for a CPU (the
// machine is busy) from one that waits for something else.
bool plat_painter_runnable()
{
    if (!painter.known || painter.tid == 0)
        return false;
    char path[64], text[512];
    snprintf(path, sizeof path, "/proc/self/task/%ld/stat", painter.tid);
    FILE *f = fopen(path, "re");
    if (!f)
        return false;
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = '\0';
    const char *end = strrchr(text, ')');
    return end && end[1] == ' ' && end[2] == 'R';
}
