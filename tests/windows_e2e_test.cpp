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
        std::filesystem::create_directory(file("clang"));
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
        std::string windows_program = windows_build + (demo              ? "/wena-demo.exe"
                                                       : build == "clang" ? "/switches-to-leds-clang.exe"
                                                                          : "/switches-to-leds.exe");
        std::string run = build != "posix" ? "wine " + shell_quote(windows_program)
                          : demo             ? std::string(DEMO_PROGRAM)
                                             : std::string(EXAMPLE_PROGRAM);
        return "cd " + shell_quote(file(build)) + " && " + before + " WENA_COLOR=16 WINEDEBUG=-all " + run;
    }

    // The scenario's dumps of the build equal the POSIX build's.
    void expect_same_dumps(const std::string &build)
    {
        for (std::string dump : {"screen.txt", "screen.html", "lcd.txt"}) {
            EXPECT_FALSE(read("posix/" + dump).empty()) << dump;
            EXPECT_TRUE(read(build + "/" + dump) == read("posix/" + dump)) << dump << " differs";
        }
    }

    bool wait_for_settings(const std::string &build, const std::string &content, int timeout_ms)
    {
        return wait_until([&] { return read(build + "/WENA.ini") == content; }, timeout_ms);
    }

    // The exit status of one build's run with standard output discarded.
    std::string status_of(const std::string &build, const std::string &before, bool demo = false) const
    {
        return run_output("(" + program(build, before, demo) + " > /dev/null; echo $?)");
    }

    // The same key to both programs; board keys are waited for in WENA.ini.
    void type_to_both(const std::string &key, const std::string &settings_after = "")
    {
        tmux_press(posix_pane, key);
        tmux_press(wine_pane, key);
        if (!settings_after.empty()) {
            ASSERT_TRUE(wait_for_settings("posix", settings_after, 10000)) << key;
            ASSERT_TRUE(wait_for_settings("windows", settings_after, 10000)) << key;
        }
    }
};

// The pane as libvterm reads tmux's capture of it, one text per cell. The
// console's cleared cell, light grey on black, is the terminal's default; a
// blank's foreground shows nowhere, so it is left out.
static std::vector<std::string> pane_cells(TmuxPane &pane)
{
    std::string capture = tmux_capture(pane), bytes;
    for (char c : capture.substr(0, capture.size() - 1))  // a last newline would scroll
        bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    VtEmulator vt;
    vt_open(vt, 80, 25);
    vt_feed(vt, bytes);
    std::vector<std::string> cells;
    for (const SeenCell &c : vt_screen(vt).cells) {
        std::string fg = c.text == " " ? "" : " fg " + std::to_string(c.fg < 0 ? 7 : c.fg);
        cells.push_back("'" + c.text + "'" + fg + " bg " + std::to_string(c.bg < 0 ? 0 : c.bg));
    }
    vt_close(vt);
    return cells;
}

