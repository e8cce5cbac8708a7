// Each board joins its slot here by kind number: the layout calls its
// painter, the poll its redraw. A kind with no board paints nothing.
#include "board/slots.h"

#include "board/sim_state.h"
#include "boards/input/analog.h"
#include "boards/input/push_switches.h"
#include "boards/input/switches.h"
#include "boards/output/dc_motors.h"
#include "boards/output/leds.h"
#include "boards/output/seg7.h"
#include "boards/output/seg7d.h"
#include "boards/output/stepper_motors.h"
#include "vending/vending_state.h"
#include "vending/vmin.h"
#include "vending/vmout.h"

void paint_input_board(int kind)
{
    if (kind == IN_SWITCH)
        paint_switch_board();
    else if (kind == IN_PSHSWITCH)
        paint_pshswitch_board();
    else if (kind == IN_VMIN)
        paint_vmin_board();
    else
        sim.input_kind = IN_NONE;
}

void paint_output_board(int kind)
{
    if (kind == OUT_LED)
        paint_led_board();
    else if (kind == OUT_SEG7D)
        paint_seg7d_board();
    else if (kind == OUT_SEG7)
        paint_seg7_board();
    else if (kind == OUT_DCMT)
        paint_dcmt_board();
    else if (kind == OUT_STEPMT)
        paint_stepmt_board();
    else if (kind == OUT_VMOUT)
        paint_vmout_board();
    else
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

void vending_input_event(int index) { vmin_event(index); }

void show_vending_stock() { show_vm_stock(); }

void show_analog_board() { show_analog_channels(); }

void show_output_board(int value)
{
    int kind = sim.output_kind;
    if (kind == OUT_LED)
        show_leds(value);
    else if (kind == OUT_SEG7D)
        show_seg7d(value);
    else if (kind == OUT_SEG7)
        show_seg7(value);
    else if (kind == OUT_DCMT)
        show_dc_motors(value);
    else if (kind == OUT_STEPMT)
        show_stepper_motors(value);
    else if (kind == OUT_VMOUT)
        vmout_apply(value);
}
