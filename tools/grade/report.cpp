// Verdicts from the scenario run's own word on the grader's channel, or from
// how the run ended when it sent none; the table a teacher reads and the
// JUnit XML that CI servers and autograders read.
#include "tools/grade/grade.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <locale.h>

enum {
    STATUS_PASSED = 0,
    STATUS_CHECK_FAILED = 3,
    STATUS_TIME_LIMIT = 4,
    STATUS_MALFORMED = 5,
    STATUS_DUMP_FAILED = 6,
    STATUS_ENDED_EARLY = 7,
    STATUS_LINK_LOST = 8,
    STATUS_CANNOT_RUN = 127,
    SMALL_MEMORY_MIB = 64,  // below it, a program may not even start
    FIRST_ERROR_BYTES = 200
};

static const char *const verdict_names[] = {"passed",  "failed", "timed out",  "ended early", "malformed",
                                            "dump failed", "hung", "crashed", "cannot run",  "exit", "not run",
                                            "over limit", "interfered", "cannot start", "did not compile"};
static_assert(sizeof verdict_names / sizeof verdict_names[0] == VERDICT_COUNT, "a name for every verdict");

static const char link_lost[] = "the program closed the descriptor the grader gave it";

const char *grade_verdict_name(Verdict verdict) { return verdict_names[verdict]; }

// "12: failed: check PDR8 == 3; seen PDR8 = 0x05" and the like.
static void read_message(GradeRun &run, const std::string &line)
{
    size_t digits = line.find_first_not_of("0123456789");
    std::string rest = line;
    if (digits != 0 && digits != std::string::npos && line[digits] == ':') {
        run.where = run.scenario + ":" + line.substr(0, digits);
        rest = line.substr(digits + 1);
    }
    if (!rest.empty() && rest[0] == ' ')
        rest.erase(0, 1);
    size_t seen = rest.find("; seen ");
    if (seen == std::string::npos) {
        run.message = rest;
        return;
    }
    run.expected = rest.substr(0, seen);
    run.seen = rest.substr(seen + 7);
    if (run.expected.rfind("failed: ", 0) == 0)
        run.expected.erase(0, 8);
    size_t not_met = run.expected.find(": not met within ");
    if (not_met != std::string::npos) {
        run.message = run.expected.substr(not_met + 2);
        run.expected.erase(not_met);
    }
}

static Verdict verdict_of_status(int status)
{
    switch (status) {
    case STATUS_PASSED: return VERDICT_PASSED;
    case STATUS_CHECK_FAILED: return VERDICT_FAILED;
    case STATUS_TIME_LIMIT: return VERDICT_TIMED_OUT;
    case STATUS_MALFORMED: return VERDICT_MALFORMED;
    case STATUS_DUMP_FAILED: return VERDICT_DUMP_FAILED;
    case STATUS_ENDED_EARLY: return VERDICT_ENDED_EARLY;
    case STATUS_LINK_LOST: return VERDICT_INTERFERED;
    case STATUS_CANNOT_RUN: return VERDICT_CANNOT_RUN;
    default: return VERDICT_OTHER_STATUS;
    }
}

// "passed, 3 checks held": a pass counts only with every check of the
// scenario as the grader read it; fewer means the run did not get it whole.
static void judge_pass(GradeRun &run, const std::string &text)
{
    static const char said[] = "passed, ";
    int held = -1;
    if (text.compare(0, sizeof said - 1, said) == 0)
        held = atoi(text.c_str() + sizeof said - 1);
    if (held == run.scenario_read.checks)
        return;
    run.verdict = VERDICT_INTERFERED;
    run.message = "said it passed with " + std::to_string(held < 0 ? 0 : held) + " of the scenario's " +
                  std::to_string(run.scenario_read.checks) + " checks: the program kept the scenario from it";
}

// The scenario run's own word: "SCENARIO: passed, 3 checks held",
// "SCENARIO:12: failed: ...". It stands whatever the program did after.
static void judge_decision(GradeRun &run)
{
    run.verdict = verdict_of_status(run.decided_status);
    std::string text = run.decided_message;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::string prefix = run.scenario_path + ":";
    if (text.compare(0, prefix.size(), prefix) != 0) {
        run.message = text;
        return;
    }
    text.erase(0, prefix.size());
    if (run.verdict == VERDICT_PASSED)
        judge_pass(run, text.erase(0, std::min(text.size(), text.find_first_not_of(' '))));
    else
        read_message(run, text);
}

