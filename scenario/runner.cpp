// Carries out a scenario's steps between the program's polls and pauses, on
// a virtual clock: a pause returns at once and moves the clock on, and each
// poll costs a little time, so a program that only polls still gets on.
#include "scenario/conditions.h"
#include "scenario/dump.h"
#include "scenario/scenario.h"
#include "scenario/script.h"
#include "scenario/trace.h"
#include "scenario/verdict.h"

#include "board/kinds.h"
#include "board/layout.h"
#include "board/settings.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>
#include <system_error>
#include <thread>
#include <unistd.h>

enum {
    POLL_COST_US = 100,
    UNREAD_KEY_LIMIT_MS = 10000,  // a program that stops polling never reads typed keys
    SCENARIO_SIZE_LIMIT = 4 << 20,
    ENDING_GRACE_S = 3  // for the ending of a hung run, before it is cut short
};

// Bounds of a whole run, so that no scenario runs for days; each can be
// changed in the environment.
static const long long DEFAULT_TIME_LIMIT_S = 3600;    // WENA_TIME_LIMIT, the program's seconds
static const long long DEFAULT_POLL_LIMIT = 100000000;  // WENA_POLL_LIMIT
static const long long DEFAULT_WATCHDOG_S = 10;         // WENA_WATCHDOG, real seconds without a poll

namespace {

// One per process: the scenario or recording of this run.
struct ScriptRun {
    bool active;
    bool realtime;
    std::string path;
    std::vector<ScenarioStep> steps;
    size_t next;
    bool waiting;                 // the current step has its deadline set
    long long deadline_us;
    long long keys_fed_us;        // when keys still unread were typed, or -1
    long long virtual_us;
    struct timespec started;
    long long polls;
    int checks_held;
    std::string warnings;         // about the environment, printed where they stay visible
    std::string verdict;          // printed once the terminal is given back
    int status;                   // the status finish() chose, or -1
    FILE *record;
    std::string dump_at_exit;
    std::string trace_failure;    // why the trace ended before the program
    long long time_limit_us, poll_limit, watchdog_s;
};

}  // namespace

static ScriptRun run = {false, false, "", {}, 0, false, 0, -1, 0, {0, 0}, 0, 0, "", "", -1, nullptr, "", "", 0, 0, 0};

// Real seconds since the program last polled or began a pause, counted by a
// thread of its own, so that no signal reaches the program while it runs.
static std::atomic<int> seconds_without_poll;
static std::atomic<bool> in_real_pause;
static std::atomic<bool> watchdog_fired;

bool scenario_hooks;

static long long real_us()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - run.started.tv_sec) * 1000000LL + (now.tv_nsec - run.started.tv_nsec) / 1000;
}

static long long now_us() { return run.realtime ? real_us() : run.virtual_us; }

static std::string checks_held()
{
    return std::to_string(run.checks_held) + (run.checks_held == 1 ? " check held" : " checks held");
}

static std::string where(const ScenarioStep &step)
{
    return run.path + ":" + std::to_string(step.line) + ": ";
}

// The final screen for WENA_DUMP_AT_EXIT; false, with the message added to
// the verdict, when it cannot be written.
static bool dump_at_exit()
{
    if (run.dump_at_exit.empty())
        return true;
    std::string path = run.dump_at_exit;
    run.dump_at_exit.clear();
    if (dump_text(path.c_str()))
        return true;
    int error = errno;
    run.verdict += (run.verdict.empty() ? "" : "\n") + path + ": WENA_DUMP_AT_EXIT cannot be written: " + strerror(error);
    return false;
}

// Once the run is ending, a slow final dump is no hung program.
static void stop_watchdog() { plat_every_second(nullptr); }

// The screen at the moment the run did not pass, as an HTML picture,
// wherever WENA_DUMP_ON_FAILURE names (a grader takes the picture kept
// for it instead); best effort, the verdict stays as it is. Never from a
// child the program forked: only the run's own process speaks.
static void send_failure_screen()
{
    if (!verdict_from_starter())
        return;
    const char *path = plat_getenv("WENA_DUMP_ON_FAILURE");
    if (path && *path && !dump_html(path))
        run.warnings += std::string("wena: ") + path + ": WENA_DUMP_ON_FAILURE cannot be written: " + strerror(errno) +
                        "\n";
}

