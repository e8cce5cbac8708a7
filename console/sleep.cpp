#include "console/con.h"

#include <wena.h>

extern "C" void Sleep(unsigned int ms) { con_sleep_ms(ms); }
