// The program's pauses: real ones, or moves of the virtual clock while a
// scenario drives the run.
#include "board/layout.h"
#include "console/con.h"
#include "lcd/lcd.h"
#include "scenario/scenario.h"

#include <wena.h>

// A real pause looks for Q this often, so that a long one never holds it up.
static const unsigned QUIT_LOOK_MS = 20;

static void pause_ms(unsigned ms)
{
    lcd_show_waiting_bytes();
    if (scenario_sleep(ms))
        return;
    while (ms > 0) {
        unsigned slice = ms < QUIT_LOOK_MS ? ms : QUIT_LOOK_MS;
        con_sleep_ms(slice);
        ms -= slice;
        sim_quit_if_next();
    }
}

#ifdef _WIN32
extern "C" void wena_sleep(unsigned int ms) { pause_ms(ms); }
#else
extern "C" void Sleep(unsigned int ms) { pause_ms(ms); }
#endif
