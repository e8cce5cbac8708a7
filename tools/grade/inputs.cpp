// Every program and scenario is looked at before the first run, so that a
// missing or broken file stops the grading with one message rather than
// giving every student a row of failures.
#include "tools/grade/grade.h"

#include "scenario/script.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

enum { SCENARIO_SIZE_LIMIT = 4 << 20 };

// A regular file this user may run, starting as a program or a script does.
static bool program_usable(const std::string &path, std::string &error)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), X_OK) != 0) {
        error = path + ": " + (errno && !S_ISDIR(st.st_mode) ? strerror(errno) : "not a regular file") +
                ": cannot be run";
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

bool grade_check_inputs(const std::vector<std::string> &programs, const std::vector<std::string> &scenarios,
                        std::vector<GradeScenario> &read, std::string &error)
{
    for (const std::string &program : programs) {
        errno = 0;
        if (!program_usable(program, error))
            return false;
    }
    read.clear();
    for (const std::string &scenario : scenarios) {
        read.push_back({});
        if (!read_checked_scenario(scenario, read.back(), error))
            return false;
    }
    return true;
}
