// wena-grade: compiles students' sources, runs board programs against
// scenarios, each run in its own empty directory with its own WENA.ini,
// several at once, each within a wall-clock limit; then a table of verdicts
// and scores and, if asked, a JUnit report and a page.
#pragma once

#include <memory>
#include <string>
#include <vector>

enum Verdict {
    VERDICT_PASSED,
    VERDICT_FAILED,       // a check did not hold
    VERDICT_TIMED_OUT,    // a wait or a bound of the run was reached
    VERDICT_ENDED_EARLY,  // the program ended before the last step
    VERDICT_MALFORMED,    // the scenario could not be read
    VERDICT_DUMP_FAILED,
    VERDICT_HUNG,         // killed at the wall-clock limit
    VERDICT_CRASHED,      // ended by a signal
    VERDICT_CANNOT_RUN,
    VERDICT_OTHER_STATUS,
    VERDICT_NOT_RUN,      // the grading was cut short first
    VERDICT_OVER_LIMIT,   // stopped at a limit on CPU time or bytes written
    VERDICT_INTERFERED,   // the program broke the grader's link to its run
    VERDICT_CANNOT_START, // the grader could not start it, twice
    VERDICT_NOT_COMPILED, // the student's sources did not compile
    VERDICT_COUNT
};

// A scenario as the grader read it, once, before any run: every run of it
// gets this text, and a pass counts for it only with all its checks held.
struct GradeScenario {
    std::shared_ptr<const std::string> text;
    int checks;
};

// What a student handed in, as named on the command line: a program, a
// .c or .cpp file, or a directory of sources.
struct GradeSubmission {
    std::string given;
    std::string program_path;          // absolute; for sources, the program built
    bool source = false;
    bool given_is_dir = false;
    std::string source_dir;            // absolute: the directory compiled in
    std::vector<std::string> files;    // the sources, by their names in source_dir
    bool compiled = false;
    std::string compiler_messages;     // errors, or the warnings of a build that worked
    bool sanitized = false;            // built with AddressSanitizer
};

struct GradeRun {
    std::string program, scenario;            // as given on the command line
    std::string program_path, scenario_path;  // absolute
    // For a submission of sources: whether it compiled, and what the
    // compiler said (errors, or the warnings of a build that worked).
    bool source = false;
    bool compiled = true;
    bool sanitized = false;
    std::string compiler_messages;
    GradeScenario scenario_read;
    long long memory_mib = 0;  // the limit it ran under, for a hint when it could not start
    // What happened.
    int status;            // exit status, or -1 when ended by a signal
    int signal;
    bool killed_at_limit;
    std::string err;       // the program's standard error (its tail)
    double seconds;
    // What it means.
    Verdict verdict;
    std::string where;     // "scenario:line" of the first failing step
    std::string expected, seen, message;
    std::string screen;    // the board's last picture when the run did not pass, as checked HTML rows, or ""
    std::string trace;     // the ports' trace of a run that did not pass, or ""
    // The scenario run's own verdict, sent once on the grader's channel.
    bool decided = false;
    int decided_status = 0;
    std::string decided_message;
    bool over_write_limit = false;  // stopped for writing too much
    bool sandboxed = false;         // exit statuses above 128 came from bubblewrap
    bool out_of_memory = false;     // the kernel killed a process of it for the run's memory
    std::string start_failure;      // why the grader could not start it, or ""
    int tries = 0;
};

struct GradeOptions {
    int jobs;
    int time_limit_s;
    std::string junit_path;
    std::string ini_text;   // the WENA.ini each run starts with
    std::string keep_dir;   // keep the run directories here; "" removes them
    // Limits of every run; 0 leaves memory and CPU time unbounded.
    bool sandbox = true;            // bubblewrap; refused when it does not work
    long long memory_mib = 1024;    // address space
    int processes = 64;             // at once, for each run going at once
    int cpu_s = 10;
    long long write_mib = 64;       // bytes in files, over the whole run
    bool keep_dir_made = false;     // --keep's directory was made by this grading already
    // How sources are compiled; flags split at spaces.
    std::string cc = "cc", cxx = "c++";
    std::string c_std = "c11", cxx_std = "c++20";
    std::string c_flags = "-O2 -Wall -Wextra", cxx_flags = "-O2 -Wall -Wextra";
    int compile_time_s = 60;        // real seconds for one student's build
    int compile_jobs = 1;           // builds at once
};

// Where --keep keeps the HTML picture of a run's screen when it did not pass,
// beside the run's directory ("3-leds-leds.scn-Xq81zA-failure-screen.html").
inline constexpr const char *GRADE_SCREEN_FILE = "failure-screen.html";
// Why runs cannot go into bubblewrap's sandbox here, or "" when they can.
std::string grade_sandbox_missing();