// bubblewrap ends with 128 + N when the program was ended by signal N, and
// so it does for a program that exits with 128 + N: in the sandbox both are
// taken as the signal, and said so.
static int signal_of(const GradeRun &run, std::string &doubt)
{
    if (run.signal || !run.sandboxed || run.status <= 128 || run.status >= 128 + 65)
        return run.signal;
    doubt = " or exit status " + std::to_string(run.status) + " (the sandbox gives both alike)";
    return run.status - 128;
}

// AddressSanitizer reserves terabytes of address space at start, which no
// memory limit of a run leaves it.
static bool sanitizer_short_of_memory(const GradeRun &run)
{
    if (run.memory_mib <= 0 || (!run.sanitized && run.err.find("AddressSanitizer") == std::string::npos))
        return false;
    return run.out_of_memory || run.err.find("ReserveShadowMemoryRange") != std::string::npos ||
           run.err.find("ulimit -v") != std::string::npos || run.err.find("failed to allocate") != std::string::npos;
}

static std::string sanitizer_hint(const GradeRun &run)
{
    return "an AddressSanitizer build cannot run within --memory " + std::to_string(run.memory_mib) +
           " MiB: grade such builds with --memory 0";
}

static std::string without_verdict(const GradeRun &run)
{
    std::string text = "exit status " + std::to_string(run.status) + " without a verdict: ";
    if (run.status == STATUS_CANNOT_RUN && run.memory_mib > 0 && run.memory_mib < SMALL_MEMORY_MIB)
        return text + "the program could not start; --memory " + std::to_string(run.memory_mib) +
               " MiB may be too little to load it";
    return text + "the scenario did not run to its end";
}

// Without a verdict from the scenario run, only how the process ended
// tells: the signal from its wait status, or from bubblewrap's status.
void grade_judge(GradeRun &run)
{
    if (!run.start_failure.empty()) {
        run.verdict = VERDICT_CANNOT_START;
        run.message = run.start_failure;
        return;
    }
    if (run.decided) {
        judge_decision(run);
        return;
    }
    std::string doubt;
    int signal = signal_of(run, doubt);
    if (run.over_write_limit || run.out_of_memory) {
        run.verdict = VERDICT_OVER_LIMIT;
    } else if (run.killed_at_limit) {
        run.verdict = VERDICT_HUNG;
        run.message = "killed after " + std::to_string((int)(run.seconds + 0.5)) + " s of real time";
    } else if (signal == SIGXCPU) {
        run.verdict = VERDICT_OVER_LIMIT;
        run.message = "used up its CPU time" + doubt;
    } else if (signal == SIGXFSZ) {
        run.verdict = VERDICT_OVER_LIMIT;
        run.message = "wrote a file past the limit of bytes written" + doubt;
    } else if (signal) {
        run.verdict = VERDICT_CRASHED;
        run.message = "ended by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")" + doubt;
    } else if (run.status == STATUS_LINK_LOST) {
        run.verdict = VERDICT_INTERFERED;
        run.message = link_lost;
    } else {
        run.verdict = VERDICT_OTHER_STATUS;
        run.message = without_verdict(run);
    }
    // Ended by the limit or by its own abort, it is the same build's need.
    if (sanitizer_short_of_memory(run))
        run.message = sanitizer_hint(run);
}

// Columns of a cell as a terminal shows UTF-8: kanji take two, half-width
// katakana one, combining marks none. A byte that is no character takes one.
static size_t columns(const std::string &text)
{
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    locale_t before = utf8 ? uselocale(utf8) : (locale_t)0;
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        unsigned code = 0;
        size_t len = grade_utf8_char(text, i, &code);
        int width = len == 0 ? 1 : utf8 ? wcwidth((wchar_t)code) : 1;
        n += (size_t)(width < 0 ? 1 : width);
        i += len ? len : 1;
    }
    if (utf8)
        uselocale(before);
    return n;
}

// The line that names the first error, or else the first line said.
std::string grade_first_error(const std::string &messages)
{
    std::string first;
    for (size_t at = 0; at < messages.size();) {
        size_t end = std::min(messages.find('\n', at), messages.size());
        std::string line = messages.substr(at, end - at);
        at = end + 1;
        if (first.empty() && line.find_first_not_of(" \t") != std::string::npos)
            first = line;
        if (line.find("error") != std::string::npos || line.find("undefined reference") != std::string::npos) {
            first = line;
            break;
        }
    }
    size_t cut = 0;
    unsigned code;
    for (size_t len; cut < first.size() && cut < FIRST_ERROR_BYTES; cut += len ? len : 1)
        len = grade_utf8_char(first, cut, &code);
    return cut < first.size() ? first.substr(0, cut) + "..." : first;
}

