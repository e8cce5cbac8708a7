#include "vending/vending_state.h"

#include "board/frame.h"
#include "board/sim_state.h"
#include "console/con.h"

#include <wena.h>

enum { FRAME_MS = 100 };

// "かけ　" ends in a full-width space, so every name is 6 columns wide.
const char *const vm_coin_labels[VM_COIN_KINDS] = {"( 10)", "( 50)", "(100)", "(500)"};

extern constexpr VendingState vending_at_start = {
    {2, 2, 10, 10},
    {20, 5, 10},
    {"\x82\xA9\x82\xAF\x81\x40", "\x82\xBD\x82\xCA\x82\xAB", "\x82\xAB\x82\xC2\x82\xCB"},  // かけ　, たぬき, きつね
    {270, 330, 380},
    {0, 10, 50, 100, 500},
    {0, 0, 0, 0},
    0,
    1,
    1,
};

VendingState vending = vending_at_start;

int32_t vm_add_held(int32_t total, int32_t amount)
{
    if (amount > 0 && total > INT32_MAX - amount)
        return INT32_MAX;
    return total + amount;
}

void vm_pause_frame()
{
    sim.pausing = true;
    Sleep(FRAME_MS);
    sim.pausing = false;
}

void paint_vmstat_panel()
{
    static const char *const coin_labels[VM_COIN_KINDS] = {" 10-", " 50-", "100-", "500-"};
    con_set_color(0, 0, 7, 0);
    print_at(30, 15, " VMSTAT             ");
    con_set_color(0, 0, 7, 8);
    for (int y = 16; y <= 22; ++y)
        print_at(30, y, "                    ");
    print_at(31, 17, "\x8D\x64\x89\xDD\x90\x94");  // 硬貨数
    print_at(39, 17, "\x94\xCC\x94\x84\x89\xC2\x94\x5C\x90\x94");  // 販売可能数
    for (int k = 0; k < VM_COIN_KINDS; ++k)
        print_at(31, 18 + k, coin_labels[k]);
    for (int p = 0; p < VM_PRODUCTS; ++p)
        print_at(39, 18 + p, vending.product_names[p]);
    con_set_color(6, 0, 7, 8);
    print_at(31, 16, "Coin[]");
    print_at(39, 16, "Stock[]");
    for (int k = 0; k < VM_COIN_KINDS; ++k) {
        con_goto(30, 18 + k);
        con_print("%d", k);
    }
    show_vm_stock();
}

void show_vm_stock()
{
    con_cursor_hide();
    con_set_color(6, 8, 0, 0);
    for (int k = 0; k < VM_COIN_KINDS; ++k) {
        con_goto(35, 18 + k);
        con_print("%3d", (int)vending.Coin[k]);
    }
    for (int p = 0; p < VM_PRODUCTS; ++p) {
        con_goto(46, 18 + p);
        con_print("%3d", (int)vending.Stock[p]);
    }
}

// Fixed positions above the VMOUT labels, whatever output board is shown. A
// count of 100 or more runs one column past its field: a true figure beats
// one that fits.
void show_vm_paid_out()
{
    con_set_color(6, 8, 0, 0);
    for (int k = 0; k < VM_COIN_KINDS; ++k) {
        con_goto(60 + 3 * k, 9);
        con_print("%2d", (int)vending.paid_out[k]);
    }
}
