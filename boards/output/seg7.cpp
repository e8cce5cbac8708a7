#include "boards/output/seg7.h"

#include "board/frame.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/con.h"

namespace {
// Cells of one segment: its label "Bn" leads the first row, blanks fill the rest.
struct SegmentCells {
    int x, y, width, height;
};
}  // namespace

static const SegmentCells segment_cells[8] = {
    {71, 4, 2, 2},  // 0 upper right
    {71, 7, 2, 2},  // 1 lower right
    {66, 9, 5, 1},  // 2 bottom
    {64, 7, 2, 2},  // 3 lower left
    {64, 4, 2, 2},  // 4 upper left
    {66, 3, 5, 1},  // 5 top
    {66, 6, 5, 1},  // 6 middle
    {73, 9, 2, 1},  // 7 decimal point
};

void paint_seg7_board()
{
    paint_output_panel("SEG7");
    sim.output_kind = OUT_SEG7;
    show_seg7(0);
}

static void draw_labelled_segment(int bit, bool lit)
{
    const SegmentCells &s = segment_cells[bit];
    con_set_color(1, 8, 2, lit ? 8 : 0);
    con_goto(s.x, s.y);
    con_print("B%d%*s", bit, s.width - 2, "");
    for (int y = s.y + 1; y < s.y + s.height; ++y) {
        con_goto(s.x, y);
        con_print("%*s", s.width, "");
    }
}

void show_seg7(int value)
{
    for (int bit = 0; bit < 8; ++bit)
        draw_labelled_segment(bit, value >> bit & 1);
    show_pdr8();
}
