// The ports over a run as a timing diagram: the trace the scenario run
// wrote (the ports' values each time one changed) drawn as one SVG, PDR5
// and PDR8 bit by bit, the A/D results as levels, and the run's end marked.
// The trace came from the run and may be anything: only numbers are taken
// from it, every character of the drawing is the grader's own, and however
// many samples there are, each row has a few strokes per pixel at most.
#include "tools/grade/grade.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

enum {
    PORTS = 6,       // PDR5, PDR8, ADDA to ADDD, as the trace names them
    LEFT = 56,       // the names' column
    WIDTH = 640,     // the time axis
    BIT_ROW = 16,
    LEVEL_ROW = 34,
    GAP = 4,
    AXIS = 22
};

static const char *const port_names[PORTS] = {"PDR5", "PDR8", "ADDA", "ADDB", "ADDC", "ADDD"};

namespace {

struct Change {
    long long us;
    unsigned value;
};

struct Trace {
    std::vector<Change> ports[PORTS];
    int code_port[94] = {};  // '!' + n to port + 1, as the header declared
    long long first = -1, last = 0;
};

// One row's line as it is drawn: the pen, the span of heights drawn at its
// pixel, and the height the signal has now, which the pen may not have
// followed when the span shows it already.
struct Pen {
    std::string path;
    int x = LEFT, y = 0, low = 0, high = 0, level = 0;
};

}  // namespace

static int port_named(const std::string &name)
{
    for (int p = 0; p < PORTS; ++p)
        if (name == port_names[p])
            return p;
    return -1;
}

static void read_var(Trace &t, std::istringstream &words)
{
    std::string wire, bits, code, name;
    words >> wire >> bits >> code >> name;
    int port = port_named(name);
    if (code.size() == 1 && code[0] >= '!' && code[0] <= '~' && port >= 0)
        t.code_port[code[0] - '!'] = port + 1;
}

static void read_value(Trace &t, const std::string &word, const std::string &code, long long now)
{
    if (code.size() != 1 || code[0] < '!' || code[0] > '~' || word.size() < 2 || word.size() > 17 ||
        word.find_first_not_of("01", 1) != std::string::npos)
        return;
    int port = t.code_port[code[0] - '!'] - 1;
    if (port >= 0)
        t.ports[port].push_back({now, (unsigned)strtoul(word.c_str() + 1, nullptr, 2)});
}

static Trace read_trace(const std::string &vcd)
{
    Trace t;
    std::istringstream lines(vcd);
    long long now = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, rest;
        words >> word;
        if (word == "$var") {
            read_var(t, words);
        } else if (word.size() > 1 && word[0] == '#') {
            char *end;
            long long us = strtoll(word.c_str() + 1, &end, 10);
            if (*end || us < now)
                break;  // not a trace the scenario run wrote
            now = us;
            t.first = t.first < 0 ? us : t.first;
            t.last = us;
        } else if (word.size() > 1 && word[0] == 'b' && words >> rest) {
            read_value(t, word, rest, now);
        }
    }
    return t;
}

static int x_of(const Trace &t, long long us)
{
    long long span = std::max(1LL, t.last - t.first);
    return LEFT + (int)((us - t.first) * WIDTH / span);
}

static void stroke_to(Pen &pen, int y)
{
    if (y == pen.y)
        return;
    pen.path += " V" + std::to_string(y);
    pen.y = y;
    pen.low = std::min(pen.low, y);
    pen.high = std::max(pen.high, y);
}

static void go_to(Pen &pen, int x)
{
    stroke_to(pen, pen.level);
    if (x == pen.x)
        return;
    pen.path += " H" + std::to_string(x);
    pen.x = x;
    pen.low = pen.high = pen.y;
}

// The row's line through every change, where level(value) gives its height.
// Within one pixel only a height beyond what it shows is stroked: a row
// holds a few strokes a pixel, whatever the trace.
template <typename Level> static std::string row_path(const Trace &t, const std::vector<Change> &changes, Level level)
{
    Pen pen;
    pen.y = pen.low = pen.high = pen.level = level(changes.empty() ? 0 : changes[0].value);
    pen.path = "M" + std::to_string(LEFT) + " " + std::to_string(pen.y);
    for (const Change &c : changes) {
        int y = level(c.value), x = x_of(t, c.us);
        if (y == pen.level)
            continue;  // another bit or port changed
        if (x != pen.x)
            go_to(pen, x);
        pen.level = y;
        if (pen.level < pen.low || pen.level > pen.high)
            stroke_to(pen, pen.level);
    }
    go_to(pen, LEFT + WIDTH);
    return pen.path;
}

static std::string label(int y, const std::string &text)
{
    return "<text x=\"4\" y=\"" + std::to_string(y) + "\">" + text + "</text>";
}

static std::string stroke(const std::string &path)
{
    return "<path d=\"" + path + "\" fill=\"none\" stroke=\"#0969da\"/>";
}

static std::string bit_rows(const Trace &t, int port, int &top)
{
    std::string out;
    for (int bit = 7; bit >= 0; --bit) {
        int high = top + 2, low = top + BIT_ROW - 3;
        out += label(top + BIT_ROW - 4, std::string(port_names[port]) + "." + std::to_string(bit));
        out += stroke(row_path(t, t.ports[port], [&](unsigned v) { return (v >> bit) & 1 ? high : low; }));
        top += BIT_ROW;
    }
    return out;
}

static std::string level_row(const Trace &t, int port, int &top)
{
    int bottom = top + LEVEL_ROW - 3, room = LEVEL_ROW - 6;
    std::string out = label(top + LEVEL_ROW / 2 + 4, port_names[port]);
    out += stroke(row_path(t, t.ports[port], [&](unsigned v) { return bottom - (int)(std::min(v, 1023u) * room / 1023); }));
    top += LEVEL_ROW;
    return out;
}

static std::string ms(long long us)
{
    char text[32];
    snprintf(text, sizeof text, "%.1f ms", (double)us / 1000.0);
    return text;
}

std::string grade_timing_svg(const std::string &vcd, const std::string &end_label)
{
    Trace t = read_trace(vcd);
    if (t.first < 0)
        return "";
    std::string rows;
    int top = GAP;
    for (int port : {1, 0})
        rows += bit_rows(t, port, top) + "\n";
    top += GAP;
    for (int port = 2; port < PORTS; ++port)
        rows += level_row(t, port, top);
    int right = LEFT + WIDTH, axis = top + 14;
    std::string out = "<svg class=\"timing\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(right + 8) + "\" height=\"" + std::to_string(top + AXIS) +
                      "\" font-size=\"10\" font-family=\"monospace\">\n" + rows + "\n";
    out += "<text x=\"" + std::to_string(LEFT) + "\" y=\"" + std::to_string(axis) + "\">0</text>";
    out += "<line x1=\"" + std::to_string(right) + "\" y1=\"0\" x2=\"" + std::to_string(right) + "\" y2=\"" +
           std::to_string(top) + "\" stroke=\"#cf222e\" stroke-dasharray=\"3 2\"/>";
    out += "<text x=\"" + std::to_string(right) + "\" y=\"" + std::to_string(axis) +
           "\" fill=\"#cf222e\" text-anchor=\"end\">" + grade_html_text(end_label) + " at " + ms(t.last - t.first) +
           "</text>\n</svg>\n";
    return out;
}
