// One poll: the first layout, at most one key, the end of a vending pulse,
// and the output refresh when PDR8 has changed.
#include "board/help.h"
#include "board/kinds.h"
#include "board/layout.h"
#include "board/settings.h"
#include "board/sim_state.h"
#include "board/slots.h"
#include "boards/input/analog.h"
#include "console/con.h"
#include "lcd/lcd.h"
#include "scenario/scenario.h"
#include "scenario/trace.h"

#include <cstdlib>

static void lay_out_selection()
{
    sim_layout(sim.selection.input, sim.selection.output, sim.selection.analog);
}

static void digit_key(int n)
{
    if (sim.input_kind == IN_SWITCH || sim.input_kind == IN_PSHSWITCH) {
        PDR5 ^= (uint8_t)(1 << n);
        show_input_board(PDR5);
    } else if (sim.input_kind == IN_VMIN && PDR5 == 0) {
        // A one-poll pulse: the next poll without a key clears it.
        PDR5 = (uint8_t)(1 << n);
        vending_input_event(n);
    }
}

static void space_key()
{
    if (sim.input_kind == IN_PSHSWITCH) {
        PDR5 = 0xFF;
        show_input_board(0xFF);
    } else if (sim.input_kind == IN_VMIN) {
        vending_input_event(8);
    }
}

// The step is the float nearest 0.1, so errors build up as on the original.
static void step_volts(float step)
{
    float &volts = sim.analog_volts[sim.analog_channel];
    volts = volts + step;
    if (volts > 5.0f)
        volts = 5.0f;
    if (!(volts >= 0.0f))
        volts = 0.0f;
    show_analog_board();
}

static void select_channel(int channel)
{
    sim.analog_channel = channel;
    show_analog_channel_number();
    show_analog_board();
}

static void show_home_page_line()
{
    con_goto(3, 23);
    con_set_color(6, 8, 0, 0);
    con_print("%s", sim_help_line().c_str());
}

static int upper_case(int key) { return key >= 'a' && key <= 'z' ? key - 'a' + 'A' : key; }

static void apply_key(int key)
{
    key = upper_case(key);
    bool analog_shown = sim.analog_kind == ANALOG_ON;
    if (key >= '0' && key <= '7')
        digit_key(key - '0');
    else if (key == ' ')
        space_key();
    else if (key == '+' && analog_shown)
        step_volts(0.1f);
    else if (key == '-' && analog_shown)
        step_volts(-0.1f);
    else if (key >= 'A' && key <= 'D' && analog_shown)
        select_channel(key - 'A');
    else if (key == 'H')
        show_home_page_line();
    else if (key == 'I') {
        sim.selection.input = board_kind_next(SLOT_INPUT, sim.selection.input);
        lay_out_selection();
    } else if (key == 'O') {
        sim.selection.output = board_kind_next(SLOT_OUTPUT, sim.selection.output);
        lay_out_selection();
    } else if (key == 'V') {
        sim.selection.analog = board_kind_next(SLOT_ANALOG, sim.selection.analog);
        lay_out_selection();
    } else if (key == 'Q') {
        exit(1);
    }
}

// A program that polls often takes Q at a poll, after what it shows for the
// keys before it; one that pauses or paints for long takes it here.
enum { QUIT_BETWEEN_POLLS_US = 50000 };

void sim_quit_if_next()
{
    static long long quit_seen_us = -1;
    if (upper_case(con_next_typed_key()) != 'Q') {
        quit_seen_us = -1;
        return;
    }
    long long now_us = scenario_clock_us();
    if (quit_seen_us < 0)
        quit_seen_us = now_us;
    if (now_us - quit_seen_us < QUIT_BETWEEN_POLLS_US)
        return;
    int key = con_read_key();
    if (scenario_hooks)
        scenario_on_key(key);
    exit(1);
}

void sim_refresh_output()
{
    if (PDR8 == sim.last_pdr8)
        return;
    show_output_board(PDR8);
    sim.last_pdr8 = PDR8;
}

static void first_layout()
{
    if (sim.layout_built)
        return;
    scenario_begin();
    settings_load(&sim.selection);
    if (scenario_hooks)
        scenario_starting_boards(&sim.selection);
    lay_out_selection();
    sim.layout_built = 1;
}

static void poll_once(bool programs_own)
{
    lcd_show_waiting_bytes();
    con_frame_begin();
    first_layout();
    if (scenario_hooks && programs_own)
        scenario_on_poll();
    if (con_key_waiting()) {
        int key = con_read_key();
        if (scenario_hooks)
            scenario_on_key(key);
        apply_key(key);
    } else if (sim.input_kind == IN_VMIN || sim.output_kind == OUT_VMOUT) {
        PDR5 = 0;
        show_vending_stock();
    }
    sim_refresh_output();
    if (trace_on)
        trace_poll();
    con_frame_end();
    // The picture of this poll is shown now, even if the program spins next.
    con_flush();
}

extern "C" void sim_poll(void) { poll_once(true); }

void sim_first_poll_for_lcd()
{
    if (!sim.layout_built)
        poll_once(false);
}
