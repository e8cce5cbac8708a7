// How a run is started: in bubblewrap's sandbox, or under a keeper process
// that ends everything the program started when the program ends.
#pragma once

#include "tools/grade/grade.h"

#include <string>
#include <vector>

// bubblewrap's arguments for a run of program in dir: a read-only system,
// the program itself, a private /tmp of at most bytes, no network, and
// process, IPC and user namespaces of its own, with no more of the latter.
// Given ini_fd, the directory is a tmpfs of at most bytes too, starting
// with WENA.ini read from ini_fd; else the directory itself, writable.
std::vector<std::string> sandbox_command(const std::string &program, const std::string &dir, long long bytes,
                                         int ini_fd);

// The part of every box: a read-only system, /proc and /dev, no network,
// namespaces of its own; what the box works on is bound after it.
std::vector<std::string> sandbox_system();

// Whether a file at path (absolute) is among what every box sees.
bool sandbox_sees(const std::string &path);

// Where bwrap is on the PATH, or "" when it is not.
std::string sandbox_program();

// In the child the grader forked: becomes the keeper of the program's run,
// and ends as the program ended; says on start_fd when it cannot start the
// program. Never returns.
[[noreturn]] void keeper_run(const char *program, pid_t grader, int start_fd);

// Kills every child of this process and reaps them, again and again, until
// none is left: those a killed process leaves come to this one as the
// nearest subreaper.
void sweep_children();

// A process's state letter and parent, from /proc; false once it is reaped.
bool proc_stat(pid_t pid, char &state, pid_t &parent);

// The children of this process, as the kernel lists them.
std::vector<pid_t> children_of_self();
std::vector<pid_t> children_of(pid_t parent);
