// The runs themselves, on POSIX: a directory for each, the program started
// in a process group of its own with the scenario in its environment, and
// the whole group killed when the wall-clock limit passes. Signals are taken
// synchronously, so that Ctrl-C kills the runs and removes their directories.
#include "tools/grade/grade.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <ctime>
#include <unistd.h>

enum {
    ERR_TAIL_BYTES = 64 * 1024,               // of a run's standard error, the end is kept
    FILE_SIZE_LIMIT = 64 * 1024 * 1024,       // a run that writes more is ended
    LONGEST_WAIT_MS = 200
};

namespace {

struct Running {
    size_t index;   // into the runs
    pid_t pid;      // also its process group
    double started;
    bool killed;
};

}  // namespace

static double now_s()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    remove(path);
    return 0;
}

static void remove_tree(const std::string &path) { nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS); }

static bool write_file(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
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

// Before exec: a process group to kill as a whole, no terminal, standard
// error kept for the verdict, and only the scenario's variables set.
[[noreturn]] static void become_run(const GradeRun &run, const std::string &dir, const std::string &err_path)
{
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int in = open("/dev/null", O_RDONLY);
    int out = open("/dev/null", O_WRONLY);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(dir.c_str()) != 0)
        _exit(127);
    struct rlimit size = {FILE_SIZE_LIMIT, FILE_SIZE_LIMIT};
    setrlimit(RLIMIT_FSIZE, &size);
    for (const char *name : {"WENA_RECORD", "WENA_REALTIME", "WENA_TRACE", "WENA_DUMP_AT_EXIT"})
        unsetenv(name);
    setenv("WENA_SCENARIO", run.scenario_path.c_str(), 1);
    const char *argv[] = {run.program_path.c_str(), nullptr};
    execv(argv[0], (char *const *)argv);
    dprintf(2, "wena-grade: cannot run %s: %s\n", run.program.c_str(), strerror(errno));
    _exit(127);
}

// "3-myboard-leds.scn": the number keeps names apart, the rest lets a
// teacher find a kept run.
static std::string plain_name(const std::string &path)
{
    std::string name = path.substr(path.find_last_of('/') + 1).substr(0, 40);
    for (char &c : name)
        if (!isalnum((unsigned char)c) && c != '.' && c != '_' && c != '-')
            c = '_';
    return name;
}

static std::string run_dir(const std::vector<GradeRun> &runs, const std::string &base, size_t index)
{
    return base + "/" + std::to_string(index + 1) + "-" + plain_name(runs[index].program) + "-" +
           plain_name(runs[index].scenario);
}

static bool start_run(std::vector<GradeRun> &runs, size_t index, const std::string &base,
                      const GradeOptions &options, std::vector<Running> &running)
{
    std::string dir = run_dir(runs, base, index);
    if (mkdir(dir.c_str(), 0755) != 0 || !write_file(dir + "/WENA.ini", options.ini_text))
        return false;
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0)
        become_run(runs[index], dir, dir + ".err");
    setpgid(pid, pid);  // as the child does, whichever comes first
    running.push_back({index, pid, now_s(), false});
    return true;
}

static void end_run(std::vector<GradeRun> &runs, const Running &r, int wait_status, const std::string &base,
                    bool keep)
{
    GradeRun &run = runs[r.index];
    run.seconds = now_s() - r.started;
    run.killed_at_limit = r.killed;
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    run.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
    std::string dir = run_dir(runs, base, r.index);
    run.err = read_tail(dir + ".err");
    if (!keep) {
        remove_tree(dir);
        remove((dir + ".err").c_str());
    }
    grade_judge(run);
}

