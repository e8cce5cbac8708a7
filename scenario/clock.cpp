// The program's pauses: real ones, or moves of the virtual clock while a
// scenario drives the run.
#include "console/con.h"
#include "scenario/scenario.h"

#include <wena.h>

extern "C" void Sleep(unsigned int ms)
{
    if (!scenario_sleep(ms))
        con_sleep_ms(ms);
}
