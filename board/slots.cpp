// Each board joins its slot here, with its painter and its redraw, as it is
// built; until then its kind paints nothing.
#include "board/slots.h"

#include "board/sim_state.h"
#include "vending/vending_state.h"
#include "vending/vmin.h"
#include "vending/vmout.h"

void paint_input_board(int kind)
{
    if (kind == IN_VMIN)
        paint_vmin_board();
    else
        sim.input_kind = IN_NONE;
}

void paint_output_board(int kind)
{
    if (kind == OUT_VMOUT)
        paint_vmout_board();
    else
        sim.output_kind = OUT_NONE;
}

// The analog board shares its place with the vending machine's status panel,
// so it is left out while either vending board is chosen.
void paint_analog_board_if_chosen(int, int, int)
{
    sim.analog_kind = ANALOG_NONE;
}

void show_input_board(int) {}

void vending_input_event(int index) { vmin_event(index); }

void show_vending_stock() { show_vm_stock(); }

void show_analog_board() {}

void show_output_board(int value)
{
    if (sim.output_kind == OUT_VMOUT)
        vmout_apply(value);
}
