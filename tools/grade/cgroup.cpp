// Control groups for the runs. The grader makes each run's group inside its
// own group, never elsewhere: in v2 it first moves itself into a leaf of its
// own (a group with controllers for its children may hold no process).
#include "tools/grade/cgroup.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Place {
    bool ready = false, v2 = false;
    std::string memory, pids, cpu;  // v1: the grader's group in each; v2: all three the same
    std::string own_leaf;           // v2: where the grader moved itself
    std::string enabled;            // v2: controllers it enabled for its children
};

Place place;

}  // namespace

static std::string read_text(const std::string &path)
{
    std::string text;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char block[4096];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0 && text.size() < (1 << 20))
        text.append(block, (size_t)n);
    close(fd);
    return text;
}

static bool write_text(const std::string &path, const std::string &text)
{
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = write(fd, text.data(), text.size()) == (ssize_t)text.size();
    close(fd);
    return ok;
}

static bool has_word(const std::string &list, const std::string &word)
{
    std::istringstream in(list);
    std::string w;
    while (std::getline(in, w, ','))
        for (std::istringstream words(w); words >> w;)
            if (w == word)
                return true;
    return false;
}

// Where the hierarchy holding controller (or the v2 one, for "") is mounted,
// from /proc/self/mountinfo, and the path inside it the mount starts at.
static bool mount_of(const std::string &controller, std::string &point, std::string &root)
{
    std::istringstream lines(read_text("/proc/self/mountinfo"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream f(line);
        std::string id, parent, dev, mroot, mpoint, field, type, source, options;
        f >> id >> parent >> dev >> mroot >> mpoint;
        while (f >> field && field != "-") {
        }
        f >> type >> source >> options;
        if ((controller.empty() && type == "cgroup2") || (type == "cgroup" && has_word(options, controller))) {
            point = mpoint;
            root = mroot;
            return true;
        }
    }
    return false;
}

// The grader's own group in the hierarchy of controller ("" for v2).
static std::string own_group(const std::string &controller)
{
    std::string point, root;
    if (!mount_of(controller, point, root))
        return "";
    std::istringstream lines(read_text("/proc/self/cgroup"));
    for (std::string line; std::getline(lines, line);) {
        size_t a = line.find(':'), b = line.find(':', a + 1);
        if (a == std::string::npos || b == std::string::npos)
            continue;
        std::string names = line.substr(a + 1, b - a - 1), path = line.substr(b + 1);
        if (controller.empty() ? line.compare(0, 3, "0::") != 0 : !has_word(names, controller))
            continue;
        if (root != "/" && path.compare(0, root.size(), root) == 0)
            path.erase(0, root.size());
        return point + (path == "/" ? "" : path);
    }
    return "";
}

static bool writable_group(const std::string &dir)
{
    return !dir.empty() && access(dir.c_str(), W_OK) == 0 && access((dir + "/cgroup.procs").c_str(), W_OK) == 0;
}

static std::string prepare_v1()
{
    std::string memory = own_group("memory"), pids = own_group("pids"), cpu = own_group("cpu");
    if (memory.empty() || pids.empty())
        return "no memory and pids controllers";
    if (!writable_group(memory) || !writable_group(pids))
        return "the grader may not make control groups in " + memory + " and " + pids;
    place.memory = memory;
    place.pids = pids;
    place.cpu = writable_group(cpu) ? cpu : "";
    place.ready = true;
    return "";
}

// In v2 the grader leaves its group for a leaf, then lets its children
// have the memory, pids and cpu controllers.
static std::string prepare_v2(const std::string &own)
{
    std::string controllers = read_text(own + "/cgroup.controllers");
    if (!has_word(controllers, "memory") || !has_word(controllers, "pids"))
        return "the control group " + own + " has no memory and pids controllers";
    if (!writable_group(own))
        return "the grader may not make control groups in " + own;
    std::string leaf = own + "/wena-grade-" + std::to_string(getpid());
    if (mkdir(leaf.c_str(), 0755) != 0 || !write_text(leaf + "/cgroup.procs", "0")) {
        std::string why = std::string("cannot make a control group in ") + own + ": " + strerror(errno);
        rmdir(leaf.c_str());
        return why;
    }
    place.own_leaf = leaf;
    for (const char *c : {"memory", "pids", "cpu"}) {
        std::string word = std::string(" ") + c + " ";
        bool on = has_word(read_text(own + "/cgroup.subtree_control"), c);
        if (!on && write_text(own + "/cgroup.subtree_control", std::string("+") + c))
            place.enabled += word;
    }
    std::string enabled = read_text(own + "/cgroup.subtree_control");
    place.memory = place.pids = own;
    place.cpu = has_word(enabled, "cpu") ? own : "";
    place.v2 = true;
    place.ready = has_word(enabled, "memory") && has_word(enabled, "pids");
    if (!place.ready) {
        cgroup_finish();
        return "cannot give the runs memory and pids controllers in " + own;
    }
    return "";
}

std::string cgroup_prepare()
{
    std::string v1 = prepare_v1();
    if (v1.empty())
        return "";
    std::string own = own_group("");
    if (own.empty())
        return "no control groups: " + v1;
    // A v2 hierarchy with no controllers beside v1 ones: v1 says why.
    if (!has_word(read_text(own + "/cgroup.controllers"), "memory"))
        return v1;
    return prepare_v2(own);
}

bool cgroup_ready() { return place.ready; }

static bool make_in(const std::string &parent, const std::string &name, RunGroup &group)
{
    std::string dir = parent + "/" + name;
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        return false;
    group.dirs.push_back(dir);
    return true;
}

static bool set_limits(const GradeOptions &options, const RunGroup &group)
{
    bool ok = true;
    std::string memory = group.dirs[0], pids = group.dirs[place.v2 ? 0 : 1];
    std::string bytes = std::to_string(options.memory_mib << 20);
    if (place.v2) {
        if (options.memory_mib > 0) {
            ok = write_text(memory + "/memory.max", bytes);
            write_text(memory + "/memory.swap.max", "0");
        }
        ok = write_text(pids + "/pids.max", std::to_string(options.processes)) && ok;
        if (!place.cpu.empty())
            write_text(memory + "/cpu.weight", "100");
        return ok;
    }
    if (options.memory_mib > 0) {
        ok = write_text(memory + "/memory.limit_in_bytes", bytes);
        write_text(memory + "/memory.memsw.limit_in_bytes", bytes);
    }
    ok = write_text(pids + "/pids.max", std::to_string(options.processes)) && ok;
    if (group.dirs.size() > 2)
        write_text(group.dirs[2] + "/cpu.shares", "1024");
    return ok;
}

bool cgroup_make(const std::string &name, const GradeOptions &options, RunGroup &group)
{
    group.dirs.clear();
    if (!place.ready)
        return false;
    bool made = place.v2 ? make_in(place.memory, name, group)
                         : make_in(place.memory, name, group) && make_in(place.pids, name, group) &&
                               (place.cpu.empty() || make_in(place.cpu, name, group));
    if (made && set_limits(options, group))
        return true;
    cgroup_remove(group);
    group.dirs.clear();
    return false;
}

bool cgroup_join(const RunGroup &group)
{
    for (const std::string &dir : group.dirs)
        if (!write_text(dir + "/cgroup.procs", "0"))
            return false;
    return !group.dirs.empty();
}

static std::string procs_of(const RunGroup &group)
{
    return group.dirs.empty() ? "" : group.dirs[place.v2 ? 0 : 1] + "/cgroup.procs";
}

bool cgroup_empty(const RunGroup &group)
{
    if (group.dirs.empty())
        return true;
    if (place.v2) {
        std::string events = read_text(group.dirs[0] + "/cgroup.events");
        if (!events.empty())
            return events.find("populated 0") != std::string::npos;
    }
    std::string procs = read_text(procs_of(group));
    return procs.find_first_of("0123456789") == std::string::npos;
}

void cgroup_kill(const RunGroup &group)
{
    if (group.dirs.empty())
        return;
    if (place.v2 && write_text(group.dirs[0] + "/cgroup.kill", "1"))
        return;
    // v1: a process forked between reading the list and the kill is in the
    // next list; the pids limit bounds how many there can be.
    for (int round = 0; round < 1000 && !cgroup_empty(group); ++round) {
        std::istringstream pids(read_text(procs_of(group)));
        for (long pid; pids >> pid;)
            kill((pid_t)pid, SIGKILL);
    }
}

bool cgroup_out_of_memory(const RunGroup &group)
{
    if (group.dirs.empty())
        return false;
    std::string events = read_text(group.dirs[0] + (place.v2 ? "/memory.events" : "/memory.oom_control"));
    size_t at = events.find("oom_kill ");
    return at != std::string::npos && atol(events.c_str() + at + 9) > 0;
}

void cgroup_remove(const RunGroup &group)
{
    for (const std::string &dir : group.dirs)
        rmdir(dir.c_str());
}

void cgroup_finish()
{
    if (!place.v2 || place.own_leaf.empty())
        return;
    std::string own = place.memory;
    std::istringstream enabled(place.enabled);
    for (std::string c; enabled >> c;)
        write_text(own + "/cgroup.subtree_control", "-" + c);
    if (write_text(own + "/cgroup.procs", "0"))
        rmdir(place.own_leaf.c_str());
    place = Place();
}

// systemd-run --user --scope starts the command itself, in a new scope the
// user may divide; tried first with true(1), so that a user without a
// systemd of their own is graded as before.
void cgroup_enter_scope(char **argv)
{
    if (getenv("WENA_GRADE_SCOPE") || geteuid() == 0)
        return;
    std::string own = own_group("");
    if (own.empty() || writable_group(own))
        return;
    int status = system("systemd-run --user --scope --quiet -p Delegate=yes true > /dev/null 2>&1");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return;
    self[n] = '\0';
    std::vector<const char *> args = {"systemd-run", "--user", "--scope", "--quiet", "-p", "Delegate=yes", "--",
                                      self};
    for (char **a = argv + 1; *a; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    setenv("WENA_GRADE_SCOPE", "1", 1);
    execvp(args[0], (char *const *)args.data());
    unsetenv("WENA_GRADE_SCOPE");
}