// Reaps the runs that have ended. The group is killed while its leader is
// still a zombie, so that the group id cannot have been given to another
// process, and nothing the program started outlives it.
static void reap(std::vector<GradeRun> &runs, std::vector<Running> &running, const std::string &base, bool keep,
                 int &done, int &failed)
{
    for (size_t i = 0; i < running.size();) {
        siginfo_t info{};
        if (waitid(P_PID, (id_t)running[i].pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0) {
            ++i;
            continue;
        }
        kill(-running[i].pid, SIGKILL);
        int status = 0;
        waitpid(running[i].pid, &status, 0);
        GradeRun &run = runs[running[i].index];
        end_run(runs, running[i], status, base, keep);
        ++done;
        failed += run.verdict != VERDICT_PASSED;
        running.erase(running.begin() + (long)i);
    }
}

static void kill_overdue(std::vector<Running> &running, int limit_s)
{
    double now = now_s();
    for (Running &r : running)
        if (!r.killed && now - r.started >= limit_s) {
            kill(-r.pid, SIGKILL);
            r.killed = true;
        }
}

// Takes one of the blocked signals off the queue, waiting at most seconds
// for it; -1 when none came.
static int wait_for_signal(const sigset_t &signals, double seconds)
{
#ifdef WENA_HAVE_SIGTIMEDWAIT
    struct timespec timeout = {(time_t)seconds, (long)((seconds - (double)(time_t)seconds) * 1e9)};
    return sigtimedwait(&signals, nullptr, &timeout);
#else
    // Looks every few milliseconds: a run's end is noticed a little later.
    double until = now_s() + seconds;
    for (;;) {
        sigset_t pending;
        sigpending(&pending);
        for (int sig = 1; sig < NSIG; ++sig)
            if (sigismember(&signals, sig) && sigismember(&pending, sig) && sigwait(&signals, &sig) == 0)
                return sig;
        if (now_s() >= until)
            return -1;
        struct timespec pause = {0, 5000000};
        nanosleep(&pause, nullptr);
    }
#endif
}

// Sleeps until a run ends, the next limit passes, or Ctrl-C; false on Ctrl-C.
static bool wait_for_news(const std::vector<Running> &running, int limit_s, const sigset_t &signals)
{
    double next = now_s() + (double)LONGEST_WAIT_MS / 1000;
    for (const Running &r : running)
        if (!r.killed && r.started + limit_s < next)
            next = r.started + limit_s;
    double left = next - now_s();
    if (left < 0)
        left = 0;
    int sig = wait_for_signal(signals, left);
    return sig != SIGINT && sig != SIGTERM && sig != SIGHUP;
}

static bool make_base(const GradeOptions &options, std::string &base, std::string &error)
{
    if (!options.keep_dir.empty()) {
        // A fresh directory, so that no earlier grading's files mix in.
        base = options.keep_dir;
        if (mkdir(base.c_str(), 0755) != 0) {
            error = base + ": cannot make the directory for the runs: " + strerror(errno);
            return false;
        }
        return true;
    }
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wena-grade-XXXXXX";
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
        kill(-r.pid, SIGKILL);
        waitpid(r.pid, nullptr, 0);
    }
    running.clear();
}

bool grade_runs(std::vector<GradeRun> &runs, const GradeOptions &options, std::string &error)
{
    std::string base;
    if (!make_base(options, base, error))
        return false;
    bool keep = !options.keep_dir.empty();
    sigset_t signals, old;
    sigemptyset(&signals);
    for (int sig : {SIGCHLD, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&signals, sig);
    sigprocmask(SIG_BLOCK, &signals, &old);
    std::vector<Running> running;
    size_t next = 0;
    int done = 0, failed = 0, total = (int)runs.size();
    bool interrupted = false;
    while (done < total && !interrupted) {
        while (next < runs.size() && (int)running.size() < options.jobs) {
            if (!start_run(runs, next, base, options, running)) {
                error = run_dir(runs, base, next) + ": cannot start the run: " + strerror(errno);
                interrupted = true;
                break;
            }
            ++next;
        }
        grade_progress(done, total, failed, (int)running.size());
        if (!interrupted && !wait_for_news(running, options.time_limit_s, signals)) {
            error = "interrupted";
            interrupted = true;
        }
        kill_overdue(running, options.time_limit_s);
        reap(runs, running, base, keep, done, failed);
    }
    abandon(running);
    if (!keep)
        remove_tree(base);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return !interrupted;
}
