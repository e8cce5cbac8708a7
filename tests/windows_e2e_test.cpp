// The Windows build of the example program, run under wine beside the POSIX
// build: the same keys give the same board picture on a terminal, cell by
// cell in characters and colours, the same bytes into a file, and the same
// scenario verdict and dumps. Runs when WENA_WINDOWS_BUILD names a
// cross-built tree (bash .ci/run sets it); WINEPREFIX is taken as it is set.
#include "tests/support/capture.h"
#include "tests/support/seen_screen.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

class WindowsBuild : public TempDirTest {
protected:
    std::string windows_build;
    TmuxPane posix_pane, wine_pane;

    void SetUp() override
    {
        const char *build = getenv("WENA_WINDOWS_BUILD");
        if (!build || !*build)
            GTEST_SKIP() << "WENA_WINDOWS_BUILD does not name a Windows build";
        windows_build = std::filesystem::absolute(build).string();
        ASSERT_TRUE(std::filesystem::exists(windows_build + "/switches-to-leds.exe")) << windows_build;
        TempDirTest::SetUp();
        std::filesystem::create_directory(file("posix"));
        std::filesystem::create_directory(file("windows"));
    }

    void TearDown() override
    {
        tmux_stop(posix_pane);
        tmux_stop(wine_pane);
        if (!dir.empty())
            TempDirTest::TearDown();
    }

    // A shell command that runs the example (or the demo) of one build in
    // its own directory, after `before` (environment settings, a pipe into it).
    std::string program(const std::string &build, const std::string &before = "", bool demo = false) const
    {
        std::string windows_program = windows_build + (demo ? "/wena-demo.exe" : "/switches-to-leds.exe");
        std::string run = build == "windows" ? "wine " + shell_quote(windows_program)
                          : demo             ? std::string(DEMO_PROGRAM)
                                             : std::string(EXAMPLE_PROGRAM);
        return "cd " + shell_quote(file(build)) + " && " + before + " WENA_COLOR=16 WINEDEBUG=-all " + run;
    }

    bool wait_for_settings(const std::string &build, const std::string &content, int timeout_ms)
    {
        for (int waited = 0; waited < timeout_ms; waited += 20) {
            if (read(build + "/WENA.ini") == content)
                return true;
            usleep(20 * 1000);
        }
        return false;
    }

    // The same key to both programs; board keys are waited for in WENA.ini.
    void type_to_both(const std::string &key, const std::string &settings_after = "")
    {
        for (TmuxPane *pane : {&posix_pane, &wine_pane}) {
            if (key.size() == 1)
                tmux_type(*pane, key);
            else
                tmux_press(*pane, key);
        }
        if (settings_after.empty())
            return;
        ASSERT_TRUE(wait_for_settings("posix", settings_after, 10000)) << key;
        ASSERT_TRUE(wait_for_settings("windows", settings_after, 10000)) << key;
    }
};

// The console's cleared cell, light grey on black, is the terminal's default.
static SeenCell normalized(SeenCell c)
{
    if (c.fg < 0)
        c.fg = 7;
    if (c.bg < 0)
        c.bg = 0;
    return c;
}

static std::string describe(const SeenCell &c)
{
    return "'" + c.text + "' fg " + std::to_string(c.fg) + " bg " + std::to_string(c.bg);
}

// The pane as libvterm reads tmux's capture of it.
static SeenScreen pane_screen(TmuxPane &pane)
{
    std::string capture = tmux_capture(pane), bytes;
    for (char c : capture.substr(0, capture.size() - 1))  // a last newline would scroll
        bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    VtEmulator vt;
    vt_open(vt, 80, 25);
    vt_feed(vt, bytes);
    SeenScreen seen = vt_screen(vt);
    vt_close(vt);
    return seen;
}

