// The line H shows: where the board's help, board.md, lies on this machine.
#pragma once

#include <string>

// The first of these that exists: the source tree the library was built
// from, the copy installed with it, the Debian package's; else a line that
// names both places.
std::string sim_help_line();
