// A control group for each run, where the system gives the grader one, so
// that memory, processes and CPU are budgets of the run as a whole, the
// kernel enforces them, and the run can be killed whole and known to be gone.
// cgroup v2 (the grader's own group, delegated to it by systemd or writable
// as root) or v1 hierarchies of memory and pids (and cpu, when there).
#pragma once

#include "tools/grade/grade.h"

#include <string>
#include <vector>

struct RunGroup {
    std::vector<std::string> dirs;  // one in v2; one per hierarchy in v1
};

// Finds where this grading can make groups for its runs: "" when it can,
// else why not (the runs then keep limits of their own processes only).
std::string cgroup_prepare();

bool cgroup_ready();

// A group for one run, with the run's limits; false when none was made.
bool cgroup_make(const std::string &name, const GradeOptions &options, RunGroup &group);

// In the run's process before it starts anything: joins the group.
bool cgroup_join(const RunGroup &group);

// Kills every process of the run, over and over until none is left.
void cgroup_kill(const RunGroup &group);

// Whether no process of the run is left.
bool cgroup_empty(const RunGroup &group);

// Whether the kernel killed a process of the run for its memory.
bool cgroup_out_of_memory(const RunGroup &group);

void cgroup_remove(const RunGroup &group);

// Gives back what cgroup_prepare took, once the runs are done.
void cgroup_finish();

// Without a group of its own, the grader asks the user's systemd for one
// (a delegated scope) and starts again in it; returns when it cannot.
void cgroup_enter_scope(char **argv);