// Empty when both panes show the same cells; else the first that differs.
static std::string pane_difference(TmuxPane &posix, TmuxPane &wine)
{
    std::vector<std::string> a = pane_cells(posix), b = pane_cells(wine);
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return "(" + std::to_string(i % 80) + "," + std::to_string(i / 80) + "): POSIX " + a[i] + ", wine " + b[i];
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
    auto expect_same_picture = [&](const char *board) {
        std::string difference;
        wait_until([&] { return (difference = pane_difference(posix_pane, wine_pane)).empty(); }, 10000);
        EXPECT_EQ(difference, "") << board << "\nPOSIX:\n"
                                  << tmux_capture(posix_pane) << "wine:\n"
                                  << tmux_capture(wine_pane);
    };
    expect_same_picture("LED");
    // The vending machine's outlet: light grey blanks beside black text on white.
    for (int output = 12; output <= 16; ++output)
        type_to_both("O", "1," + std::to_string(output) + ",21");
    expect_same_picture("VMOUT");
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

static const std::string example_scenario = utf8(u8"keys IOV\n"
                                                  u8"key 5\n"
                                                  u8"wait until lcd 0 == \"ｽｲｯﾁ -> LED\" within 500\n"
                                                  u8"check boards == 1 11 21\n"
                                                  u8"check PDR5 == 0x20\n"
                                                  u8"check PDR8 == 0x20\n"
                                                  u8"dump screen screen.txt\n"
                                                  u8"dump html screen.html\n"
                                                  u8"dump lcd lcd.txt\n");

// The demo plugs the switches in only where there is no WENA.ini yet.
TEST_F(WindowsBuild, AScenarioGivesTheSameVerdictAndDumpsAndTheDemoKeepsASavedChoiceAsOnPosix)
{
    for (std::string build : {"posix", "windows"}) {
        write(build + "/run.scn", example_scenario);
        EXPECT_EQ(status_of(build, "WENA_SCENARIO=run.scn"), "0\n") << build;
        write(build + "/WENA.ini", "0,11,21");
        write(build + "/demo.scn", "check boards == 0 11 21\n");
        EXPECT_EQ(status_of(build, "WENA_SCENARIO=demo.scn", true), "0\n") << build << " demo";
    }
    expect_same_dumps("windows");
}

// The example compiled by Clang for the mingw target, linked with the
// library g++ built.
TEST_F(WindowsBuild, AClangBuiltProgramGivesTheSameVerdictAndDumpsAsOnPosix)
{
    ASSERT_TRUE(std::filesystem::exists(windows_build + "/switches-to-leds-clang.exe")) << "no Clang for the mingw target";
    for (std::string build : {"posix", "clang"}) {
        write(build + "/run.scn", example_scenario);
        EXPECT_EQ(status_of(build, "WENA_SCENARIO=run.scn"), "0\n") << build;
    }
    expect_same_dumps("clang");
}


// The text of one row of the pane.
static std::string pane_row(TmuxPane &pane, int y)
{
    std::string text;
    std::vector<std::string> cells = pane_cells(pane);
    for (int x = 0; x < 80; ++x) {
        const std::string &cell = cells[(size_t)(y * 80 + x)];
        text += cell.substr(1, cell.find("' fg") - 1);
    }
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// A program that paints without pause, ended by Ctrl-C (a thread of the
// system's) or by the watchdog (a timer thread): the shell's next line and
// the verdict land below the board in the terminal's own colours, and the
// picture does not change after. Repeated, with the end at different moments.
TEST_F(WindowsBuild, NothingIsDrawnAfterCtrlCOrTheWatchdogEndsAProgramThatPaints)
{
    std::string painter = shell_quote(windows_build + "/tests/paints-without-pause.exe");
    write("windows/hang.scn", "wait 100000\n");
    for (int round = 0; round < 6; ++round) {
        bool watchdog = round % 3 == 2;
        std::string run = watchdog ? "WENA_SCENARIO=hang.scn WENA_WATCHDOG=1 wine " + painter : "wine " + painter;
        TmuxPane pane;
        ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote("trap : INT; cd " + shell_quote(file("windows")) +
                                                            " && WINEDEBUG=-all " + run + "; echo AFTER-$?; sleep 60")));
        ASSERT_TRUE(wait_until([&] { return tmux_capture(pane).find("H8/3664F") != std::string::npos; }, 60000));
        if (!watchdog) {
            usleep((useconds_t)(round * 70000));
            tmux_press(pane, "C-c");
        }
        ASSERT_TRUE(wait_until([&] { return tmux_capture(pane).find("AFTER-") != std::string::npos; }, 20000)) << round;
        usleep(300000);
        std::string settled = tmux_capture(pane);
        usleep(300000);
        EXPECT_EQ(tmux_capture(pane), settled) << "round " << round << ": drawn after the end";
        std::vector<std::string> cells = pane_cells(pane);
        int marker_row = -1;
        for (int y = 0; y < 25; ++y)
            if (pane_row(pane, y).rfind("AFTER-", 0) == 0)
                marker_row = y;
        // Written on the last row, below the board, then scrolled up by its own newline.
        ASSERT_EQ(marker_row, 23) << "round " << round << ":\n" << settled;
        EXPECT_EQ(cells[(size_t)marker_row * 80], "'A' fg 7 bg 0") << round;
        if (watchdog) {
            EXPECT_NE(settled.find("has not polled or paused for 1 s"), std::string::npos) << settled;
        }
        tmux_stop(pane);
    }
}

