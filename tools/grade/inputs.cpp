// Every submission and scenario is looked at before the first run, so that
// a missing file or one of the wrong kind stops the grading with one
// message rather than giving every student a row of failures. A source is
// only looked at: whether it compiles is the student's verdict.
#include "tools/grade/grade.h"

#include "scenario/script.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

enum { SCENARIO_SIZE_LIMIT = 4 << 20 };

// A regular file this user may run, starting as a program or a script does.
static bool program_usable(const std::string &path, std::string &error)
{
    struct stat st;
    const char *why = nullptr;
    if (stat(path.c_str(), &st) != 0)
        why = strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    else if (access(path.c_str(), X_OK) != 0)
        why = strerror(errno);
    if (why) {
        error = path + ": " + why + ": cannot be run";
        return false;
    }
    char head[4] = {0, 0, 0, 0};
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    bool read_ok = fd >= 0 && read(fd, head, sizeof head) >= 2;
    if (fd >= 0)
        close(fd);
    if (read_ok && (memcmp(head, "\x7f" "ELF", 4) == 0 || memcmp(head, "#!", 2) == 0))
        return true;
    error = path + ": " + (read_ok ? "neither a program nor a script" : strerror(errno ? errno : EIO)) +
            ": cannot be run";
    return false;
}

static bool regular(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

static bool ends_with_scn(const std::string &path) { return path.size() > 4 && path.substr(path.size() - 4) == ".scn"; }

static bool read_scenario(const std::string &path, std::string &text, std::string &error)
{
    std::string why;
    if (!grade_read_input(path, SCENARIO_SIZE_LIMIT + 1, text, why))
        error = path + ": " + why + ": cannot read the scenario";
    else if (text.size() > SCENARIO_SIZE_LIMIT)
        error = path + ": larger than 4 MiB: cannot read the scenario";
    else
        return true;
    return false;
}

// Read once: every run gets this text, whatever becomes of the file during
// the grading.
static bool read_checked_scenario(const std::string &path, GradeScenario &scenario, std::string &error)
{
    std::string text, why;
    std::vector<ScenarioStep> steps;
    if (!read_scenario(path, text, error))
        return false;
    if (!script_parse(text, steps, why)) {
        error = path + ":" + why;
        return false;
    }
    scenario.checks = script_check_count(steps);
    if (scenario.checks == 0) {
        error = path + ": no check or wait until: it would pass every program";
        return false;
    }
    scenario.text = std::make_shared<const std::string>(std::move(text));
    return true;
}

// A directory of one student's sources: its .c and .cpp files, in order.
static bool source_directory(const std::string &given, const std::string &path, GradeSubmission &s,
                             std::string &error)
{
    DIR *d = opendir(path.c_str());
    if (!d) {
        error = given + ": " + strerror(errno) + ": cannot read the sources";
        return false;
    }
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        struct stat st;
        if (grade_source_name(name) && fstatat(dirfd(d), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            s.files.push_back(name);
    }
    closedir(d);
    std::sort(s.files.begin(), s.files.end());
    if (s.files.empty()) {
        error = given + ": a directory with no .c or .cpp file: no sources to compile";
        return false;
    }
    s.given_is_dir = true;
    s.source_dir = path;
    return true;
}

// A program, a .c or .cpp file or a directory of them; path is absolute.
static bool classify(const std::string &given, const std::string &path, GradeSubmission &s, std::string &error)
{
    struct stat st;
    s.given = given;
    s.program_path = path;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        s.source = true;
        return source_directory(given, path, s, error);
    }
    if (grade_source_name(path) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        s.source = true;
        s.source_dir = path.substr(0, path.find_last_of('/'));
        s.files = {path.substr(path.find_last_of('/') + 1)};
        if (access(path.c_str(), R_OK) == 0)
            return true;
        error = given + ": " + strerror(errno) + ": cannot read the source";
        return false;
    }
    if (ends_with_scn(given) && regular(path)) {
        error = given + " is a scenario, not a program: each scenario follows its own -s";
        return false;
    }
    errno = 0;
    return program_usable(given, error);
}

// What a forgotten -s makes of a student's program.
static bool a_submission(const std::string &path, std::string &what)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    GradeSubmission sources;
    if (S_ISDIR(st.st_mode) && source_directory(path, path, sources, what))
        what = "a directory of sources";
    else if (S_ISDIR(st.st_mode))
        what = "";
    else if (grade_source_name(path))
        what = "a source";
    else if (std::string error; S_ISREG(st.st_mode) && program_usable(path, error))
        what = "a program";
    return !what.empty();
}

bool grade_check_inputs(const std::vector<std::string> &programs, const std::vector<std::string> &scenarios,
                        std::vector<GradeSubmission> &submissions, std::vector<GradeScenario> &read,
                        std::string &error)
{
    submissions.clear();
    for (const std::string &program : programs) {
        submissions.push_back({});
        if (!classify(program, grade_absolute(program), submissions.back(), error))
            return false;
    }
    read.clear();
    for (const std::string &scenario : scenarios) {
        std::string what;
        if (a_submission(scenario, what)) {
            error = scenario + " is " + what + ", not a scenario: scenarios follow -s";
            return false;
        }
        read.push_back({});
        if (!read_checked_scenario(scenario, read.back(), error))
            return false;
    }
    return true;
}
