#include "boards/output/seg7d.h"

#include "board/frame.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/con.h"

const int32_t SEG7_FONT[16] = {
    0x3F, 0x03, 0x6D, 0x67, 0x53, 0x76, 0x7E, 0x23,  // 0-7
    0x7F, 0x77, 0x7B, 0x5E, 0x3C, 0x4F, 0x7C, 0x78,  // 8-9, A, b, C, d, E, F
};

namespace {
struct SegmentArea {
    int x, y, width, height;
};
}  // namespace

// Left digit; the right digit lies ten columns further right.
static const SegmentArea segment_areas[7] = {
    {66, 4, 2, 2},  // 0 upper right
    {66, 7, 2, 2},  // 1 lower right
    {62, 9, 4, 1},  // 2 bottom
    {60, 7, 2, 2},  // 3 lower left
    {60, 4, 2, 2},  // 4 upper left
    {62, 3, 4, 1},  // 5 top
    {62, 6, 4, 1},  // 6 middle
};

void paint_seg7d_board()
{
    paint_output_panel("SEG7D");
    sim.output_kind = OUT_SEG7D;
    show_seg7d(0);
}

void draw_seg7d_digit(int pattern, int offset)
{
    for (int bit = 0; bit < 7; ++bit) {
        const SegmentArea &s = segment_areas[bit];
        con_set_color(1, 8, 2, pattern >> bit & 1 ? 8 : 0);
        paint_area(s.x + offset, s.y, s.width, s.y + s.height - 1);
    }
}

void show_seg7d(int value)
{
    draw_seg7d_digit(SEG7_FONT[value >> 4 & 0x0F], 0);
    draw_seg7d_digit(SEG7_FONT[value & 0x0F], 10);
    show_pdr8();
}
