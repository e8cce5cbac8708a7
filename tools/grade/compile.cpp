// Students' sources built into programs before any run: each student's
// build in a box like a run's (bubblewrap: no network, the system
// read-only, the student's sources and the library read-only, nothing
// writable but the build's own directory), under a limit of real time and
// of memory, several students at once. A build that fails keeps the
// compiler's messages for the report; one that works keeps its warnings.
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
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

enum {
    MESSAGE_BYTES = 16 * 1024,  // of what the compiler said, the start is kept
    COMPILER_MEMORY_MIB = 2048  // address space of each compiler process
};

static const char PROGRAM_NAME[] = "program";

// The compilers and flags that built the library; the build gives them.
#ifndef WENA_GRADE_CC
#define WENA_GRADE_CC "cc"
#endif
#ifndef WENA_GRADE_CXX
#define WENA_GRADE_CXX "c++"
#endif
#ifndef WENA_GRADE_LINK_FLAGS
#define WENA_GRADE_LINK_FLAGS ""
#endif

namespace {

// One student's build going on.
struct Building {
    size_t index;  // into the submissions
    pid_t pid;     // the builder, leader of its own session
    double started;
    int messages_fd;
    std::string dir;
};

// What every build starts with.
struct Toolchain {
    std::string include_dir, archive, bwrap;
    const GradeOptions *options;
};

}  // namespace

static double now_s()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

void grade_default_compilers(GradeOptions &options)
{
    options.cc = WENA_GRADE_CC;
    options.cxx = WENA_GRADE_CXX;
}

