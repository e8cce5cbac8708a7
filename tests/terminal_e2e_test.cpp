// The console in a real terminal emulator (tmux): the pane shows exactly the
// screen model, and the terminal is given back however the program ends.
#include "console/con.h"
#include "tests/programs/probe_picture.h"
#include "tests/support/capture.h"
#include "tests/support/seen_screen.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <vterm.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

class TerminalEndToEnd : public TempDirTest {
protected:
    TmuxPane pane;
    void TearDown() override
    {
        tmux_stop(pane);
        TempDirTest::TearDown();
    }

    // Runs the probe under a shell that records the terminal mode before and
    // after, and the probe's exit status, then stays so the pane can be read.
    void start_probe(const std::string &mode, const std::string &env = "WENA_COLOR=16")
    {
        std::string script = "stty -g > " + file("before") + "; " + env + " " CONSOLE_PROBE " " +
                             file("ready") + " " + mode + "; echo $? > " + file("status") + "; stty -g > " +
                             file("after") + "; exec sleep 60";
        ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote(script)));
        ASSERT_NE(wait_for_file(file("ready"), 10000), "") << "the probe never painted";
    }

    // The pane as libvterm reads tmux's capture of it, against the model.
    std::string pane_against_model()
    {
        std::string capture = tmux_capture(pane), bytes;
        for (char c : capture.substr(0, capture.size() - 1))  // a last newline would scroll
            bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
        VtEmulator vt;
        vt_open(vt, 80, 25);
        vt_feed(vt, bytes);
        capture_start();
        paint_probe_picture();
        std::string problem = diff_with_model(vt_screen(vt));
        vt_close(vt);
        return problem;
    }

    void expect_terminal_given_back(const std::string &status)
    {
        ASSERT_NE(wait_for_file(file("after"), 10000), "") << "the probe did not end";
        EXPECT_EQ(wait_for_file(file("status"), 1000), status + "\n");
        EXPECT_EQ(wait_for_file(file("before"), 1000), wait_for_file(file("after"), 1000));
        EXPECT_EQ(tmux_format(pane, "#{cursor_flag}"), "1") << "cursor visible";
        EXPECT_EQ(tmux_format(pane, "#{cursor_y}"), "24") << "cursor below the board";
        EXPECT_NE(tmux_capture(pane).find(utf8(u8"ﾓｳｲﾁﾄﾞ")), std::string::npos) << "the picture stays (a shell message may scroll it by a line)";
    }
};

// Sixteen colours, as the terminal announces, when the choice is wrong.
TEST_F(TerminalEndToEnd, PaneShowsTheModelInSixteenColoursAndExitGivesTheTerminalBack)
{
    start_probe("exit1", "WENA_COLOR=garbage COLORTERM=");
    EXPECT_EQ(pane_against_model(), "");
    EXPECT_EQ(tmux_capture(pane).find("38;2;"), std::string::npos);
    tmux_type(pane, "x");
    expect_terminal_given_back("1");
    std::string shown, message = "wena: WENA_COLOR=garbage ignored: it is 16 or truecolor";
    wait_until([&] { return (shown = tmux_capture(pane)).find(message) != std::string::npos; }, 10000);
    EXPECT_NE(shown.find(message), std::string::npos) << shown;
    EXPECT_EQ(shown.find(message), shown.rfind(message)) << "reported once";
}

TEST_F(TerminalEndToEnd, PaneShowsTheModelInTrueColourThroughShrinkingAndGrowing)
{
    start_probe("return", "WENA_COLOR=truecolor");
    EXPECT_EQ(pane_against_model(), "");
    EXPECT_NE(tmux_capture(pane).find("38;2;"), std::string::npos) << "24-bit colours reached the pane";
    run_output("LC_ALL=C.UTF-8 tmux -L " + pane.socket + " resize-window -x 40 -y 12");
    usleep(300 * 1000);
    run_output("LC_ALL=C.UTF-8 tmux -L " + pane.socket + " resize-window -x 80 -y 25");
    usleep(300 * 1000);
    EXPECT_EQ(pane_against_model(), "");
    tmux_type(pane, "x");
    expect_terminal_given_back("0");
}

