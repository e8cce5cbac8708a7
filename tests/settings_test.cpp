// WENA.ini: what each content selects, what is written back, and that the
// file is never left broken.
#include "board/settings.h"
#include "board/sim_state.h"
#include "console/screen.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <tuple>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

struct SettingsCase {
    const char *name;
    const char *content;  // null: no file
    BoardSelection selected;
    const char *written;
};

class SettingsFile : public BoardTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsFile, FirstPollSelectsAndWritesBack)
{
    const SettingsCase &c = GetParam();
    write_settings(c.content);
    sim_poll();
    const BoardSelection &s = sim.selection, &want = c.selected;
    EXPECT_EQ(std::tie(s.input, s.output, s.analog), std::tie(want.input, want.output, want.analog));
    EXPECT_EQ(read_settings(), c.written);
    EXPECT_EQ(sim.layout_built, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, SettingsFile,
    ::testing::Values(SettingsCase{"Missing", nullptr, {0, 0, 0}, "0,0,0"},
                      SettingsCase{"Empty", "", {0, 0, 0}, "0,0,0"},
                      SettingsCase{"Nothing", "0,0,0", {0, 0, 0}, "0,0,0"},
                      SettingsCase{"AllBoards", "1,11,21", {1, 11, 21}, "1,11,21"},
                      SettingsCase{"TwoFields", "2,13", {2, 13, 0}, "2,13,0"},
                      SettingsCase{"NoBoardKinds", "7,5,9", {7, 5, 9}, "7,5,9"},
                      SettingsCase{"Garbage", "hello", {0, 0, 0}, "0,0,0"},
                      SettingsCase{"StopsAtFirstMismatch", "3;16,21", {3, 0, 0}, "3,0,0"},
                      SettingsCase{"SpacesBeforeNumbers", " 1,\n12, 21\n", {1, 12, 21}, "1,12,21"},
                      SettingsCase{"SpaceBeforeComma", "1 ,12,21", {1, 0, 0}, "1,0,0"},
                      SettingsCase{"Negative", "-2,-1,0", {-2, -1, 0}, "-2,-1,0"},
                      SettingsCase{"IntLimits", "-2147483648,2147483647,0", {INT_MIN, INT_MAX, 0},
                                   "-2147483648,2147483647,0"},
                      SettingsCase{"NumberTooLarge", "1,99999999999,21", {1, 0, 0}, "1,0,0"},
                      SettingsCase{"NumberTooSmall", "-2147483649,1,1", {0, 0, 0}, "0,0,0"},
                      SettingsCase{"BinaryJunk", "\x01\xff\x80,\x7f", {0, 0, 0}, "0,0,0"}),
    [](const auto &param_info) { return std::string(param_info.param.name); });

TEST_F(BoardTest, AHugeFileIsReadOnlyAsFarAsItsHead)
{
    std::string huge = "1,12,21" + std::string(8 << 20, '9');
    write_settings(huge.c_str());
    sim_poll();
    EXPECT_EQ(read_settings(), "1,12,0") << "21 followed by millions of digits is out of range";
}

// A directory in the file's place is left alone, with no message over the
// picture and no temporary file; a directory that vanished cannot be saved to.
TEST_F(BoardTest, ADirectoryInThePlaceOrAVanishedDirectoryLeaveTheBoardRunning)
{
    ASSERT_EQ(mkdir("WENA.ini", 0755), 0);
    sim_poll();
    struct stat st;
    ASSERT_EQ(stat("WENA.ini", &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
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

// Root writes into read-only directories, so the check runs as nobody.
TEST_F(BoardTest, AReadOnlyDirectoryKeepsTheOldFileAndTheBoardRunsOn)
{
    write_settings("1,11,21");
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(10);
        press("I");
        bool kept = read_settings() == "1,11,21";
        bool stepped = sim.selection.input == 2 && sim.layout_built == 1;
        _exit(kept && stepped ? 0 : 11);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

static mode_t mode_of(const char *name)
{
    struct stat st {};
    EXPECT_EQ(lstat(name, &st), 0) << name;
    return st.st_mode;
}

// The user's file is never replaced when it could not be read, may not be
// written or is no regular file; the board still starts and keys still work.
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
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(5);
        press("I");
        _exit(sim.layout_built == 1 && S_ISFIFO(mode_of("WENA.ini")) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(SettingsParse, ConvertsFieldsUpToTheFirstMismatch)
{
    BoardSelection s{9, 9, 9};
    EXPECT_EQ(settings_parse("4,x", 3, &s), 1);
    EXPECT_EQ(std::tie(s.input, s.output, s.analog), std::make_tuple(4, 9, 9)) << "fields not converted keep their value";
    EXPECT_EQ(settings_parse("1,2,3", 3, &s), 2) << "only the given length is read";
    EXPECT_EQ(settings_parse("+5,+6,-0", 8, &s), 3);
    EXPECT_EQ(std::tie(s.input, s.output, s.analog), std::make_tuple(5, 6, 0));
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
        BoardSelection s{};
        ASSERT_EQ(settings_parse(content.data(), content.size(), &s), 3) << "'" << content << "'";
        char again[48];
        snprintf(again, sizeof again, "%d,%d,%d", s.input, s.output, s.analog);
        ASSERT_EQ(content, again);
    }
}
