// What a key-free poll sends to the terminal while a vending board is shown:
// the poll rewrites the seven stock figures and hides the cursor every time,
// and since neither changes the picture the console should send nothing.
#include "board/layout.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "console/term.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

static unsigned long long write_calls;

static void count_writes(const char *, size_t, void *) { ++write_calls; }

static char bench_dir[] = "/tmp/wena-vending-bench-XXXXXX";

static void remove_bench_dir()
{
    if (chdir("/") == 0) {
        unlink((std::string(bench_dir) + "/WENA.ini").c_str());
        rmdir(bench_dir);
    }
}

// Layouts save WENA.ini: in a directory of the benchmark's own.
static void enter_bench_dir()
{
    static bool done;
    if (done)
        return;
    done = true;
    if (!mkdtemp(bench_dir) || chdir(bench_dir) != 0)
        abort();
    atexit(remove_bench_dir);
}

// Arguments: input kind, output kind.
static void BM_KeyFreePollWithVendingBoard(benchmark::State &state)
{
    enter_bench_dir();
    term_set_sink(count_writes, nullptr);
    con_use_keyboard(false);
    sim_layout((int)state.range(0), (int)state.range(1), 0);
    sim_poll();
    unsigned long long bytes = term_bytes_written(), writes = write_calls;
    for (auto _ : state)
        sim_poll();
    double polls = (double)state.iterations();
    state.counters["bytes_per_poll"] = (double)(term_bytes_written() - bytes) / polls;
    state.counters["writes_per_poll"] = (double)(write_calls - writes) / polls;
    con_use_keyboard(true);
}
BENCHMARK(BM_KeyFreePollWithVendingBoard)->Args({IN_VMIN, OUT_NONE})->Args({IN_NONE, OUT_VMOUT})->Args({IN_VMIN, OUT_VMOUT});