// Empty when both panes show the same cells; else the first that differs.
static std::string pane_difference(TmuxPane &posix, TmuxPane &wine)
{
    SeenScreen a = pane_screen(posix), b = pane_screen(wine);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) {
            SeenCell p = normalized(a.at(x, y)), w = normalized(b.at(x, y));
            if (p.text != w.text || p.fg != w.fg || p.bg != w.bg)
                return "(" + std::to_string(x) + "," + std::to_string(y) + "): POSIX " + describe(p) + ", wine " +
                       describe(w);
        }
    return "";
}

TEST_F(WindowsBuild, ThePictureUnderWineEqualsThePosixPictureCellByCell)
{
    ASSERT_TRUE(tmux_start(posix_pane, "sh -c " + shell_quote(program("posix") + "; exec sleep 120")));
    ASSERT_TRUE(tmux_start(wine_pane, "sh -c " + shell_quote(program("windows") + "; echo $? > ../status; exec sleep 120")));
    ASSERT_TRUE(wait_for_settings("posix", "0,0,0", 10000));
    ASSERT_TRUE(wait_for_settings("windows", "0,0,0", 60000)) << "wine did not start the program";
    // On the Windows console these arrive as 0xE0 'H' and 0xE0 'I'.
    type_to_both("Up");
    type_to_both("PPage");
    type_to_both("I", "1,0,0");
    type_to_both("O", "1,11,0");
    type_to_both("V", "1,11,21");
    type_to_both("3");
    std::string difference;
    for (int waited = 0; waited < 10000; waited += 100) {
        difference = pane_difference(posix_pane, wine_pane);
        if (difference.empty())
            break;
        usleep(100 * 1000);
    }
    EXPECT_EQ(difference, "") << "POSIX:\n" << tmux_capture(posix_pane) << "wine:\n" << tmux_capture(wine_pane);
    tmux_type(wine_pane, "q");
    EXPECT_EQ(wait_for_file(file("status"), 10000), "1\n");
}

// A terminal description without background erase, as Windows has none to read.
TEST_F(WindowsBuild, PipedKeysWriteTheSameBytesIntoAFileAsOnPosix)
{
    for (std::string build : {"posix", "windows"})
        EXPECT_EQ(run_output("(" + program(build, "printf 'IOV3q' | TERM=vt100") + " > out; echo $?)"), "1\n") << build;
    EXPECT_EQ(read("windows/WENA.ini"), "1,11,21");
    EXPECT_FALSE(read("posix/out").empty());
    EXPECT_TRUE(read("windows/out") == read("posix/out")) << "the terminal output differs";
}

TEST_F(WindowsBuild, AScenarioGivesTheSameVerdictAndDumpsAsOnPosix)
{
    std::string scenario = utf8(u8"keys IOV\n"
                                u8"key 5\n"
                                u8"wait until lcd 0 == \"ｽｲｯﾁ -> LED\" within 500\n"
                                u8"check boards == 1 11 21\n"
                                u8"check PDR5 == 0x20\n"
                                u8"check PDR8 == 0x20\n"
                                u8"dump screen screen.txt\n"
                                u8"dump html screen.html\n"
                                u8"dump lcd lcd.txt\n");
    for (std::string build : {"posix", "windows"}) {
        { std::ofstream(file(build + "/run.scn"), std::ios::binary) << scenario; }
        EXPECT_EQ(run_output("(" + program(build, "WENA_SCENARIO=run.scn") + " > /dev/null; echo $?)"), "0\n") << build;
    }
    for (std::string dump : {"screen.txt", "screen.html", "lcd.txt"}) {
        EXPECT_FALSE(read("posix/" + dump).empty()) << dump;
        EXPECT_TRUE(read("windows/" + dump) == read("posix/" + dump)) << dump << " differs";
    }
}

// The demo plugs the switches in only where there is no WENA.ini yet.
TEST_F(WindowsBuild, TheDemoKeepsASavedChoiceOfBoards)
{
    for (std::string build : {"posix", "windows"}) {
        write(build + "/WENA.ini", "0,11,21");
        write(build + "/run.scn", "check boards == 0 11 21\n");
        EXPECT_EQ(run_output("(" + program(build, "WENA_SCENARIO=run.scn", true) + " > /dev/null; echo $?)"), "0\n")
            << build;
    }
}
