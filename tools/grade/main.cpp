// wena-grade [OPTIONS] PROGRAM SCENARIO...       one program, many scenarios
// wena-grade [OPTIONS] -s SCENARIO... PROGRAM... many programs, each scenario
// A PROGRAM may also be a student's sources, compiled first: a .c or .cpp
// file, or a directory of them.
// Exit status 0 when every run passed, 1 when one did not, 2 when the
// grading itself could not be done.
#include "tools/grade/cgroup.h"
#include "tools/grade/grade.h"
#include "tools/grade/tree.h"

#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

enum { STATUS_ALL_PASSED = 0, STATUS_SOME_FAILED = 1, STATUS_CANNOT_GRADE = 2 };
enum { INI_SIZE_LIMIT = 4096 };

static const char usage[] =
    "usage: wena-grade [OPTIONS] PROGRAM SCENARIO...\n"
    "       wena-grade [OPTIONS] -s SCENARIO [-s SCENARIO...] PROGRAM...\n"
    "Runs each board program against each scenario, every run in its own empty\n"
    "directory, and prints a table of verdicts. A PROGRAM may be a student's\n"
    "sources: a .c or .cpp file, or a directory of them, compiled first.\n"
    "  -s, --scenario FILE    grade the programs against FILE (repeatable)\n"
    "  -j, --jobs N           runs at once (default: one per core, four in the sandbox)\n"
    "  -t, --time-limit S     real seconds a run may take (default 10)\n"
    "      --junit FILE       also write a JUnit XML report to FILE\n"
    "      --html FILE        also write a page to look at: the class by verdict, and\n"
    "                         each failure with the board's screen at that moment\n"
    "      --ini FILE         the WENA.ini every run starts with (default: no boards)\n"
    "      --keep DIR         keep each run's directory and stderr in DIR, a new directory\n"
    "      --memory MIB       address space of a run, 0 for no limit (default 1024)\n"
    "      --cpu S            CPU seconds of a run, 0 for no limit (default 10)\n"
    "      --processes N      processes of a run at once (default 64)\n"
    "      --write-limit MIB  bytes a run may write in files (default 64)\n"
    "      --no-sandbox       run the programs without bubblewrap's sandbox\n"
    "      --cc CC            the C compiler for sources (default: the library's)\n"
    "      --cxx CXX          the C++ compiler, which also links (default: the library's)\n"
    "      --c-std STD        the C standard (default c11, as the library's)\n"
    "      --cxx-std STD      the C++ standard (default c++20, as the library's)\n"
    "      --cflags FLAGS     C flags (default: -O2 -Wall -Wextra)\n"
    "      --cxxflags FLAGS   C++ flags (default: -O2 -Wall -Wextra)\n"
    "      --compile-time S   real seconds one student's build may take (default 60)\n"
    "  -h, --help             this text\n"
    "      --version          the version of wena-grade\n"
    "Exit status: 0 every run passed, 1 some run did not, 2 the grading failed.\n";

static bool show_progress_line;

void grade_progress(int done, int total, int failed, int running)
{
    if (!show_progress_line)
        return;
    fprintf(stderr, "\r\x1b[Kwena-grade: %d of %d done, %d not passed, %d running", done, total, failed, running);
    fflush(stderr);
}

void grade_compile_progress(int built, int total)
{
    if (!show_progress_line)
        return;
    fprintf(stderr, "\r\x1b[Kwena-grade: %d of %d sources compiled", built, total);
    fflush(stderr);
}

// Every message may hold a file name or a scenario's line: shown safely.
static void say(const std::string &message) { fprintf(stderr, "wena-grade: %s\n", grade_shown(message).c_str()); }

[[noreturn]] static void refuse(const std::string &message)
{
    say(message);
    exit(STATUS_CANNOT_GRADE);
}

// A mistake on the command line: the one line that says it, and where to look.
[[noreturn]] static void usage_error(const std::string &message)
{
    say(message);
    fputs("Try 'wena-grade --help' for the options.\n", stderr);
    exit(STATUS_CANNOT_GRADE);
}

static int whole_number(const char *option, const char *value, int low, int high)
{
    char *end = nullptr;
    errno = 0;
    long n = strtol(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || n < low || n > high)
        usage_error(std::string(option) + " '" + value + "' is not a whole number from " + std::to_string(low) +
                    " to " + std::to_string(high));
    return (int)n;
}

