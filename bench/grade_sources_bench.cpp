// A class handed in as sources: 40 small C files, each compiled against the
// library in its box and then graded against 3 scenarios in the sandbox,
// with the grader's defaults for the cores there are. The time is the
// whole grading, builds included, as a teacher waits for it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

static const int STUDENTS = 40;

static const char *const scenarios[] = {
    "start boards 1 11 0\nkeys 13\nwait 100\ncheck PDR8 == 0x0A\n",
    "start boards 1 11 0\nwait 100\ncheck PDR8 == 0\n",
    "start boards 1 11 0\nkeys 0\nwait 50\ncheck PDR8 == 0x01\nkeys 0\nwait 50\ncheck PDR8 == 0\n",
};

// Each student's own program: the same work, in a file of their own.
static std::string student_source(int i)
{
    return "#include <wena.h>\n/* student " + std::to_string(i) +
           " */\nint main(void)\n{\n    for (;;) {\n        sim_poll();\n        PDR8 = PDR5;\n    }\n}\n";
}

// The class's files in a fresh directory: scenarios as -s arguments, then sources.
static std::string write_class(char *dir)
{
    if (!mkdtemp(dir))
        abort();
    std::string args;
    for (size_t s = 0; s < sizeof scenarios / sizeof scenarios[0]; ++s) {
        std::string name = std::string(dir) + "/s" + std::to_string(s) + ".scn";
        std::ofstream(name) << scenarios[s];
        args += " -s " + name;
    }
    for (int i = 0; i < STUDENTS; ++i) {
        std::string name = std::string(dir) + "/student" + std::to_string(i) + ".c";
        std::ofstream(name) << student_source(i);
        args += " " + name;
    }
    return args;
}

static void BM_GradeClassOfSources(benchmark::State &state)
{
    if (system("bwrap --unshare-all --ro-bind / / true > /dev/null 2>&1") != 0) {
        state.SkipWithError("bubblewrap cannot make a sandbox here");
        return;
    }
    char dir[] = "/tmp/wena-grade-sources-bench-XXXXXX";
    std::string args = write_class(dir);
    std::string command = std::string(GRADE_PROGRAM) + args + " > /dev/null";
    for (auto _ : state)
        if (system(command.c_str()) != 0)
            state.SkipWithError("a run did not pass");
    state.counters["students"] = STUDENTS;
    state.counters["runs"] = STUDENTS * (double)(sizeof scenarios / sizeof scenarios[0]);
    if (system(("rm -rf " + std::string(dir)).c_str()) != 0)
        state.SkipWithError("the class could not be removed");
}
BENCHMARK(BM_GradeClassOfSources)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// What the compilers alone take for the same class, as the grader builds
// it (compile with the C compiler, link with the C++ one), one build per
// core: the grading's own cost is the difference from this.
static void BM_CompileClassDirectly(benchmark::State &state)
{
    char dir[] = "/tmp/wena-compile-bench-XXXXXX";
    write_class(dir);
    std::string build = std::string("cd ") + dir + " && ls student*.c | xargs -P $(nproc) -I{} sh -c '" BENCH_CC
                        " -std=c11 -O2 -Wall -Wextra -I " BENCH_INCLUDE_DIR " -c {} -o {}.o && " BENCH_CXX
                        " {}.o " BENCH_ARCHIVE " -o {}.exe'";
    for (auto _ : state)
        if (system(build.c_str()) != 0)
            state.SkipWithError("a compile failed");
    state.counters["students"] = STUDENTS;
    if (system(("rm -rf " + std::string(dir)).c_str()) != 0)
        state.SkipWithError("the class could not be removed");
}
BENCHMARK(BM_CompileClassDirectly)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
