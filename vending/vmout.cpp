#include "vending/vmout.h"

#include "board/frame.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "vending/vending_state.h"

enum { NO_BIT = 4 };

static void paint_labels()
{
    con_set_color(7, 8, 6, 0);
    print_at(62, 2, "\x82\xA8\x92\xDE");  // お釣
    print_at(71, 2, "\x90\x48\x8C\x94");  // 食券
    for (int k = 0; k < VM_COIN_KINDS; ++k)
        print_at(61, 3 + k, vm_coin_labels[k]);
    for (int p = 0; p < VM_PRODUCTS; ++p)
        print_at(70, 3 + p, vending.product_names[p]);
    con_set_color(7, 0, 6, 0);
    for (int k = 0; k < VM_COIN_KINDS; ++k)
        print_number_at(60, 3 + k, k);
    for (int p = 0; p < VM_PRODUCTS; ++p)
        print_number_at(69, 3 + p, p);
}

static void paint_chutes()
{
    con_set_color(7, 8, 7, 8);
    for (int y = 3; y <= 9; ++y) {
        print_at(66, y, "  ");
        print_at(76, y, "  ");
    }
}

static void paint_return_slot()
{
    con_set_color(0, 0, 7, 8);
    print_at(60, 8, "\x95\xD4\x8B\x70\x8C\xFB");  // 返却口
    print_at(60, 10, "1o 5o 1oo5oo \x90\x48\x8C\x94");  // 1o 5o 1oo5oo 食券
}

void paint_vmout_board()
{
    paint_output_panel("VMOUT");
    con_set_color(7, 0, 7, 8);
    for (int y = 8; y <= 10; ++y)
        print_at(59, y, "                    ");
    paint_labels();
    paint_chutes();
    paint_return_slot();
    con_set_color(6, 8, 6, 0);
    print_at(60, 2, "0");
    print_at(69, 2, "1");
    con_set_color(7, 0, 0, 0);
    print_at(60, 9, "  ");
    print_at(72, 9, "      ");
    show_vm_paid_out();
    paint_vmstat_panel();
    sim.output_kind = OUT_VMOUT;
}

// The lowest set bit of the mask, or NO_BIT for mask 0.
static int selected_index(int mask)
{
    for (int i = 0; i < 4; ++i)
        if (mask & 1 << i)
            return i;
    return NO_BIT;
}

// A coin or ticket falls down its chute, 100 ms a row, to the row above the
// return slot.
static void drop(int x, int top, const char *item)
{
    con_set_color(0, 0, 7, 8);
    for (int y = top; y <= 7; ++y) {
        print_at(x, y, item);
        vm_pause_frame();
        print_at(x, y, "  ");
    }
}

static void change_command(int mask)
{
    int kind = selected_index(mask);
    if (vending.change_armed == 1 && kind < NO_BIT) {
        drop(66, kind + 3, "\x81\x9C");  // ●
        vending.paid_out[kind] = vm_add_held(vending.paid_out[kind], 1);
        show_vm_paid_out();
        vending.change_armed = 0;
    }
    if (mask == 0)
        vending.change_armed = 1;
}

// Bit 3 alone selects no product: nothing drops and the dispenser stays
// armed, so the program sees no ticket and can send a right one at once.
static void ticket_command(int mask)
{
    int product = selected_index(mask);
    if (vending.ticket_armed == 1 && product < VM_PRODUCTS) {
        drop(76, product + 3, "\x81\xA1");  // ■
        con_set_color(6, 8, 0, 0);
        print_at(72, 9, vending.product_names[product]);
        vending.ticket_armed = 0;
    }
    if (mask == 0)
        vending.ticket_armed = 1;
}

// The menu names on VMIN, lit black on bright green.
static void menu_names(int mask)
{
    for (int p = 0; p < VM_PRODUCTS; ++p) {
        if (mask & 1 << p)
            con_set_color(0, 0, 2, 8);
        else
            con_set_color(7, 8, 2, 0);
        print_at(12, 3 + 2 * p, vending.product_names[p]);
    }
}

// Lamp column x on VMIN: "X" on bright magenta where lit.
static void lamp_column(int x, int mask)
{
    for (int p = 0; p < VM_PRODUCTS; ++p) {
        con_goto(x, 3 + 2 * p);
        if (mask & 1 << p) {
            con_set_color(7, 8, 5, 8);
            con_print("X");
        } else {
            con_set_color(7, 8, 5, 0);
            con_print(" ");
        }
    }
}

// Commands 5 to 15 do nothing.
void vmout_apply(int value)
{
    int command = value >> 4 & 0x0F;
    int mask = value & 0x0F;
    if (command == VMCMD_CHANGE)
        change_command(mask);
    else if (command == VMCMD_TICKET)
        ticket_command(mask);
    else if (command == VMCMD_MENU_LAMP)
        menu_names(mask);
    else if (command == VMCMD_LAMP3)
        lamp_column(18, mask);
    else if (command == VMCMD_LAMP4)
        lamp_column(19, mask);
}
