// WENA.ini: what each content selects, what is written back, and that the
// file is never left broken.
#include "board/settings.h"
#include "board/sim_state.h"
#include "console/screen.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"

#include <csignal>
#include <regex>
#include <tuple>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static mode_t mode_of(const char *name)
{
    struct stat st {};
    EXPECT_EQ(lstat(name, &st), 0) << name;
    return st.st_mode;
}

// Each content of WENA.ini and what the first poll selects and writes back:
// fields up to the first mismatch, none past the range of int (the huge file
// ends in millions of digits), and any kind numbers, boards or not.
TEST_F(BoardTest, FirstPollSelectsWhatTheFileHoldsAndWritesItBack)
{
    const std::string huge = "1,12,21" + std::string(8 << 20, '9');
    const char *const cases[][2] = {
        {nullptr, "0,0,0"},          {"", "0,0,0"},          {"0,0,0", "0,0,0"},
        {"1,11,21", "1,11,21"},      {"2,13", "2,13,0"},     {"7,5,9", "7,5,9"},
        {"hello", "0,0,0"},          {"3;16,21", "3,0,0"},   {" 1,\n12, 21\n", "1,12,21"},
        {"1 ,12,21", "1,0,0"},       {"-2,-1,0", "-2,-1,0"}, {"-2147483648,2147483647,0", "-2147483648,2147483647,0"},
        {"1,99999999999,21", "1,0,0"}, {"-2147483649,1,1", "0,0,0"}, {"\x01\xff\x80,\x7f", "0,0,0"},
        {"+5,+6,-0", "5,6,0"},       {huge.c_str(), "1,12,0"}};
    for (const auto &[content, written] : cases) {
        sim = SimState{};
        write_settings(content);
        sim_poll();
        const BoardSelection &s = sim.selection;
        std::string selected = std::to_string(s.input) + "," + std::to_string(s.output) + "," + std::to_string(s.analog);
        EXPECT_EQ(selected + " " + read_settings(), std::string(written) + " " + written)
            << (content ? std::string(content).substr(0, 30) : "no file");
        EXPECT_EQ(sim.layout_built, 1);
    }
}

// A directory in the file's place is left alone, with no message over the
// picture and no temporary file; a directory that vanished cannot be saved to.
TEST_F(BoardTest, ADirectoryInThePlaceOrAVanishedDirectoryLeaveTheBoardRunning)
{
    ASSERT_EQ(mkdir("WENA.ini", 0755), 0);
    sim_poll();
    EXPECT_TRUE(S_ISDIR(mode_of("WENA.ini")));
    EXPECT_EQ(sim.layout_built, 1);
    EXPECT_EQ(screen_text(0, 23, 80), std::string(80, ' '));
    EXPECT_EQ(system("ls -A | grep -v WENA.ini$ | grep -q ."), 256);

    std::string gone = dir + "/gone";
    ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    sim = SimState{};
    capture_start();  // a blank screen again
    BoardSelection none{};
    settings_load(&none);
    EXPECT_FALSE(settings_save(BoardSelection{1, 11, 21}));
    sim_poll();
    EXPECT_EQ(scr_cell(36, 5).kind, CELL_WIDE_LEFT) << "the board is on screen";
    ASSERT_EQ(chdir(dir.c_str()), 0);
}

// Runs the check in a child process; true when the child ended with status 0.
template <class Check>
static bool in_child(Check check)
{
    pid_t child = fork();
    if (child == 0)
        _exit(check() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The user's file is never replaced when it could not be read, may not be
// written, is no regular file or lies in a read-only directory; the board
// still starts and keys still work. Root writes into read-only directories,
// so that check runs as nobody.
TEST_F(BoardTest, ASettingsFileThatCannotBeReplacedIsLeftAsItIs)
{
    for (mode_t mode : {0000, 0444}) {
        write_settings("2,12,0");
        ASSERT_EQ(chmod("WENA.ini", mode), 0);
        sim = SimState{};
        press("I");
        EXPECT_EQ(sim.layout_built, 1);
        EXPECT_EQ(mode_of("WENA.ini") & 0777, mode);
        ASSERT_EQ(chmod("WENA.ini", 0644), 0);
        EXPECT_EQ(read_settings(), "2,12,0") << "mode " << std::oct << mode;
        remove("WENA.ini");
    }

    // A FIFO would block a reading open: the start must not wait for a writer.
    ASSERT_EQ(mkfifo("WENA.ini", 0644), 0);
    EXPECT_TRUE(in_child([this] {
        alarm(5);
        press("I");
        return sim.layout_built == 1 && S_ISFIFO(mode_of("WENA.ini"));
    }));
    remove("WENA.ini");

    write_settings("1,11,21");
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    EXPECT_TRUE(in_child([this] {
        if (geteuid() == 0 && setuid(65534) != 0)
            return false;
        sim = SimState{};
        press("I");
        return read_settings() == "1,11,21" && sim.selection.input == 2 && sim.layout_built == 1;
    }));
}

TEST(SettingsParse, ReadsOnlyTheGivenLengthAndKeepsFieldsNotConverted)
{
    BoardSelection s{9, 9, 9};
    EXPECT_EQ(settings_parse("4,5,6", 3, &s), 2);
    EXPECT_EQ(std::tie(s.input, s.output, s.analog), std::make_tuple(4, 5, 9));
}

// A child saves over and over; killed at any moment, it leaves WENA.ini whole,
// and a catchable signal leaves no temporary file either.
TEST_F(BoardTest, AKillDuringSavingNeverLeavesAHalfWrittenFile)
{
    write_settings("0,0,0");
    for (int round = 0; round < 25; ++round) {
        // A SIGKILL between naming the new file and renaming it cannot be
        // guarded against; what it leaves must not count against SIGTERM.
        ASSERT_EQ(system("ls -A | grep -v -x WENA.ini | xargs -r rm -f"), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            BoardSelection loaded{};
            settings_load(&loaded);
            for (int i = 0;; ++i)
                settings_save(BoardSelection{i % 4, 11 + i % 6, (i & 1) * 21});
        }
        usleep(1000 + (useconds_t)(round * 397 % 5000));
        kill(child, round % 2 ? SIGKILL : SIGTERM);
        waitpid(child, nullptr, 0);
        if (round % 2 == 0) {
            ASSERT_EQ(system("ls -A | grep -v -x WENA.ini | grep -q ."), 256) << "a temporary file is left";
        }
        std::string content = read_settings();
        ASSERT_TRUE(std::regex_match(content, std::regex("[0-3],(0|1[1-6]),(0|21)"))) << "'" << content << "'";
    }
}
