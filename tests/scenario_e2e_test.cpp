// Scenario runs of the example program: keys typed at the right moments,
// checks and their verdicts, dumps, determinism, and a recorded live
// session that replays to the same screen.
#include "tests/support/capture.h"
#include "tests/support/docs.h"
#include "tests/support/golden.h"
#include "tests/support/seen_screen.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

class ScenarioRun : public TempDirTest {
protected:
    // The example (or another program) with the scenario, in sixteen colours.
    int run(const std::string &scenario, const std::string &env = "", const std::string &program = EXAMPLE_PROGRAM,
            const char *settings = nullptr)
    {
        return run_scenario(program, scenario, settings, env + " WENA_COLOR=16");
    }
};

static const std::string choose_boards_and_quit = utf8(
    u8"# plug in the switch, LED and analog boards, look, and quit\n"
    u8"check boards == 0 0 0\n"
    u8"keys IOV\n"
    u8"check PDR8 == 0\n"
    u8"check screen 36 5 == \"ＷＥＮＡ\" attr 0x0E\n"
    u8"wait until lcd 0 == \"ｽｲｯﾁ -> LED\" within 500\n"
    u8"check lcd 1 contains \"A=0\"\n"
    u8"dump screen screen.txt\n"
    u8"dump html screen.html\n"
    u8"dump lcd lcd.txt\n"
    u8"key q\n");

// What a terminal shows from the run's output bytes, row by row, as a text
// dump writes it: a glyph code page 932 makes two columns wide is read from
// its first column, with a blank after it where the terminal drew it narrow.
static std::string terminal_text(const std::string &output)
{
    VtEmulator vt;
    vt_open(vt, 80, 25);
    vt_feed(vt, output);
    SeenScreen seen = vt_screen(vt);
    vt_close(vt);
    std::string text;
    for (int y = 0; y < 25; ++y, text += "\n")
        for (int x = 0; x < 80; ++x) {
            const SeenCell &cell = seen.at(x, y);
            int columns = std::max(1, cp932_columns(cell.text));
            text += cell.text + (columns == 2 && cell.width == 1 ? " " : "");
            x += columns - 1;
        }
    return text;
}

// Twice, to the same bytes: the run is deterministic.
TEST_F(ScenarioRun, ChoosesBoardsChecksDumpsAndQuitsTheSameWayTwice)
{
    ASSERT_EQ(run(choose_boards_and_quit), 1) << "q is the program's own quit: " << err;
    EXPECT_EQ(read("WENA.ini"), "") << "a scenario run never writes WENA.ini";
    std::string output = read("out.bin"), dump = read("screen.txt"), html = read("screen.html");
    EXPECT_EQ(dump, terminal_text(output));
    EXPECT_NE(dump.find(utf8(u8"ＷＥＮＡ")), std::string::npos);
    EXPECT_EQ(read("lcd.txt"), utf8(u8"ｽｲｯﾁ -> LED     \n00 A=0          \n"));
    EXPECT_NE(html.find("<html"), std::string::npos);
    ASSERT_EQ(run(choose_boards_and_quit), 1);
    EXPECT_TRUE(output == read("out.bin")) << "output bytes differ";
    EXPECT_EQ(dump, read("screen.txt"));
    EXPECT_EQ(html, read("screen.html"));
}

TEST_F(ScenarioRun, EveryCheckHoldingEndsTheRunWithStatusZero)
{
    EXPECT_EQ(run("keys IO\nwait 100\ncheck PDR8 == 0\ncheck boards == 1 11 0\n"), 0) << err;
    EXPECT_NE(err.find("passed, 2 checks held"), std::string::npos) << err;
    // The mask is applied: 0x0A alone is no 2. A wait until counts as a check.
    EXPECT_EQ(run("start boards 1 11 0\nkeys 13\ncheck PDR8 & 0x02 == 2\nwait until PDR8 & 0b1000 != 0\n"), 0) << err;
    EXPECT_EQ(err, "wena: run.scn: passed, 2 checks held\n");
    // Seconds of real time, polling all along: the watchdog's first tick
    // after a poll is no second without one.
    EXPECT_EQ(run("start boards 1 11 0\nwait 3000000\ncheck PDR8 == 0\n", "WENA_WATCHDOG=1"), 0) << err;
    ASSERT_EQ(mkfifo(file("fifo.scn").c_str(), 0644), 0);
    EXPECT_EQ(run("", "(echo 'check PDR8 == 0' > fifo.scn &) && WENA_SCENARIO=fifo.scn"), 0) << err;
    EXPECT_EQ(run(utf8(u8"check screen 36 5 == \"ＷＥＮＡ\"\n"), "", SELECTION_PROBE " pause"), 0)
        << "the first steps see the board laid out even if the program pauses first: " << err;
    EXPECT_EQ(run("check PDR8 == 0\ndump screen /dev/stdout\n"), 0) << err;
    EXPECT_NE(read("out.bin").find("H8/3664F"), std::string::npos) << "the dump went to standard output";
}

