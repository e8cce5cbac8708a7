// SEG7D: two 7-segment digits on port 8 showing PDR8 as two hexadecimal
// digits through the board's decoder, the high nibble on the left. Segments
// are unlabelled blank cells, bright green when lit, dark green when not.
#pragma once

#include <cstdint>

// Segment pattern of each hexadecimal digit, bit numbering as on SEG7
// (bit 0 upper right ... bit 6 middle); no pattern lights the point.
extern const int32_t SEG7_FONT[16];

void paint_seg7d_board();
void show_seg7d(int value);
// One digit; offset is 0 for the left digit, 10 for the right one.
void draw_seg7d_digit(int pattern, int offset);
