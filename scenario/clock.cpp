// The program's pauses: real ones, or moves of the virtual clock while a
// scenario drives the run.
#include "console/con.h"
#include "scenario/scenario.h"

#include <wena.h>

static void pause_ms(unsigned ms)
{
    if (!scenario_sleep(ms))
        con_sleep_ms(ms);
}

#ifdef _WIN32
extern "C" void wena_sleep(unsigned int ms) { pause_ms(ms); }
#else
extern "C" void Sleep(unsigned int ms) { pause_ms(ms); }
#endif
