// The report a teacher looks at: one HTML page with nothing to fetch, the
// class as a grid coloured by verdict, then each run that did not pass with
// its failing step and the board's screen at that moment. Everything that
// came from a program or a file name is escaped.
#include "tools/grade/grade.h"

#include "scenario/dump.h"

#include <algorithm>
#include <cstdio>

// A picture is some 15 KiB of page: a class that fails everything still
// gets a page a browser opens at once.
enum { ERR_SHOWN_BYTES = 8 * 1024, PICTURES_SHOWN = 200, NAME_SHOWN_BYTES = 60 };

std::string grade_html_text(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        unsigned code = 0;
        size_t len = grade_utf8_char(text, i, &code);
        if (len && grade_bidi_control(code)) {
            char escape[12];
            snprintf(escape, sizeof escape, "\\u%04X", code);
            out += escape;
            i += len;
            continue;
        }
        if (len == 0 || (code < 0x20 && code != '\n' && code != '\t') || code == 0x7F ||
            (code >= 0x80 && code < 0xA0)) {
            size_t bytes = len ? len : 1;
            for (size_t k = 0; k < bytes; ++k) {
                char hex[8];
                snprintf(hex, sizeof hex, "\\x%02X", (unsigned char)text[i + k]);
                out += hex;
            }
            i += bytes;
            continue;
        }
        switch (code) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.append(text, i, len);
        }
        i += len;
    }
    return out;
}

// The CSS class of each verdict, in the order of Verdict.
static const char *const verdict_classes[] = {"passed",     "failed", "timed-out", "ended-early", "malformed",
                                              "dump-failed", "hung",  "crashed",   "cannot-run",  "exit",
                                              "not-run",    "over-limit", "interfered", "cannot-start",
                                              "did-not-compile"};
static_assert(sizeof verdict_classes / sizeof verdict_classes[0] == VERDICT_COUNT, "a colour for every verdict");

static const char page_style[] =
    "body{font:15px/1.45 system-ui,-apple-system,\"Segoe UI\",sans-serif;margin:24px 32px;color:#1f2328;"
    "background:#ffffff}\n"
    "h1{font-size:22px;margin:0 0 4px}\n"
    "h2{font-size:18px;margin:32px 0 8px;border-bottom:1px solid #d0d7de;padding-bottom:4px}\n"
    "h3{font-size:16px;margin:0 0 8px}\n"
    ".summary{margin:0 0 16px;color:#57606a}\n"
    ".chip{display:inline-block;border-radius:10px;padding:1px 9px;margin:2px 4px 2px 0;font-size:13px}\n"
    "table.grid{border-collapse:collapse;margin:8px 0}\n"
    ".grid th,.grid td{border:1px solid #d0d7de;padding:5px 12px;text-align:left;white-space:nowrap}\n"
    ".run h3{overflow-wrap:anywhere}\n"
    ".grid thead th{background:#f6f8fa;font-weight:600}\n"
    ".grid tbody th{font-weight:600;background:#f6f8fa}\n"
    ".grid td a{color:inherit;text-decoration:none;display:block}\n"
    ".grid td a:hover{text-decoration:underline}\n"
    ".run{border:1px solid #d0d7de;border-left:6px solid #888;border-radius:6px;padding:12px 16px;margin:16px 0}\n"
    ".run dl{display:grid;grid-template-columns:max-content 1fr;gap:4px 16px;margin:0 0 12px}\n"
    ".run dt{font-weight:600;color:#57606a}\n"
    ".run dd{margin:0;font-family:ui-monospace,\"DejaVu Sans Mono\",monospace;white-space:pre-wrap}\n"
    ".ports svg{display:block;background:#ffffff;margin-top:4px}.ports text{fill:#424a53}\n"
    ".picture{display:inline-block;background:#000000;padding:8px;border-radius:4px}\n"
    ".none{color:#57606a;font-style:italic}\n"
    "details{margin-top:8px}\n"
    "pre{background:#f6f8fa;padding:8px;overflow:auto;max-height:20em}\n"
    ".passed{background:#dafbe1;color:#116329}\n"
    ".failed,.did-not-compile{background:#ffebe9;color:#a40e26}\n"
    ".timed-out,.ended-early,.interfered{background:#fff1e5;color:#953800}\n"
    ".malformed,.dump-failed{background:#ddf4ff;color:#0a3069}\n"
    ".hung,.crashed,.over-limit{background:#fbefff;color:#6e2a8c}\n"
    ".cannot-run,.cannot-start,.exit,.not-run{background:#eaeef2;color:#424a53}\n"
    ".run.failed,.run.did-not-compile{border-left-color:#cf222e}\n"
    ".run.warned{border-left-color:#bf8700}\n"
    ".warned{background:#fff8c5;color:#7d4e00}\n"
    ".run.timed-out,.run.ended-early,.run.interfered{border-left-color:#bc4c00}\n"
    ".run.malformed,.run.dump-failed{border-left-color:#0969da}\n"
    ".run.hung,.run.crashed,.run.over-limit{border-left-color:#8250df}\n"
    ".run.cannot-run,.run.cannot-start,.run.exit,.run.not-run{border-left-color:#6e7781}\n"
    ".run{background:#ffffff;color:#1f2328}\n";

