// Each board joins its slot here, with its painter and its redraw, as it is
// built; until then its kind paints nothing.
#include "board/slots.h"

#include "board/sim_state.h"
#include "boards/input/analog.h"
#include "boards/input/push_switches.h"
#include "boards/input/switches.h"

void paint_input_board(int kind)
{
    if (kind == IN_SWITCH)
        paint_switch_board();
    else if (kind == IN_PSHSWITCH)
        paint_pshswitch_board();
    else
        sim.input_kind = IN_NONE;
}

void paint_output_board(int)
{
    sim.output_kind = OUT_NONE;
}

// The analog board shares its place with the vending machine's status panel,
// so it is left out while either vending board is chosen.
void paint_analog_board_if_chosen(int input, int output, int analog)
{
    if (analog == ANALOG_ON && input != IN_VMIN && output != OUT_VMOUT)
        paint_analog_board();
    else
        sim.analog_kind = ANALOG_NONE;
}

void show_input_board(int value)
{
    if (sim.input_kind == IN_SWITCH)
        show_switches(value);
    else if (sim.input_kind == IN_PSHSWITCH)
        show_push_switches(value);
}

void vending_input_event(int) {}

void show_vending_stock() {}

void show_analog_board() { show_analog_channels(); }

void show_output_board(int) {}
