#include "boards/input/push_switches.h"

#include "board/frame.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/con.h"

void paint_pshswitch_board()
{
    paint_input_panel("PSHSWITCH");
    con_set_color(0, 0, 3, 8);
    paint_area(3, 4, 17, 8);
    con_set_color(7, 8, 1, 8);
    con_goto(2, 5);
    con_print("B");
    use_key_marker_colour();
    con_goto(4, 9);
    con_print(" ");
    con_set_color(7, 8, 1, 8);
    con_print(" key up");
    PDR5 = 0xFF;
    // The first image differs from 0xFF unless it is already 0, so the
    // second always paints, whatever the board showed before.
    show_push_switches(0);
    show_push_switches(0xFF);
    sim.input_kind = IN_PSHSWITCH;
}

void show_push_switches(int value)
{
    if (value == sim.last_push_image)
        return;
    for (int bit = 0; bit < 8; ++bit) {
        int x = 4 + 4 * (bit % 4);
        int y = 5 + 2 * (bit / 4);
        use_key_marker_colour();
        con_goto(x, y);
        con_print("%d", bit);
        bool up = value & (1 << bit);
        con_set_color(up ? 7 : 6, 8, 0, 0);
        con_goto(x + 1, y);
        con_print("\x81\x9C");  // ●
    }
    show_pdr5();
    sim.last_push_image = value;
}
