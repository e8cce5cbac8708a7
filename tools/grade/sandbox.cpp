// The two ways a run is held. In bubblewrap's sandbox a process namespace of
// its own ends with its first process, taking everything with it. Without
// it a keeper, a subreaper, inherits whatever the program leaves behind
// (also after setsid) and kills it all when the program ends.
#include "tools/grade/sandbox.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::vector<std::string> sandbox_system()
{
    std::vector<std::string> args = {"bwrap", "--unshare-all", "--unshare-user", "--disable-userns",
                                      "--die-with-parent", "--new-session", "--ro-bind", "/usr", "/usr"};
    for (const char *system : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/etc"})
        args.insert(args.end(), {"--ro-bind-try", system, system});
    // The root and /dev are bubblewrap's own, writable until remounted.
    args.insert(args.end(), {"--proc", "/proc", "--dev", "/dev", "--remount-ro", "/dev"});
    return args;
}

bool sandbox_sees(const std::string &path)
{
    for (const char *system : {"/usr/", "/bin/", "/sbin/", "/lib/", "/lib32/", "/lib64/", "/libx32/", "/etc/"})
        if (path.compare(0, strlen(system), system) == 0)
            return true;
    return false;
}

std::vector<std::string> sandbox_command(const std::string &program, const std::string &dir, long long bytes,
                                         int ini_fd)
{
    std::vector<std::string> args = sandbox_system();
    std::string size = std::to_string(bytes);
    args.insert(args.end(), {"--size", size, "--tmpfs", "/tmp"});
    if (ini_fd >= 0)
        args.insert(args.end(), {"--size", size, "--tmpfs", dir, "--file", std::to_string(ini_fd), dir + "/WENA.ini"});
    else
        args.insert(args.end(), {"--bind", dir, dir});
    args.insert(args.end(), {"--ro-bind", program, program, "--remount-ro", "/", "--chdir", dir, "--", program});
    return args;
}

std::string sandbox_program()
{
    const char *path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t at = 0; at <= dirs.size();) {
        size_t end = std::min(dirs.find(':', at), dirs.size());
        std::string candidate = (end > at ? dirs.substr(at, end - at) : ".") + "/bwrap";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        at = end + 1;
    }
    return "";
}

std::vector<pid_t> children_of_self() { return children_of(getpid()); }

std::vector<pid_t> children_of(pid_t parent)
{
    std::vector<pid_t> pids;
    std::string path = "/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children";
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return pids;
    long pid;
    while (fscanf(f, "%ld", &pid) == 1)
        pids.push_back((pid_t)pid);
    fclose(f);
    return pids;
}

void sweep_children()
{
    for (;;) {
        for (pid_t pid : children_of_self())
            kill(pid, SIGKILL);
        if (waitpid(-1, nullptr, 0) < 0 && errno == ECHILD)
            return;
    }
}

bool proc_stat(pid_t pid, char &state, pid_t &parent)
{
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return false;
    char text[1024];
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = '\0';
    const char *after_name = strrchr(text, ')');
    long ppid = 0;
    if (!after_name || sscanf(after_name, ") %c %ld", &state, &ppid) != 2)
        return false;
    parent = (pid_t)ppid;
    return true;
}

// Kills every child until all are dead, and reaps none: when the keeper
// ends they pass to the grader, which can still tell they were a run's when
// it reads the signals they sent.
static void kill_children_unreaped()
{
    for (int round = 0; round < 100000; ++round) {
        bool alive = false;
        for (pid_t pid : children_of_self()) {
            char state = 'Z';
            pid_t parent;
            if (proc_stat(pid, state, parent) && state != 'Z' && state != 'X') {
                kill(pid, SIGKILL);
                alive = true;
            }
        }
        if (!alive)
            return;
        usleep(1000);
    }
}

// Ends as the program did: with its status, or by its signal.
[[noreturn]] static void end_like(const siginfo_t &ended)
{
    if (ended.si_code == CLD_EXITED)
        _exit(ended.si_status);
    int sig = ended.si_status;
    struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    signal(sig, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(sig);
    _exit(128 + sig);
}

[[noreturn]] static void start_program(const char *program, pid_t keeper)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != keeper)
        _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execl(program, program, (char *)nullptr);
    int error = errno;
    // The verdict channel is still at 4: the library has not taken it.
    dprintf(4, "127 wena-grade: cannot run %s: %s\n", program, strerror(error));
    dprintf(2, "wena-grade: cannot run %s: %s\n", program, strerror(error));
    _exit(127);
}

// Only the grader may stop the run early (SIGTERM), or its death; the
// program's signals to its keeper are taken and dropped.
void keeper_run(const char *program, pid_t grader, int start_fd)
{
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    // Should the grader die, the run ends too.
    prctl(PR_SET_PDEATHSIG, SIGHUP);
    if (getppid() != grader)
        _exit(137);
    pid_t keeper = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        dprintf(start_fd, "cannot start the program: %s", strerror(errno));
        _exit(127);
    }
    if (pid == 0)
        start_program(program, keeper);
    close_range(3, ~0U, 0);
    for (;;) {
        siginfo_t info{};
        if (sigwaitinfo(&all, &info) < 0)
            continue;
        if ((info.si_signo == SIGTERM && info.si_pid == grader) || getppid() != grader) {
            kill_children_unreaped();
            _exit(137);
        }
        siginfo_t ended{};
        if (info.si_signo == SIGCHLD && waitid(P_PID, (id_t)pid, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            ended.si_pid == pid) {
            kill_children_unreaped();
            end_like(ended);
        }
    }
}

// Tries a sandbox as the runs get it, with nothing in it but true(1).
std::string grade_sandbox_missing()
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return std::string("cannot try bubblewrap: ") + strerror(errno);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(out[1], 2);
        std::vector<std::string> args = sandbox_command("/usr/bin/true", "/tmp", 1 << 20, -1);
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::string bwrap = sandbox_program();
        if (bwrap.empty())
            _exit(127);
        execv(bwrap.c_str(), argv.data());
        _exit(126);
    }
    close(out[1]);
    std::string said;
    char block[1024];
    ssize_t n;
    while (pid > 0 && (n = read(out[0], block, sizeof block)) > 0 && said.size() < 4096)
        said.append(block, (size_t)n);
    close(out[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return std::string("cannot try bubblewrap: ") + strerror(errno);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return "";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return "bubblewrap (bwrap) is not installed";
    said = said.substr(0, said.find('\n'));
    return "bubblewrap cannot make a sandbox here" + (said.empty() ? std::string() : ": " + said);
}
