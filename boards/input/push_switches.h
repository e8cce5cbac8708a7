// PSHSWITCH: eight latching push keys with a lamp each on port 5. A cleared
// bit of PDR5 is a key held down (yellow lamp); the idle value is 0xFF.
// The poll flips the bits with the digit keys and releases all with space.
#pragma once

void paint_pshswitch_board();
// Paints nothing, not even the PDR5 readout, when value is the image shown.
void show_push_switches(int value);
