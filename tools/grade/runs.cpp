// The runs themselves, on POSIX. Each gets a directory no other run can
// guess, a session of its own without a terminal, the scenario and a verdict
// channel on inherited descriptors, and limits; it goes into bubblewrap's
// sandbox or under a keeper (tools/grade/sandbox.cpp). The grader takes
// signals synchronously, drops those that come from a run, and is a
// subreaper itself, so that nothing a run leaves behind outlives it.
#include "tools/grade/grade.h"
#include "tools/grade/sandbox.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <climits>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

enum {
    ERR_TAIL_BYTES = 64 * 1024,  // of a run's standard error, the end is kept
    VERDICT_BYTES = 64 * 1024,
    LONGEST_WAIT_MS = 100,       // how often the bytes a run wrote are counted
    DEEPEST_TREE = 128,
    PICTURE_BYTES = 1 << 20,
    SCENARIO_FD = 3,
    VERDICT_FD = 4,
    PICTURE_FD = 5,
    RUN_FDS = 6
};

static const double KEEPER_GRACE_S = 1.0;  // for a keeper to end its run before it is killed itself

namespace {

struct Running {
    size_t index;      // into the runs
    pid_t pid;         // the keeper, or bubblewrap
    double started;
    bool killed;       // at the wall-clock limit
    double stop_sent;  // when the run was told to stop, or 0
    int verdict_fd;    // read end of the verdict channel
    int picture_fd;    // read end of the picture's channel
    std::string dir;
};

// What every run starts with.
struct Setup {
    const GradeOptions *options;
    std::string base;
    bool keep;
    rlim_t process_limit;
    pid_t grader;
};

}  // namespace

static double now_s()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// Calls visit with the path of each entry of the directory. A run may have
// locked itself out of it (chmod 0): it is opened up (u+rwx) when it cannot
// be read, or always when asked.
template <typename Visit> static void for_each_entry(const std::string &dir, bool open_always, Visit visit)
{
    if (open_always)
        chmod(dir.c_str(), 0700);
    DIR *d = opendir(dir.c_str());
    if (!d && errno == EACCES && chmod(dir.c_str(), 0700) == 0)
        d = opendir(dir.c_str());
    if (!d)
        return;
    while (struct dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            visit(dir + "/" + e->d_name);
    closedir(d);
}

// Links are removed, never followed.
static bool remove_tree(const std::string &path, std::string &failed, int depth = 0)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (S_ISDIR(st.st_mode) && depth < DEEPEST_TREE)
        for_each_entry(path, true, [&](const std::string &entry) { remove_tree(entry, failed, depth + 1); });
    if ((S_ISDIR(st.st_mode) ? rmdir(path.c_str()) : unlink(path.c_str())) == 0)
        return true;
    if (failed.empty())
        failed = path + ": " + strerror(errno);
    return false;
}

static void remove_or_name(const std::string &path)
{
    std::string failed;
    if (!remove_tree(path, failed))
        fprintf(stderr, "\r\x1b[Kwena-grade: left behind, cannot be removed: %s\n", grade_shown(failed).c_str());
}

// A kept run's directories, opened up for the teacher to read and remove.
static void open_up(const std::string &path, int depth = 0)
{
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && depth < DEEPEST_TREE)
        for_each_entry(path, true, [&](const std::string &entry) { open_up(entry, depth + 1); });
}

// Bytes the files under path take on the disk.
static long long tree_bytes(const std::string &path, int depth = 0)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return 0;
    long long bytes = (long long)st.st_blocks * 512;
    if (S_ISDIR(st.st_mode) && depth < DEEPEST_TREE)
        for_each_entry(path, false, [&](const std::string &entry) { bytes += tree_bytes(entry, depth + 1); });
    return bytes;
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

static void set_limits(const Setup &setup)
{
    const GradeOptions &o = *setup.options;
    rlim_t written = (rlim_t)o.write_mib << 20;
    set_limit(RLIMIT_FSIZE, written, written);
    if (o.memory_mib > 0)
        set_limit(RLIMIT_AS, (rlim_t)o.memory_mib << 20, (rlim_t)o.memory_mib << 20);
    if (o.cpu_s > 0)
        set_limit(RLIMIT_CPU, (rlim_t)o.cpu_s, (rlim_t)o.cpu_s + 1);
    set_limit(RLIMIT_NPROC, setup.process_limit, setup.process_limit);
    set_limit(RLIMIT_CORE, 0, 0);
}