static const char link_lost[] = "the program closed the descriptor the grader gave it";

// The verdict has nowhere to go: the exit status alone tells the grader why.
[[noreturn]] static void end_link_lost()
{
    plat_write_message((std::string("wena: ") + run.path + ": " + link_lost + "\n").c_str());
    fflush(nullptr);
    _exit(SCENARIO_LINK_LOST);
}

// What a step shows or records is the board as the poll leaves it: the
// output board repainted from the program's last PDR8 and the trace sampled,
// so that a picture never contradicts the check beside it. Not inside a
// board's own pause (a falling coin), whose poll is still under way.
static void board_as_poll_leaves_it()
{
    if (sim.pausing || !sim.layout_built)
        return;
    sim_refresh_output();
    if (trace_on)
        trace_poll();
}

// The picture of this moment is kept (a copy in memory), then the verdict
// goes, before any file: a picture file that cannot be written, however
// slow, never holds the verdict back.
static void finish(int status, const std::string &message)
{
    stop_watchdog();
    board_as_poll_leaves_it();
    run.verdict = message;
    run.active = false;
    if (!dump_at_exit() && status == SCENARIO_PASSED)
        status = SCENARIO_DUMP_FAILED;
    run.status = status;
    verdict_keep_picture();
    if (!verdict_send(status, run.verdict))
        end_link_lost();
    if (status != SCENARIO_PASSED)
        send_failure_screen();
    exit(status);
}

// The exit status of a scenario run cannot be changed by an exit handler
// other than by ending the process here: streams are flushed first, handlers
// registered before this one are skipped.
static void end_with(int status)
{
    plat_write_message(("wena: " + run.verdict + "\n").c_str());
    fflush(nullptr);
    _exit(status);
}

static const char *current_line()
{
    static std::string text;
    size_t step = run.next < run.steps.size() ? run.next : run.steps.size() - 1;
    text = run.steps.empty() ? run.path + ": " : where(run.steps[step]);
    return text.c_str();
}

// exit_status is what the program gave exit(), or -1 when not known.
static void verdict_at_exit(int exit_status)
{
    if (run.active && !watchdog_fired)
        stop_watchdog();
    if (!run.warnings.empty())
        plat_write_message(run.warnings.c_str());
    bool scripted = run.active || run.status >= 0;
    int override_status = -1;
    if (watchdog_fired) {
        run.verdict = current_line() +
                      std::string(in_real_pause ? "the program has been in one pause for " : "the program has not polled or paused for ") +
                      std::to_string(run.watchdog_s) + " s of real time (WENA_WATCHDOG)";
        run.status = SCENARIO_TIME_LIMIT;
    } else if (run.active && run.next < run.steps.size()) {
        const ScenarioStep &step = run.steps[run.next];
        run.verdict = where(step) + "the program ended" +
                      (exit_status >= 0 ? " with exit status " + std::to_string(exit_status) : std::string()) +
                      " before this step: " + step.source;
        override_status = SCENARIO_ENDED_EARLY;
    } else if (run.active) {
        // Said, so that a grader tells this run from one whose program ended
        // before its scenario began.
        run.verdict = run.path + ": passed, " + checks_held() + "; the program ended after the last step";
    }
    if (!dump_at_exit() && scripted && override_status < 0 && run.status <= SCENARIO_PASSED)
        override_status = SCENARIO_DUMP_FAILED;
    if (!run.trace_failure.empty()) {
        run.verdict += (run.verdict.empty() ? "" : "\n") + run.trace_failure;
        if (scripted && override_status < 0 && run.status <= SCENARIO_PASSED)
            override_status = SCENARIO_DUMP_FAILED;
    }
    // A hung run's picture was kept as the console was taken over, if the
    // program was not in the middle of painting it.
    if (scripted && !watchdog_fired)
        verdict_keep_picture();
    int status = override_status >= 0 ? override_status : run.status >= 0 ? run.status : SCENARIO_PASSED;
    if (scripted && !verdict_send(status, run.verdict)) {
        run.verdict = run.path + ": " + link_lost;
        override_status = SCENARIO_LINK_LOST;
    }
    if (scripted && status == SCENARIO_ENDED_EARLY)
        send_failure_screen();
    if (run.record)
        fclose(run.record);
    if (override_status >= 0)
        end_with(override_status);
    if (!run.verdict.empty())
        plat_write_message(("wena: " + run.verdict + "\n").c_str());
}

