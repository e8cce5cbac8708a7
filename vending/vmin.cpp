#include "vending/vmin.h"

#include "board/frame.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "vending/vending_state.h"

// 100000 yen or more runs into the chute beside the field.
static void show_total()
{
    con_set_color(6, 8, 0, 0);
    con_goto(3, 9);
    con_print("%5d", (int)vending.inserted_total);
}

static void paint_labels()
{
    con_set_color(7, 8, 1, 8);
    print_at(3, 2, "\x93\xFC\x8B\xE0");  // 入金
    print_at(12, 9, "\xB7\xAC\xDD\xBE\xD9");  // ｷｬﾝｾﾙ
    for (int k = 0; k < VM_COIN_KINDS; ++k)
        print_at(3, 3 + k, vm_coin_labels[k]);
    print_at(12, 10, "\x8E\xE6\x8F\x6F");  // 取出
    print_at(12, 2, "\xD2\xC6\xAD\xB0");  // ﾒﾆｭｰ
    con_set_color(7, 0, 1, 8);
    for (int p = 0; p < VM_PRODUCTS; ++p)
        print_number_at(20, 3 + 2 * p, p);
    con_set_color(6, 8, 1, 8);
    print_at(17, 2, "234");
}

// Name, its two lamps, and the price below, one product after the other.
static void paint_menu()
{
    for (int p = 0; p < VM_PRODUCTS; ++p) {
        con_set_color(7, 8, 2, 0);
        print_at(12, 3 + 2 * p, vending.product_names[p]);
        con_set_color(7, 8, 5, 0);
        print_at(18, 3 + 2 * p, "  ");
        con_set_color(7, 8, 1, 8);
        con_goto(12, 4 + 2 * p);
        con_print("\\%3d", (int)vending.prices[p]);  // 0x5C: the yen sign in code page 932
    }
}

static void paint_key_markers()
{
    use_key_marker_colour();
    for (int k = 0; k < VM_COIN_KINDS; ++k)
        print_number_at(2, 3 + k, k);
    for (int p = 0; p < VM_PRODUCTS; ++p)
        print_number_at(11, 3 + 2 * p, p + 4);
    print_at(11, 9, "7");
    print_at(11, 10, " ");
}

void paint_vmin_board()
{
    paint_input_panel("VMIN");
    con_set_color(0, 0, 6, 8);
    print_at(12, 1, "         ");
    con_set_color(0, 0, 7, 8);
    for (int y = 8; y <= 10; ++y)
        print_at(1, y, "         ");
    paint_labels();
    paint_menu();
    paint_key_markers();
    con_set_color(7, 8, 7, 8);
    for (int y = 3; y <= 9; ++y)
        print_at(8, y, "  ");
    con_set_color(0, 0, 7, 8);
    print_at(3, 8, "\x8D\x87\x8C\x76");  // 合計
    // The money kept across a board change, so the next coin adds to what is shown.
    show_total();
    paint_vmstat_panel();
    sim.input_kind = IN_VMIN;
}

// The coin falls from the row of its label down the chute, 100 ms a row.
static void insert_coin(int kind)
{
    con_set_color(0, 0, 7, 8);
    for (int y = kind + 3; y <= 9; ++y) {
        print_at(8, y, "\x81\x9C");  // ●
        vm_pause_frame();
        print_at(8, y, "  ");
    }
    vending.inserted_total = vm_add_held(vending.inserted_total, vending.coin_values[kind + 1]);
    show_total();
}

// Ticket and change leave the machine: total, paid-out row and ticket readout
// go back to nothing, at their fixed places whatever output board is shown.
static void take_out()
{
    vending.inserted_total = 0;
    show_total();
    for (int k = 0; k < VM_COIN_KINDS; ++k)
        vending.paid_out[k] = 0;
    show_vm_paid_out();
    con_set_color(6, 8, 0, 0);
    print_at(72, 9, "      ");
}

// Buttons 4-7 draw nothing: what they lead to is the program's decision.
void vmin_event(int index)
{
    if (index >= 0 && index < VM_COIN_KINDS)
        insert_coin(index);
    else if (index == VMIN_TAKE_OUT)
        take_out();
    show_vm_stock();
}
