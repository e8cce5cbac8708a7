// The board kinds of each slot by number and by the name on the board's
// title bar, so that scenarios, recordings and messages use the same words.
#pragma once

#include <string>

enum BoardSlot { SLOT_INPUT, SLOT_OUTPUT, SLOT_ANALOG, BOARD_SLOTS };

// Whether the slot has a kind of this number (0, the empty slot, included).
bool board_kind_known(int slot, int kind);

// "SWITCH", "LED", "none"...; null for a number with no kind.
const char *board_kind_name(int slot, int kind);

// The kind of the slot with this name, in any case; false for none.
bool board_kind_from_name(int slot, const std::string &name, int &kind);

// "0 none, 1 SWITCH, 2 PSHSWITCH, 3 VMIN", for messages.
std::string board_kinds_list(int slot);

// The next kind in the slot's cycle: one up, from 0 to the first board, and
// past the last board back to 0. A number with no kind (a hand-edited
// WENA.ini) steps by the same rule: an output 5 goes 6, 7 ... 11 (LED).
int board_kind_next(int slot, int kind);