static std::string verdict_label(const GradeRun &run)
{
    std::string label = grade_verdict_name(run.verdict);
    if (run.verdict == VERDICT_OTHER_STATUS)
        label += " " + std::to_string(run.status);
    return label;
}

static std::string anchor(size_t index) { return "run-" + std::to_string(index + 1); }

static std::vector<std::string> distinct(const std::vector<GradeRun> &runs, std::string GradeRun::*field)
{
    std::vector<std::string> names;
    for (const GradeRun &run : runs)
        if (std::find(names.begin(), names.end(), run.*field) == names.end())
            names.push_back(run.*field);
    return names;
}

static std::string summary(const std::vector<GradeRun> &runs)
{
    size_t passed = 0, count[VERDICT_COUNT] = {};
    for (const GradeRun &run : runs) {
        passed += run.verdict == VERDICT_PASSED;
        ++count[run.verdict];
    }
    std::string out = "<p class=\"summary\">" + std::to_string(passed) + " of " + std::to_string(runs.size()) +
                      " runs passed.";
    for (int v = 0; v < VERDICT_COUNT; ++v)
        if (count[v])
            out += " <span class=\"chip " + std::string(verdict_classes[v]) + "\">" +
                   grade_verdict_name((Verdict)v) + " " + std::to_string(count[v]) + "</span>";
    return out + "</p>\n";
}

// The card of a student's build: one for all the scenarios it was not run against.
static std::string build_anchor(size_t program) { return "build-" + std::to_string(program + 1); }

static std::string grid_cell(const std::vector<GradeRun> &runs, size_t program_index, const std::string &program,
                             const std::string &scenario)
{
    std::string cell;
    for (size_t i = 0; i < runs.size(); ++i) {
        const GradeRun &run = runs[i];
        if (run.program != program || run.scenario != scenario)
            continue;
        std::string label = grade_html_text(verdict_label(run));
        std::string target = run.verdict == VERDICT_NOT_COMPILED ? build_anchor(program_index) : anchor(i);
        cell += "<td class=\"" + std::string(verdict_classes[run.verdict]) + "\">" +
                (run.verdict == VERDICT_PASSED ? label : "<a href=\"#" + target + "\">" + label + "</a>") +
                "</td>";
    }
    return cell.empty() ? "<td></td>" : cell;
}

// A name in the grid's margin: a long one is cut short, whole in its
// tooltip and in its run's section, so that the grid stays on the page.
static std::string margin_name(const std::string &name)
{
    size_t end = 0;
    unsigned code;
    for (size_t len; end < name.size() && end < NAME_SHOWN_BYTES; end += len ? len : 1)
        len = grade_utf8_char(name, end, &code);
    if (end >= name.size())
        return grade_html_text(name);
    return "<span title=\"" + grade_html_text(name) + "\">" + grade_html_text(name.substr(0, end)) + "&hellip;</span>";
}

static std::string grid(const std::vector<GradeRun> &runs)
{
    std::vector<std::string> programs = distinct(runs, &GradeRun::program);
    std::vector<std::string> scenarios = distinct(runs, &GradeRun::scenario);
    std::string out = "<table class=\"grid\">\n<thead><tr><th>Program</th>";
    for (const std::string &scenario : scenarios)
        out += "<th>" + margin_name(scenario) + "</th>";
    out += "<th>Score</th></tr></thead>\n<tbody>\n";
    for (size_t p = 0; p < programs.size(); ++p) {
        out += "<tr><th>" + margin_name(programs[p]) + "</th>";
        for (const std::string &scenario : scenarios)
            out += grid_cell(runs, p, programs[p], scenario);
        out += "<td class=\"score\">" + grade_score(runs, programs[p]) + "</td></tr>\n";
    }
    return out + "</tbody>\n</table>\n";
}

static std::string term(const char *name, const std::string &value)
{
    return value.empty() ? "" : "<dt>" + std::string(name) + "</dt><dd>" + grade_html_text(value) + "</dd>\n";
}

