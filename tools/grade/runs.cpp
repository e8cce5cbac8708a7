// The runs themselves, on POSIX. Each gets a directory no other run can
// guess, a session of its own without a terminal, the scenario and a verdict
// channel on inherited descriptors, and limits; it goes into bubblewrap's
// sandbox or under a keeper (tools/grade/sandbox.cpp). The grader takes
// signals synchronously, drops those that come from a run, and is a
// subreaper itself, so that nothing a run leaves behind outlives it.
#include "tools/grade/grade.h"
#include "tools/grade/cgroup.h"
#include "tools/grade/sandbox.h"
#include "tools/grade/tree.h"

#include "scenario/verdict.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/keyctl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

enum {
    ERR_TAIL_BYTES = 64 * 1024,  // of a run's standard error, the end is kept
    VERDICT_BYTES = 64 * 1024,
    LONGEST_WAIT_MS = 100,       // how often the bytes a run wrote are counted
    START_ERROR_BYTES = 512,
    SCENARIO_FD = 3,
    VERDICT_FD = 4,
    PICTURE_FD = 5,              // a memory file where the run keeps its latest picture
    INI_FD = 6,                  // WENA.ini, copied into a sandboxed run's directory
    TRACE_FD = 7,                // the ports' trace, for the report of a run that did not pass
    START_FD = 8,                // why a run could not start; closed as the program starts
    RUN_FDS = 9,
    TRACE_BYTES = 4 << 20,
    TRIES = 2                    // a run that cannot start is tried once more
};

static const double EMPTYING_S = 5.0;  // for the kernel to end every process of a killed run

static const double KEEPER_GRACE_S = 1.0;  // for a keeper to end its run before it is killed itself

namespace {

struct Running {
    size_t index;      // into the runs
    pid_t pid;         // the keeper, or bubblewrap
    double started;
    bool killed;       // at the wall-clock limit
    double stop_sent;  // when the run was told to stop, or 0
    int verdict_fd;    // read end of the verdict channel
    std::string dir;
    int picture_fd;    // the grader's copy of the picture file
    int trace_fd;      // the grader's copy of the trace's memory file
    int scenario_fd;   // the grader's copy: a run that never started never read it
    int start_fd;      // read end of the start channel
    RunGroup group;
};

// What every run starts with.
struct Setup {
    const GradeOptions *options;
    std::string base;
    bool keep;
    rlim_t process_limit;
    pid_t grader;
    bool run_dir_in_memory;  // a tmpfs of the write limit's size in the sandbox
    std::string bwrap;
};

}  // namespace

static double now_s()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void remove_or_name(const std::string &path)
{
    std::string failed;
    if (!tree_remove(path, failed))
        fprintf(stderr, "\r\x1b[Kwena-grade: left behind, cannot be removed: %s\n", grade_shown(failed).c_str());
}

static bool write_file(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wbx");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

static std::string read_tail(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "";
    if (fseek(f, 0, SEEK_END) == 0) {
        long size = ftell(f);
        fseek(f, size > ERR_TAIL_BYTES ? size - ERR_TAIL_BYTES : 0, SEEK_SET);
    }
    std::string text;
    char block[8192];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0)
        text.append(block, n);
    fclose(f);
    return text;
}

// What the scenario run sent on one of its channels, as far as the channel
// holds; the descriptor is closed.
static std::string read_channel(int fd, size_t limit)
{
    std::string text;
    char block[8192];
    ssize_t n;
    while (text.size() < limit && (n = read(fd, block, sizeof block)) > 0)
        text.append(block, (size_t)n);
    close(fd);
    return text;
}

// The ports' trace the run wrote, from its start; the descriptor is closed.
static std::string read_trace(int fd)
{
    std::string text;
    char block[8192];
    ssize_t n;
    for (off_t at = 0; text.size() < TRACE_BYTES && (n = pread(fd, block, sizeof block, at)) > 0; at += n)
        text.append(block, (size_t)n);
    close(fd);
    return text;
}