// Painting waits for the next pause or poll, which a spinning program never
// makes: what it painted last still reaches the terminal.
TEST_F(TerminalEndToEnd, WhatAProgramPaintsBeforeItSpinsIsShown)
{
    start_probe("last-words");
    EXPECT_TRUE(wait_until([&] { return tmux_capture(pane).find("last words") != std::string::npos; }, 5000));
    kill(std::stoi(wait_for_file(file("ready"), 1000)), SIGTERM);
}

TEST_F(TerminalEndToEnd, TerminationBySignalGivesTheTerminalBack)
{
    start_probe("wait");
    int pid = std::stoi(wait_for_file(file("ready"), 1000));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    expect_terminal_given_back(std::to_string(128 + SIGTERM));
}

TEST_F(TerminalEndToEnd, AReaderThatGoesAwayStillGetsTheTerminalBack)
{
    // head leaves after ten bytes; the probe's next write meets a closed pipe.
    std::string script = "stty -g > " + file("before") + "; WENA_COLOR=16 " CONSOLE_PROBE " " + file("ready") +
                         " return | { head -c 10 > /dev/null; exec 0<&-; : > " + file("gone") + "; }; stty -g > " +
                         file("after") + "; exec sleep 60";
    ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote(script)));
    ASSERT_NE(wait_for_file(file("before"), 10000), "");
    wait_until([&] { return access(file("gone").c_str(), F_OK) == 0; }, 10000);
    tmux_type(pane, "x");
    ASSERT_NE(wait_for_file(file("after"), 10000), "") << "the probe did not end";
    EXPECT_EQ(wait_for_file(file("before"), 0), wait_for_file(file("after"), 0));
}

TEST_F(TerminalEndToEnd, ClosedStandardOutputIsNotTakenByTheRecording)
{
    std::ofstream(file("keys")) << "IOVq";
    std::string command = "cd " + shell_quote(dir) + " && WENA_RECORD=rec.scn " EXAMPLE_PROGRAM " < keys >&- 2>&-";
    EXPECT_EQ(WEXITSTATUS(system(command.c_str())), 1);
    std::string recording = read("rec.scn");
    EXPECT_NE(recording.find("key q"), std::string::npos) << recording;
    EXPECT_EQ(recording.find('\x1b'), std::string::npos) << "the picture went into the recording";
}

TEST_F(TerminalEndToEnd, TheCursorIsAThinLineAndTheDefaultShapeComesBack)
{
    std::string command = "printf x | " CONSOLE_PROBE " " + file("ready") + " cursor > " + file("out");
    ASSERT_EQ(system(command.c_str()), 0);
    VtEmulator vt;
    vt_open(vt, 80, 25);
    std::string trace;
    VTermScreenCallbacks callbacks{};
    callbacks.settermprop = [](VTermProp prop, VTermValue *value, void *shapes) {
        if (prop == VTERM_PROP_CURSORSHAPE)
            *static_cast<std::string *>(shapes) += value->number == VTERM_PROP_CURSORSHAPE_UNDERLINE ? "underline "
                                                   : value->number == VTERM_PROP_CURSORSHAPE_BLOCK   ? "block "
                                                                                                      : "other ";
        return 1;
    };
    vterm_screen_set_callbacks(vterm_obtain_screen(vt.vt), &callbacks, &trace);
    vt_feed(vt, read("out"));
    vt_close(vt);
    EXPECT_EQ(trace, "underline block ");
}

// A paste far larger than the terminal's own input queue, with no x in it.
static void paste(TmuxPane &pane, const std::string &path, const std::string &first, size_t bytes)
{
    std::string text = first;
    while (text.size() < bytes)
        text += "yzzy\n";
    std::ofstream(path) << text;
    std::string tmux = "LC_ALL=C.UTF-8 tmux -L " + pane.socket + " ";
    run_output(tmux + "load-buffer " + shell_quote(path) + " && " + tmux + "paste-buffer -d");
}

