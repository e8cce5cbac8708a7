// The example board program in a real terminal: boards chosen with I, O and
// V, the picture read from the pane, Q quits and gives the terminal back.
#include "tests/support/capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

class ExampleProgram : public TempDirTest {
protected:
    TmuxPane pane;
    void TearDown() override
    {
        tmux_stop(pane);
        TempDirTest::TearDown();
    }
    std::string row(int y)
    {
        std::string capture = run_output("LC_ALL=C.UTF-8 tmux -L " + pane.socket + " capture-pane -p");
        size_t start = 0;
        for (int i = 0; i < y && start != std::string::npos; ++i)
            start = capture.find('\n', start) + 1;
        return capture.substr(start, capture.find('\n', start) - start);
    }
    bool wait_for_settings(const std::string &content)
    {
        for (int waited = 0; waited < 10000; waited += 20) {
            if (read("WENA.ini") == content)
                return true;
            usleep(20 * 1000);
        }
        return false;
    }
};

TEST_F(ExampleProgram, BoardsAreChosenByKeyAndQuitGivesTheTerminalBack)
{
    std::string script = "cd " + shell_quote(dir) + "; stty -g > before; " EXAMPLE_PROGRAM
                         "; echo $? > status; stty -g > after; exec sleep 60";
    ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote(script)));
    ASSERT_TRUE(wait_for_settings("0,0,0")) << "the first poll lays the board out and saves";
    tmux_type(pane, "I");
    ASSERT_TRUE(wait_for_settings("1,0,0"));
    tmux_type(pane, "o");
    ASSERT_TRUE(wait_for_settings("1,11,0"));
    tmux_type(pane, "V");
    ASSERT_TRUE(wait_for_settings("1,11,21"));
    usleep(100 * 1000);

    EXPECT_NE(row(5).find(utf8(u8"IＰ５→")), std::string::npos) << row(5);
    EXPECT_NE(row(5).find(utf8(u8"ＷＥＮＡ")), std::string::npos) << row(5);
    EXPECT_NE(row(14).find(utf8(u8"ｽｲｯﾁ -> LED")), std::string::npos) << row(14);
    EXPECT_NE(row(20).find(utf8(u8"簡易シミュレータ")), std::string::npos) << row(20);

    tmux_type(pane, "q");
    EXPECT_EQ(wait_for_file(file("status"), 10000), "1\n");
    ASSERT_NE(wait_for_file(file("after"), 10000), "");
    EXPECT_EQ(wait_for_file(file("before"), 0), wait_for_file(file("after"), 0));
    EXPECT_EQ(tmux_format(pane, "#{cursor_flag}"), "1");
}