static std::string failing_text(const GradeRun &run)
{
    if (run.verdict == VERDICT_NOT_COMPILED)
        return grade_first_error(run.compiler_messages);
    std::string why = run.message.empty() ? "" : " (" + run.message + ")";
    if (!run.expected.empty())
        return "expected " + run.expected + "; seen " + run.seen + why;
    return run.verdict == VERDICT_PASSED ? "" : run.message;
}

std::string grade_score(const std::vector<GradeRun> &runs, const std::string &program)
{
    size_t passed = 0, all = 0;
    for (const GradeRun &run : runs)
        if (run.program == program) {
            ++all;
            passed += run.verdict == VERDICT_PASSED;
        }
    return std::to_string(passed) + "/" + std::to_string(all);
}

// The page's verdict colours, as a terminal has them.
static const char *verdict_colour(Verdict v)
{
    switch (v) {
    case VERDICT_PASSED: return "\x1b[32m";
    case VERDICT_FAILED:
    case VERDICT_NOT_COMPILED: return "\x1b[31m";
    case VERDICT_TIMED_OUT:
    case VERDICT_ENDED_EARLY:
    case VERDICT_INTERFERED: return "\x1b[33m";
    case VERDICT_MALFORMED:
    case VERDICT_DUMP_FAILED: return "\x1b[34m";
    case VERDICT_HUNG:
    case VERDICT_CRASHED:
    case VERDICT_OVER_LIMIT: return "\x1b[35m";
    default: return "\x1b[90m";
    }
}

enum { TABLE_COLUMNS = 6, VERDICT_COLUMN = 3 };

std::string grade_table(const std::vector<GradeRun> &runs, bool colour)
{
    std::vector<std::vector<std::string>> rows = {{"PROGRAM", "SCORE", "SCENARIO", "VERDICT", "LINE", "WHAT FAILED"}};
    std::vector<const GradeRun *> of_row = {nullptr};
    for (size_t i = 0; i < runs.size(); ++i) {
        const GradeRun &run = runs[i];
        std::string verdict = grade_verdict_name(run.verdict);
        if (run.verdict == VERDICT_OTHER_STATUS)
            verdict += " " + std::to_string(run.status);
        bool first = i == 0 || runs[i - 1].program != run.program;
        rows.push_back({grade_shown(run.program), first ? grade_score(runs, run.program) : "", grade_shown(run.scenario),
                        verdict, grade_shown(run.where), grade_shown(failing_text(run))});
        of_row.push_back(&run);
    }
    size_t width[TABLE_COLUMNS - 1] = {};
    for (const auto &row : rows)
        for (int c = 0; c < TABLE_COLUMNS - 1; ++c)
            width[c] = std::max(width[c], columns(row[(size_t)c]));
    std::string table;
    for (size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (int c = 0; c < TABLE_COLUMNS; ++c) {
            const std::string &cell = rows[r][(size_t)c];
            bool coloured = colour && of_row[r] && c == VERDICT_COLUMN;
            line += coloured ? verdict_colour(of_row[r]->verdict) + cell + "\x1b[m" : cell;
            if (c < TABLE_COLUMNS - 1)
                line += std::string(width[c] - columns(cell) + 2, ' ');
        }
        table += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
    }
    return table;
}

size_t grade_utf8_char(const std::string &text, size_t i, unsigned *code_out)
{
    unsigned c = (unsigned char)text[i];
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > text.size())
        return 0;
    unsigned code = len == 1 ? c : c & (0x7Fu >> len);
    for (size_t k = 1; k < len; ++k) {
        unsigned next = (unsigned char)text[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    static const unsigned smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[len] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE ||
        code == 0xFFFF)
        return 0;
    *code_out = code;
    return len;
}

static size_t utf8_length(const std::string &text, size_t i)
{
    unsigned code;
    return grade_utf8_char(text, i, &code);
}

bool grade_bidi_control(unsigned code)
{
    return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

// Escapes, so that no program's text moves the cursor, clears the screen or
// retitles the teacher's window.
std::string grade_shown(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t len = utf8_length(text, i);
        unsigned c = (unsigned char)text[i];
        unsigned code = 0;
        bool c1 = len == 2 && c == 0xC2 && (unsigned char)text[i + 1] < 0xA0;
        if (len == 0 || c1 || (len == 1 && (c < 0x20 || c == 0x7F))) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
            i += 1;
        } else if (grade_utf8_char(text, i, &code) && grade_bidi_control(code)) {
            char escape[12];
            snprintf(escape, sizeof escape, "\\u%04X", code);
            out += escape;
            i += len;
        } else {
            out.append(text, i, len);
            i += len;
        }
    }
    return out;
}

