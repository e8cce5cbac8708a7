// The board frame, the panel painters and the port readouts, read back from
// the screen model.
#include "board/frame.h"
#include "board/layout.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/screen.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"

struct Label {
    int x, y;
    const char8_t *text;
    int columns;
    uint8_t attr;
};

// Every cell of the rectangle has the attribute.
static void expect_area(int x0, int y0, int x1, int y1, uint8_t attr)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            ASSERT_EQ(scr_cell(x, y).attr, attr) << "cell " << x << "," << y;
}

static void expect_label(const Label &l)
{
    EXPECT_EQ(screen_text(l.x, l.y, l.columns), utf8(l.text)) << "at " << l.x << "," << l.y;
    for (int i = 0; i < l.columns; ++i)
        EXPECT_EQ(scr_cell(l.x + i, l.y).attr, l.attr) << "at " << l.x + i << "," << l.y;
}

using Frame = BoardTest;

TEST_F(Frame, TheBareFrameIsPaintedWithItsLabelsMarkersAndAreas)
{
    sim_layout(0, 0, 0);
    EXPECT_TRUE(matches_golden("frame_bare"));
}

TEST_F(Frame, CreditFillsItsNineteenColumnsWithThisProjectsOwnWords)
{
    sim_layout(0, 0, 0);
    std::string credit = screen_text(3, 22, 19);
    EXPECT_NE(credit.find("wena"), std::string::npos) << credit;
    EXPECT_NE(credit.front(), ' ');
    EXPECT_NE(credit.back(), ' ');
}

TEST_F(Frame, TheKeyMarkerColourIsLeftInForceAfterTheNameplate)
{
    sim_layout(0, 0, 0);
    EXPECT_EQ(screen.attr, 0xCF);
}

TEST_F(Frame, PanelPaintersDrawTitleBarAndBody)
{
    paint_input_panel("VMIN");
    expect_label({1, 1, u8" VMIN               ", 20, 0xB0});
    expect_area(1, 2, 20, 10, 0x90);
    paint_output_panel("STEPMT");
    expect_label({59, 1, u8" STEPMT             ", 20, 0xE0});
    expect_area(59, 2, 78, 10, 0x67);
    EXPECT_EQ(scr_cell(21, 1).attr, 0x07) << "the panels stay in their 20 columns";
    EXPECT_EQ(scr_cell(79, 1).attr, 0x07);
}

TEST_F(Frame, PortReadoutsShowTheRegistersInHexAndBinary)
{
    PDR5 = 5;
    PDR8 = 0xA5;
    show_pdr5();
    expect_label({1, 11, u8"PDR5", 4, 0xB0});
    expect_label({5, 11, u8" 05 (00000101)", 14, 0x0F});
    show_pdr8();
    expect_label({59, 11, u8"PDR8", 4, 0xE0});
    expect_label({63, 11, u8" A5 (10100101)", 14, 0x0F});
    EXPECT_EQ(screen.attr, 0x0F);
}

TEST_F(Frame, TheLcdPanelComesBackEmptyOnlyOnceTheLcdIsInUse)
{
    sim_layout(0, 0, 0);
    expect_area(59, 13, 78, 16, 0x07);
    sim.lcd_panel_shown = 1;
    sim_layout(0, 0, 0);
    expect_area(59, 13, 78, 13, 0x70);
    expect_area(61, 14, 76, 15, 0xE0);
    EXPECT_EQ(screen_text(61, 14, 16), std::string(16, ' '));
}
