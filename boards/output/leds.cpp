#include "boards/output/leds.h"

#include "board/frame.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/con.h"

void paint_led_board()
{
    paint_output_panel("LED");
    con_set_color(0, 0, 7, 8);
    paint_area(61, 4, 17, 7);
    con_set_color(7, 8, 6, 0);
    con_goto(60, 8);
    con_print("B 7 6 5 4 3 2 1 0");
    sim.output_kind = OUT_LED;
    show_leds(0);
}

void show_leds(int value)
{
    for (int k = 0; k < 8; ++k) {
        int bit = 7 - k, x = 62 + 2 * k;
        if (value >> bit & 1)
            con_set_color(0, 0, 4, 8);
        else
            con_set_color(0, 0, 7, 0);
        con_goto(x, 5);
        con_print(" ");
        con_goto(x, 6);
        con_print(" ");
    }
    show_pdr8();
}