#ifdef __GLIBC__
static void on_program_exit(int exit_status, void *) { verdict_at_exit(exit_status); }
#else
static void on_program_exit() { verdict_at_exit(-1); }
#endif

// The bounds of a whole run: the program's time and its polls.
static void check_bounds()
{
    seconds_without_poll = 0;
    if (now_us() > run.time_limit_us)
        finish(SCENARIO_TIME_LIMIT, current_line() + std::string("the run reached its limit of ") +
                                        std::to_string(run.time_limit_us / 1000000) +
                                        " s of the program's time (WENA_TIME_LIMIT)");
    if (run.polls > run.poll_limit)
        finish(SCENARIO_TIME_LIMIT, current_line() + std::string("the run reached its limit of ") +
                                        std::to_string(run.poll_limit) + " polls (WENA_POLL_LIMIT)");
}

static bool keys_unread()
{
    if (!con_key_waiting()) {
        run.keys_fed_us = -1;
        return false;
    }
    if (now_us() - run.keys_fed_us > UNREAD_KEY_LIMIT_MS * 1000LL)
        finish(SCENARIO_TIME_LIMIT, where(run.steps[run.next - 1]) + "the program read no key for " +
                                        std::to_string(UNREAD_KEY_LIMIT_MS) + " ms");
    return true;
}

static void type_keys(const std::string &keys)
{
    con_feed_keys(keys.data(), (int)keys.size());
    run.keys_fed_us = now_us();
}

// Sets the deadline on first sight; true once it has passed.
static bool deadline_passed(const ScenarioStep &step)
{
    if (!run.waiting) {
        run.waiting = true;
        run.deadline_us = now_us() + step.ms * 1000LL;
    }
    if (now_us() < run.deadline_us)
        return false;
    run.waiting = false;
    return true;
}

static bool dump(const ScenarioStep &step)
{
    bool written = step.dump == DUMP_SCREEN ? dump_text(step.path.c_str())
                   : step.dump == DUMP_HTML ? dump_html(step.path.c_str())
                                            : dump_lcd(step.path.c_str());
    if (!written) {
        int error = errno;
        finish(SCENARIO_DUMP_FAILED, where(step) + "cannot write '" + step.path + "': " + strerror(error));
    }
    return true;
}

// The coin board loses a key read while its last pulse is still on PDR5, so
// typed keys wait for the key-free poll that ends it, as a person waits for
// the coin to land. Keys within one step still come at once.
static bool coin_pulse_up() { return sim.input_kind == IN_VMIN && PDR5 != 0; }

// An input port read with no board on it never changes: said beside what
// was seen, so that a scenario without its boards is not taken for a fault
// of the program.
static std::string missing_board(const ScenarioCondition &c)
{
    if (c.kind != COND_REGISTER)
        return "";
    const char *board = c.reg == REG_PDR5 && sim.input_kind == IN_NONE ? "input"
                        : c.reg >= REG_ADDA && sim.analog_kind == ANALOG_NONE ? "analog"
                                                                               : nullptr;
    if (!board)
        return "";
    bool started = !run.steps.empty() && run.steps[0].kind == STEP_START_BOARDS;
    return std::string(" (no ") + board + " board was plugged in" +
           (started ? "" : ": the scenario has no 'start boards' line") + ")";
}

// Carries out the current step; false when it must wait for a later poll.
static bool carry_out(const ScenarioStep &step)
{
    std::string seen;
    if (step.kind == STEP_CHECK || step.kind == STEP_WAIT_UNTIL || step.kind == STEP_DUMP)
        board_as_poll_leaves_it();
    switch (step.kind) {
    case STEP_KEYS:
        if (coin_pulse_up())
            return false;
        type_keys(step.keys);
        return true;
    case STEP_KEY_AT_POLL:
        if (run.polls < step.poll)
            return false;
        type_keys(step.keys);
        return true;
    case STEP_WAIT:
        return deadline_passed(step);
    case STEP_WAIT_UNTIL:
        if (condition_holds(step.cond, seen)) {
            run.waiting = false;
            ++run.checks_held;  // a check that may wait: counted as the grader counts it
            return true;
        }
        if (deadline_passed(step))
            finish(SCENARIO_TIME_LIMIT, where(step) + step.source + ": not met within " +
                                            std::to_string(step.ms) + " ms; seen " + seen + missing_board(step.cond));
        return false;
    case STEP_CHECK:
        if (!condition_holds(step.cond, seen))
            finish(SCENARIO_CHECK_FAILED, where(step) + "failed: " + step.source + "; seen " + seen + missing_board(step.cond));
        ++run.checks_held;
        return true;
    case STEP_DUMP:
        return dump(step);
    case STEP_START_BOARDS:
        return true;  // taken at the first layout
    }
    return true;
}

