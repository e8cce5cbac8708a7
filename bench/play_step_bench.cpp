// The length of one play step of the demo game in real time, at each pace:
// twenty polls of three sim_polls, two LCD writes and a pause, then the
// draw of five obstacles, the player and the score. Output goes through a
// pseudo-terminal that a thread drains, as a terminal would.
#include "bench/demo_step.h"
#include "board/sim_state.h"
#include "console/term.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

static void to_pty(const char *bytes, size_t n, void *context)
{
    int fd = *(int *)context;
    while (n > 0) {
        ssize_t written = write(fd, bytes, n);
        if (written <= 0)
            return;
        bytes += written;
        n -= (size_t)written;
    }
}

static void drain(int master)
{
    char buffer[4096];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
}

static char step_dir[] = "/tmp/wena-step-bench-XXXXXX";

static void remove_step_dir()
{
    std::string settings = std::string(step_dir) + "/WENA.ini";
    unlink(settings.c_str());
    rmdir(step_dir);
}

// A terminal to paint on, no keys, and the board laid out outside the measurement.
static void set_up_once()
{
    static bool done;
    static int slave;
    if (done)
        return;
    done = true;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        abort();
    slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    int keys[2];
    if (slave < 0 || pipe(keys) != 0 || dup2(keys[0], STDIN_FILENO) < 0)
        abort();
    std::thread(drain, master).detach();
    term_set_sink(to_pty, &slave);
    if (!mkdtemp(step_dir) || chdir(step_dir) != 0)
        abort();
    atexit(remove_step_dir);
    lcd_cursor_off();
}

static double seconds_now()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static void BM_PlayStep(benchmark::State &state)
{
    set_up_once();
    unsigned pause_ms = (unsigned)state.range(0);
    double nominal_ms = 20.0 * pause_ms;
    double started = seconds_now();
    for (auto _ : state)
        play_step(pause_ms, 12);
    double step_ms = (seconds_now() - started) * 1000.0 / (double)state.iterations();
    state.counters["nominal_ms"] = nominal_ms;
    state.counters["step_ms"] = step_ms;
    state.counters["off_percent"] = (step_ms / nominal_ms - 1.0) * 100.0;
}
BENCHMARK(BM_PlayStep)->Arg(6)->Arg(5)->Arg(4)->Arg(3)->Arg(2)->Iterations(25)->UseRealTime()->Unit(benchmark::kMillisecond);
