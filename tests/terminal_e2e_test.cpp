// The console in a real terminal emulator (tmux): the pane shows exactly the
// screen model, and the terminal is given back however the program ends.
#include "console/con.h"
#include "tests/programs/probe_picture.h"
#include "tests/support/capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
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
    void start_probe(const std::string &mode, const std::string &colours = "16")
    {
        std::string script = "stty -g > " + file("before") + "; WENA_COLOR=" + colours + " " CONSOLE_PROBE " " +
                             file("ready") + " " + mode + "; echo $? > " + file("status") + "; stty -g > " +
                             file("after") + "; exec sleep 60";
        ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote(script)));
        ASSERT_NE(wait_for_file(file("ready"), 10000), "") << "the probe never painted";
    }

    std::string pane_against_model()
    {
        capture_start();
        paint_probe_picture();
        return diff_with_model(parse_capture(tmux_capture(pane), 80, 25));
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

TEST_F(TerminalEndToEnd, PaneShowsTheModelCellByCellInSixteenColours)
{
    start_probe("return", "16");
    EXPECT_EQ(pane_against_model(), "");
    tmux_type(pane, "x");
    expect_terminal_given_back("0");
}

TEST_F(TerminalEndToEnd, PaneShowsTheModelCellByCellInTrueColour)
{
    start_probe("return", "truecolor");
    EXPECT_EQ(pane_against_model(), "");
    tmux_type(pane, "x");
    expect_terminal_given_back("0");
}

TEST_F(TerminalEndToEnd, ExitFromInsideTheProgramGivesTheTerminalBack)
{
    start_probe("exit1");
    tmux_type(pane, "x");
    expect_terminal_given_back("1");
}

TEST_F(TerminalEndToEnd, TerminationBySignalGivesTheTerminalBack)
{
    start_probe("wait");
    int pid = std::stoi(wait_for_file(file("ready"), 1000));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    expect_terminal_given_back(std::to_string(128 + SIGTERM));
}

TEST_F(TerminalEndToEnd, APictureSurvivesShrinkingAndGrowingTheTerminal)
{
    start_probe("return");
    run_output("LC_ALL=C.UTF-8 tmux -L " + pane.socket + " resize-window -x 40 -y 12");
    usleep(300 * 1000);
    run_output("LC_ALL=C.UTF-8 tmux -L " + pane.socket + " resize-window -x 80 -y 25");
    usleep(300 * 1000);
    EXPECT_EQ(pane_against_model(), "");
}

// Job control needs an interactive shell in the pane.
class InteractiveShell : public TerminalEndToEnd {
protected:
    void start_shell()
    {
        ASSERT_TRUE(tmux_start(pane, "env PS1='$ ' bash --norc --noprofile -i"));
        ASSERT_TRUE(wait_for_pane("$ "));
        tmux_type(pane, "stty -g > " + file("before") + "; WENA_COLOR=16 " CONSOLE_PROBE " " + file("ready") +
                            " return");
        tmux_press(pane, "Enter");
        ASSERT_NE(wait_for_file(file("ready"), 10000), "") << "the probe never painted";
    }
    bool wait_for_pane(const std::string &text)
    {
        for (int waited = 0; waited < 10000; waited += 20) {
            if (tmux_capture(pane).find(text) != std::string::npos)
                return true;
            usleep(20 * 1000);
        }
        return false;
    }
    // The shell's $? once the program has ended.
    std::string exit_status()
    {
        // Keys typed while the program still runs would be the program's.
        for (int waited = 0; waited < 10000 && tmux_format(pane, "#{cursor_flag}") != "1"; waited += 20)
            usleep(20 * 1000);
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
};

TEST_F(InteractiveShell, CtrlZHandsTheTerminalBackAndFgRepaintsThePicture)
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
    tmux_type(pane, "x");
    EXPECT_EQ(exit_status(), "0\n");
}

TEST_F(InteractiveShell, CtrlCInterruptsAndGivesTheTerminalBack)
{
    start_shell();
    tmux_press(pane, "C-c");
    EXPECT_EQ(exit_status(), "130\n");
    record_mode_now();
    EXPECT_EQ(wait_for_file(file("before"), 1000), wait_for_file(file("after"), 1000));
    EXPECT_EQ(tmux_format(pane, "#{cursor_flag}"), "1");
}
