// The line H shows: where the board's help, board.md, lies on this machine.
#pragma once

#include <string>

// Found from the running program's own path: an installed copy's
// PREFIX/share/doc/wena/docs/board.md; in a build tree, docs/board.md of the
// sources it was configured from, or the installed package a student's
// project was built against; else where this build is to be installed, or
// the Debian package's. When none exists, a line that names both places.
std::string sim_help_line();
