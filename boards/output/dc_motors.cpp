#include "boards/output/dc_motors.h"

#include "board/frame.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/con.h"

// Six columns each, so a new state always covers the old one.
// " 停止 ", "←正転", "反転→", " 強止 "
static const char *const motor_state_text[4] = {" \x92\xE2\x8E\x7E ", "\x81\xA9\x90\xB3\x93\x5D",
                                                "\x94\xBD\x93\x5D\x81\xA8", " \x8B\xAD\x8E\x7E "};

static void paint_motor_body(int x)
{
    for (int y = 5; y <= 8; ++y) {
        con_set_color(0, 0, 7, 0);
        con_goto(x, y);
        con_print(" ");
        con_set_color(0, 0, 7, 8);
        con_print("     ");
        con_set_color(0, 0, 7, 0);
        con_print(" ");
    }
}

static void paint_shaft_and_bolts(int d)
{
    con_set_color(0, 0, 7, 0);
    con_goto(64 + d, 4);
    con_print(" ");
    con_set_color(0, 0, 0, 8);
    for (int y = 6; y <= 7; ++y)
        for (int x = 63 + d; x <= 65 + d; x += 2) {
            con_goto(x, y);
            con_print(" ");
        }
}

void paint_dcmt_board()
{
    paint_output_panel("DCMT");
    paint_motor_body(61);
    paint_motor_body(70);
    paint_shaft_and_bolts(0);
    paint_shaft_and_bolts(9);
    con_set_color(7, 8, 6, 0);
    con_goto(62, 9);
    con_print("B3 B2    B1 B0");
    show_dc_motors(0);
    sim.output_kind = OUT_DCMT;
}

void show_dc_motors(int value)
{
    con_set_color(6, 8, 6, 0);
    for (int i = 0; i < 2; ++i) {
        con_goto(71 - 9 * i, 3);
        con_print("%s", motor_state_text[value >> (2 * i) & 3]);
    }
    show_pdr8();
}
