// A scenario: plain-text steps, one a line, that drive a board program in
// place of a person. Parsed whole before the run starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum ConditionKind { COND_REGISTER, COND_LCD, COND_SCREEN, COND_BOARDS };

enum { REG_PDR5, REG_PDR8, REG_ADDA, REG_ADDB, REG_ADDC, REG_ADDD };

struct ScenarioCondition {
    ConditionKind kind;
    bool negated;          // != instead of ==
    int reg;               // REG_*
    bool masked;
    uint32_t mask, value;
    int base, mask_base;   // 10, 16 or 2, as written: what was seen is told alike
    int lcd_line;
    bool contains;         // lcd line contains the text, rather than equals it
    int x, y;              // screen position
    std::string text;      // UTF-8
    int attr;              // -1 when the condition names no attribute
    int kinds[3];          // input, output, analog
};

enum StepKind { STEP_KEYS, STEP_WAIT, STEP_WAIT_UNTIL, STEP_CHECK, STEP_DUMP, STEP_KEY_AT_POLL, STEP_START_BOARDS };
enum DumpKind { DUMP_SCREEN, DUMP_HTML, DUMP_LCD };

struct ScenarioStep {
    StepKind kind;
    int line;              // line number in the file, for messages
    std::string source;    // the line as written
    std::string keys;      // STEP_KEYS, STEP_KEY_AT_POLL
    long long ms;          // STEP_WAIT; the time limit of STEP_WAIT_UNTIL
    long long poll;        // STEP_KEY_AT_POLL
    ScenarioCondition cond;
    DumpKind dump;
    std::string path;
    int boards[3];         // STEP_START_BOARDS: input, output, analog
};

// Parses a whole scenario text (a UTF-8 byte-order mark at its top is
// skipped). On a malformed line, or bytes that are no UTF-8, gives false and
// a message naming the line, what is wrong and what would be taken.
bool script_parse(const std::string &text, std::vector<ScenarioStep> &steps, std::string &error);

// The checks a run that passes has held: every check, and every wait until
// (a check that may wait). A scenario run and the grader count alike.
int script_check_count(const std::vector<ScenarioStep> &steps);

// The name a key has in a scenario ("space", "I", "code 7").
std::string script_key_name(int key);

enum { DEFAULT_WAIT_LIMIT_MS = 10000 };
