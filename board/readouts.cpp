#include "board/readouts.h"

#include "board/sim_state.h"
#include "console/con.h"

static void show_port(int x, int y, const char *label, int label_bg, int value)
{
    con_goto(x, y);
    con_set_color(0, 0, label_bg, 8);
    con_print("%s", label);
    con_set_color(7, 8, 0, 0);
    con_print(" ");
    show_bits(value, 8);
}

void show_pdr5() { show_port(1, 11, "PDR5", 3, PDR5); }

void show_pdr8() { show_port(59, 11, "PDR8", 6, PDR8); }