// The scenario run's verdict, when it sent one: "STATUS MESSAGE\n".
static void read_verdict(int fd, GradeRun &run)
{
    std::string text = read_channel(fd, VERDICT_BYTES);
    size_t space = text.find(' ');
    if (space == std::string::npos || space == 0 || space > 4 ||
        text.find_first_not_of("0123456789") != space)
        return;
    run.decided = true;
    run.decided_status = atoi(text.c_str());
    size_t end = text.find('\n');
    run.decided_message = text.substr(space + 1, end == std::string::npos ? end : end - space - 1);
}

static void set_limit(int resource, rlim_t soft, rlim_t hard)
{
    struct rlimit limit = {soft, hard};
    setrlimit(resource, &limit);
}

// Where a control group holds the run, memory and processes are its
// budgets as a whole; the limits of each process stay for the rest.
static void set_limits(const Setup &setup, bool in_group)
{
    const GradeOptions &o = *setup.options;
    rlim_t written = (rlim_t)o.write_mib << 20;
    set_limit(RLIMIT_FSIZE, written, written);
    if (o.memory_mib > 0 && !in_group)
        set_limit(RLIMIT_AS, (rlim_t)o.memory_mib << 20, (rlim_t)o.memory_mib << 20);
    if (o.cpu_s > 0)
        set_limit(RLIMIT_CPU, (rlim_t)o.cpu_s, (rlim_t)o.cpu_s + 1);
    if (!in_group)
        set_limit(RLIMIT_NPROC, setup.process_limit, setup.process_limit);
    set_limit(RLIMIT_CORE, 0, 0);
}

// fds: standard input, output and error, the scenario, the verdict and
// the picture channels, WENA.ini (or -1), the trace and the start channel, the last
// closed as the program or bubblewrap starts.
static bool place_descriptors(const int (&fds)[RUN_FDS])
{
    int high[RUN_FDS];
    for (int i = 0; i < RUN_FDS; ++i)
        if ((high[i] = fds[i] < 0 ? -1 : fcntl(fds[i], F_DUPFD, 10)) < 0 && fds[i] >= 0)
            return false;
    for (int i = 0; i < RUN_FDS; ++i)
        if (high[i] >= 0 && dup2(high[i], i) < 0)
            return false;
    close_range(RUN_FDS, ~0U, 0);
    return fcntl(START_FD, F_SETFD, FD_CLOEXEC) == 0;
}

// The picture a run kept last, read once every process of it is gone.
static std::string read_picture(int fd)
{
    std::string bytes(sizeof(KeptPicture), '\0');
    ssize_t n = pread(fd, bytes.data(), bytes.size(), 0);
    close(fd);
    bytes.resize(n > 0 ? (size_t)n : 0);
    return bytes;
}

// Below the wall-clock limit, so that a program that stops polling is ended
// by the library, which names its step and keeps its picture, before the
// grader has to kill it: the watchdog ends it within a second after its
// time, which leaves a second for the ending.
static int watchdog_for(int time_limit_s) { return time_limit_s > 3 ? time_limit_s - 2 : 1; }

// Nothing of the teacher's environment: no secrets of CI, and none of the
// library's bounds the teacher may have set for a program of their own.
static void fixed_environment(const GradeRun &run, const std::string &dir, int time_limit_s)
{
    clearenv();
    setenv("PATH", "/usr/local/bin:/usr/bin:/bin", 1);
    setenv("LANG", "C.UTF-8", 1);
    setenv("HOME", dir.c_str(), 1);
    setenv("WENA_SCENARIO", run.scenario_path.c_str(), 1);
    setenv("WENA_GRADE_FDS", "3,4,5", 1);
    setenv("WENA_TRACE", ("/dev/fd/" + std::to_string(TRACE_FD)).c_str(), 1);
    setenv("WENA_TIME_LIMIT", "3600", 1);
    setenv("WENA_WATCHDOG", std::to_string(watchdog_for(time_limit_s)).c_str(), 1);
}

[[noreturn]] static void cannot_start(const char *what)
{
    dprintf(START_FD, "%s: %s", what, strerror(errno));
    _exit(127);
}

