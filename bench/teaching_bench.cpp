// The teaching tools: what a trace adds to a poll that finds nothing
// changed, and how many scenario runs a second wena-grade gets through with
// short scenarios against an example program, one run per core, in
// bubblewrap's sandbox and without it.
#include "scenario/trace.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

static void BM_TracePollWithoutChange(benchmark::State &state)
{
    char trace_path[] = "/tmp/wena-trace-bench-XXXXXX";
    int fd = mkstemp(trace_path);
    if (fd < 0)
        abort();
    close(fd);
    setenv("WENA_TRACE", trace_path, 1);
    if (!trace_begin("the benchmark"))
        abort();
    for (auto _ : state)
        trace_poll();
    trace_end();
    unsetenv("WENA_TRACE");
    unlink(trace_path);
}
BENCHMARK(BM_TracePollWithoutChange);

static const int SCENARIOS = 100;

// Argument 1: each run in the sandbox; 0: --no-sandbox.
static void BM_GradeThroughput(benchmark::State &state)
{
    bool sandboxed = state.range(0) != 0;
    if (sandboxed && system("bwrap --unshare-all --ro-bind / / true > /dev/null 2>&1") != 0) {
        state.SkipWithError("bubblewrap cannot make a sandbox here");
        return;
    }
    char dir[] = "/tmp/wena-grade-bench-XXXXXX";
    if (!mkdtemp(dir))
        abort();
    std::string args;
    for (int i = 0; i < SCENARIOS; ++i) {
        std::string name = std::string(dir) + "/s" + std::to_string(i) + ".scn";
        std::ofstream(name) << "start boards 1 11 0\nkeys 13\nwait 100\ncheck PDR8 == 0x0A\n";
        args += " " + name;
    }
    std::string command =
        std::string(GRADE_PROGRAM) + (sandboxed ? "" : " --no-sandbox") + " " EXAMPLE_PROGRAM + args + " > /dev/null";
    for (auto _ : state)
        if (system(command.c_str()) != 0)
            state.SkipWithError("a run did not pass");
    state.counters["runs_per_s"] =
        benchmark::Counter((double)SCENARIOS * (double)state.iterations(), benchmark::Counter::kIsRate);
    if (system(("rm -rf " + std::string(dir)).c_str()) != 0)
        state.SkipWithError("the scenarios could not be removed");
}
BENCHMARK(BM_GradeThroughput)->ArgName("sandboxed")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