// Refuses, with a message, a submission that is neither a program nor
// sources, or a scenario that cannot be read or parsed or has no check, or
// is a submission itself, before anything runs; fills submissions and
// read with what each is.
bool grade_check_inputs(const std::vector<std::string> &programs, const std::vector<std::string> &scenarios,
                        std::vector<GradeSubmission> &submissions, std::vector<GradeScenario> &read,
                        std::string &error);

// Whether a path names sources by its name: a .c or .cpp file.
bool grade_source_name(const std::string &path);

// The compilers and flags by default: those that built the library.
void grade_default_compilers(GradeOptions &options);

// Where the library's header and archive are, installed beside this
// program or in the build tree it came from; false, with why, when neither.
bool grade_find_library(std::string &include_dir, std::string &archive, std::string &why);

// Refuses, with a message, a compiler that cannot be found, or that the
// box would not see.
bool grade_check_compilers(GradeOptions &options, std::string &error);

// Compiles every submission of sources, several at once, each in a box of
// its own like the runs'; false, with a message, only when the compiling
// itself cannot be done (no directory for the builds). base is where the
// builds go, made anew.
bool grade_compile(std::vector<GradeSubmission> &submissions, const GradeOptions &options, const std::string &base,
                   std::string &error);

// Called by grade_compile as builds end.
void grade_compile_progress(int built, int total);

// The compiler's first error, for a line of the table.
std::string grade_first_error(const std::string &messages);

// A name a student chose, as one piece of a directory's name: its letters
// (kanji too) kept, anything else that a path or a shell would take
// otherwise made '_'.
std::string grade_plain_name(const std::string &path);

// Text from a program, safe to print on a terminal: control characters,
// bidirectional controls and bytes that are no UTF-8 shown as escapes.
std::string grade_shown(const std::string &text);

// Characters that reorder the text around them (U+202E and the like).
bool grade_bidi_control(unsigned code);

// Runs every run, at most options.jobs at once; false, with a message, when
// the grading itself cannot go on (no directory for the runs).
bool grade_runs(std::vector<GradeRun> &runs, GradeOptions &options, std::string &error);

// The directory that holds a grading's builds and runs: --keep's, made
// once, or a new one in TMPDIR.
bool grade_make_base(GradeOptions &options, std::string &base, std::string &error);

// Called by grade_runs as runs start and end.
void grade_progress(int done, int total, int failed, int running);

// Reads the verdict from the exit status and the scenario run's message.
void grade_judge(GradeRun &run);

const char *grade_verdict_name(Verdict verdict);

// colour: the verdicts in the page's colours, for a terminal.
std::string grade_table(const std::vector<GradeRun> &runs, bool colour = false);

// Scenarios passed out of all of a program's, as "2/3".
std::string grade_score(const std::vector<GradeRun> &runs, const std::string &program);

// False, with errno set, when the file cannot be written.
bool grade_write_junit(const std::string &path, const std::vector<GradeRun> &runs);

// The length of the UTF-8 character at text[i], with its code point, or 0
// when the bytes there are no character.
size_t grade_utf8_char(const std::string &text, size_t i, unsigned *code);

// The screen picture a run sent, its rows checked cell by cell and written
// anew with everything escaped; "" when there is none or it is not such a
// picture.
std::string grade_checked_screen(const std::string &picture);

// The picture a run kept last in the grader's memory file, its cells
// checked and drawn as checked HTML rows; "" when it kept none or the bytes
// are no such picture.
std::string grade_kept_screen(const std::string &bytes);

// Checked rows as a page of their own, for --keep.
std::string grade_screen_page(const std::string &rows);

// The class as one self-contained HTML page: a grid of programs and
// scenarios by verdict, then every run that did not pass with its screen.
std::string grade_html(const std::vector<GradeRun> &runs);

// The ports over a run, from the trace the scenario run wrote, as an SVG
// drawing whose end is marked with end_label; "" when there is no trace.
std::string grade_timing_svg(const std::string &vcd, const std::string &end_label);

// Text from anywhere made safe for HTML: markup characters escaped, and
// control characters and bytes that are no UTF-8 shown as \xNN.
std::string grade_html_text(const std::string &text);

// Why wena-grade will not write a report at path ("" when it will): the
// report replaces a regular file or goes to a device; a directory, a FIFO
// or a socket is refused, before any run.
std::string grade_output_refusal(const std::string &path);

// Reads a small input file (at most limit bytes); false, with why, for a
// directory, a FIFO or anything else that is not a regular file.
bool grade_read_input(const std::string &path, size_t limit, std::string &text, std::string &why);

// path from the current directory, when it is relative.
std::string grade_absolute(const std::string &path);
