// DCMT: two DC motors on port 8, each driven by a pair of bits (B3 B2 the
// left motor, B1 B0 the right): 00 stop, 01 forward, 10 reverse, 11 brake,
// shown as a text above each motor body. Bits 4-7 are not wired.
#pragma once

void paint_dcmt_board();
void show_dc_motors(int value);
