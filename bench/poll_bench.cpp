// A poll that finds no key and no PDR8 change, against the bare poll(2) it
// rests on, on the same file descriptor in the same run; and the bytes a
// whole layout writes.
#include "board/layout.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "console/term.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <poll.h>
#include <unistd.h>

#ifndef __SANITIZE_ADDRESS__
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
static unsigned long long allocations;
extern "C" void *malloc(size_t n)
{
    ++allocations;
    return __libc_malloc(n);
}
extern "C" void *calloc(size_t n, size_t size)
{
    ++allocations;
    return __libc_calloc(n, size);
}
#endif

static void discard(const char *, size_t, void *) {}

static char bench_dir[] = "/tmp/wena-bench-XXXXXX";

static void remove_bench_dir()
{
    if (chdir("/") == 0) {
        std::string settings = std::string(bench_dir) + "/WENA.ini";
        unlink(settings.c_str());
        rmdir(bench_dir);
    }
}

// Standard input becomes an empty pipe that stays open: a key could come at
// any time, so every poll asks the kernel.
static void quiet_keyboard()
{
    static bool done;
    if (done)
        return;
    done = true;
    int fds[2];
    if (pipe(fds) != 0 || dup2(fds[0], STDIN_FILENO) < 0)
        abort();
    term_set_sink(discard, nullptr);
    // Layouts save WENA.ini: in a directory of the benchmark's own.
    if (!mkdtemp(bench_dir) || chdir(bench_dir) != 0)
        abort();
    atexit(remove_bench_dir);
    sim_poll();  // the first layout, outside the measurement
}

static void BM_BarePoll(benchmark::State &state)
{
    quiet_keyboard();
    struct pollfd source = {STDIN_FILENO, POLLIN, 0};
    for (auto _ : state)
        benchmark::DoNotOptimize(poll(&source, 1, 0));
}
BENCHMARK(BM_BarePoll);

static void BM_KeyFreeSimPoll(benchmark::State &state)
{
    quiet_keyboard();
#ifndef __SANITIZE_ADDRESS__
    unsigned long long before = allocations;
#endif
    for (auto _ : state)
        sim_poll();
#ifndef __SANITIZE_ADDRESS__
    state.counters["allocations"] = (double)(allocations - before);
#endif
}
BENCHMARK(BM_KeyFreeSimPoll);

static void BM_FullLayout(benchmark::State &state)
{
    quiet_keyboard();
    con_cursor_hide();
    unsigned long long bytes = 0;
    for (auto _ : state) {
        unsigned long long before = term_bytes_written();
        sim_layout(1, 11, 21);
        bytes = term_bytes_written() - before;
    }
    state.counters["bytes"] = (double)bytes;
}
BENCHMARK(BM_FullLayout);

BENCHMARK_MAIN();
