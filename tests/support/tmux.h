// A private tmux server that runs one command in an 80x25 pane, for tests
// that need a real terminal emulator.
#pragma once

#include <functional>
#include <string>

struct TmuxPane {
    std::string socket;
};

// Starts `command` (a shell command line) in a new detached session.
bool tmux_start(TmuxPane &pane, const std::string &command, int cols = 80, int rows = 25);
// Types `keys` literally.
void tmux_type(TmuxPane &pane, const std::string &keys);
// Presses one key by its tmux name ("Up", "F7", "C-z").
void tmux_press(TmuxPane &pane, const std::string &key);
std::string tmux_capture(TmuxPane &pane);
std::string tmux_format(TmuxPane &pane, const std::string &format);
void tmux_stop(TmuxPane &pane);

// Asks `done` every 20 ms for up to timeout_ms; gives its last answer.
bool wait_until(const std::function<bool()> &done, int timeout_ms);
// Waits up to timeout_ms for a file to exist with some content; returns it.
std::string wait_for_file(const std::string &path, int timeout_ms);

// Shell-quotes one word.
std::string shell_quote(const std::string &word);
// Runs a shell command and gives its standard output.
std::string run_output(const std::string &command);
