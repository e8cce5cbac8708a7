#include "boards/input/switches.h"

#include "board/frame.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/con.h"

static void paint_cell(int x, int y, int fg, int fg_bright, int bg, int bg_bright)
{
    con_set_color(fg, fg_bright, bg, bg_bright);
    con_goto(x, y);
    con_print(" ");
}

void paint_switch_board()
{
    paint_input_panel("SWITCH");
    con_set_color(0, 0, 3, 8);
    paint_area(3, 4, 17, 7);
    con_set_color(7, 8, 1, 8);
    con_goto(2, 8);
    con_print("B");
    // PDR5 is left alone: at start it is 0, which matches the levers drawn off.
    show_switches(0);
    sim.input_kind = IN_SWITCH;
}

// Bit 7 stands leftmost, as the lever row reads on the real board.
void show_switches(int value)
{
    for (int k = 0; k < 8; ++k) {
        int bit = 7 - k;
        int x = 4 + 2 * k;
        use_key_marker_colour();
        con_goto(x, 8);
        con_print("%d", bit);
        if (value & (1 << bit)) {
            paint_cell(x, 5, 0, 0, 6, 8);
            paint_cell(x, 6, 7, 8, 0, 8);
        } else {
            paint_cell(x, 5, 7, 8, 0, 8);
            paint_cell(x, 6, 0, 0, 7, 8);
        }
    }
    show_pdr5();
}
