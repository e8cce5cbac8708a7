// Scripted runs: a scenario named by WENA_SCENARIO types keys, waits, checks
// and dumps in place of a person, on a virtual clock; WENA_RECORD writes a
// live session's keys as a scenario that replays it exactly.
#pragma once

#include <string>

// Exit statuses of a scenario run; the program's own quit key still gives 1.
enum {
    SCENARIO_PASSED = 0,
    SCENARIO_CHECK_FAILED = 3,
    SCENARIO_TIME_LIMIT = 4,
    SCENARIO_MALFORMED = 5,
    SCENARIO_DUMP_FAILED = 6,
    SCENARIO_ENDED_EARLY = 7,
    SCENARIO_LINK_LOST = 8  // the program closed a descriptor the grader gave it
};

// True while a scenario or a recording needs to see every poll. Without
// either, a poll pays for nothing more than this flag.
extern bool scenario_hooks;

// Reads the environment once, at the program's first poll or pause.
void scenario_begin();

// At the first layout, after WENA.ini was read: a scenario may set the
// starting boards, and a recording writes them at its top.
struct BoardSelection;
void scenario_starting_boards(BoardSelection *selection);

// At the start of each poll: the clock moves on and due steps are carried out.
void scenario_on_poll();

// A poll has read this key.
void scenario_on_key(int key);

// A pause of the program; false when no scenario runs and the pause is real.
bool scenario_sleep(unsigned ms);

// The trace could not be written whole: a scenario run ends with status 6,
// any other run says so when the terminal is given back.
void scenario_trace_failed(const std::string &why);

// The program's clock in microseconds: the virtual clock in a scenario run,
// else real time since the first poll or pause.
long long scenario_clock_us();
