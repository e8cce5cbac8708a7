// Carries out a scenario's steps between the program's polls and pauses, on
// a virtual clock: a pause returns at once and moves the clock on, and each
// poll costs a little time, so a program that only polls still gets on.
#include "scenario/conditions.h"
#include "scenario/dump.h"
#include "scenario/scenario.h"
#include "scenario/script.h"

#include "console/con.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

enum {
    POLL_COST_US = 100,
    UNREAD_KEY_LIMIT_MS = 10000  // a program that stops polling never reads typed keys
};

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
    std::string verdict;          // printed once the terminal is given back
    FILE *record;
    std::string dump_at_exit;
};

}  // namespace

static ScriptRun run = {false, false, "", {}, 0, false, 0, -1, 0, {0, 0}, 0, 0, "", nullptr, ""};

bool scenario_hooks;

static long long real_us()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - run.started.tv_sec) * 1000000LL + (now.tv_nsec - run.started.tv_nsec) / 1000;
}

static long long now_us() { return run.realtime ? real_us() : run.virtual_us; }

static std::string where(const ScenarioStep &step)
{
    return run.path + ":" + std::to_string(step.line) + ": ";
}

static void finish(int status, const std::string &message)
{
    run.verdict = message;
    run.active = false;
    exit(status);
}

static void print_verdict_at_exit()
{
    if (run.active && run.next < run.steps.size()) {
        const ScenarioStep &step = run.steps[run.next];
        run.verdict = where(step) + "the program ended before this step: " + step.source;
    }
    if (!run.verdict.empty())
        fprintf(stderr, "%s\n", run.verdict.c_str());
    if (!run.dump_at_exit.empty())
        dump_text(run.dump_at_exit.c_str());
    if (run.record)
        fclose(run.record);
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
    if (!written)
        finish(SCENARIO_DUMP_FAILED, where(step) + "cannot write '" + step.path + "': " + strerror(errno));
    return true;
}

// Carries out the current step; false when it must wait for a later poll.
static bool carry_out(const ScenarioStep &step)
{
    std::string seen;
    switch (step.kind) {
    case STEP_KEYS:
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
            return true;
        }
        if (deadline_passed(step))
            finish(SCENARIO_TIME_LIMIT, where(step) + step.source + ": not met within " +
                                            std::to_string(step.ms) + " ms; seen " + seen);
        return false;
    case STEP_CHECK:
        if (!condition_holds(step.cond, seen))
            finish(SCENARIO_CHECK_FAILED, where(step) + "failed: " + step.source + "; seen " + seen);
        ++run.checks_held;
        return true;
    case STEP_DUMP:
        return dump(step);
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
        finish(SCENARIO_PASSED, run.path + ": passed, " + std::to_string(run.checks_held) + " checks held");
}

static bool read_file(const std::string &path, std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

static void start_scenario(const char *path)
{
    run.path = path;
    std::string text, error;
    if (!read_file(path, text)) {
        fprintf(stderr, "%s: cannot read the scenario: %s\n", path, strerror(errno));
        exit(SCENARIO_MALFORMED);
    }
    if (!script_parse(text, run.steps, error)) {
        fprintf(stderr, "%s:%s\n", path, error.c_str());
        exit(SCENARIO_MALFORMED);
    }
    const char *realtime = getenv("WENA_REALTIME");
    run.realtime = realtime && *realtime && strcmp(realtime, "0") != 0;
    run.active = true;
    con_use_keyboard(false);
}

static void start_recording(const char *path)
{
    run.record = fopen(path, "wb");
    if (!run.record) {
        fprintf(stderr, "%s: cannot record: %s\n", path, strerror(errno));
        return;
    }
    fprintf(run.record, "# wena recording: replay it with WENA_SCENARIO=%s\n"
                        "# each key comes at the poll at which the program read it\n", path);
    fflush(run.record);
}

void scenario_begin()
{
    static bool begun;
    if (begun)
        return;
    begun = true;
    clock_gettime(CLOCK_MONOTONIC, &run.started);
    const char *scenario = getenv("WENA_SCENARIO");
    const char *record = getenv("WENA_RECORD");
    const char *dump_at_exit = getenv("WENA_DUMP_AT_EXIT");
    if (scenario && *scenario)
        start_scenario(scenario);
    else if (record && *record)
        start_recording(record);
    if (dump_at_exit && *dump_at_exit)
        run.dump_at_exit = dump_at_exit;
    // Registered before the console takes the terminal, so it runs after the
    // terminal has been given back.
    atexit(print_verdict_at_exit);
    scenario_hooks = run.active || run.record;
}

void scenario_on_poll()
{
    ++run.polls;
    if (!run.active)
        return;
    run.virtual_us += POLL_COST_US;
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

bool scenario_sleep(unsigned ms)
{
    scenario_begin();
    if (!run.active)
        return false;
    if (run.realtime)
        con_sleep_ms(ms);
    else
        run.virtual_us += ms * 1000LL;
    advance();
    return true;
}