// In the child: its control group, no terminal, a session keyring of its
// own (not the teacher's), a fixed environment, the limits, then the
// sandbox or the keeper.
[[noreturn]] static void become_run(const GradeRun &run, const Setup &setup, const std::string &dir,
                                    const RunGroup &group, const int (&fds)[RUN_FDS])
{
    setsid();
    if (!place_descriptors(fds))
        _exit(127);
    if (!group.dirs.empty() && !cgroup_join(group))
        cannot_start("cannot join the run's control group");
    if (chdir(dir.c_str()) != 0)
        cannot_start("cannot enter the run's directory");
    // Where keyctl() is refused altogether (a container's seccomp), no
    // keyring can be reached either.
    if (syscall(SYS_keyctl, KEYCTL_JOIN_SESSION_KEYRING, 0) < 0 && errno != ENOSYS && errno != EPERM)
        cannot_start("cannot give the run a keyring of its own");
    set_limits(setup, !group.dirs.empty());
    fixed_environment(run, dir, setup.options->time_limit_s);
    if (!setup.options->sandbox)
        keeper_run(run.program_path.c_str(), setup.grader, START_FD);
    std::vector<std::string> args = sandbox_command(run.program_path, dir, (long long)setup.options->write_mib << 20,
                                                    setup.run_dir_in_memory ? INI_FD : -1);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(setup.bwrap.c_str(), argv.data());
    cannot_start("cannot start bwrap");
}

// "3-myboard-leds.scn-Xq81zA": the number and names let a teacher find a
// kept run (a student's by the name handed in, kanji too), the random end
// keeps other runs from making it first.
static std::string plain_name(const std::string &path) { return grade_plain_name(path); }

static bool make_run_dir(const std::vector<GradeRun> &runs, const std::string &base, size_t index,
                         std::string &dir)
{
    dir = base + "/" + std::to_string(index + 1) + "-" + plain_name(runs[index].program) + "-" +
          plain_name(runs[index].scenario) + "-XXXXXX";
    return mkdtemp(dir.data()) != nullptr;
}


static void close_fds(const int *fds, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (fds[i] >= 0)
            close(fds[i]);
}

static void close_all(std::initializer_list<int> fds) { close_fds(fds.begin(), fds.size()); }