// Job control needs an interactive shell in the pane.
class InteractiveShell : public TerminalEndToEnd {
protected:
    void start_shell(const std::string &mode = "return")
    {
        ASSERT_TRUE(tmux_start(pane, "env PS1='$ ' bash --norc --noprofile -i"));
        ASSERT_TRUE(wait_for_pane("$ "));
        tmux_type(pane, "stty -g > " + file("before") + "; WENA_COLOR=16 " CONSOLE_PROBE " " + file("ready") +
                            " " + mode);
        tmux_press(pane, "Enter");
        ASSERT_NE(wait_for_file(file("ready"), 10000), "") << "the probe never painted";
    }
    bool wait_for_pane(const std::string &text)
    {
        return wait_until([&] { return tmux_capture(pane).find(text) != std::string::npos; }, 10000);
    }
    // The shell's $? once the program has ended.
    std::string exit_status()
    {
        // Keys typed while the program still runs would be the program's.
        wait_until([&] { return tmux_format(pane, "#{cursor_flag}") == "1"; }, 10000);
        tmux_type(pane, "echo $? > " + file("status"));
        tmux_press(pane, "Enter");
        return wait_for_file(file("status"), 10000);
    }
    void record_mode_now()
    {
        tmux_type(pane, "stty -g > " + file("after"));
        tmux_press(pane, "Enter");
        ASSERT_NE(wait_for_file(file("after"), 10000), "");
    }
    void expect_ctrl_c_after_a_huge_paste_acts_at_once_and_gives_the_terminal_back()
    {
        paste(pane, file("paste"), "", 100000);
        tmux_press(pane, "C-c");
        EXPECT_TRUE(wait_until([&] { return tmux_format(pane, "#{pane_current_command}") == "bash"; }, 1000))
            << "the program was still running a second after Ctrl-C";
        EXPECT_EQ(exit_status(), "130\n");
        EXPECT_EQ(tmux_capture(pane).find("yzzy"), std::string::npos) << "pasted keys reached the shell";
        record_mode_now();
        EXPECT_EQ(wait_for_file(file("before"), 1000), wait_for_file(file("after"), 1000));
        EXPECT_EQ(tmux_format(pane, "#{cursor_flag}"), "1");
    }
};

TEST_F(InteractiveShell, CtrlZHandsTheTerminalBackFgRepaintsAndKeysTypedAheadOfTheExitAreDropped)
{
    start_shell();
    tmux_press(pane, "C-z");
    ASSERT_TRUE(wait_for_pane("Stopped"));
    record_mode_now();
    EXPECT_EQ(wait_for_file(file("before"), 1000), wait_for_file(file("after"), 1000));
    EXPECT_EQ(tmux_format(pane, "#{cursor_flag}"), "1");

    tmux_type(pane, "clear; fg");
    tmux_press(pane, "Enter");
    ASSERT_TRUE(wait_for_pane(utf8(u8"ﾓｳｲﾁﾄﾞ")));
    usleep(200 * 1000);
    EXPECT_EQ(pane_against_model(), "");
    EXPECT_EQ(tmux_format(pane, "#{cursor_flag}"), "0") << "the program's hidden cursor is hidden again";

    paste(pane, file("paste"), "x", 100000);  // the probe returns at x
    EXPECT_EQ(exit_status(), "0\n");
    EXPECT_EQ(tmux_capture(pane).find("yzzy"), std::string::npos) << "keys typed ahead of the exit reached the shell";
}

TEST_F(InteractiveShell, CtrlCAfterAHugePasteActsAtOnceSpillsNothingAndGivesTheTerminalBack)
{
    start_shell();
    expect_ctrl_c_after_a_huge_paste_acts_at_once_and_gives_the_terminal_back();
}