// An HTML picture as the golden files hold one: its text rows, then a letter
// a cell for the attribute, with the legend.
static std::string html_picture(const std::string &page)
{
    static const std::pair<const char *, const char *> entities[] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}};
    std::string text, attrs, legend;
    std::map<int, char> letter_of;
    size_t at = page.find("<div class=\"screen\">\n");
    for (size_t row; at != std::string::npos && (row = page.find("<div>", at)) != std::string::npos;
         at = page.find("</div>", row)) {
        size_t end = page.find("</div>", row);
        for (size_t span = page.find("<span class=\"f", row); span < end; span = page.find("<span class=\"f", span + 1)) {
            int attr = std::stoi(page.substr(span + 14, 1), nullptr, 16) | std::stoi(page.substr(span + 17, 1), nullptr, 16) << 4;
            size_t width_at = page.find("width:", span) + 6, open = page.find("\">", width_at) + 2;
            std::string cell = page.substr(open, page.find("</span>", open) - open);
            for (const auto &[entity, character] : entities)
                for (size_t e; (e = cell.find(entity)) != std::string::npos;)
                    cell.replace(e, strlen(entity), character);
            if (!letter_of.count(attr)) {
                letter_of[attr] = (char)('a' + letter_of.size());
                char entry[8];
                snprintf(entry, sizeof entry, " %c=%02X", letter_of[attr], attr);
                legend += entry;
            }
            text += cell;
            attrs += std::string((size_t)std::stoi(page.substr(width_at)), letter_of[attr]);
        }
        text += "\n";
        attrs += "\n";
    }
    return text + "\n" + attrs + (legend.empty() ? "" : legend.substr(1)) + "\n";
}

// Right after a key, the check, a dump and the picture of a failure all see
// the board as the poll leaves it: the program's new PDR8 on the digits and
// in the readout, not the value of the poll before.
TEST_F(ScenarioRun, APictureRightAfterAKeyAgreesWithTheCheck)
{
    EXPECT_EQ(run("start boards SWITCH SEG7D none\nkey 7\ncheck PDR8 == 0x80\ndump html after-key.html\n"
                  "check PDR8 == 0x81\n",
                  "WENA_DUMP_ON_FAILURE=failure.html"),
              3);
    EXPECT_EQ(err, "wena: run.scn:5: failed: check PDR8 == 0x81; seen PDR8 = 0x80\n");
    EXPECT_TRUE(matches_golden_text("seg7d_right_after_key_7", html_picture(read("after-key.html"))));
    EXPECT_EQ(read("failure.html"), read("after-key.html")) << "the picture beside the failed check";
}

