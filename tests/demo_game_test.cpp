// The demo game played by scenarios in virtual time: its screens, the
// course pass checked step by step on the LCD, hits, scores, pause. And the
// voltmeter example, driven the same way.
#include "tests/support/capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

static const char *const course_text[4] = {
    "01011101001101001011100101001000010001001100101010", "10010101010101001110010101010011001101001100101010",
    "11010110101010000101010110100110101001110010101101", "01101010010101101011010100101100100011011010101101"};

using DemoGame = TempDirTest;

static int lane(int course, int cell) { return course_text[course][cell % 50] - '0'; }

// One LCD line right after the draw of step s of cell k: the obstacle of
// cell j stands at column 4(k - j) + s, the player over it, the score last.
static std::string drawn_line(int course, int k, int s, int player, int line)
{
    std::string row(16, ' ');
    for (int j = std::max(0, k - 3); j <= k; ++j)
        if (lane(course, j) == line)
            row[4 * (k - j) + s] = 'A';
    if (line == player)
        row[10] = 'W';
    if (line == 1) {
        std::string score = std::to_string(k + 1);
        row.replace(13, std::min<size_t>(score.size(), 3), score);
    }
    return row;
}

// The pause after each of the twenty polls of a step, by score.
static int pause_ms(int score) { return score < 40 ? 6 - score / 10 : 2; }

// Steps that check every draw of cells 0 to last, waiting on the line the
// newest obstacle changes. A step lasts twenty polls of three sim_polls
// (0.1 ms each in virtual time) and a pause: the draw must come neither
// before nor after that. SW2 (with SW1 on) keeps the player off the
// obstacle that can hit it, two cells back. Gives the player's line.
static int dodge_through(std::string &steps, int course, int last, int player)
{
    for (int k = 0; k <= last; ++k)
        for (int s = 0; s < 4; ++s) {
            std::string line = std::to_string(lane(course, k)), other = std::to_string(1 - lane(course, k));
            std::string drawn = "\"" + drawn_line(course, k, s, player, lane(course, k)) + "\"";
            if (k + s > 0)
                steps += "wait " + std::to_string(20 * pause_ms(k + 1) + 5) + "\ncheck lcd " +
                         line + " != " + drawn + "\nwait until lcd " + line + " == " + drawn + " within 2\n";
            else
                steps += "wait until lcd " + line + " == " + drawn + "\n";
            steps += "check lcd " + other + " == \"" + drawn_line(course, k, s, player, 1 - lane(course, k)) + "\"\n";
            if (s == 0 && k >= 2 && player == lane(course, k - 2)) {
                steps += "key 2\n";
                player = 1 - player;
            }
        }
    return player;
}

// A scenario run writes no WENA.ini, so it does not get the switch board a
// fresh folder gets: it asks for it.
static const std::string on_switches = "start boards SWITCH none none\n";

// SW1 on for steering; SW3 seen in the title menu's pass number `course`.
static std::string start_course(int course)
{
    return on_switches + "key 1\nat poll " + std::to_string(2 + 2 * course) + " key 3\n";
}

TEST_F(DemoGame, EachCourseRunsAWholePassAndWrapsToItsFirstCell)
{
    for (int course = 0; course < 4; ++course) {
        std::string steps = start_course(course);
        dodge_through(steps, course, 50, 0);
        EXPECT_EQ(run_scenario(DEMO_PROGRAM, steps), 0) << "course " << course << ": " << err;
    }
}

// SW2 is tested first in each pass of the title menu: with SW3 on as well,
// the help comes first and play starts in the pass that leaves it.
TEST_F(DemoGame, TitleAndBothHelpPagesAndNoWENAiniInAScenarioRun)
{
    EXPECT_EQ(run_scenario(DEMO_PROGRAM, on_switches + "wait 10\ncheck boards == 1 0 0\n"
                                         "check lcd 0 == \"ｽﾀｰﾄ : SW3\"\ncheck lcd 1 == \"ｷﾉｳｾﾂﾒｲ : SW2\"\n"
                                         "keys 23\nwait 100\ncheck lcd 1 == \"ｷﾉｳｾﾂﾒｲ : SW2\"\n"
                                         "key 2\nwait until lcd 0 == \"ﾎﾟｰｽﾞ ; SW4\"\ncheck lcd 1 == \"\"\n"
                                         "wait until lcd 1 == \"ﾂｷﾞﾉﾍﾟｰｼﾞ : SW2\" within 20\n"
                                         "key 2\nwait until lcd 0 == \"ﾎﾟｰｽﾞｶｲｼﾞｮ : SW3\"\n"
                                         "check lcd 1 == \"\"\nwait until lcd 1 == \"ｵﾜﾙ : SW1\" within 20\n"
                                         "key 1\nwait until lcd 0 == \"ｽﾀｰﾄ : SW3\" within 20\n"
                                         "check lcd 1 == \"ｷﾉｳｾﾂﾒｲ : SW2\"\nwait until lcd 1 == \"          W\" within 20\n"),
              0) << err;
    EXPECT_FALSE(std::filesystem::exists(file("WENA.ini"))) << "a scenario run never writes WENA.ini";
}