// fds: standard input, output and error, the scenario, the verdict and the
// picture channels.
static bool place_descriptors(const int (&fds)[RUN_FDS])
{
    int high[RUN_FDS];
    for (int i = 0; i < RUN_FDS; ++i)
        if ((high[i] = fcntl(fds[i], F_DUPFD, 10)) < 0)
            return false;
    for (int i = 0; i < RUN_FDS; ++i)
        if (dup2(high[i], i) < 0)
            return false;
    close_range(RUN_FDS, ~0U, 0);
    return true;
}

// In the child: no terminal, only the scenario's variables, the limits,
// then the sandbox or the keeper.
[[noreturn]] static void become_run(const GradeRun &run, const Setup &setup, const std::string &dir,
                                    const int (&fds)[RUN_FDS])
{
    setsid();
    if (!place_descriptors(fds) || chdir(dir.c_str()) != 0)
        _exit(127);
    set_limits(setup);
    for (const char *name : {"WENA_RECORD", "WENA_REALTIME", "WENA_TRACE", "WENA_DUMP_AT_EXIT", "WENA_DUMP_ON_FAILURE"})
        unsetenv(name);
    setenv("WENA_SCENARIO", run.scenario_path.c_str(), 1);
    setenv("WENA_GRADE_FDS", "3,4,5", 1);
    if (!setup.options->sandbox)
        keeper_run(run.program_path.c_str(), setup.grader);
    std::vector<std::string> args =
        sandbox_command(run.program_path, dir, (long long)setup.options->write_mib << 20);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execvp(argv[0], argv.data());
    dprintf(VERDICT_FD, "127 wena-grade: cannot start bwrap: %s\n", strerror(errno));
    _exit(127);
}

// "3-myboard-leds.scn-Xq81zA": the number and names let a teacher find a
// kept run, the random end keeps other runs from making it first.
static std::string plain_name(const std::string &path)
{
    std::string name = path.substr(path.find_last_of('/') + 1).substr(0, 40);
    for (char &c : name)
        if (!isalnum((unsigned char)c) && c != '.' && c != '_' && c != '-')
            c = '_';
    return name;
}

static bool make_run_dir(const std::vector<GradeRun> &runs, const std::string &base, size_t index,
                         std::string &dir)
{
    dir = base + "/" + std::to_string(index + 1) + "-" + plain_name(runs[index].program) + "-" +
          plain_name(runs[index].scenario) + "-XXXXXX";
    return mkdtemp(dir.data()) != nullptr;
}

static void close_all(std::initializer_list<int> fds)
{
    for (int fd : fds)
        if (fd >= 0)
            close(fd);
}

// The scenario's text as the grader read it, in a file of its own that no
// one can change and that each run reads from its start.
static int scenario_copy(const std::string &text)
{
    int fd = memfd_create("wena-scenario", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += (size_t)n;
    }
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    lseek(fd, 0, SEEK_SET);
    return fd;
}

