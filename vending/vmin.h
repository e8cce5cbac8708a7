// VMIN, the customer's side of the meal-ticket machine on port 5: coin slot,
// menu with prices and lamps, cancel, take-out and the total readout. A coin
// or button key reaches the program as one set bit of PDR5 for one poll.
#pragma once

// Event 0-3: coin kind; 4-6: menu button of product 0-2; 7: cancel.
enum { VMIN_CANCEL = 7, VMIN_TAKE_OUT = 8 };

void paint_vmin_board();
void vmin_event(int index);