// Names in Japanese (from the environment and from the scenario) and a
// Windows path with a backslash in quotes reach the file system as written,
// whatever wine's code page; the failing check's katakana reach the console
// as characters, not as UTF-8 bytes read in a code page.
TEST_F(WindowsBuild, AScenarioUnderWineKeepsNamesAsWrittenAndTellsItsVerdictInItsCharacters)
{
    std::filesystem::create_directory(file(utf8(u8"windows/テスト")));
    std::filesystem::create_directory(file("windows/dir with spaces"));
    write(utf8(u8"windows/テスト/run.scn"), utf8(u8"dump screen 結果.txt\n"
                                                  u8"dump lcd \"dir with spaces\\sp.txt\"\n"
                                                  u8"check lcd 0 == \"ｽﾀｰﾄ\"\n"));
    TmuxPane pane;
    std::string run = utf8(u8"LANG=C.UTF-8 WENA_SCENARIO='テスト\\run.scn' WINEDEBUG=-all wine ") +
                      shell_quote(windows_build + "/switches-to-leds.exe");
    ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote("cd " + shell_quote(file("windows")) + " && " + run +
                                                        "; echo AFTER-$?; sleep 60")));
    ASSERT_TRUE(wait_until([&] { return tmux_capture(pane).find("AFTER-") != std::string::npos; }, 60000));
    std::string shown = tmux_capture(pane);
    tmux_stop(pane);
    EXPECT_NE(shown.find("AFTER-3"), std::string::npos) << shown;
    EXPECT_NE(shown.find(utf8(u8"== \"ｽﾀｰﾄ\"")), std::string::npos) << shown;
    EXPECT_FALSE(read(utf8(u8"windows/結果.txt")).empty());
    EXPECT_FALSE(read("windows/dir with spaces/sp.txt").empty());
}