static std::string err_tail(const std::string &err)
{
    if (err.size() <= ERR_SHOWN_BYTES)
        return err;
    return "...\n" + err.substr(err.size() - ERR_SHOWN_BYTES);
}

// The ports over the run, its end marked with the verdict.
static std::string diagram(const GradeRun &run, int &drawn)
{
    std::string svg = grade_timing_svg(run.trace, grade_verdict_name(run.verdict));
    if (svg.empty() || drawn++ >= PICTURES_SHOWN)
        return "";
    return "<details class=\"ports\" open><summary>The ports over the run</summary>\n" + svg + "</details>\n";
}

static std::string failure(const std::vector<GradeRun> &runs, size_t index, int &pictures, int &drawn)
{
    const GradeRun &run = runs[index];
    std::string out = "<section class=\"run " + std::string(verdict_classes[run.verdict]) + "\" id=\"" +
                      anchor(index) + "\">\n<h3>" + grade_html_text(run.program) + " &middot; " +
                      grade_html_text(run.scenario) + " <span class=\"chip " + verdict_classes[run.verdict] + "\">" +
                      grade_html_text(verdict_label(run)) + "</span></h3>\n<dl>\n" + term("Step", run.where) +
                      term("Expected", run.expected) + term("Seen", run.seen) + term("Why", run.message) + "</dl>\n";
    if (!run.screen.empty() && pictures++ < PICTURES_SHOWN)
        out += "<div class=\"picture\"><div class=\"screen\">\n" + run.screen + "</div></div>\n";
    else if (!run.screen.empty())
        out += "<p class=\"none\">The first " + std::to_string(PICTURES_SHOWN) +
               " pictures of the screen are shown; --keep keeps every run's " + GRADE_SCREEN_FILE + ".</p>\n";
    else if (run.verdict != VERDICT_MALFORMED && run.verdict != VERDICT_CANNOT_RUN &&
             run.verdict != VERDICT_CANNOT_START && run.verdict != VERDICT_NOT_RUN)
        out += "<p class=\"none\">No picture of the screen: the run ended before its board was laid out.</p>\n";
    out += diagram(run, drawn);
    if (!run.err.empty())
        out += "<details><summary>Standard error</summary><pre>" + grade_html_text(err_tail(run.err)) +
               "</pre></details>\n";
    return out + "</section>\n";
}

// What the compiler said of a student's sources: the errors open, the
// warnings of a build that worked folded.
static std::string build_card(const GradeRun &run, size_t program_index)
{
    bool failed = !run.compiled;
    std::string chip = failed ? "did-not-compile" : "warned";
    std::string out = "<section class=\"run " + chip + "\" id=\"" + build_anchor(program_index) + "\">\n<h3>" +
                      grade_html_text(run.program) + " <span class=\"chip " + chip + "\">" +
                      (failed ? "did not compile" : "compiled with warnings") + "</span></h3>\n";
    std::string messages = "<pre>" + grade_html_text(run.compiler_messages) + "</pre>";
    if (failed)
        return out + messages + "\n</section>\n";
    return out + "<details><summary>Compiler warnings</summary>" + messages + "</details>\n</section>\n";
}

static std::string build_cards(const std::vector<GradeRun> &runs)
{
    std::vector<std::string> programs = distinct(runs, &GradeRun::program);
    std::string out;
    for (size_t p = 0; p < programs.size(); ++p) {
        auto run = std::find_if(runs.begin(), runs.end(), [&](const GradeRun &r) { return r.program == programs[p]; });
        if (run->source && !run->compiler_messages.empty())
            out += build_card(*run, p);
    }
    return out.empty() ? "" : "<h2>What the compiler said</h2>\n" + out;
}

std::string grade_html(const std::vector<GradeRun> &runs)
{
    size_t passed = 0;
    for (const GradeRun &run : runs)
        passed += run.verdict == VERDICT_PASSED;
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>wena-grade: " +
                       std::to_string(passed) + " of " + std::to_string(runs.size()) +
                       " runs passed</title>\n<style>\n" + page_style + dump_html_screen_style() +
                       "</style>\n</head>\n<body>\n<h1>wena-grade</h1>\n" + summary(runs) + grid(runs);
    std::string failures;
    int pictures = 0, drawn = 0;
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i].verdict != VERDICT_PASSED && runs[i].verdict != VERDICT_NOT_COMPILED)
            failures += failure(runs, i, pictures, drawn);
    page += build_cards(runs);
    if (!failures.empty())
        page += "<h2>Runs that did not pass</h2>\n" + failures;
    return page + "</body>\n</html>\n";
}