// Steps after typed keys wait until the program has read them, so that a
// check sees what the keys did.
static void advance()
{
    while (!keys_unread() && run.next < run.steps.size()) {
        if (!carry_out(run.steps[run.next]))
            return;
        ++run.next;
    }
    if (run.next == run.steps.size() && !keys_unread())
        finish(SCENARIO_PASSED, run.path + ": passed, " + checks_held());
}

static void refuse(int status, const std::string &message)
{
    verdict_send(status, message);
    plat_write_message(("wena: " + message + "\n").c_str());
    exit(status);
}

static std::string read_scenario(const char *path)
{
    std::string text, why;
    if (!plat_read_whole(path, SCENARIO_SIZE_LIMIT, text, why))
        refuse(SCENARIO_MALFORMED, std::string(path) + ": cannot read the scenario: " + why);
    return text;
}

static bool is_one_of(const char *value, const char *const *words)
{
    for (; *words; ++words)
        if (strcasecmp(value, *words) == 0)
            return true;
    return false;
}

// WENA_REALTIME: 1 (or yes, true, on) for real time; 0, no, false, off or
// empty for the virtual clock; anything else is reported and ignored.
static bool realtime_asked()
{
    static const char *const on[] = {"1", "yes", "true", "on", nullptr};
    static const char *const off[] = {"", "0", "no", "false", "off", nullptr};
    const char *value = plat_getenv("WENA_REALTIME");
    if (!value || is_one_of(value, off))
        return false;
    if (is_one_of(value, on))
        return true;
    run.warnings += std::string("wena: WENA_REALTIME='") + value +
                    "' ignored, the clock is virtual: it is 1, yes, true or on, or 0, no, false, off or empty\n";
    return false;
}

// A positive whole number from the environment, or the default with a
// warning when the value is something else.
static long long limit_from(const char *name, long long fallback)
{
    const char *value = plat_getenv(name);
    if (!value || !*value)
        return fallback;
    char *end = nullptr;
    errno = 0;
    long long n = strtoll(value, &end, 10);
    if (errno == 0 && *end == '\0' && n > 0 && value[0] >= '0' && value[0] <= '9' && n < (1LL << 40))
        return n;
    run.warnings += std::string("wena: ") + name + "='" + value + "' ignored: it is a positive whole number; " +
                    std::to_string(fallback) + " is kept\n";
    return fallback;
}

// Messages about the environment: at once when nothing will paint over them,
// else after the terminal is given back.
static void show_warnings_if_they_stay()
{
    if (run.warnings.empty() || isatty(STDOUT_FILENO))
        return;
    plat_write_message(run.warnings.c_str());
    run.warnings.clear();
}

// On a thread of its own, so that nothing waits on what the stuck program
// holds (its exit would wait on the console it is painting): the console is
// taken over and given back, the verdict told, and the process ends without
// the program's own exit handlers.
static void end_hung_run()
{
    con_take_over_for_exit();
    if (trace_on)
        trace_end();
    verdict_at_exit(-1);
    send_failure_screen();
    _exit(SCENARIO_TIME_LIMIT);
}

// Ticks are not in step with polls: the first one after a poll may come at
// once, so a whole WENA_WATCHDOG has passed only at the tick after that many.
static void on_watchdog_tick()
{
    int ticks = ++seconds_without_poll;
    long long seconds = ticks - 1;
    if (seconds == run.watchdog_s) {
        watchdog_fired = true;
        try {
            std::thread(end_hung_run).detach();
        } catch (const std::system_error &) {
            end_hung_run();
        }
    }
    if (seconds > run.watchdog_s + ENDING_GRACE_S) {
        // The ending above is stuck too.
        plat_give_back();
        static const char message[] = "wena: the program has not polled or paused (WENA_WATCHDOG)\n";
        ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
        (void)written;
        _exit(SCENARIO_TIME_LIMIT);
    }
}