// Files and variables as POSIX has them, under a folder named in Japanese:
// an output onto the scenario, onto WENA.ini or onto the console is
// refused; WENA.ini as a symbolic link, or with a second name, is written
// through; a Japanese WENA_DUMP_ON_FAILURE is written; full-width digits are
// no number; a pipe that carries nothing yet holds up no poll.
TEST_F(WindowsBuild, FilesVariablesAndPipesUnderWineActAsOnPosix)
{
    std::string folder = utf8(u8"windows/テスト");
    std::filesystem::create_directory(file(folder));
    std::string wine = "cd " + shell_quote(file(folder)) + " && WINEDEBUG=-all ";
    std::string exe = " wine " + shell_quote(windows_build + "/switches-to-leds.exe") + " < /dev/null > /dev/null";
    auto run_scn = [&](const std::string &scenario, const std::string &env = "") {
        write(folder + "/run.scn", scenario);
        // Without wine's own first-start lines ("wine: created the configuration directory ...").
        std::string status = run_output("(" + wine + "WENA_SCENARIO=run.scn " + env + exe +
                                        " 2> err.txt; echo $?; grep -v '^wine: ' err.txt)");
        return status;
    };
    EXPECT_EQ(run_scn("dump lcd run.scn\n"),
              "6\nwena: run.scn:1: cannot write 'run.scn': it is the scenario itself\n");
    write(folder + "/WENA.ini", "1,11,0");
    EXPECT_EQ(run_scn(utf8(u8"dump lcd \"..\\テスト\\WENA.ini\"\n")),
              utf8(u8"6\nwena: run.scn:1: cannot write '..\\テスト\\WENA.ini': it is WENA.ini, which the board "
                   u8"starts from\n"));
    EXPECT_EQ(run_scn("dump lcd CON\n"), "6\nwena: run.scn:1: cannot write 'CON': it is the console the board is drawn on\n");
    EXPECT_EQ(read(folder + "/WENA.ini"), "1,11,0");

    std::string failure_page = utf8(u8"失敗.html");
    EXPECT_EQ(run_scn("check PDR8 == 1\n", "WENA_DUMP_ON_FAILURE=" + failure_page + utf8(u8" WENA_TIME_LIMIT=１０")),
              utf8(u8"3\nwena: WENA_TIME_LIMIT='１０' ignored: it is a positive whole number; 3600 is kept\n"
                   u8"wena: run.scn:1: failed: check PDR8 == 1; seen PDR8 = 0\n"));
    EXPECT_NE(read(folder + "/" + failure_page).find("<div class=\"screen\">"), std::string::npos);

    // A board change saves WENA.ini (a scenario run saves nothing).
    write(folder + "/real.ini", "1,11,0");
    write(folder + "/shared.ini", "1,11,0");
    run_output("cd " + shell_quote(file(folder)) + " && rm WENA.ini && ln -s real.ini WENA.ini && ln shared.ini other.ini");
    std::string change_output = "(" + wine + "printf Oq |" + exe.substr(0, exe.find(" < ")) + " > /dev/null 2>&1; echo $?)";
    EXPECT_EQ(run_output(change_output), "1\n");
    EXPECT_EQ(read(folder + "/real.ini"), "1,12,0") << "written through the link";
    EXPECT_EQ(run_output("cd " + shell_quote(file(folder)) + " && readlink WENA.ini"), "real.ini\n");
    run_output("cd " + shell_quote(file(folder)) + " && rm WENA.ini && ln shared.ini WENA.ini");
    EXPECT_EQ(run_output(change_output), "1\n");
    EXPECT_EQ(read(folder + "/other.ini"), "1,12,0") << "the file's other name sees the change";
    // Keys from a file saved in code page 932: "２" (0x82 0x51) is one key, not a Q.
    EXPECT_EQ(run_output("(" + wine + "printf '\\202\\121Oq' |" + exe.substr(0, exe.find(" < ")) + " > /dev/null 2>&1; echo $?)"),
              "1\n");
    EXPECT_EQ(read(folder + "/other.ini"), "1,13,0") << "the O after it was a key";

    // A pipe that carries nothing yet (its writer types q only after 4 s):
    // the counter counts meanwhile; a poll that waited on the pipe would not.
    std::string counter = shell_quote(windows_build + "/hex-counter.exe");
    EXPECT_EQ(run_output("(" + wine + "mkfifo keys; { sleep 4; printf q; exec sleep 60; } > keys & holder=$!; "
                         "WENA_DUMP_AT_EXIT=counted.txt timeout 80 wine " + counter +
                         " < keys > /dev/null 2>&1; echo $?; kill $holder)"),
              "1\n");
    std::string counted = read(folder + "/counted.txt");
    size_t shown = counted.find("PDR8=");
    ASSERT_NE(shown, std::string::npos) << counted;
    EXPECT_NE(counted.substr(shown, 7), "PDR8=00") << "it counted while the pipe was empty";
}

// abort(), a failed assert and an uncaught exception run no exit handlers:
// the change the program left waiting still reaches the LCD,
// the console is given back (the shell's line below the board in the
// terminal's colours), and the runtime's message comes whole after it.
TEST_F(WindowsBuild, EndingsWithoutExitHandlersGiveTheConsoleBackAndKeepTheirMessage)
{
    const struct {
        const char *how, *status, *message;
    } endings[] = {
        {"abort", "3", ""},
        {"assert", "3", "Assertion failed: strcmp(how, \"assert\") != 0, file"},
        {"throw", "3", "what():  the board program's own exception"},
    };
    std::string program = shell_quote(windows_build + "/tests/ends-badly.exe");
    for (const auto &ending : endings) {
        TmuxPane pane;
        ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote("cd " + shell_quote(file("windows")) +
                                                            " && WINEDEBUG=-all wine " + program + " " + ending.how +
                                                            "; echo AFTER-$?; sleep 60")));
        ASSERT_TRUE(wait_until([&] { return tmux_capture(pane).find("AFTER-") != std::string::npos; }, 60000))
            << ending.how;
        usleep(300000);
        std::string shown = tmux_capture(pane);
        tmux_stop(pane);
        EXPECT_NE(shown.find(std::string("AFTER-") + ending.status), std::string::npos) << shown;
        EXPECT_NE(shown.find(ending.how), std::string::npos) << "the LCD's waiting line:\n" << shown;
        EXPECT_NE(shown.find(ending.message), std::string::npos) << shown;
        size_t after = shown.find("AFTER-"), message = *ending.message ? shown.find(ending.message) : 0;
        EXPECT_LT(message, after) << "the message before the shell's next line:\n" << shown;
    }
}
