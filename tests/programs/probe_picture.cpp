#include "tests/programs/probe_picture.h"

#include "console/con.h"
#include "tests/support/cp932_text.h"

static void paint_texts()
{
    con_set_color(6, 8, 0, 0);
    con_goto(2, 0);
    con_print("%s", cp932("簡易シミュレータ ＷＥＮＡ 能").c_str());
    con_set_color(7, 8, 0, 0);
    con_goto(2, 1);
    con_print("%s", cp932("ｹﾞｰﾑｵｰﾊﾞｰ! ﾓｳｲﾁﾄﾞ \\1000").c_str());
    con_goto(40, 1);
    con_print("\x81" "9" "\x80");
}

static void paint_symbols_over_text()
{
    static const char *const symbols[] = {"●", "→", "←", "↑", "■"};
    for (int i = 0; i < 5; ++i) {
        int x = 2 + 8 * i;
        con_set_color(0, 0, 7, 8);
        con_goto(x, 3);
        con_print("abcd");
        con_set_color(6, 8, 4, 0);
        con_goto(x, 3);
        con_print("%s", cp932(symbols[i]).c_str());
        con_set_color(7, 8, 2, 0);
        con_goto(x + 2, 3);
        con_print("Z");
    }
}

// The LCD writes one byte per call at consecutive cells.
static void paint_split_character()
{
    const std::string kanji = cp932("漢");
    con_set_color(0, 0, 6, 8);
    con_goto(50, 3);
    con_print("%c", kanji[0]);
    con_goto(51, 3);
    con_print("%c", kanji[1]);
}

static void paint_colour_pairs()
{
    for (int bg = 0; bg < 16; ++bg) {
        con_goto(2, 5 + bg);
        for (int fg = 0; fg < 16; ++fg) {
            con_set_color(fg & 7, fg & 8, bg & 7, bg & 8);
            con_print("%X", fg);
        }
    }
}

void paint_probe_picture()
{
    con_clear();
    paint_texts();
    paint_symbols_over_text();
    paint_split_character();
    paint_colour_pairs();
    con_set_color(7, 8, 4, 8);
    con_goto(79, 24);
    con_print("E");
    con_cursor_hide();
}