// Each way a run can go wrong has its own status and one line naming it:
// 3 a failed check, 4 a limit, 5 a scenario refused before the run starts
// (nothing painted), 6 a dump not written, 7 a program that ended too soon.
TEST_F(ScenarioRun, EachFailureEndsTheRunWithItsStatusAndMessage)
{
    const std::string ex = EXAMPLE_PROGRAM, probe = SELECTION_PROBE;
    const struct {
        std::string scenario, env, program;
        int status;
        std::string message;
    } cases[] = {
        {"keys IO\ncheck PDR8 & 0x0F == 5\ncheck PDR8 == 0\n", "", ex, 3,
         "run.scn:2: failed: check PDR8 & 0x0F == 5; seen PDR8 & 0x0F = 0 (PDR8 = 0)\n"},
        {"keys 1\ncheck PDR5 == 0b10\n", "", ex, 3,
         "run.scn:2: failed: check PDR5 == 0b10; seen PDR5 = 0b00000000 (no input board was plugged in: the "
         "scenario has no 'start boards' line)\n"},
        {"wait until lcd 0 == \"nope\" within 300\n", "", ex, 4,
         utf8(u8"run.scn:1: wait until lcd 0 == \"nope\" within 300: not met within 300 ms; seen lcd 0 = \"ｽｲｯﾁ -> LED\"\n")},
        {"wait 1099511627776\n", "", ex, 4,
         "run.scn:1: the run reached its limit of 3600 s of the program's time (WENA_TIME_LIMIT)\n"},
        {"wait until lcd 0 == \"x\" within 1099511627776\n", "WENA_TIME_LIMIT=5", ex, 4,
         "run.scn:1: the run reached its limit of 5 s of the program's time (WENA_TIME_LIMIT)\n"},
        {"at poll 1152921504606846976 key q\n", "WENA_POLL_LIMIT=1000", ex, 4,
         "run.scn:1: the run reached its limit of 1000 polls (WENA_POLL_LIMIT)\n"},
        {"wait 100000\n", "WENA_WATCHDOG=1", probe + " stall", 4,
         "run.scn:1: the program has not polled or paused for 1 s of real time (WENA_WATCHDOG)\n"},
        {"wait until lcd 0 == \"nope\"\n", "", ex, 4,
         utf8(u8"run.scn:1: wait until lcd 0 == \"nope\": not met within 10000 ms; seen lcd 0 = \"ｽｲｯﾁ -> LED\"\n")},
        {"wait 100000\n", "WENA_REALTIME=1 WENA_TIME_LIMIT=1", probe + " doze", 4,
         "run.scn:1: the run reached its limit of 1 s of the program's time (WENA_TIME_LIMIT)\n"},
        {"wait 100000\n", "WENA_REALTIME=1 WENA_WATCHDOG=1", probe + " doze", 4,
         "run.scn:1: the program has been in one pause for 1 s of real time (WENA_WATCHDOG)\n"},
        {"key I\nfly 3\n", "", ex, 5, "run.scn:2: unknown step 'fly' (key, keys, wait, check, dump, at, start)\n"},
        {"start boards SWTICH LED none\n", "", ex, 5,
         "run.scn:1: 'SWTICH' is not an input board (0 none, 1 SWITCH, 2 PSHSWITCH, 3 VMIN)\n"},
        {"check boards == -1 0 0\n", "", ex, 5, "run.scn:1: there is no input board -1 (0 none, 1 SWITCH, 2 PSHSWITCH, 3 VMIN)\n"},
        {"wait 5x\n", "", ex, 5, "run.scn:1: '5x' is not a number (milliseconds)\n"},
        {"check PDR7 == 0\n", "", ex, 5, "run.scn:1: unknown register 'PDR7' (PDR5, PDR8, ADDA-ADDD)\n"},
        {"keys 0 0\n", "", ex, 5,
         "run.scn:1: keys takes one word with no blanks: 'keys 13' types 1 and 3; a blank is 'key space' on a line "
         "of its own\n"},
        {"check PDR8 == 256\n", "", ex, 5, "run.scn:1: '256' is out of range: PDR8 is an 8-bit port, 0 to 255 (0xFF)\n"},
        {"check ADDB != 1023\n", "", ex, 5,
         "run.scn:1: '1023' is never in ADDB, which holds the 10-bit result times 64: a multiple of 64 from 0 to "
         "65472 (0xFFC0)\n"},
        {"check PDR5 & 0x04 == 5\n", "", ex, 5,
         "run.scn:1: '5' has bits outside the mask 0x04, so PDR5 & 0x04 never equals it\n"},
        // Saved as Shift_JIS: "スイッチ".
        {"key I\ncheck lcd 0 == \"\x83X\x83" "C\x83" "b\x83`\"\n", "", ex, 5,
         "run.scn:2: the scenario is not UTF-8 (byte 0x83 at character 17): save it as UTF-8\n"},
        {"", "WENA_SCENARIO=missing.scn", ex, 5, "missing.scn: cannot read the scenario: No such file or directory\n"},
        {"", "WENA_SCENARIO=dir.scn", ex, 5, "dir.scn: cannot read the scenario: it is a directory\n"},
        {"", "WENA_SCENARIO=/dev/zero", ex, 5, "/dev/zero: cannot read the scenario: it is not a regular file\n"},
        {"#" + std::string(4 << 20, 'x') + "\n", "", ex, 5,
         "run.scn: cannot read the scenario: it is larger than 4194304 bytes\n"},
        {"check PDR8 == 0\n", "WENA_RECORD=rec.scn", ex, 5,
         "WENA_RECORD and WENA_SCENARIO cannot be used together: a replay records nothing new\n"},
        {"dump screen no/such/dir/x.txt\n", "", ex, 6,
         "run.scn:1: cannot write 'no/such/dir/x.txt': No such file or directory\n"},
        {"check PDR8 == 0\n", "WENA_DUMP_AT_EXIT=.", ex, 6, ".: WENA_DUMP_AT_EXIT cannot be written: Is a directory\n"},
        {"check PDR8 == 0\n", "WENA_TRACE=/dev/full", ex, 6, "/dev/full: WENA_TRACE cannot be written: No space left on device\n"},
        {"check PDR8 == 0\n", "WENA_DUMP_AT_EXIT=no/dir/x.txt", ex, 6,
         "no/dir/x.txt: WENA_DUMP_AT_EXIT cannot be written: No such file or directory\n"},
        {"check PDR8 == 1\n", "WENA_DUMP_ON_FAILURE=no/dir/x.html", ex, 3,
         "no/dir/x.html: WENA_DUMP_ON_FAILURE cannot be written: No such file or directory\n"
         "wena: run.scn:1: failed: check PDR8 == 1; seen PDR8 = 0\n"},
        {"check PDR8 == 0\n", utf8(u8"WENA_TIME_LIMIT=１０"), ex, 0,
         utf8(u8"WENA_TIME_LIMIT='１０' ignored: it is a positive whole number; 3600 is kept\n"
                                             "wena: run.scn: passed, 1 check held\n")},
        {"wait 1000\ncheck PDR8 == 0\n", "", probe + " return", 7,
         "run.scn:1: the program ended with exit status 0 before this step: wait 1000\n"},
        {"keys q\ncheck PDR8 == 0\n", "", ex, 7,
         "run.scn:2: the program ended with exit status 1 before this step: check PDR8 == 0\n"},
    };
    ASSERT_EQ(mkdir(file("dir.scn").c_str(), 0755), 0);
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.scenario, c.env, c.program), c.status) << c.message;
        EXPECT_EQ(err, "wena: " + c.message) << "one prefix, on every message";
        if (c.status == 5) {
            EXPECT_EQ(read("out.bin"), "") << "nothing was painted: " << c.message;
        }
    }
}