static std::string absolute(const std::string &path)
{
    std::string whole = grade_absolute(path);
    if (whole.empty() || whole[0] != '/')
        refuse(std::string("cannot tell the current directory: ") + strerror(errno));
    return whole;
}

static std::string read_ini(const std::string &path)
{
    std::string text, why;
    if (!grade_read_input(path, INI_SIZE_LIMIT, text, why))
        refuse("--ini " + path + ": " + why);
    return text;
}

// Said before the grading, not after an hour of it.
static void check_output(const char *option, const std::string &path)
{
    std::string why = path.empty() ? "" : grade_output_refusal(path);
    if (!why.empty())
        refuse(std::string(option) + " " + path + ": " + why);
}

static void check_keep_dir(const std::string &path)
{
    struct stat st;
    if (!path.empty() && lstat(path.c_str(), &st) == 0)
        refuse("--keep " + path + ": it exists already; the runs are kept in a new directory");
}

static bool write_html(const std::string &path, const std::vector<GradeRun> &runs)
{
    std::string page = grade_html(runs);
    return plat_replace_file(path.c_str(), page.data(), page.size(), false);
}

static const char *value_of(int argc, char **argv, int &i)
{
    if (i + 1 >= argc)
        usage_error(std::string(argv[i]) + " needs a value");
    return argv[++i];
}

// "--html -s x.scn" is an option forgotten, not a file named "-s".
static std::string file_of(int argc, char **argv, int &i)
{
    const char *option = argv[i], *value = value_of(argc, argv, i);
    if (value[0] == '\0')
        usage_error(std::string(option) + " needs a file, not ''");
    if (value[0] == '-')
        usage_error(std::string(option) + " needs a file, not '" + value + "' (./" + value + " names such a file)");
    return value;
}

// Where a path leads, also for a file not made yet: its directory resolved,
// then its own name.
static std::string place_of(const std::string &path)
{
    std::string whole = absolute(path);
    size_t slash = whole.find_last_of('/');
    std::string dir = whole.substr(0, slash), name = whole.substr(slash + 1);
    char resolved[PATH_MAX];
    if (name.empty() || name == "." || name == "..")
        return realpath(whole.c_str(), resolved) ? resolved : whole;
    return (realpath(dir.empty() ? "/" : dir.c_str(), resolved) ? resolved : dir) + "/" + name;
}

static bool same_file(const std::string &a, const std::string &b)
{
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return place_of(a) == place_of(b);
}

// A report written over a scenario, a program or the other report loses it.
static void check_not_an_input(const char *option, const std::string &path, const std::vector<std::string> &inputs)
{
    for (const std::string &input : inputs)
        if (!path.empty() && same_file(path, input))
            refuse(std::string(option) + " " + path + ": the same file as " + input + ", which would be lost");
}

// The runs are kept where a report would go, or the other way round.
static void check_keep_apart(const std::string &keep, const std::vector<std::pair<const char *, std::string>> &reports)
{
    for (const auto &[option, path] : reports)
        if (!keep.empty() && !path.empty() && same_file(keep, path))
            refuse(std::string(option) + " " + path + ": the same place as --keep " + keep);
}

static long cores()
{
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : n > 256 ? 256 : n;
}

// Whether the table goes to a terminal that takes colours.
static bool colour_table()
{
    const char *no_colour = getenv("NO_COLOR");
    return isatty(STDOUT_FILENO) && !(no_colour && *no_colour);
}

// One run for each submission and scenario; a submission that did not
// compile gets its verdict for every scenario without a run.
static std::vector<GradeRun> runs_of(const std::vector<GradeSubmission> &submissions,
                                     const std::vector<std::string> &scenarios, const std::vector<GradeScenario> &read)
{
    std::vector<GradeRun> runs;
    for (const GradeSubmission &submission : submissions)
        for (size_t s = 0; s < scenarios.size(); ++s) {
            GradeRun run{};
            run.program = submission.given;
            run.scenario = scenarios[s];
            run.scenario_read = read[s];
            run.program_path = submission.program_path;
            run.scenario_path = absolute(scenarios[s]);
            run.source = submission.source;
            run.compiled = !submission.source || submission.compiled;
            run.sanitized = submission.sanitized;
            run.compiler_messages = submission.compiler_messages;
            run.verdict = run.compiled ? VERDICT_NOT_RUN : VERDICT_NOT_COMPILED;
            runs.push_back(run);
        }
    return runs;
}

