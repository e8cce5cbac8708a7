// SEG7: one 7-segment digit with decimal point on port 8, each segment wired
// straight to one bit of PDR8 and labelled with it (B0 upper right ... B6
// middle, B7 the point). A lit segment is bright green, a dark one dark green.
#pragma once

void paint_seg7_board();
void show_seg7(int value);