TEST_F(InteractiveShell, CtrlCActsAtOnceAfterAHugePasteToAProgramThatNeverPolls)
{
    start_shell("spin");
    expect_ctrl_c_after_a_huge_paste_acts_at_once_and_gives_the_terminal_back();
}

// Neither polls, pauses nor paints: the watch stops it, gives it the terminal
// back painted, and repaints it after resizes.
TEST_F(InteractiveShell, AProgramThatSpinsWithoutPollingStopsComesBackAndFollowsResizes)
{
    std::string tmux = "LC_ALL=C.UTF-8 tmux -L ";
    ASSERT_TRUE(tmux_start(pane, "env PS1='$ ' bash --norc --noprofile -i"));
    ASSERT_TRUE(wait_for_pane("$ "));
    tmux_type(pane, "cd " + shell_quote(dir) + "; stty -g > before; " SPIN_PROGRAM);
    tmux_press(pane, "Enter");
    ASSERT_TRUE(wait_for_pane("H8/3664F"));
    tmux_press(pane, "C-z");
    ASSERT_TRUE(wait_for_pane("Stopped"));
    record_mode_now();
    EXPECT_EQ(read("before"), read("after"));
    tmux_type(pane, "clear; fg");
    tmux_press(pane, "Enter");
    EXPECT_TRUE(wait_for_pane("H8/3664F")) << "not painted again after fg";
    run_output(tmux + pane.socket + " resize-window -x 60 -y 20");
    EXPECT_TRUE(wait_for_pane("the board needs 80x25, the terminal is 60x20"));
    run_output(tmux + pane.socket + " resize-window -x 80 -y 25");
    EXPECT_TRUE(wait_until([&] { return tmux_capture(pane).find("the board needs") == std::string::npos; }, 10000));
    EXPECT_NE(tmux_capture(pane).find("Ver 1.34"), std::string::npos);
    tmux_press(pane, "C-c");
    // Its cursor was never hidden: the shell is back once it runs again.
    EXPECT_TRUE(wait_until([&] { return tmux_format(pane, "#{pane_current_command}") == "bash"; }, 5000));
    EXPECT_EQ(exit_status(), "130\n");
}

// LCD calls look for Q too, for a program that paints and never polls again.
TEST_F(TerminalEndToEnd, QuitEndsAProgramThatOnlyPaintsTheLcd)
{
    std::string script = "cd " + shell_quote(dir) + " && " BOARD_ENDINGS " paint; echo $? > status; exec sleep 60";
    ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote(script)));
    ASSERT_TRUE(wait_until([&] { return tmux_capture(pane).find("H8/3664F") != std::string::npos; }, 10000));
    tmux_type(pane, "q");
    EXPECT_EQ(wait_for_file(file("status"), 1000), "1\n");
}

// The demo's score screen is a pause of 2.5 s: Q typed there quits at once,
// while the score still shows, not when the pause ends.
TEST_F(TerminalEndToEnd, QuitActsInsideTheDemosLongPause)
{
    write("WENA.ini", "1,0,0");
    std::string script = "cd " + shell_quote(dir) + " && " DEMO_PROGRAM "; echo $? > status; exec sleep 60";
    ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote(script)));
    std::string title = utf8(u8"ｽﾀｰﾄ"), score = utf8(u8"ﾃﾝｽｳ");
    ASSERT_TRUE(wait_until([&] { return tmux_capture(pane).find(title) != std::string::npos; }, 10000));
    tmux_type(pane, "3");
    ASSERT_TRUE(wait_until([&] { return tmux_capture(pane).find(score) != std::string::npos; }, 60000))
        << "the untouched player was never hit";
    tmux_type(pane, "q");
    EXPECT_EQ(wait_for_file(file("status"), 1000), "1\n") << "Q waited for the pause to end";
    EXPECT_NE(tmux_capture(pane).find(score), std::string::npos) << tmux_capture(pane);
}