// A tick a second counts the real time since the last poll or pause.
static void start_watchdog() { plat_every_second(on_watchdog_tick); }

static void start_scenario(const char *path)
{
    run.path = path;
    std::string text, error;
    if (verdict_link_broken())
        refuse(SCENARIO_LINK_LOST, std::string(path) + ": " + link_lost);
    if (!verdict_link_scenario(text))
        text = read_scenario(path);
    if (!script_parse(text, run.steps, error))
        refuse(SCENARIO_MALFORMED, std::string(path) + ":" + error);
    run.realtime = realtime_asked();
    run.time_limit_us = limit_from("WENA_TIME_LIMIT", DEFAULT_TIME_LIMIT_S) * 1000000LL;
    run.poll_limit = limit_from("WENA_POLL_LIMIT", DEFAULT_POLL_LIMIT);
    run.watchdog_s = limit_from("WENA_WATCHDOG", DEFAULT_WATCHDOG_S);
    run.active = true;
    con_on_picture_sent(verdict_keep_picture);
    settings_saving_off();
    con_use_keyboard(false);
    start_watchdog();
}

// Refused before the terminal is taken, so that the message stays. A FIFO
// with no reader fails at once rather than blocking the start.
static void start_recording(const char *path)
{
    run.record = plat_open_stream(path);
    if (!run.record) {
        int error = errno;
        refuse(SCENARIO_DUMP_FAILED, std::string(path) + ": WENA_RECORD cannot be written: " + strerror(error));
    }
    fprintf(run.record, "# wena recording: replay it with WENA_SCENARIO=%s\n"
                        "# each key comes at the poll at which the program read it\n", path);
    fflush(run.record);
}

// Virtual from the scenario's start to the program's end, also once the run
// has finished.
static bool clock_is_virtual;

static void start_trace()
{
    clock_is_virtual = run.active && !run.realtime;
    const char *clock = clock_is_virtual ? "the virtual clock of the scenario run"
                                         : "real time since the program's first poll or pause";
    if (!trace_begin(clock)) {
        int error = errno;
        refuse(SCENARIO_DUMP_FAILED,
               std::string(plat_getenv("WENA_TRACE")) + ": WENA_TRACE cannot be written: " + strerror(error));
    }
}

void scenario_trace_failed(const std::string &why)
{
    if (run.trace_failure.empty())
        run.trace_failure = why;
}

// A trace that cannot be written whole ends a scenario run at once, as a
// dump that cannot be written does.
static void stop_on_trace_failure()
{
    if (run.trace_failure.empty())
        return;
    std::string why = run.trace_failure;
    run.trace_failure.clear();
    finish(SCENARIO_DUMP_FAILED, current_line() + why);
}

long long scenario_clock_us() { return clock_is_virtual ? run.virtual_us : real_us(); }

// Whether an output names a file the run reads; the reason when it does.
static std::string input_named_by(const char *output)
{
    if (run.active && plat_same_file(output, run.path.c_str()))
        return "it is the scenario itself";
    if (plat_same_file(output, "WENA.ini"))
        return "it is WENA.ini, which the board starts from";
    if (plat_names_the_console(output))
        return "it is the console the board is drawn on";
    return "";
}

static void refuse_over_input(const char *output, const std::string &what)
{
    std::string why = output && *output ? input_named_by(output) : "";
    if (!why.empty())
        refuse(SCENARIO_DUMP_FAILED, std::string(output) + ": " + what + " cannot be written: " + why);
}

// Refused before anything is written: an output over an input would destroy it.
static void refuse_outputs_over_inputs(const char *record, const char *dump_at_exit)
{
    refuse_over_input(record, "WENA_RECORD");
    refuse_over_input(dump_at_exit, "WENA_DUMP_AT_EXIT");
    refuse_over_input(plat_getenv("WENA_TRACE"), "WENA_TRACE");
    for (const ScenarioStep &step : run.steps) {
        std::string why = step.kind == STEP_DUMP ? input_named_by(step.path.c_str()) : "";
        if (!why.empty())
            refuse(SCENARIO_DUMP_FAILED, where(step) + "cannot write '" + step.path + "': " + why);
    }
}