static std::vector<std::string> words(const std::string &text)
{
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t\n", at)) != std::string::npos) {
        size_t end = std::min(text.find_first_of(" \t\n", at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

static bool ends_with(const std::string &text, const char *end)
{
    size_t n = strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

bool grade_source_name(const std::string &path) { return ends_with(path, ".c") || ends_with(path, ".cpp"); }

static bool regular_file(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool grade_find_library(std::string &include_dir, std::string &archive, std::string &why)
{
    // Installed: PREFIX/bin/wena-grade beside PREFIX/include and PREFIX/lib.
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string prefix(self, (size_t)n);
        prefix = prefix.substr(0, prefix.find_last_of('/'));
        prefix = prefix.substr(0, prefix.find_last_of('/'));
        include_dir = prefix + "/include";
        archive = prefix + "/lib/libwena.a";
        if (regular_file(include_dir + "/wena.h") && regular_file(archive))
            return true;
    }
#if defined(WENA_GRADE_BUILD_INCLUDE) && defined(WENA_GRADE_BUILD_ARCHIVE)
    include_dir = WENA_GRADE_BUILD_INCLUDE;
    archive = WENA_GRADE_BUILD_ARCHIVE;
    if (regular_file(include_dir + "/wena.h") && regular_file(archive))
        return true;
#endif
    why = "the library (wena.h and libwena.a) is neither installed beside wena-grade nor in its build tree";
    return false;
}

// The compiler as the box will start it: a path, or the first of the
// name's on the PATH.
static std::string compiler_path(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? name : "";
    const char *path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t at = 0; at <= dirs.size();) {
        size_t end = std::min(dirs.find(':', at), dirs.size());
        std::string candidate = (end > at ? dirs.substr(at, end - at) : ".") + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0 && regular_file(candidate))
            return candidate;
        at = end + 1;
    }
    return "";
}

bool grade_check_compilers(GradeOptions &options, std::string &error)
{
    for (auto [option, name] : {std::pair{"--cc", &options.cc}, std::pair{"--cxx", &options.cxx}}) {
        std::string path = compiler_path(*name);
        if (path.empty()) {
            error = std::string(option) + " " + *name + ": no such compiler";
            return false;
        }
        if (options.sandbox && !sandbox_sees(path)) {
            error = std::string(option) + " " + path + ": outside what the box sees (/usr, /bin, /lib, /etc)";
            return false;
        }
        *name = path;
    }
    return true;
}

static bool is_cpp(const std::string &file) { return ends_with(file, ".cpp"); }

// The steps of one build: each source compiled by its language's compiler
// (resolved to a path before), then all linked with the library by the C++
// compiler, which brings the C++ runtime the library needs.
static std::vector<std::vector<std::string>> build_steps(const GradeSubmission &s, const Toolchain &tools,
                                                         const std::string &dir)
{
    const GradeOptions &o = *tools.options;
    std::vector<std::vector<std::string>> steps;
    std::vector<std::string> link = {o.cxx};
    for (size_t i = 0; i < s.files.size(); ++i) {
        bool cpp = is_cpp(s.files[i]);
        std::vector<std::string> step = {cpp ? o.cxx : o.cc, "-std=" + (cpp ? o.cxx_std : o.c_std)};
        for (const std::string &flag : words(cpp ? o.cxx_flags : o.c_flags))
            step.push_back(flag);
        std::string object = dir + "/" + std::to_string(i + 1) + ".o";
        // A student's "-o.c" is a file, not an option.
        std::string file = s.files[i][0] == '-' ? "./" + s.files[i] : s.files[i];
        step.insert(step.end(), {"-I", tools.include_dir, "-c", file, "-o", object});
        steps.push_back(step);
        link.push_back(object);
    }
    for (const std::string &flag : words(o.c_flags + " " + o.cxx_flags))
        if (flag.rfind("-fsanitize", 0) == 0 || flag.rfind("-fno-sanitize", 0) == 0 || flag == "-pthread")
            link.push_back(flag);
    link.push_back(tools.archive);
    for (const std::string &flag : words(WENA_GRADE_LINK_FLAGS))
        link.push_back(flag);
    link.insert(link.end(), {"-o", dir + "/" + PROGRAM_NAME});
    steps.push_back(link);
    return steps;
}

// What the box holds beside the system: the student's sources and the
// library read-only, the build's directory writable. A single file is
// bound alone, so that the other students' files beside it stay out.
static std::vector<std::string> box_command(const GradeSubmission &s, const Toolchain &tools, const std::string &dir,
                                            const std::vector<std::string> &step)
{
    std::vector<std::string> args = sandbox_system();
    if (s.given_is_dir)
        args.insert(args.end(), {"--ro-bind", s.source_dir, s.source_dir});
    else
        args.insert(args.end(), {"--ro-bind", s.source_dir + "/" + s.files[0], s.source_dir + "/" + s.files[0]});
    args.insert(args.end(), {"--ro-bind", tools.include_dir, tools.include_dir, "--ro-bind", tools.archive,
                             tools.archive, "--bind", dir, dir, "--remount-ro", "/", "--chdir", s.source_dir, "--"});
    args.insert(args.end(), step.begin(), step.end());
    return args;
}

static void set_limit(int resource, rlim_t value)
{
    struct rlimit limit = {value, value};
    setrlimit(resource, &limit);
}

[[noreturn]] static void exec_step(const GradeSubmission &s, const Toolchain &tools, const std::string &dir,
                                   const std::vector<std::string> &step)
{
    std::vector<std::string> args = tools.options->sandbox ? box_command(s, tools, dir, step) : step;
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (chdir(s.source_dir.c_str()) != 0) {
        fprintf(stderr, "wena-grade: cannot enter %s: %s\n", s.source_dir.c_str(), strerror(errno));
        _exit(127);
    }
    clearenv();
    setenv("PATH", "/usr/local/bin:/usr/bin:/bin", 1);
    setenv("LANG", "C.UTF-8", 1);
    setenv("HOME", dir.c_str(), 1);
    setenv("TMPDIR", dir.c_str(), 1);
    const char *program = tools.options->sandbox ? tools.bwrap.c_str() : args[0].c_str();
    // Last, with nothing left to allocate: a grader built with
    // AddressSanitizer holds more address space than the compiler may.
    const GradeOptions &o = *tools.options;
    set_limit(RLIMIT_AS, (rlim_t)COMPILER_MEMORY_MIB << 20);
    set_limit(RLIMIT_CPU, (rlim_t)o.compile_time_s);
    set_limit(RLIMIT_FSIZE, (rlim_t)o.write_mib << 20);
    set_limit(RLIMIT_CORE, 0);
    execv(program, argv.data());
    fprintf(stderr, "wena-grade: cannot start %s: %s\n", program, strerror(errno));
    _exit(127);
}

// In the builder: each step in turn, until one fails. The compiler's
// messages go to messages_fd, in the language the box's C.UTF-8 gives.
[[noreturn]] static void build(const GradeSubmission &s, const Toolchain &tools, const std::string &dir,
                               int messages_fd)
{
    setsid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(messages_fd, 1);
    dup2(messages_fd, 2);
    close_range(3, ~0U, 0);
    for (const std::vector<std::string> &step : build_steps(s, tools, dir)) {
        pid_t pid = fork();
        if (pid == 0)
            exec_step(s, tools, dir, step);
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid) {
            fprintf(stderr, "wena-grade: cannot start the compiler: %s\n", strerror(errno));
            _exit(1);
        }
        if (WIFSIGNALED(status))
            fprintf(stderr, "wena-grade: the compiler was ended by signal %d (%s)\n", WTERMSIG(status),
                    strsignal(WTERMSIG(status)));
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            _exit(1);
    }
    _exit(0);
}

static std::string read_messages(int fd)
{
    std::string text;
    char block[4096];
    ssize_t n;
    lseek(fd, 0, SEEK_SET);
    while (text.size() < MESSAGE_BYTES && (n = read(fd, block, sizeof block)) > 0)
        text.append(block, (size_t)n);
    close(fd);
    if (text.size() > MESSAGE_BYTES)
        text = text.substr(0, MESSAGE_BYTES) + "\n...";
    return text;
}

static std::string start_build(std::vector<GradeSubmission> &submissions, size_t index, const Toolchain &tools,
                               const std::string &base, std::vector<Building> &building)
{
    GradeSubmission &s = submissions[index];
    std::string dir = base + "/" + grade_plain_name(s.given) + "-build-XXXXXX";
    if (!mkdtemp(dir.data()))
        return dir + ": " + strerror(errno);
    int fd = memfd_create("wena-compiler-messages", MFD_CLOEXEC);
    pid_t pid = fd < 0 ? -1 : fork();
    if (pid == 0)
        build(s, tools, dir, fd);
    if (pid < 0) {
        std::string why = std::string("cannot start a build: ") + strerror(errno);
        if (fd >= 0)
            close(fd);
        return why;
    }
    building.push_back({index, pid, now_s(), fd, dir});
    return "";
}

static void end_build(std::vector<GradeSubmission> &submissions, const Building &b, int status, bool overdue,
                      int limit_s)
{
    GradeSubmission &s = submissions[b.index];
    s.compiler_messages = read_messages(b.messages_fd);
    s.compiled = !overdue && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (overdue)
        s.compiler_messages += "wena-grade: the build was stopped after " + std::to_string(limit_s) + " s\n";
    s.program_path = b.dir + "/" + PROGRAM_NAME;
}

// Reaps the builders that ended, and kills those past the limit with all
// their session.
static void reap_builds(std::vector<GradeSubmission> &submissions, std::vector<Building> &building,
                        const GradeOptions &options)
{
    for (size_t i = 0; i < building.size();) {
        Building &b = building[i];
        bool overdue = now_s() - b.started > options.compile_time_s;
        if (overdue)
            kill(-b.pid, SIGKILL);
        int status = 0;
        if (waitpid(b.pid, &status, overdue ? 0 : WNOHANG) != b.pid) {
            ++i;
            continue;
        }
        kill(-b.pid, SIGKILL);
        end_build(submissions, b, status, overdue, options.compile_time_s);
        building.erase(building.begin() + (long)i);
    }
}

bool grade_compile(std::vector<GradeSubmission> &submissions, const GradeOptions &options, const std::string &base,
                   std::string &error)
{
    Toolchain tools = {"", "", sandbox_program(), &options};
    if (!grade_find_library(tools.include_dir, tools.archive, error))
        return false;
    std::vector<Building> building;
    size_t next = 0;
    int total = (int)std::count_if(submissions.begin(), submissions.end(), [](auto &s) { return s.source; });
    int built = 0;
    while (next < submissions.size() || !building.empty()) {
        while (next < submissions.size() && (int)building.size() < options.compile_jobs) {
            if (submissions[next].source && !(error = start_build(submissions, next, tools, base, building)).empty())
                break;
            ++next;
        }
        if (!error.empty()) {
            for (const Building &b : building)
                kill(-b.pid, SIGKILL);
            reap_builds(submissions, building, options);
            return false;
        }
        usleep(2000);
        size_t before = building.size();
        reap_builds(submissions, building, options);
        if (building.size() != before)
            grade_compile_progress(built += (int)(before - building.size()), total);
    }
    return true;
}

std::string grade_plain_name(const std::string &path)
{
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    name = name.substr(name.find_last_of('/') + 1);
    std::string out;
    for (size_t i = 0; i < name.size() && out.size() < 40;) {
        unsigned code = 0;
        size_t len = grade_utf8_char(name, i, &code);
        bool kept = len > 1 ? !grade_bidi_control(code) && code >= 0xA0
                            : len == 1 && (isalnum((unsigned char)name[i]) || strchr("._-", name[i]));
        out += kept ? name.substr(i, len) : "_";
        i += len ? len : 1;
    }
    return out.empty() || out == "." || out == ".." ? "_" : out;
}