// Valid UTF-8 and no characters XML forbids: a program's output may hold
// anything, and one bad byte would make the whole report unreadable. In an
// attribute a reader turns tabs and line ends into spaces, so that names
// differing only there would be one: they are written as references.
static std::string xml_text(const std::string &text, bool attribute = false)
{
    static const char replacement[] = "\xEF\xBF\xBD";  // U+FFFD
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t len = utf8_length(text, i);
        char c = text[i];
        if (len == 0 || (len == 1 && (unsigned char)c < 0x20 && c != '\t' && c != '\n' && c != '\r'))
            out += replacement;
        else if (attribute && (c == '\t' || c == '\n' || c == '\r'))
            out += "&#" + std::to_string((int)c) + ";";
        else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out.append(text, i, len);
        i += len ? len : 1;
    }
    return out;
}

// The program's doing, as against a run that could not be judged.
static bool is_failure(Verdict v)
{
    return v == VERDICT_FAILED || v == VERDICT_TIMED_OUT || v == VERDICT_ENDED_EARLY || v == VERDICT_INTERFERED ||
           v == VERDICT_NOT_COMPILED;
}

namespace {

struct Counts {
    size_t tests;
    int failures, errors;
    double seconds;
};

}  // namespace

static void count(Counts &counts, const GradeRun &run)
{
    ++counts.tests;
    counts.failures += is_failure(run.verdict);
    counts.errors += run.verdict != VERDICT_PASSED && !is_failure(run.verdict);
    counts.seconds += run.seconds;
}

static void write_case(FILE *f, const GradeRun &run)
{
    fprintf(f, "    <testcase classname=\"%s\" name=\"%s\" time=\"%.3f\">\n", xml_text(run.program, true).c_str(),
            xml_text(run.scenario, true).c_str(), run.seconds);
    if (run.verdict != VERDICT_PASSED) {
        std::string message = (run.where.empty() ? "" : run.where + ": ") + failing_text(run);
        fprintf(f, "      <%s type=\"%s\" message=\"%s\"/>\n", is_failure(run.verdict) ? "failure" : "error",
                grade_verdict_name(run.verdict), xml_text(message, true).c_str());
    }
    std::string err = run.verdict == VERDICT_NOT_COMPILED ? run.compiler_messages : run.err;
    if (!err.empty())
        fprintf(f, "      <system-err>%s</system-err>\n", xml_text(err).c_str());
    fprintf(f, "    </testcase>\n");
}

// One suite per program, in the order the programs were given.
static void write_suite(FILE *f, const std::vector<GradeRun> &runs, const std::string &program)
{
    Counts counts = {0, 0, 0, 0};
    for (const GradeRun &run : runs)
        if (run.program == program)
            count(counts, run);
    fprintf(f, "  <testsuite name=\"%s\" tests=\"%zu\" failures=\"%d\" errors=\"%d\" skipped=\"0\" time=\"%.3f\">\n",
            xml_text(program, true).c_str(), counts.tests, counts.failures, counts.errors, counts.seconds);
    size_t passed = counts.tests - (size_t)(counts.failures + counts.errors);
    fprintf(f, "    <properties>\n      <property name=\"score\" value=\"%s\"/>\n"
               "      <property name=\"passed\" value=\"%zu\"/>\n      <property name=\"scenarios\" value=\"%zu\"/>\n"
               "    </properties>\n",
            grade_score(runs, program).c_str(), passed, counts.tests);
    for (const GradeRun &run : runs)
        if (run.program == program)
            write_case(f, run);
    fprintf(f, "  </testsuite>\n");
}

bool grade_write_junit(const std::string &path, const std::vector<GradeRun> &runs)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    Counts all = {0, 0, 0, 0};
    for (const GradeRun &run : runs)
        count(all, run);
    fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<testsuites name=\"wena-grade\" tests=\"%zu\" failures=\"%d\" errors=\"%d\" time=\"%.3f\">\n",
            all.tests, all.failures, all.errors, all.seconds);
    std::vector<std::string> programs;
    for (const GradeRun &run : runs)
        if (std::find(programs.begin(), programs.end(), run.program) == programs.end())
            programs.push_back(run.program);
    for (const std::string &program : programs)
        write_suite(f, runs, program);
    fprintf(f, "</testsuites>\n");
    bool written = !ferror(f);
    bool closed = fclose(f) == 0;
    if (!written && errno == 0)
        errno = EIO;
    return written && closed;
}