TEST_F(DemoGame, PushSwitchesAllUpEnterTheHelpAtOnce)
{
    std::string steps = "wait 200\ncheck lcd 0 == \"ｽﾀｰﾄ : SW3\"\nkey 2\nwait until lcd 0 == \"ﾎﾟｰｽﾞ ; SW4\" within 20\n";
    EXPECT_EQ(run_scenario(DEMO_PROGRAM, steps, "2,0,0"), 0) << err;
}

// The first obstacle can hit in the third cell: the lowest score is 3. A
// higher score raises the high score, a lower one leaves it.
TEST_F(DemoGame, HitsEndGamesWithScoresAndTheHighScoreCarriesOver)
{
    std::string game_over = "wait until lcd 0 == \"          A\"\nwait until lcd 0 == \"ｹﾞｰﾑｵｰﾊﾞｰ!\"\n"
                            "check lcd 1 == \"\"\n";
    std::string steps = on_switches + "at poll 2 key 3\n" + game_over +
                        "wait until lcd 0 == \"ﾃﾝｽｳ  : 3 ﾃﾝ\"\ncheck lcd 1 == \"ﾊｲｽｺｱ : 3 ﾃﾝ\"\n"
                        "wait until lcd 0 == \"ﾓｳｲﾁﾄﾞ: SW1 ｦ ｵｽ\"\nwait 1000\n"
                        "check lcd 0 == \"ﾓｳｲﾁﾄﾞ: SW1 ｦ ｵｽ\"\nkey 1\n";
    int player = dodge_through(steps, 0, 6, 0);
    int hit = 7;
    while (lane(0, hit - 2) != player)
        ++hit;
    std::string high = std::to_string(hit + 1);
    steps += game_over + (player == 1 ? "key 2\n" : "") + "wait until lcd 0 == \"ﾃﾝｽｳ  : " + high +
             " ﾃﾝ\"\ncheck lcd 1 == \"ﾊｲｽｺｱ : " + high + " ﾃﾝ\"\n" + game_over +
             "wait until lcd 0 == \"ﾃﾝｽｳ  : 3 ﾃﾝ\"\ncheck lcd 1 == \"ﾊｲｽｺｱ : " + high + " ﾃﾝ\"\n";
    EXPECT_EQ(run_scenario(DEMO_PROGRAM, steps), 0) << err;
}

TEST_F(DemoGame, Sw4PausesWithTheDisplayFrozenAndSw3GoesOn)
{
    std::string steps = start_course(0) + "wait until lcd 1 == \"             1\"\nkeys 34\nwait 300\n"
                        "dump lcd paused.txt\nwait 3000\ndump lcd still.txt\nkey 3\nwait 300\n"
                        "dump lcd going.txt\n";
    ASSERT_EQ(run_scenario(DEMO_PROGRAM, steps), 0) << err;
    EXPECT_EQ(read("paused.txt"), read("still.txt"));
    EXPECT_NE(read("still.txt"), read("going.txt")) << "SW3 and SW4 both on: each pause ends at once";
}

using VoltmeterExample = TempDirTest;

TEST_F(VoltmeterExample, ShowsChannelAAsRegisterAndVoltage)
{
    std::string steps = "keys V" + std::string(25, '+') + "\nwait 100\ncheck lcd 0 == \"ADDA 7FC0\"\n"
                        "check lcd 1 == \"ﾃﾞﾝｱﾂ 2.50 V\"\nkeys " + std::string(26, '+') + "\nwait 100\n"
                        "check lcd 0 == \"ADDA FFC0\"\ncheck lcd 1 == \"ﾃﾞﾝｱﾂ 5.00 V\"\n";
    EXPECT_EQ(run_scenario(VOLTMETER_PROGRAM, steps), 0) << err;
}