// A private null device, so that a fault here cannot break the machine's own /dev/null.
TEST_F(ScenarioRun, ADumpAtExitIntoADeviceLeavesTheDevice)
{
    if (mknod(file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "a device file needs root: the device case is not run";
    EXPECT_EQ(run("check PDR8 == 0\n", "WENA_DUMP_AT_EXIT=null"), 0) << err;
    struct stat seen {};
    ASSERT_EQ(stat(file("null").c_str(), &seen), 0);
    EXPECT_TRUE(S_ISCHR(seen.st_mode)) << "the device was turned into another kind of file";
}

// Virtual time runs far faster than real time unless asked not to; the
// usual spellings of "off" keep it virtual, others are reported.
TEST_F(ScenarioRun, VirtualTimeUnlessRealTimeIsAskedFor)
{
    struct timespec before, after;
    clock_gettime(CLOCK_MONOTONIC, &before);
    EXPECT_EQ(run("wait 60000\ncheck PDR8 == 0\n"), 0) << "a minute of the program's time, in a moment";
    for (const char *off : {"0", "false", "no", "OFF"})
        EXPECT_EQ(run("wait 30000\n", std::string("WENA_REALTIME=") + off), 0) << off;
    clock_gettime(CLOCK_MONOTONIC, &after);
    EXPECT_LT(after.tv_sec - before.tv_sec, 30) << "three minutes of waits took real time";
    EXPECT_EQ(run("wait 30000\n", "WENA_REALTIME=maybe"), 0);
    EXPECT_EQ(err, "wena: WENA_REALTIME='maybe' ignored, the clock is virtual: it is 1, yes, true or on, or 0, no, "
                   "false, off or empty\nwena: run.scn: passed, 0 checks held\n");
    clock_gettime(CLOCK_MONOTONIC, &before);
    EXPECT_EQ(run("wait 300\n", "WENA_REALTIME=1"), 0);
    clock_gettime(CLOCK_MONOTONIC, &after);
    EXPECT_GE((double)(after.tv_sec - before.tv_sec) + (double)(after.tv_nsec - before.tv_nsec) / 1e9, 0.3);
}

// Boards chosen with real keys in a terminal; Q quits with status 1 and gives
// the terminal back, and the recorded session replays to the same screen
// without touching WENA.ini.
TEST_F(ScenarioRun, ALiveSessionGivesTheTerminalBackAndReplaysToTheSameScreen)
{
    TmuxPane pane;
    std::string live = "cd " + shell_quote(dir) + " && stty -g > before; WENA_RECORD=session.scn " +
                       "WENA_DUMP_AT_EXIT=live.txt " + EXAMPLE_PROGRAM + "; echo $? > status; stty -g > after; exec sleep 30";
    ASSERT_TRUE(tmux_start(pane, "sh -c " + shell_quote(live)));
    ASSERT_NE(wait_for_file(file("WENA.ini"), 10000), "");
    for (const char *key : {"I", "o", "V", "3", "+", "h"}) {
        tmux_type(pane, key);
        usleep(60 * 1000);
    }
    tmux_type(pane, "q");
    EXPECT_EQ(wait_for_file(file("status"), 10000), "1\n");
    ASSERT_NE(wait_for_file(file("after"), 10000), "");
    EXPECT_EQ(read("before"), read("after"));
    EXPECT_EQ(tmux_format(pane, "#{cursor_flag}"), "1");
    tmux_stop(pane);
    EXPECT_EQ(read("WENA.ini"), "1,11,21");
    std::string session = read("session.scn");
    EXPECT_NE(session.find("\nstart boards none none none\n"), std::string::npos) << session;
    EXPECT_NE(session.find("key q"), std::string::npos) << session;

    write("WENA.ini", "3,16,21");
    std::string command = "cd " + shell_quote(dir) + " && WENA_SCENARIO=session.scn WENA_DUMP_AT_EXIT=replay.txt " +
                          EXAMPLE_PROGRAM + " < /dev/null > /dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(system(command.c_str())), 1);
    EXPECT_EQ(read("replay.txt"), read("live.txt"));
    EXPECT_NE(read("live.txt").find(utf8(u8"ｽｲｯﾁ -> LED")), std::string::npos);
    EXPECT_EQ(read("WENA.ini"), "3,16,21");
}

// The starting boards come from the scenario, else from WENA.ini as read, and
// the run never writes the file back. Numbers with no board step on from
// where they are, from the file or the scenario alike.
TEST_F(ScenarioRun, RunsAreReproducibleWhateverWENAiniHolds)
{
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(run("keys IOV\nwait until lcd 0 == \"3,13,21\" within 100\n", "", SELECTION_PROBE, "2,12,0"), 0)
            << "round " << round << ": " << err;
        EXPECT_EQ(read("WENA.ini"), "2,12,0");
    }
    EXPECT_EQ(run("start boards 0 0 0\nkeys IOV\ncheck lcd 0 == \"1,11,21\"\n", "", SELECTION_PROBE, "3,16,21"), 0)
        << err;
    const std::string off_cycle = "keys IOV\nwait until lcd 0 == \"0,6,3\" within 100\ncheck boards == none none none\n";
    EXPECT_EQ(run(off_cycle, "", SELECTION_PROBE, "7,5,2"), 0) << err;
    EXPECT_EQ(run("start boards 7 5 2\n" + off_cycle, "", SELECTION_PROBE, "1,11,21"), 0) << err;
}

// A recording keeps numbers with no board as numbers, so that its keys step
// on from them in the replay as they did in the session.
TEST_F(ScenarioRun, ASessionFromNumbersWithNoBoardReplaysToTheSameScreen)
{
    write("WENA.ini", "7,5,2");
    std::string live = "cd " + shell_quote(dir) + " && printf IOVq | WENA_RECORD=session.scn WENA_DUMP_AT_EXIT=live.txt " +
                       SELECTION_PROBE + " > /dev/null 2>&1";
    int status = system(live.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(read("WENA.ini"), "0,6,3");
    std::string session = read("session.scn");
    EXPECT_NE(session.find("\nstart boards 7 5 2\n"), std::string::npos) << session;
    EXPECT_EQ(run(session, "WENA_DUMP_AT_EXIT=replay.txt", SELECTION_PROBE, "1,11,21"), 1) << err;
    EXPECT_NE(read("live.txt").find("0,6,3"), std::string::npos);
    EXPECT_EQ(read("replay.txt"), read("live.txt"));
}

// The first poll made by the program's first LCD call runs no step, so keys
// typed at the start are read by the program's own polls; a scenario run
// leaves the program's own sleep() alone.
TEST_F(ScenarioRun, StepsAndKeysBelongToTheProgramsOwnPollsAndSleepIsLeftAlone)
{
    EXPECT_EQ(run("start boards SWITCH LED none\nkeys 1\ncheck PDR8 == 2\n"), 0) << err;
    EXPECT_EQ(run("wait until lcd 1 == \"left 0 s\"\n", "WENA_WATCHDOG=5", std::string(SELECTION_PROBE) + " nap"), 0)
        << err;
}

// An output naming an input would destroy it: refused before anything is
// painted, whatever name leads to the file, and the input is left whole.
TEST_F(ScenarioRun, AnOutputThatIsTheScenarioOrWENAiniIsRefused)
{
    const std::string scenario = "check PDR8 == 0\ndump screen ./run.scn\n";
    ASSERT_EQ(symlink("run.scn", file("link.scn").c_str()), 0);
    const struct {
        std::string env, message;
    } cases[] = {
        {"WENA_TRACE=run.scn", "run.scn: WENA_TRACE cannot be written: it is the scenario itself\n"},
        {"WENA_DUMP_AT_EXIT=link.scn", "link.scn: WENA_DUMP_AT_EXIT cannot be written: it is the scenario itself\n"},
        {"WENA_TRACE=WENA.ini", "WENA.ini: WENA_TRACE cannot be written: it is WENA.ini, which the board starts from\n"},
        {"", "run.scn:2: cannot write './run.scn': it is the scenario itself\n"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(scenario, c.env, EXAMPLE_PROGRAM, "1,11,0"), 6) << c.env;
        EXPECT_EQ(err, "wena: " + c.message);
        EXPECT_EQ(read("out.bin"), "") << c.env;
        EXPECT_EQ(read("run.scn") + read("WENA.ini"), scenario + "1,11,0") << c.env;
    }
}

namespace {

// A fenced block of a document: its info string, the line before it and its text.
struct ReadmeBlock {
    std::string info, before, text;
};

}  // namespace

static std::vector<ReadmeBlock> readme_blocks(const std::string &readme)
{
    std::vector<ReadmeBlock> blocks;
    std::istringstream lines(readme);
    std::string line, last_text;
    ReadmeBlock *open = nullptr;
    while (std::getline(lines, line)) {
        if (line.rfind("```", 0) == 0) {
            if (open) {
                open = nullptr;
            } else {
                blocks.push_back({line.substr(3), last_text, ""});
                open = &blocks.back();
            }
        } else if (open) {
            open->text += line + "\n";
        } else if (!line.empty()) {
            last_text = line;
        }
    }
    return blocks;
}

// The file a scenario block stands for, from the line that introduces it
// ("`check.scn`, one step a line"), or "".
static std::string scenario_name(const ReadmeBlock &block)
{
    size_t end = block.before.find(".scn`");
    size_t start = end == std::string::npos ? end : block.before.rfind('`', end);
    return start == std::string::npos ? "" : block.before.substr(start + 1, end + 4 - start - 1);
}

// Every scenario the README and the guides show runs as printed, with the
// commands printed beside it, in a folder whose WENA.ini holds boards of its
// own: a scenario a student copies works the first time.
TEST_F(ScenarioRun, EveryScenarioInTheReadmeAndTheGuidesRunsAsPrinted)
{
    std::string program = EXAMPLE_PROGRAM;
    ASSERT_EQ(symlink(program.substr(0, program.rfind('/')).c_str(), file("build").c_str()), 0);
    write("WENA.ini", "2,13,21");
    size_t ran = 0;
    for (const DocFile &doc : doc_files()) {
        std::vector<std::string> commands;
        for (const ReadmeBlock &block : readme_blocks(doc.text)) {
            if (!scenario_name(block).empty())
                write(scenario_name(block), block.text);
            std::istringstream lines(block.text);
            std::string line;
            while (block.info == "sh" && std::getline(lines, line))
                if (line.find("WENA_SCENARIO=") != std::string::npos || line.find(".scn\n") != std::string::npos ||
                    (line.size() > 4 && line.compare(line.size() - 4, 4, ".scn") == 0))
                    commands.push_back(line);
        }
        for (const std::string &command : commands) {
            int status = system(("cd " + shell_quote(dir) + " && " + command + " < /dev/null 2> err.txt").c_str());
            EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << doc.path << ": " << command << "\n"
                                                                       << read("err.txt");
        }
        ran += commands.size();
    }
    EXPECT_GE(ran, 3u);
    EXPECT_EQ(read("WENA.ini"), "2,13,21");
}
