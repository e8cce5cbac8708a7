// The meal-ticket machine that both vending boards share: catalogue, coin
// values, stock figures, paid-out counters, inserted money and the arm flags
// of the two dispensers; and the status panel VMSTAT with the stock figures.
#pragma once

#include <cstdint>

// Coin kind k (0 = 10, 1 = 50, 2 = 100, 3 = 500 yen) is also its bit on PDR5
// and in the change command's mask; product p is bit 4 + p on PDR5.
enum { VM_COIN_KINDS = 4, VM_PRODUCTS = 3 };

struct VendingState {
    int32_t Coin[VM_COIN_KINDS];               // coins held for change; shown, never spent
    int32_t Stock[VM_PRODUCTS];                // tickets that can be sold; shown, never spent
    const char *product_names[VM_PRODUCTS];    // 6 bytes and 6 columns each
    int32_t prices[VM_PRODUCTS];               // yen
    int32_t coin_values[VM_COIN_KINDS + 1];    // entry k + 1 is coin kind k in yen
    int32_t paid_out[VM_COIN_KINDS];           // coins paid out since the last take-out
    int32_t inserted_total;                    // yen inserted since the last take-out
    int32_t change_armed;                      // 1: the next change command pays a coin
    int32_t ticket_armed;                      // 1: the next ticket command drops a ticket
};

// The machine as it starts; `vending` begins as a copy and lives for the run.
extern const VendingState vending_at_start;
extern VendingState vending;

// The coin labels both boards print beside their coin rows.
extern const char *const vm_coin_labels[VM_COIN_KINDS];

void paint_vmstat_panel();
void show_vm_stock();
void show_vm_paid_out();

// total + amount, held at the top of int32_t instead of wrapping to a
// negative figure: a run long enough to get there stays at the largest one.
int32_t vm_add_held(int32_t total, int32_t amount);

// One frame of a falling coin or ticket, a pause of the board inside a poll:
// a scripted run moves its clock on and carries out no step in it.
void vm_pause_frame();
