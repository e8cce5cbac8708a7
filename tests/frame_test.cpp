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

using Frame = BoardTest;

// The credit fills its nineteen columns with this project's own words, and
// the key marker colour is left in force after the nameplate.
TEST_F(Frame, TheBareFrameIsPaintedWithItsLabelsMarkersAndAreas)
{
    sim_layout(0, 0, 0);
    EXPECT_TRUE(matches_golden("frame_bare"));
    std::string credit = screen_text(3, 22, 19);
    EXPECT_NE(credit.find("wena"), std::string::npos) << credit;
    EXPECT_EQ(screen.attr, 0xCF);
}

// Title bars and bodies stay in their 20 columns; the readouts show the
// registers in hex and binary and leave bright white in force.
TEST_F(Frame, PanelPaintersAndPortReadouts)
{
    paint_input_panel("VMIN");
    paint_output_panel("STEPMT");
    PDR5 = 5;
    PDR8 = 0xA5;
    show_pdr5();
    show_pdr8();
    EXPECT_EQ(screen.attr, 0x0F);
    EXPECT_TRUE(matches_golden("frame_panels_and_readouts", {0, 0, 80, 12}));
}

TEST_F(Frame, TheLcdPanelComesBackEmptyOnlyOnceTheLcdIsInUse)
{
    sim_layout(0, 0, 0);
    std::string pictures = "== unused\n" + render_region({59, 13, 20, 4});
    sim.lcd_panel_shown = 1;
    sim_layout(0, 0, 0);
    EXPECT_TRUE(matches_golden_text("frame_lcd_panel", pictures + "== in use\n" + render_region({59, 13, 20, 4})));
}
