#include "tests/support/tmux.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string shell_quote(const std::string &word)
{
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string run_output(const std::string &command)
{
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

static std::string tmux(const TmuxPane &pane)
{
    return "LC_ALL=C.UTF-8 TERM=xterm tmux -L " + pane.socket + " -f /dev/null ";
}

bool tmux_start(TmuxPane &pane, const std::string &command, int cols, int rows)
{
    static int counter;
    pane.socket = "wena-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::string line = tmux(pane) + "new-session -d -x " + std::to_string(cols) + " -y " +
                       std::to_string(rows) + " " + shell_quote(command) + " 2>&1";
    std::string err = run_output(line);
    return err.empty();
}

void tmux_type(TmuxPane &pane, const std::string &keys)
{
    run_output(tmux(pane) + "send-keys -l -- " + shell_quote(keys));
}

void tmux_press(TmuxPane &pane, const std::string &key)
{
    run_output(tmux(pane) + "send-keys " + key);
}

std::string tmux_capture(TmuxPane &pane) { return run_output(tmux(pane) + "capture-pane -p -e -N"); }

std::string tmux_format(TmuxPane &pane, const std::string &format)
{
    std::string out = run_output(tmux(pane) + "display -p " + shell_quote(format));
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

void tmux_stop(TmuxPane &pane)
{
    if (!pane.socket.empty())
        run_output(tmux(pane) + "kill-server 2>/dev/null");
    pane.socket.clear();
}

std::string wait_for_file(const std::string &path, int timeout_ms)
{
    for (int waited = 0; waited <= timeout_ms; waited += 20) {
        std::ifstream in(path);
        std::stringstream content;
        content << in.rdbuf();
        if (!content.str().empty())
            return content.str();
        usleep(20 * 1000);
    }
    return "";
}

struct Pen {
    int fg = -1, bg = -1;
};

static void apply_sgr(Pen &pen, const std::string &params)
{
    std::vector<int> p;
    std::stringstream in(params);
    std::string item;
    while (std::getline(in, item, ';'))
        p.push_back(item.empty() ? 0 : std::stoi(item));
    if (p.empty())
        p.push_back(0);
    for (size_t i = 0; i < p.size(); ++i) {
        int v = p[i];
        if (v == 0)
            pen = Pen{};
        else if (v >= 30 && v <= 37)
            pen.fg = nibble_of_ansi(v - 30);
        else if (v >= 90 && v <= 97)
            pen.fg = nibble_of_ansi(v - 90 + 8);
        else if (v >= 40 && v <= 47)
            pen.bg = nibble_of_ansi(v - 40);
        else if (v >= 100 && v <= 107)
            pen.bg = nibble_of_ansi(v - 100 + 8);
        else if (v == 39)
            pen.fg = -1;
        else if (v == 49)
            pen.bg = -1;
        else if ((v == 38 || v == 48) && i + 1 < p.size()) {
            int colour = -1;
            if (p[i + 1] == 5 && i + 2 < p.size()) {
                colour = nibble_of_ansi(p[i + 2]);
                i += 2;
            } else if (p[i + 1] == 2 && i + 4 < p.size()) {
                colour = nibble_of_rgb(p[i + 2], p[i + 3], p[i + 4]);
                i += 4;
            }
            (v == 38 ? pen.fg : pen.bg) = colour;
        }
    }
}

static int utf8_length(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

static int display_width(const std::string &ch)
{
    setlocale(LC_CTYPE, "C.UTF-8");
    wchar_t wc;
    mbstate_t state{};
    if (mbrtowc(&wc, ch.data(), ch.size(), &state) > ch.size())
        return 1;
    int w = wcwidth(wc);
    return w == 2 ? 2 : 1;
}

// Colours carry over from one captured line to the next.
static void parse_line(SeenScreen &seen, int y, const std::string &line, Pen &pen)
{
    int x = 0;
    for (size_t i = 0; i < line.size() && x < seen.cols;) {
        if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
            size_t end = line.find('m', i);
            if (end == std::string::npos)
                break;
            apply_sgr(pen, line.substr(i + 2, end - i - 2));
            i = end + 1;
            continue;
        }
        std::string ch = line.substr(i, (size_t)utf8_length((unsigned char)line[i]));
        i += ch.size();
        SeenCell &cell = seen.at(x, y);
        cell.text = ch;
        cell.width = display_width(ch);
        cell.fg = pen.fg;
        cell.bg = pen.bg;
        if (cell.width == 2 && x + 1 < seen.cols)
            seen.at(++x, y) = SeenCell{"", 1, pen.fg, pen.bg};
        ++x;
    }
}

SeenScreen parse_capture(const std::string &capture, int cols, int rows)
{
    SeenScreen seen;
    seen.cols = cols;
    seen.rows = rows;
    seen.cells.assign((size_t)(cols * rows), SeenCell{" ", 1, -1, -1});
    std::stringstream in(capture);
    std::string line;
    Pen pen;
    for (int y = 0; y < rows && std::getline(in, line); ++y)
        parse_line(seen, y, line, pen);
    return seen;
}
