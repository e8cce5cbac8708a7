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

// The next kind in the slot's cycle; a number with no kind counts as the
// empty slot, so it steps to the first board.
int board_kind_next(int slot, int kind);
