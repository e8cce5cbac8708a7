// POSIX messages and environment: a terminal takes UTF-8 as it is.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

void plat_write_message(const char *text) { fputs(text, stderr); }

const char *plat_getenv(const char *name) { return getenv(name); }