static bool start_run(std::vector<GradeRun> &runs, size_t index, const Setup &setup, std::vector<Running> &running)
{
    std::string dir;
    if (!make_run_dir(runs, setup.base, index, dir) || !write_file(dir + "/WENA.ini", setup.options->ini_text))
        return false;
    int channel[2] = {-1, -1}, picture[2] = {-1, -1};
    int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    int out = open("/dev/null", O_WRONLY | O_CLOEXEC);
    int err = open((dir + ".err").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    int scenario = scenario_copy(*runs[index].scenario_read.text);
    bool ready = in >= 0 && out >= 0 && err >= 0 && scenario >= 0 && pipe2(channel, O_CLOEXEC | O_NONBLOCK) == 0 &&
                 pipe2(picture, O_CLOEXEC | O_NONBLOCK) == 0;
    if (ready)
        fcntl(picture[1], F_SETPIPE_SZ, PICTURE_BYTES);  // a whole picture, without the grader reading meanwhile
    pid_t pid = ready ? fork() : -1;
    if (pid == 0)
        become_run(runs[index], setup, dir, {in, out, err, scenario, channel[1], picture[1]});
    int saved = errno;
    close_all({in, out, err, scenario, channel[1], picture[1]});
    if (pid < 0) {
        close_all({channel[0], picture[0]});
        errno = saved;
        return false;
    }
    runs[index].sandboxed = setup.options->sandbox;
    runs[index].memory_mib = setup.options->memory_mib;
    running.push_back({index, pid, now_s(), false, 0, channel[0], picture[0], dir});
    return true;
}

static void end_run(std::vector<GradeRun> &runs, const Running &r, int wait_status, bool keep)
{
    GradeRun &run = runs[r.index];
    run.seconds = now_s() - r.started;
    run.killed_at_limit = r.killed;
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    run.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
    read_verdict(r.verdict_fd, run);
    std::string picture = read_channel(r.picture_fd, PICTURE_BYTES);
    run.err = read_tail(r.dir + ".err");
    run.screen = grade_checked_screen(picture);
    if (keep) {
        if (!run.screen.empty())
            write_file(r.dir + "-" + GRADE_SCREEN_FILE, grade_screen_page(run.screen));
        open_up(r.dir);
    } else {
        remove_or_name(r.dir);
        remove_or_name(r.dir + ".err");
    }
    grade_judge(run);
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

// Reaps the runs that have ended, and whatever a run left behind that came
// to the grader; the latter is killed first. Each process is reaped only
// after the signals it sent are taken, so that they can still be traced to it.
static void reap(std::vector<GradeRun> &runs, std::vector<Running> &running, bool keep, const sigset_t &signals,
                 int &done, int &failed)
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
        ++done;
        failed += runs[r->index].verdict != VERDICT_PASSED;
        running.erase(r);
    }
}

// bubblewrap takes its whole sandbox down when killed; a keeper is asked to
// end its run, and killed if it does not (what it leaves comes to the grader).
static void stop_run(Running &r, bool sandbox)
{
    if (sandbox || (r.stop_sent > 0 && now_s() - r.stop_sent > KEEPER_GRACE_S)) {
        kill(r.pid, SIGKILL);
        return;
    }
    if (r.stop_sent == 0) {
        kill(r.pid, SIGCONT);
        kill(r.pid, SIGTERM);
        r.stop_sent = now_s();
    }
}

static void stop_overdue(std::vector<GradeRun> &runs, std::vector<Running> &running, const GradeOptions &options)
{
    double now = now_s();
    long long limit = options.write_mib << 20;
    for (Running &r : running) {
        GradeRun &run = runs[r.index];
        if (!r.killed && !run.over_write_limit && now - r.started >= options.time_limit_s)
            r.killed = true;
        if (!r.killed && !run.over_write_limit && tree_bytes(r.dir) > limit) {
            run.over_write_limit = true;
            run.message = "wrote more than " + std::to_string(options.write_mib) + " MiB of files";
        }
        if (r.killed || run.over_write_limit)
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

static bool make_base(const GradeOptions &options, std::string &base, std::string &error)
{
    if (!options.keep_dir.empty()) {
        // A fresh directory, so that no earlier grading's files mix in.
        base = options.keep_dir;
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
        kill(r.pid, SIGKILL);
        close_all({r.verdict_fd, r.picture_fd});
    }
    running.clear();
    sweep_children();
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

bool grade_runs(std::vector<GradeRun> &runs, const GradeOptions &options, std::string &error)
{
    Setup setup = {&options, "", !options.keep_dir.empty(), process_limit(options), getpid()};
    if (!make_base(options, setup.base, error))
        return false;
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    sigset_t signals = taken_signals(), old;
    sigprocmask(SIG_BLOCK, &signals, &old);
    std::vector<Running> running;
    size_t next = 0;
    int done = 0, failed = 0, total = (int)runs.size();
    bool interrupted = false;
    teacher_stopped = false;
    while (done < total && !interrupted) {
        while (next < runs.size() && (int)running.size() < options.jobs) {
            if (!start_run(runs, next, setup, running)) {
                error = setup.base + ": cannot start a run: " + strerror(errno);
                interrupted = true;
                break;
            }
            ++next;
        }
        grade_progress(done, total, failed, (int)running.size());
        if (!interrupted)
            wait_for_news(running, options.time_limit_s, signals);
        stop_overdue(runs, running, options);
        reap(runs, running, setup.keep, signals, done, failed);
        if (teacher_stopped && !interrupted) {
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
