#include "board/frame.h"

#include "console/con.h"

static const char credit_text[] = "wena board sim 2026";  // 19 columns

void paint_area(int x, int top, int width, int bottom)
{
    for (int y = top; y <= bottom; ++y) {
        con_goto(x, y);
        con_print("%*s", width, "");
    }
}

void use_key_marker_colour() { con_set_color(7, 8, 4, 8); }

void print_at(int x, int y, const char *text)
{
    con_goto(x, y);
    con_print("%s", text);
}

void print_number_at(int x, int y, int n)
{
    con_goto(x, y);
    con_print("%d", n);
}

static void print_key_marker(int x, int y, const char *key)
{
    use_key_marker_colour();
    print_at(x, y, key);
}

void paint_main_board()
{
    con_set_color(7, 0, 7, 0);
    paint_area(30, 1, 20, 10);
    con_set_color(7, 0, 0, 0);
    paint_area(35, 3, 10, 7);
    con_set_color(6, 8, 0, 0);
    print_at(36, 5, "\x82\x76\x82\x64\x82\x6D\x82\x60");  // ＷＥＮＡ
    con_set_color(7, 8, 0, 0);
    print_at(36, 7, "Ver 1.34");
}

void paint_p5_connector()
{
    con_set_color(0, 0, 7, 8);
    paint_area(23, 1, 5, 10);
    print_key_marker(23, 5, "I");
    con_set_color(0, 0, 7, 8);
    print_at(24, 5, "\x82\x6F\x82\x54");  // Ｐ５
    con_set_color(6, 8, 0, 0);
    print_at(28, 5, "\x81\xA8");  // →
}

void paint_p8_connector()
{
    con_set_color(0, 0, 7, 8);
    paint_area(52, 1, 5, 10);
    print_at(52, 5, "\x82\x6F\x82\x57");  // Ｐ８
    print_key_marker(56, 5, "O");
    con_set_color(6, 8, 0, 0);
    print_at(50, 5, "\x81\xA8");  // →
}

void paint_pb_connector()
{
    con_set_color(0, 0, 7, 8);
    paint_area(30, 12, 20, 13);
    print_at(38, 12, "\x82\x6F\x82\x61");  // ＰＢ
    print_key_marker(39, 13, "V");
    con_set_color(6, 8, 0, 0);
    print_at(39, 11, "\x81\xAA");  // ↑
}

void paint_nameplate()
{
    con_set_color(0, 0, 1, 8);
    paint_area(3, 19, 20, 22);
    con_set_color(0, 0, 7, 8);
    paint_area(1, 18, 20, 21);
    print_at(3, 19, "H8/3664F");
    print_at(3, 20, "\x8A\xC8\x88\xD5\x83\x56\x83\x7E\x83\x85\x83\x8C\x81\x5B\x83\x5E");  // 簡易シミュレータ
    con_set_color(0, 0, 1, 8);
    print_at(3, 22, credit_text);
    print_key_marker(22, 22, "H");
    print_key_marker(20, 21, "Q");
}

static void paint_panel(int x, const char *name, int title_bg, int body_fg, int body_bg, int body_bright)
{
    con_set_color(0, 0, title_bg, 8);
    con_goto(x, 1);
    con_print(" %-19s", name);
    con_set_color(body_fg, 0, body_bg, body_bright);
    paint_area(x, 2, 20, 10);
}

void paint_input_panel(const char *name) { paint_panel(1, name, 3, 0, 1, 8); }

void paint_output_panel(const char *name) { paint_panel(59, name, 6, 7, 6, 0); }