// A memory file holding text, read from its start; sealed, when asked, so
// that no run can change what the next one reads.
static int memory_file(const char *name, const std::string &text, bool sealed = false)
{
    int fd = memfd_create(name, MFD_CLOEXEC | (sealed ? MFD_ALLOW_SEALING : 0));
    if (fd < 0)
        return -1;
    for (size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += (size_t)n;
    }
    if ((sealed && fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) ||
        lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Zeroed, so that a run that never drew reads as no picture; of a fixed
// size, so that a run can neither shrink it under the grader nor grow it.
static int picture_file()
{
    int fd = memfd_create("wena-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    if (ftruncate(fd, sizeof(KeptPicture)) != 0 || fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

static std::string group_name(const Setup &setup, size_t index, int tries)
{
    return "wena-run-" + std::to_string(setup.grader) + "-" + std::to_string(index + 1) + "-" + std::to_string(tries);
}

// The descriptors a run starts with (see place_descriptors), and the
// grader's ends of its channels.
static bool open_run_fds(const GradeRun &run, const Setup &setup, const std::string &dir, int (&fds)[RUN_FDS],
                         int (&mine)[4])
{
    int verdict[2] = {-1, -1}, start[2] = {-1, -1};
    fds[0] = open("/dev/null", O_RDONLY | O_CLOEXEC);
    fds[1] = open("/dev/null", O_WRONLY | O_CLOEXEC);
    fds[2] = open((dir + ".err").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    fds[3] = memory_file("wena-scenario", *run.scenario_read.text, true);
    bool piped = pipe2(verdict, O_CLOEXEC | O_NONBLOCK) == 0 && pipe2(start, O_CLOEXEC | O_NONBLOCK) == 0;
    fds[4] = verdict[1];
    fds[5] = picture_file();
    fds[6] = setup.run_dir_in_memory ? memory_file("WENA.ini", setup.options->ini_text) : -1;
    fds[7] = memory_file("wena-trace", "");
    fds[8] = start[1];
    mine[0] = verdict[0];
    mine[1] = fds[5] < 0 ? -1 : fcntl(fds[5], F_DUPFD_CLOEXEC, 0);
    mine[2] = start[0];
    mine[3] = fds[7] >= 0 ? dup(fds[7]) : -1;
    bool ready = piped && mine[1] >= 0 && (fds[6] >= 0 || !setup.run_dir_in_memory) && mine[3] >= 0;
    for (int i = 0; i < 6; ++i)
        ready = ready && fds[i] >= 0;
    return ready;
}

// "" when the run started, else why not.
static std::string start_run(std::vector<GradeRun> &runs, size_t index, const Setup &setup,
                             std::vector<Running> &running)
{
    std::string dir;
    if (!make_run_dir(runs, setup.base, index, dir))
        return std::string("cannot make its directory: ") + strerror(errno);
    if (!setup.run_dir_in_memory && !write_file(dir + "/WENA.ini", setup.options->ini_text)) {
        std::string why = std::string("cannot write its WENA.ini: ") + strerror(errno);
        remove_or_name(dir);
        return why;
    }
    RunGroup group;
    if (cgroup_ready() && !cgroup_make(group_name(setup, index, runs[index].tries), *setup.options, group)) {
        std::string why = std::string("cannot make its control group: ") + strerror(errno);
        remove_or_name(dir);
        return why;
    }
    int fds[RUN_FDS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1}, mine[4] = {-1, -1, -1, -1};
    int scenario = -1;
    bool ready = open_run_fds(runs[index], setup, dir, fds, mine) && (scenario = dup(fds[3])) >= 0;
    pid_t pid = ready ? fork() : -1;
    if (pid == 0)
        become_run(runs[index], setup, dir, group, fds);
    std::string why = std::string("cannot start it: ") + strerror(errno);
    close_fds(fds, RUN_FDS);
    if (pid < 0) {
        close_fds(mine, 4);
        if (scenario >= 0)
            close(scenario);
        cgroup_remove(group);
        remove_or_name(dir);
        remove_or_name(dir + ".err");
        return why;
    }
    runs[index].sandboxed = setup.options->sandbox;
    runs[index].memory_mib = setup.options->memory_mib;
    running.push_back({index, pid, now_s(), false, 0, mine[0], dir, mine[1], mine[3], scenario, mine[2], group});
    return "";
}

// Every process of the run is gone before anything of it is read or
// removed: the kernel's word where a control group holds it.
static void wait_until_gone(const Running &r)
{
    double until = now_s() + EMPTYING_S;
    while (!cgroup_empty(r.group) && now_s() < until) {
        cgroup_kill(r.group);
        usleep(1000);
    }
    if (!cgroup_empty(r.group))
        fprintf(stderr, "\r\x1b[Kwena-grade: %s\n",
                grade_shown("processes of a run outlived it in " + r.group.dirs[0]).c_str());
}

static std::string first_line(const std::string &text)
{
    return grade_shown(text.substr(0, std::min(text.find('\n'), (size_t)START_ERROR_BYTES)));
}

// A run whose program never started: the grader's child said why, or
// bubblewrap failed before the program could read its scenario.
static std::string start_failure(const Running &r, const GradeRun &run)
{
    char said[START_ERROR_BYTES];
    ssize_t n = read(r.start_fd, said, sizeof said);
    if (n > 0)
        return first_line(std::string(said, (size_t)n));
    bool untouched = lseek(r.scenario_fd, 0, SEEK_CUR) == 0;
    if (run.sandboxed && !r.killed && run.status == 1 && untouched && run.err.compare(0, 6, "bwrap:") == 0)
        return first_line(run.err);
    return "";
}

static void end_run(std::vector<GradeRun> &runs, const Running &r, int wait_status, bool keep)
{
    GradeRun &run = runs[r.index];
    cgroup_kill(r.group);
    wait_until_gone(r);
    run.seconds = now_s() - r.started;
    run.killed_at_limit = r.killed;
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    run.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
    run.out_of_memory = run.out_of_memory || cgroup_out_of_memory(r.group);
    read_verdict(r.verdict_fd, run);
    run.err = read_tail(r.dir + ".err");
    run.start_failure = start_failure(r, run);
    std::string picture = read_picture(r.picture_fd);
    run.trace = read_trace(r.trace_fd);
    close_all({r.scenario_fd, r.start_fd});
    if (cgroup_empty(r.group))
        cgroup_remove(r.group);
    if (run.out_of_memory && !run.decided)
        run.message = "the kernel ended a process of it for using more than the run's memory";
    grade_judge(run);
    // Every run that did not pass shows the last picture its board had.
    run.screen = run.verdict == VERDICT_PASSED ? "" : grade_kept_screen(picture);
    if (keep) {
        if (!run.screen.empty())
            write_file(r.dir + "-" + GRADE_SCREEN_FILE, grade_screen_page(run.screen));
        tree_open_up(r.dir);
    } else {
        remove_or_name(r.dir);
        remove_or_name(r.dir + ".err");
    }
    if (run.verdict == VERDICT_PASSED)
        std::string().swap(run.trace);  // only a run that did not pass is drawn
}

static bool from_a_run(pid_t sender);

// Whether the teacher stopped the grading (Ctrl-C, kill); signals that came
// from a run are dropped.
static bool teacher_stopped;

// Who may stop the grading: the terminal (the kernel's own signals), or a
// process that is no run, as kill(2) and tgkill(2) name it. A run can forge
// the sender of a queued signal and the code of one sent through a
// descriptor it owns (F_SETSIG), but not these.
static bool trusted(const siginfo_t &info)
{
    if (info.si_code == SI_KERNEL)
        return true;
    return (info.si_code == SI_USER || info.si_code == SI_TKILL) && !from_a_run(info.si_pid);
}

static void take_signal(int sig, const siginfo_t &info)
{
    if (sig <= 0 || sig == SIGCHLD || !trusted(info))
        return;
    // Only Ctrl-Z stops the grader: a job control key, never a run's say-so.
    if (sig == SIGTSTP && info.si_code == SI_KERNEL)
        raise(SIGSTOP);
    teacher_stopped = teacher_stopped || sig == SIGINT || sig == SIGTERM || sig == SIGHUP || sig == SIGQUIT;
}

// Waits at most timeout for a signal, then takes every one pending.
static void take_signals(const sigset_t &signals, double timeout_s)
{
    struct timespec timeout = {(time_t)timeout_s, (long)((timeout_s - (double)(time_t)timeout_s) * 1e9)};
    for (;;) {
        siginfo_t info{};
        int sig = sigtimedwait(&signals, &info, &timeout);
        if (sig <= 0)
            return;
        take_signal(sig, info);
        timeout = {0, 0};
    }
}

// A run that could not start goes back in line once; true when it did.
static bool try_again(GradeRun &run, std::deque<size_t> &waiting, size_t index)
{
    if (run.start_failure.empty() || ++run.tries >= TRIES)
        return false;
    run.start_failure.clear();
    run.decided = false;
    run.decided_message.clear();
    run.message.clear();
    waiting.push_back(index);
    return true;
}

// Reaps the runs that have ended, and whatever a run left behind that came
// to the grader; the latter is killed first. Each process is reaped only
// after the signals it sent are taken, so that they can still be traced to it.
static void reap(std::vector<GradeRun> &runs, std::vector<Running> &running, bool keep, const sigset_t &signals,
                 std::deque<size_t> &waiting, int &done, int &failed)
{
    for (pid_t pid : children_of_self())
        if (std::none_of(running.begin(), running.end(), [pid](const Running &r) { return r.pid == pid; }))
            kill(pid, SIGKILL);
    for (;;) {
        siginfo_t ended{};
        if (waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid == 0)
            return;
        take_signals(signals, 0);
        int status = 0;
        pid_t pid = waitpid(ended.si_pid, &status, 0);
        auto r = std::find_if(running.begin(), running.end(), [pid](const Running &x) { return x.pid == pid; });
        if (r == running.end())
            continue;
        end_run(runs, *r, status, keep);
        if (!try_again(runs[r->index], waiting, r->index)) {
            ++done;
            failed += runs[r->index].verdict != VERDICT_PASSED;
        }
        running.erase(r);
    }
}

// A control group is killed whole. bubblewrap's sandbox ends with its first
// process, whose end the kernel holds back until every other one is gone:
// that one is killed, and bubblewrap only if it lingers. A keeper is asked
// to end its run, and killed if it does not (what it leaves comes to the
// grader).
static void stop_run(Running &r, bool sandbox)
{
    if (!r.group.dirs.empty()) {
        cgroup_kill(r.group);
        return;
    }
    bool lingers = r.stop_sent > 0 && now_s() - r.stop_sent > KEEPER_GRACE_S;
    if (sandbox && r.stop_sent == 0) {
        std::vector<pid_t> first = children_of(r.pid);
        for (pid_t pid : first)
            kill(pid, SIGKILL);
        r.stop_sent = now_s();
        lingers = first.empty();
    }
    if (lingers) {
        kill(r.pid, SIGKILL);
        return;
    }
    if (!sandbox && r.stop_sent == 0) {
        kill(r.pid, SIGCONT);
        kill(r.pid, SIGTERM);
        r.stop_sent = now_s();
    }
}

// A run directory in memory is full when its tmpfs (or the run's /tmp) is:
// seen from the sandbox's first process, whose root it is.
static bool directory_full(const Running &r)
{
    for (pid_t first : children_of(r.pid)) {
        std::string root = "/proc/" + std::to_string(first) + "/root";
        for (const std::string &place : {root + r.dir, root + "/tmp"}) {
            struct statfs fs;
            if (statfs(place.c_str(), &fs) == 0 && fs.f_type == TMPFS_MAGIC && fs.f_bfree == 0)
                return true;
        }
    }
    return false;
}

static bool wrote_too_much(const Running &r, const Setup &setup)
{
    if (setup.run_dir_in_memory)
        return directory_full(r);
    return tree_bytes(r.dir) > setup.options->write_mib << 20;
}

static void stop_overdue(std::vector<GradeRun> &runs, std::vector<Running> &running, const Setup &setup)
{
    const GradeOptions &options = *setup.options;
    double now = now_s();
    for (Running &r : running) {
        GradeRun &run = runs[r.index];
        if (!r.killed && !run.over_write_limit && now - r.started >= options.time_limit_s)
            r.killed = true;
        if (!r.killed && !run.over_write_limit && wrote_too_much(r, setup)) {
            run.over_write_limit = true;
            run.message = "wrote more than " + std::to_string(options.write_mib) + " MiB of files";
        }
        run.out_of_memory = run.out_of_memory || cgroup_out_of_memory(r.group);
        if (r.killed || run.over_write_limit || run.out_of_memory)
            stop_run(r, options.sandbox);
    }
}

// A run and all it starts descend from the grader (the grader is their
// subreaper), and a process that has ended stays until the grader reaps it.
static bool from_a_run(pid_t sender)
{
    char state;
    for (int depth = 0; sender > 1 && depth < 1024; ++depth) {
        if (sender == getpid())
            return true;
        if (!proc_stat(sender, state, sender))
            return false;
    }
    return false;
}

// Every signal that would end or stop the grader, taken synchronously.
static sigset_t taken_signals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPIPE,
                    SIGIO, SIGPWR, SIGSTKFLT, SIGTSTP, SIGTTIN, SIGTTOU, SIGXCPU, SIGXFSZ})
        sigaddset(&set, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        sigaddset(&set, sig);
    return set;
}

// Sleeps until a run ends, the next limit passes, or a signal comes.
static void wait_for_news(const std::vector<Running> &running, int limit_s, const sigset_t &signals)
{
    double next = now_s() + (double)LONGEST_WAIT_MS / 1000;
    for (const Running &r : running)
        if (!r.killed && r.started + limit_s < next)
            next = r.started + limit_s;
    take_signals(signals, std::max(0.0, next - now_s()));
}

bool grade_make_base(GradeOptions &options, std::string &base, std::string &error)
{
    if (!options.keep_dir.empty()) {
        // A fresh directory, so that no earlier grading's files mix in.
        base = options.keep_dir;
        if (options.keep_dir_made)
            return true;
        options.keep_dir_made = true;
        if (mkdir(base.c_str(), 0700) != 0) {
            error = base + ": cannot make the directory for the runs: " + strerror(errno);
            return false;
        }
        return true;
    }
    // A relative TMPDIR would name another place once a run is in its directory.
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/wena-grade-XXXXXX";
    if (tmp && *tmp && *tmp != '/') {
        char here[PATH_MAX];
        if (getcwd(here, sizeof here))
            pattern = std::string(here) + "/" + tmp + "/wena-grade-XXXXXX";
    }
    if (!mkdtemp(pattern.data())) {
        error = pattern + ": " + strerror(errno);
        return false;
    }
    base = pattern;
    return true;
}

static void abandon(std::vector<Running> &running)
{
    for (const Running &r : running) {
        cgroup_kill(r.group);
        kill(r.pid, SIGKILL);
        close_all({r.verdict_fd, r.picture_fd, r.trace_fd, r.scenario_fd, r.start_fd});
    }
    sweep_children();
    for (const Running &r : running) {
        wait_until_gone(r);
        cgroup_remove(r.group);
    }
    running.clear();
}

// The user's processes now, and room for every run going at once.
static rlim_t process_limit(const GradeOptions &options)
{
    rlim_t mine = 0;
    if (DIR *d = opendir("/proc")) {
        struct stat st;
        while (struct dirent *e = readdir(d))
            mine += isdigit((unsigned char)e->d_name[0]) && fstatat(dirfd(d), e->d_name, &st, 0) == 0 &&
                    st.st_uid == getuid();
        closedir(d);
    }
    return mine + (rlim_t)options.processes * (rlim_t)options.jobs;
}

// Starts runs from the line while there is room; a run that cannot start
// is tried again later, once, and never stops the others.
static void start_waiting(std::vector<GradeRun> &runs, std::deque<size_t> &waiting, const Setup &setup,
                          std::vector<Running> &running, int &done, int &failed)
{
    while (!waiting.empty() && (int)running.size() < setup.options->jobs) {
        size_t index = waiting.front();
        waiting.pop_front();
        GradeRun &run = runs[index];
        run.start_failure = start_run(runs, index, setup, running);
        if (run.start_failure.empty() || try_again(run, waiting, index))
            continue;
        grade_judge(run);
        ++done;
        ++failed;
    }
}

bool grade_runs(std::vector<GradeRun> &runs, GradeOptions &options, std::string &error)
{
    Setup setup = {&options, "", !options.keep_dir.empty(), process_limit(options), getpid(),
                   options.sandbox && options.keep_dir.empty(), sandbox_program()};
    if (!grade_make_base(options, setup.base, error))
        return false;
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    sigset_t signals = taken_signals(), old;
    sigprocmask(SIG_BLOCK, &signals, &old);
    std::vector<Running> running;
    std::deque<size_t> waiting;
    for (size_t i = 0; i < runs.size(); ++i)
        waiting.push_back(i);
    int done = 0, failed = 0, total = (int)runs.size();
    bool interrupted = false;
    teacher_stopped = false;
    while (done < total && !interrupted) {
        start_waiting(runs, waiting, setup, running, done, failed);
        grade_progress(done, total, failed, (int)running.size());
        wait_for_news(running, options.time_limit_s, signals);
        stop_overdue(runs, running, setup);
        reap(runs, running, setup.keep, signals, waiting, done, failed);
        if (teacher_stopped) {
            error = "interrupted";
            interrupted = true;
        }
    }
    abandon(running);
    if (!setup.keep)
        remove_or_name(setup.base);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    return !interrupted;
}
