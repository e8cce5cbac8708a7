// Programs that end while a change of their picture waits to be sent: the
// change reaches the terminal where that can be done without waiting on the
// stuck program, the terminal is given back, and a scenario's verdict told.
#include "tests/support/seen_screen.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// One program with standard input and output on a pseudo-terminal of its
// own (or input from an empty pipe), standard error on a pipe, and the
// grader's descriptors: 3 the scenario, 4 the verdict.
struct PtyRun {
    pid_t pid = -1;
    int master = -1, terminal = -1, err = -1, verdict = -1;
    struct termios before {};
    std::string out, err_text, verdict_text;
    int status = -1;
};

int pipe_holding(const std::string &text)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    if (write(fds[1], text.data(), text.size()) != (ssize_t)text.size())
        return -1;
    close(fds[1]);
    return fds[0];
}

void run_child(const PtyRun &run, const char *program, const char *mode, int err_out, int scenario,
               int verdict_out, bool input_from_terminal, const std::vector<std::string> &env)
{
    setsid();
    int terminal = open(ptsname(run.master), O_RDWR);  // the session's controlling terminal
    int input = input_from_terminal ? terminal : pipe_holding("");
    dup2(input, 0);
    dup2(terminal, 1);
    dup2(err_out, 2);
    dup2(scenario, 3);
    dup2(verdict_out, 4);
    for (int fd = 5; fd < 64; ++fd)
        close(fd);
    for (const std::string &pair : env)
        putenv(strdup(pair.c_str()));
    execl(program, program, mode, (char *)nullptr);
    _exit(127);
}

bool start(PtyRun &run, const char *mode, const std::string &scenario_text, const std::vector<std::string> &env,
           bool input_from_terminal = true)
{
    run.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (run.master < 0 || grantpt(run.master) != 0 || unlockpt(run.master) != 0)
        return false;
    run.terminal = open(ptsname(run.master), O_RDWR | O_NOCTTY);
    struct winsize size = {25, 80, 0, 0};
    ioctl(run.terminal, TIOCSWINSZ, &size);
    tcgetattr(run.terminal, &run.before);
    int err[2], verdict[2];
    if (pipe(err) != 0 || pipe(verdict) != 0)
        return false;
    int scenario = pipe_holding(scenario_text);
    run.pid = fork();
    if (run.pid == 0)
        run_child(run, BOARD_ENDINGS, mode, err[1], scenario, verdict[1], input_from_terminal, env);
    close(err[1]);
    close(verdict[1]);
    close(scenario);
    run.err = err[0];
    run.verdict = verdict[0];
    return run.pid > 0;
}

void read_into(int fd, std::string &text)
{
    char block[4096];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0)
        text.append(block, (size_t)n);
}

void read_what_came(PtyRun &run)
{
    read_into(run.master, run.out);
    read_into(run.err, run.err_text);
    read_into(run.verdict, run.verdict_text);
}

// Reads everything the runs write until all have ended, or the time is up.
void finish_all(std::vector<PtyRun> &runs, int timeout_ms)
{
    for (PtyRun &run : runs)
        for (int fd : {run.master, run.err, run.verdict})
            fcntl(fd, F_SETFL, O_NONBLOCK);
    for (int waited = 0; waited < timeout_ms; waited += 20) {
        bool running = false;
        for (PtyRun &run : runs) {
            read_what_came(run);
            if (run.status < 0 && waitpid(run.pid, &run.status, WNOHANG) == 0) {
                run.status = -1;
                running = true;
            }
        }
        if (!running)
            break;
        poll(nullptr, 0, 20);
    }
    for (PtyRun &run : runs) {
        if (run.status < 0) {
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &run.status, 0);
        }
        read_what_came(run);
    }
}

std::string modes_changed(const PtyRun &run)
{
    struct termios after {};
    tcgetattr(run.terminal, &after);
    std::string changed;
    if (after.c_lflag != run.before.c_lflag)
        changed += "local modes (echo, canonical) ";
    if (after.c_iflag != run.before.c_iflag)
        changed += "input modes ";
    return changed;
}

void close_all(std::vector<PtyRun> &runs)
{
    for (PtyRun &run : runs)
        for (int fd : {run.master, run.terminal, run.err, run.verdict})
            close(fd);
}

// What reached the terminal after it was given back: nothing but the
// cursor's default shape.
std::string after_give_back(const std::string &out)
{
    static const std::string give_back = "\x1b[?7h\x1b[25;1H\x1b[J";
    size_t at = out.rfind(give_back);
    if (at == std::string::npos)
        return "(never given back)";
    std::string rest = out.substr(at + give_back.size());
    return rest == "\x1b[0 q" ? "" : rest;
}

}  // namespace

// The watchdog once waited in the exit on the console that the painting
// program held: a cut message, no verdict, echo left off.
TEST(Endings, TheWatchdogEndsAProgramThatPaintsWithoutPausingCleanlyEveryTime)
{
    const std::string why = "run.scn:1: the program has not polled or paused for 2 s of real time (WENA_WATCHDOG)\n";
    std::vector<PtyRun> runs(20);
    for (PtyRun &run : runs)
        ASSERT_TRUE(start(run, "paint", "wait 100000\n",
                          {"WENA_GRADE_FDS=3,4", "WENA_SCENARIO=run.scn", "WENA_WATCHDOG=2"}));
    finish_all(runs, 30000);
    for (size_t i = 0; i < runs.size(); ++i) {
        const PtyRun &run = runs[i];
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 4) << "run " << i << ": " << run.status;
        EXPECT_EQ(run.err_text, "wena: " + why) << "run " << i;
        EXPECT_EQ(run.verdict_text, "4 " + why) << "run " << i;
        EXPECT_EQ(modes_changed(run), "") << "run " << i;
        EXPECT_EQ(after_give_back(run.out), "") << "run " << i;
    }
    close_all(runs);
}

// Input from a pipe, so that no wait for typed keys at the exit lets the
// watch send the change meanwhile. AddressSanitizer would take the fault.
TEST(Endings, ACrashStillShowsWhatWasPaintedJustBefore)
{
    std::vector<PtyRun> runs(1);
    ASSERT_TRUE(start(runs[0], "crash", "", {"ASAN_OPTIONS=handle_segv=0"}, false));
    finish_all(runs, 10000);
    EXPECT_TRUE(WIFSIGNALED(runs[0].status) && WTERMSIG(runs[0].status) == SIGSEGV) << runs[0].status;
    VtEmulator vt;
    vt_open(vt, 80, 25);
    vt_feed(vt, runs[0].out);
    SeenScreen seen = vt_screen(vt);
    vt_close(vt);
    std::string lcd;
    for (int x = 61; x < 65; ++x)
        lcd += seen.at(x, 14).text;
    EXPECT_EQ(lcd, "x=42");
    EXPECT_EQ(after_give_back(runs[0].out), "");
    close_all(runs);
}

// A change is sent by the watch only once it has waited a whole period:
// a picture the program paints over before its next pause never shows.
TEST(Endings, ThePictureBetweenTwoPausesIsNotSentHalfPainted)
{
    std::vector<PtyRun> runs(1);
    ASSERT_TRUE(start(runs[0], "flicker", "", {}));
    finish_all(runs, 20000);
    EXPECT_TRUE(WIFEXITED(runs[0].status) && WEXITSTATUS(runs[0].status) == 0) << runs[0].status;
    EXPECT_NE(runs[0].out.find("%%%%"), std::string::npos);
    EXPECT_EQ(runs[0].out.find("@@@@"), std::string::npos);
    close_all(runs);
}
