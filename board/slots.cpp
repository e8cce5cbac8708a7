// Each board joins its slot here, with its painter and its redraw, as it is
// built; until then its kind paints nothing.
#include "board/slots.h"

#include "board/sim_state.h"

void paint_input_board(int)
{
    sim.input_kind = IN_NONE;
}

void paint_output_board(int)
{
    sim.output_kind = OUT_NONE;
}

// The analog board shares its place with the vending machine's status panel,
// so it is left out while either vending board is chosen.
void paint_analog_board_if_chosen(int, int, int)
{
    sim.analog_kind = ANALOG_NONE;
}

void show_input_board(int) {}

void vending_input_event(int) {}

void show_vending_stock() {}

void show_analog_board() {}

void show_output_board(int) {}
