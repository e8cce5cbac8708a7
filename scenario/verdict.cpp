// WENA_GRADE_FDS="S,V": S holds the scenario, V takes the verdict. The
// scenario is read whole and closed; V moves to a descriptor number picked
// at random, closed on exec, and the variable is removed.
#include "scenario/verdict.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

enum { SCENARIO_LINK_LIMIT = 4 << 20 };

static bool scenario_linked;

// Function-local, so that it exists before the constructor below runs.
static std::string &linked_text()
{
    static std::string text;
    return text;
}

#ifndef _WIN32

// Taken by the first sender: a hung program is ended on another thread.
static std::atomic<int> verdict_fd{-1};

static void read_linked_scenario(int fd)
{
    char block[8192];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0 && linked_text().size() < SCENARIO_LINK_LIMIT)
        linked_text().append(block, (size_t)n);
    close(fd);
    scenario_linked = true;
}

static int hidden_copy(int fd)
{
    struct rlimit files;
    rlim_t top = getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY ? files.rlim_cur : 1024;
    if (top > 65536)
        top = 65536;
    if (top <= 128)
        return fd;
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    unsigned mix = (unsigned)t.tv_nsec ^ (unsigned)getpid() * 2654435761u;
    int copy = fcntl(fd, F_DUPFD_CLOEXEC, (int)(64 + mix % (top - 128)));
    if (copy < 0)
        return fd;
    close(fd);
    return copy;
}

__attribute__((constructor)) static void take_grader_link()
{
    const char *value = getenv("WENA_GRADE_FDS");
    if (!value)
        return;
    int scenario = -1, verdict = -1;
    if (sscanf(value, "%d,%d", &scenario, &verdict) != 2)
        scenario = verdict = -1;
    unsetenv("WENA_GRADE_FDS");
    // Never standard input, output or error, whatever the variable says.
    if (scenario > 2 && fcntl(scenario, F_GETFD) >= 0)
        read_linked_scenario(scenario);
    if (verdict > 2 && fcntl(verdict, F_GETFD) >= 0)
        verdict_fd = hidden_copy(verdict);
}

void verdict_send(int status, const std::string &message)
{
    int fd = verdict_fd.exchange(-1);
    if (fd < 0)
        return;
    std::string record = std::to_string(status) + " " + message + "\n";
    ssize_t written = write(fd, record.data(), record.size());
    (void)written;
    close(fd);
}

#else

void verdict_send(int, const std::string &) {}

#endif

bool verdict_link_scenario(std::string &text)
{
    if (!scenario_linked)
        return false;
    text = linked_text();
    return true;
}
