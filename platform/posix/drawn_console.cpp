// A POSIX terminal is always driven with the escape sequences of term.cpp:
// there is no console that the platform draws itself.
#include "platform/platform.h"

bool plat_console_clear() { return false; }
bool plat_console_update() { return false; }
