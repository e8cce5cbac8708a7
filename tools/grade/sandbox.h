// How a run is started: in bubblewrap's sandbox, or under a keeper process
// that ends everything the program started when the program ends.
#pragma once

#include "tools/grade/grade.h"

#include <string>
#include <vector>

// bubblewrap's arguments for a run of program in dir: a read-only system,
// the program itself, its directory writable, a private /tmp of at most
// tmp_bytes, no network, and process, IPC and user namespaces of its own.
std::vector<std::string> sandbox_command(const std::string &program, const std::string &dir, long long tmp_bytes);

// In the child the grader forked: becomes the keeper of the program's run,
// and ends as the program ended. Never returns.
[[noreturn]] void keeper_run(const char *program, pid_t grader);

// Kills every child of this process and reaps them, again and again, until
// none is left: those a killed process leaves come to this one as the
// nearest subreaper.
void sweep_children();

// A process's state letter and parent, from /proc; false once it is reaped.
bool proc_stat(pid_t pid, char &state, pid_t &parent);

// The children of this process, as the kernel lists them.
std::vector<pid_t> children_of_self();
