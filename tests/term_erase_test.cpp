// Clearing on a terminal that erases in the background colour in force, and
// reading from the terminal's own description whether it does.
#include "console/con.h"
#include "console/platform.h"
#include "console/screen.h"
#include "console/term.h"
#include "tests/support/capture.h"
#include "tests/support/seen_screen.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

class BackgroundErase : public ::testing::Test {
protected:
    VtEmulator vt;  // libvterm erases in the background colour, as tmux and xterm do
    void SetUp() override
    {
        capture_start();
        term_set_background_erase(true);
        term_repaint();
        vt_open(vt, SCREEN_COLS, SCREEN_ROWS);
        feed();
    }
    void TearDown() override
    {
        term_set_background_erase(false);
        vt_close(vt);
    }
    std::string feed()
    {
        std::string bytes = captured();
        vt_feed(vt, bytes);
        captured_reset();
        return bytes;
    }
};

TEST_F(BackgroundErase, AClearIsOneEraseInTheClearedColours)
{
    con_set_color(6, 8, 1, 8);
    con_goto(10, 5);
    con_print("ＷＥＮＡ → panel%30s", "");
    feed();
    con_clear();
    EXPECT_EQ(feed(), "\x1b[37;40m\x1b[2J\x1b[H") << "erase, cursor home";
    EXPECT_EQ(diff_with_model(vt_screen(vt)), "");
}

TEST_F(BackgroundErase, RandomPaintingAndClearingKeepTheEmulatorEqualToTheModel)
{
    static const char *const texts[] = {"A", "xyz", "ｱｲｳ", "漢字", "●", "→", "■x", "  ", "ＷＥＮＡ", "\x80"};
    std::mt19937 rng(77);
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    for (int step = 0; step < 3000; ++step) {
        int action = pick(10);
        if (action == 0)
            con_set_color(pick(8), pick(2) * 8, pick(8), pick(2) * 8);
        else if (action == 1 && pick(15) == 0)
            con_clear();
        else if (action <= 4)
            con_goto(pick(81), pick(25));
        else
            con_print("%s", texts[pick(sizeof texts / sizeof texts[0])]);
        feed();
        if (step % 25 == 0) {
            ASSERT_EQ(diff_with_model(vt_screen(vt)), "") << "after step " << step;
        }
    }
}

class TerminalDescription : public TempDirTest {
protected:
    std::string saved_term = getenv("TERM") ? getenv("TERM") : "";
    void TearDown() override
    {
        setenv("TERM", saved_term.c_str(), 1);
        unsetenv("TERMINFO");
        TempDirTest::TearDown();
    }
    static bool erases_in_background(const char *name)
    {
        setenv("TERM", name, 1);
        return plat_background_erase();
    }
};

TEST_F(TerminalDescription, BackgroundEraseIsWhatTheTerminfoEntrySays)
{
    int with = 0, without = 0;
    for (const char *name : {"xterm-256color", "xterm", "linux", "screen-256color", "screen", "vt100", "dumb"}) {
        bool expected = system(("infocmp -1 " + std::string(name) + " 2>/dev/null | grep -qx '\tbce,'").c_str()) == 0;
        EXPECT_EQ(erases_in_background(name), expected) << name;
        (expected ? with : without)++;
    }
    EXPECT_GT(with, 0);
    EXPECT_GT(without, 0);
    for (const char *name : {"", "no-such-terminal", "../x/xterm", "/lib/terminfo/x/xterm"})
        EXPECT_FALSE(erases_in_background(name)) << name;
}

TEST_F(TerminalDescription, APrivateEntryUnderItsHexadecimalDirectoryIsFound)
{
    std::string entry = run_output("find /lib/terminfo /usr/share/terminfo -name xterm -type f 2>/dev/null | head -1");
    ASSERT_NE(entry, "") << "the xterm entry is part of every Debian system";
    run_output("mkdir " + file("78") + " && cp " + entry.substr(0, entry.size() - 1) + " " + file("78/xwena"));
    setenv("TERMINFO", dir.c_str(), 1);
    EXPECT_TRUE(erases_in_background("xwena"));
}
