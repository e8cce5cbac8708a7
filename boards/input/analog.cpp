#include "boards/input/analog.h"

#include "board/frame.h"
#include "board/sim_state.h"
#include "console/con.h"

#include <cfloat>

// The voltages step in single precision and the readings must come out to
// the bit: no excess precision, no fast-math reassociation.
#if FLT_EVAL_METHOD != 0
#error "the analog board needs floats evaluated in single precision (SSE, not x87)"
#endif
#ifdef __FAST_MATH__
#error "the analog board needs IEEE arithmetic: build without -ffast-math"
#endif

// Slightly above 204.6 counts per volt, so that a product meant to be a whole
// count (5.0 V is 1023) never truncates to the count below.
static const double counts_per_volt = 204.60000011498519;

static void paint_key_legend()
{
    con_goto(40, 21);
    con_set_color(7, 8, 4, 8);
    con_print("+");
    con_set_color(7, 8, 2, 0);
    con_print("Up ");
    con_set_color(7, 8, 4, 8);
    con_print("-");
    con_set_color(7, 8, 2, 0);
    con_print("Down");
}

void paint_analog_board()
{
    con_set_color(0, 0, 2, 8);
    con_goto(30, 15);
    con_print(" %-19s", "ANALOG");
    con_set_color(7, 0, 2, 0);
    paint_area(30, 16, 20, 22);
    paint_key_legend();
    show_analog_channel_number();
    show_analog_channels();
    sim.analog_kind = ANALOG_ON;
}

void show_analog_channel_number()
{
    con_goto(38, 21);
    con_set_color(4, 8, 7, 8);
    con_print("%d", sim.analog_channel);
}

static uint32_t reading_of(float volts)
{
    int counts = (int)((double)volts * counts_per_volt);
    return (uint32_t)(uint16_t)counts << 6;
}

static void convert_analog()
{
    static const char *const names[4] = {"ADDA", "ADDB", "ADDC", "ADDD"};
    for (int i = 0; i < 4; ++i) {
        con_goto(50, 19 + i);
        con_set_color(0, 0, 2, 8);
        con_print("%s", names[i]);
        con_set_color(7, 8, 0, 0);
        con_print(" ");
        uint32_t reading = reading_of(sim.analog_volts[i]);
        wena_registers.ad_result[i] = reading;
        wena_registers.ad_mirror[i] = reading;
        show_bits((int)wena_registers.ad_mirror[i], 16);
    }
}

void show_analog_channels()
{
    for (int i = 0; i < 4; ++i) {
        con_goto(31 + 9 * (i / 2), 17 + 2 * (i % 2));
        con_set_color(7, 8, 2, 0);
        con_print("CH%d", i);
        con_set_color(7, 8, 4, 8);
        con_print("%c", 'A' + i);
        con_set_color(0, 0, 7, 8);
        con_print("%3.1f", (double)sim.analog_volts[i]);
        con_set_color(7, 8, 2, 0);
        con_print("v");
    }
    convert_analog();
}
