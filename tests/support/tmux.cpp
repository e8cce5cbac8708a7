#include "tests/support/tmux.h"

#include <cstdio>
#include <cstdlib>
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

bool wait_until(const std::function<bool()> &done, int timeout_ms)
{
    for (int waited = 0; waited < timeout_ms; waited += 20) {
        if (done())
            return true;
        usleep(20 * 1000);
    }
    return done();
}

std::string wait_for_file(const std::string &path, int timeout_ms)
{
    std::string content;
    wait_until([&] {
        std::stringstream in;
        in << std::ifstream(path).rdbuf();
        content = in.str();
        return !content.empty();
    }, timeout_ms);
    return content;
}