void scenario_begin()
{
    static bool begun;
    if (begun)
        return;
    begun = true;
    clock_gettime(CLOCK_MONOTONIC, &run.started);
    const char *scenario = plat_getenv("WENA_SCENARIO");
    const char *record = plat_getenv("WENA_RECORD");
    const char *dump_at_exit = plat_getenv("WENA_DUMP_AT_EXIT");
    if (scenario && *scenario && record && *record)
        refuse(SCENARIO_MALFORMED, "WENA_RECORD and WENA_SCENARIO cannot be used together: a replay records nothing new");
    if (dump_at_exit && *dump_at_exit && !plat_file_writable(dump_at_exit)) {
        int error = errno;
        refuse(SCENARIO_DUMP_FAILED, std::string(dump_at_exit) + ": WENA_DUMP_AT_EXIT cannot be written: " + strerror(error));
    }
    if (scenario && *scenario)
        start_scenario(scenario);
    refuse_outputs_over_inputs(record, dump_at_exit);
    if (record && *record && !run.active)
        start_recording(record);
    if (dump_at_exit && *dump_at_exit)
        run.dump_at_exit = dump_at_exit;
    start_trace();
    show_warnings_if_they_stay();
    // Registered before the console takes the terminal, so it runs after the
    // terminal has been given back.
#ifdef __GLIBC__
    on_exit(on_program_exit, nullptr);
#else
    atexit(on_program_exit);
#endif
    // Ahead of the verdict, which may end the process at once.
    if (trace_on)
        atexit(trace_end);
    scenario_hooks = run.active || run.record;
}

// A hand-edited WENA.ini may hold a number with no board. Its slot is empty,
// but the keys step on from the number, so the replay must start from it.
static std::string kind_word(int slot, int kind)
{
    const char *name = board_kind_name(slot, kind);
    return name ? name : std::to_string(kind);
}

void scenario_starting_boards(BoardSelection *selection)
{
    if (run.active && !run.steps.empty() && run.steps[0].kind == STEP_START_BOARDS) {
        *selection = BoardSelection{run.steps[0].boards[0], run.steps[0].boards[1], run.steps[0].boards[2]};
        run.next = 1;
    }
    if (run.record) {
        fprintf(run.record, "start boards %s %s %s\n", kind_word(SLOT_INPUT, selection->input).c_str(),
                kind_word(SLOT_OUTPUT, selection->output).c_str(), kind_word(SLOT_ANALOG, selection->analog).c_str());
        fflush(run.record);
    }
}

// A program that comes back after the watchdog fired waits for the end that
// is under way, rather than carry on with steps the verdict no longer sees.
static void wait_if_ending()
{
    while (watchdog_fired)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

void scenario_on_poll()
{
    wait_if_ending();
    ++run.polls;
    if (!run.active)
        return;
    run.virtual_us += POLL_COST_US;
    check_bounds();
    stop_on_trace_failure();
    advance();
}

void scenario_on_key(int key)
{
    if (!run.record)
        return;
    fprintf(run.record, "at poll %lld key %s   # %.3f s\n", run.polls, script_key_name(key).c_str(),
            (double)real_us() / 1e6);
    fflush(run.record);
}

// A real pause ends at the run's time limit, so that the check after it ends
// the run on time.
static void real_pause(unsigned ms)
{
    long long left_ms = (run.time_limit_us - now_us()) / 1000 + 1;
    seconds_without_poll = 0;
    in_real_pause = true;
    con_sleep_ms(left_ms < 0 ? 0 : left_ms < ms ? (unsigned)left_ms : ms);
    in_real_pause = false;
}

bool scenario_sleep(unsigned ms)
{
    scenario_begin();
    wait_if_ending();
    if (!run.active)
        return false;
    if (run.realtime)
        real_pause(ms);
    else
        run.virtual_us += ms * 1000LL;
    check_bounds();
    stop_on_trace_failure();
    // Steps start once the board is laid out, never against an empty screen,
    // and wait out the board's own pauses inside a poll (a falling coin):
    // they belong to the program's polls and pauses.
    if (sim.layout_built && !sim.pausing)
        advance();
    return true;
}