// The runs still to go: those whose program was there or was built.
static bool run_compiled(std::vector<GradeRun> &runs, GradeOptions &options, std::string &error)
{
    std::vector<GradeRun> going;
    for (const GradeRun &run : runs)
        if (run.compiled)
            going.push_back(run);
    bool graded = going.empty() || grade_runs(going, options, error);
    size_t next = 0;
    for (GradeRun &run : runs)
        if (run.compiled)
            run = going[next++];
    return graded;
}

// Sources are built where the runs will be kept, or in a directory of
// their own removed at the end.
static bool compile_sources(std::vector<GradeSubmission> &submissions, GradeOptions &options, std::string &base,
                            std::string &error)
{
    if (std::none_of(submissions.begin(), submissions.end(), [](const GradeSubmission &s) { return s.source; }))
        return true;
    GradeOptions for_base = options;
    if (!grade_make_base(options.keep_dir.empty() ? for_base : options, base, error))
        return false;
    bool compiled = grade_compile(submissions, options, base, error);
    for (GradeSubmission &s : submissions)
        for (const std::string &flag : {options.c_flags, options.cxx_flags})
            s.sanitized = s.sanitized || (s.source && flag.find("-fsanitize=address") != std::string::npos);
    return compiled;
}

static void remove_builds(const std::string &base, const GradeOptions &options)
{
    std::string failed;
    if (!base.empty() && options.keep_dir.empty() && !tree_remove(base, failed))
        say("left behind, cannot be removed: " + failed);
}

// How sources are compiled: options that take their text as given.
static std::string *compiler_option(GradeOptions &options, const std::string &arg)
{
    const std::pair<const char *, std::string *> texts[] = {
        {"--cc", &options.cc},           {"--cxx", &options.cxx},         {"--c-std", &options.c_std},
        {"--cxx-std", &options.cxx_std}, {"--cflags", &options.c_flags}, {"--cxxflags", &options.cxx_flags}};
    for (const auto &[name, text] : texts)
        if (arg == name)
            return text;
    return nullptr;
}

