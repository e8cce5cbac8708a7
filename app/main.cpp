// Until the demo game arrives, this shows what the console layer can do:
// the colours, wide and half-width text, and the keys. Q quits.
#include "console/con.h"

#include <cstdlib>

static void paint_colour_chart()
{
    for (int bg = 0; bg < 16; ++bg) {
        con_goto(2, 4 + bg);
        for (int fg = 0; fg < 16; ++fg) {
            con_set_color(fg & 7, fg & 8, bg & 7, bg & 8);
            con_print(" %X", fg);
        }
    }
}

static void paint_texts()
{
    con_set_color(6, 8, 0, 0);
    con_goto(40, 4);
    con_print("簡易シミュレータ");
    con_goto(40, 6);
    con_print("ｶﾀｶﾅ ﾃﾞﾓ \\100");
    con_goto(40, 8);
    con_print("● → ← ↑ ■");
    con_set_color(7, 8, 4, 8);
    con_goto(40, 12);
    con_print("Q");
    con_set_color(7, 8, 0, 0);
    con_print(" quit   key: ");
}

int main()
{
    con_clear();
    con_cursor_hide();
    con_set_color(0, 0, 7, 8);
    con_goto(2, 1);
    con_print(" wena console check: the board arrives with the next step ");
    paint_colour_chart();
    paint_texts();
    for (;;) {
        if (con_key_waiting()) {
            int key = con_read_key();
            if (key == 'q' || key == 'Q')
                exit(1);
            con_goto(53, 12);
            con_set_color(6, 8, 0, 0);
            con_print("%3d", key & 0xFF);
        }
        con_sleep_ms(10);
    }
}