int main(int argc, char **argv)
{
    GradeOptions options = {(int)cores(), 10, "", "0,0,0", ""};
    grade_default_compilers(options);
    std::vector<std::string> scenarios, positional;
    std::string html_path;
    bool scenario_option = false, jobs_given = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            fputs(usage, stdout);
            return STATUS_ALL_PASSED;
        } else if (arg == "--version") {
            printf("wena-grade %s\n", WENA_VERSION);
            return STATUS_ALL_PASSED;
        } else if (arg == "-s" || arg == "--scenario") {
            scenarios.push_back(file_of(argc, argv, i));
            scenario_option = true;
        } else if (arg == "-j" || arg == "--jobs") {
            options.jobs = whole_number("--jobs", value_of(argc, argv, i), 1, 256);
            jobs_given = true;
        } else if (arg == "-t" || arg == "--time-limit") {
            options.time_limit_s = whole_number("--time-limit", value_of(argc, argv, i), 1, 86400);
        } else if (arg == "--junit") {
            options.junit_path = file_of(argc, argv, i);
        } else if (arg == "--html") {
            html_path = file_of(argc, argv, i);
        } else if (arg == "--ini") {
            options.ini_text = read_ini(file_of(argc, argv, i));
        } else if (arg == "--keep") {
            options.keep_dir = absolute(file_of(argc, argv, i));
        } else if (arg == "--memory") {
            options.memory_mib = whole_number("--memory", value_of(argc, argv, i), 0, 1 << 20);
        } else if (arg == "--cpu") {
            options.cpu_s = whole_number("--cpu", value_of(argc, argv, i), 0, 86400);
        } else if (arg == "--processes") {
            options.processes = whole_number("--processes", value_of(argc, argv, i), 1, 4096);
        } else if (arg == "--write-limit") {
            options.write_mib = whole_number("--write-limit", value_of(argc, argv, i), 1, 1 << 20);
        } else if (arg == "--no-sandbox") {
            options.sandbox = false;
        } else if (std::string *text = compiler_option(options, arg)) {
            *text = value_of(argc, argv, i);
        } else if (arg == "--compile-time") {
            options.compile_time_s = whole_number("--compile-time", value_of(argc, argv, i), 1, 86400);
        } else if (arg == "--") {
            positional.insert(positional.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage_error("unknown option " + arg);
        } else {
            // Options end at the first file: a submission named --no-sandbox is a program.
            positional.insert(positional.end(), argv + i, argv + argc);
            break;
        }
    }
    std::vector<std::string> programs = positional;
    if (!scenario_option) {
        if (positional.size() < 2)
            usage_error("a program and at least one scenario are needed");
        programs.assign(positional.begin(), positional.begin() + 1);
        scenarios.assign(positional.begin() + 1, positional.end());
    } else if (programs.empty()) {
        usage_error("at least one program is needed");
    }

    std::string error;
    std::vector<GradeScenario> read;
    std::vector<GradeSubmission> submissions;
    if (!grade_check_inputs(programs, scenarios, submissions, read, error))
        refuse(error);
    bool sources = std::any_of(submissions.begin(), submissions.end(), [](const GradeSubmission &s) { return s.source; });
    std::string include_dir, archive;
    if (sources && (!grade_check_compilers(options, error) || !grade_find_library(include_dir, archive, error)))
        refuse(error);
    options.compile_jobs = jobs_given ? options.jobs : (int)cores();
    check_output("--junit", options.junit_path);
    check_output("--html", html_path);
    std::vector<std::string> inputs = scenarios;
    inputs.insert(inputs.end(), programs.begin(), programs.end());
    check_not_an_input("--junit", options.junit_path, inputs);
    inputs.push_back(options.junit_path);
    check_not_an_input("--html", html_path, inputs);
    check_keep_dir(options.keep_dir);
    check_keep_apart(options.keep_dir, {{"--junit", options.junit_path}, {"--html", html_path}});
    cgroup_enter_scope(argv);
    // Without the sandbox every run goes as the teacher: only when asked.
    std::string unsandboxed = options.sandbox ? grade_sandbox_missing() : "--no-sandbox was given";
    if (options.sandbox && !unsandboxed.empty()) {
        say(unsandboxed);
        fputs("--no-sandbox runs the programs without it, as you, seeing all you see\n", stderr);
        exit(STATUS_CANNOT_GRADE);
    }
    std::string builds;
    show_progress_line = isatty(STDERR_FILENO);
    if (!compile_sources(submissions, options, builds, error)) {
        if (show_progress_line)
            fprintf(stderr, "\r\x1b[K");
        remove_builds(builds, options);
        refuse(error);
    }
    std::vector<GradeRun> runs = runs_of(submissions, scenarios, read);
    std::string ungrouped = cgroup_prepare();
    // A sandbox's set-up and tear-down mostly wait on the kernel, not the CPU.
    if (options.sandbox && !jobs_given)
        options.jobs = (int)std::min(256L, 4 * cores());
    bool graded = run_compiled(runs, options, error);
    cgroup_finish();
    remove_builds(builds, options);
    if (show_progress_line)
        fprintf(stderr, "\r\x1b[K");
    fputs(grade_table(runs, colour_table()).c_str(), stdout);
    size_t passed = 0;
    for (const GradeRun &run : runs)
        passed += run.verdict == VERDICT_PASSED;
    printf("%zu of %zu runs passed\n", passed, runs.size());
    if (!unsandboxed.empty())
        printf("runs were not sandboxed: %s\n", grade_shown(unsandboxed).c_str());
    if (!ungrouped.empty())
        printf("runs had no control group of their own, only limits of each process: %s\n",
               grade_shown(ungrouped).c_str());
    fflush(stdout);
    if (!options.junit_path.empty() && !grade_write_junit(options.junit_path, runs)) {
        say(options.junit_path + ": " + strerror(errno));
        return STATUS_CANNOT_GRADE;
    }
    if (!html_path.empty() && !write_html(html_path, runs)) {
        say(html_path + ": " + strerror(errno));
        return STATUS_CANNOT_GRADE;
    }
    if (!graded) {
        say(error);
        return STATUS_CANNOT_GRADE;
    }
    return passed == runs.size() ? STATUS_ALL_PASSED : STATUS_SOME_FAILED;
}
