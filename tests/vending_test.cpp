// The vending machine boards against the screen model: the status panel,
// the coin board VMIN, the ticket and change board VMOUT, and the two
// together as the poll drives them. Pauses take no time here (pauses.h).
#include "board/layout.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "console/screen.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"
#include "tests/support/pauses.h"
#include "vending/vending_state.h"
#include "vending/vmin.h"
#include "vending/vmout.h"

#include <tuple>

static const ScreenRegion VMSTAT_PANEL{30, 15, 20, 8};
static const ScreenRegion VMIN_BOARD{1, 1, 20, 10};

class Vending : public BoardTest {
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        vending = vending_at_start;
        pauses_reset();
    }
    // The stock figures are for show: nothing a test does may change them.
    void TearDown() override
    {
        if (sim.input_kind == IN_VMIN || sim.output_kind == OUT_VMOUT) {
            EXPECT_TRUE(matches_golden("vmstat_panel", VMSTAT_PANEL));
        }
        BoardTest::TearDown();
    }
    static void poll_with(int value)
    {
        PDR8 = (uint8_t)value;
        sim_poll();
    }
    // Polls with each value in turn; gives the pauses they made (pause_trace).
    static std::string falls(std::initializer_list<int> values)
    {
        pauses_reset();
        for (int value : values)
            poll_with(value);
        return pause_trace();
    }
    // Paid-out counters above "1o 5o 1oo5oo", and the ticket readout.
    static std::string counters() { return screen_text(60, 9, 11); }
    static std::string ticket() { return screen_text(72, 9, 6); }
    static std::string total() { return screen_text(3, 9, 5); }
};

using StatusPanel = Vending;

// The same status panel in the analog board's place with either vending
// board or both; both boards together at rest.
TEST_F(StatusPanel, EitherVendingBoardOrBothPaintTheSamePanel)
{
    const int layouts[][2] = {{IN_VMIN, OUT_NONE}, {IN_NONE, OUT_VMOUT}, {IN_VMIN, OUT_VMOUT}};
    for (const auto &l : layouts) {
        sim_layout(l[0], l[1], ANALOG_ON);
        EXPECT_TRUE(matches_golden("vmstat_panel", VMSTAT_PANEL)) << l[0] << "," << l[1];
        EXPECT_EQ(sim.analog_kind, ANALOG_NONE);
    }
    EXPECT_TRUE(matches_golden("vending_at_rest"));
}

TEST_F(StatusPanel, AKeyFreePollRepaintsTheFiguresAndEndsThePulseWithEitherBoard)
{
    for (int out : {OUT_NONE, OUT_VMOUT}) {
        sim_layout(out ? IN_NONE : IN_VMIN, out, 0);
        con_goto(35, 18);
        con_print("XXX");
        con_cursor_show();
        PDR5 = 0x10;
        sim_poll();
        EXPECT_TRUE(matches_golden("vmstat_panel", VMSTAT_PANEL)) << out;
        EXPECT_FALSE(screen.cursor_visible);
        EXPECT_EQ(PDR5, 0x00);
    }
}

// A figure too wide for its field is printed whole and runs on to the right:
// the 150th ten-yen coin and the 201st five-hundred-yen coin paid out, and
// the 201st five-hundred-yen coin inserted, a total that runs into the chute.
TEST_F(StatusPanel, FiguresWiderThanTheirFieldsPrintWholeAndRunIntoTheNextColumn)
{
    sim_layout(IN_VMIN, OUT_VMOUT, 0);
    vending.paid_out[0] = 149;
    vmout_apply(0x01);
    vending.paid_out[3] = 200;
    vmout_apply(0x00);
    vmout_apply(0x08);
    vending.inserted_total = 200 * 500;
    vmin_event(3);
    EXPECT_EQ(std::make_tuple(vending.paid_out[0], vending.paid_out[3], vending.inserted_total),
              std::make_tuple(150, 201, 100500));
    EXPECT_TRUE(matches_golden("vending_wide_figures"));
}

// Counters stop at the top of their range rather than wrap to a negative
// figure, and show it whole.
TEST_F(StatusPanel, TotalAndCountersStopAtTheTopOfTheirRange)
{
    sim_layout(IN_VMIN, OUT_VMOUT, 0);
    vending.inserted_total = INT32_MAX - 5;
    vmin_event(0);
    EXPECT_EQ(vending.inserted_total, INT32_MAX);
    vending.paid_out[3] = INT32_MAX;
    vmout_apply(0x08);
    EXPECT_EQ(vending.paid_out[3], INT32_MAX);
    EXPECT_EQ(screen_text(3, 9, 10) + " " + screen_text(69, 9, 10), "2147483647 2147483647");
}

using CoinBoard = Vending;

// A layout shows the total kept since the last take-out; the take-out writes
// its fixed places whatever output board is shown.
TEST_F(CoinBoard, EachCoinFallsDownTheChuteAndAddsToTheTotalALayoutShowsUntilTakeOut)
{
    sim_layout(IN_VMIN, OUT_NONE, 0);
    const char *const coins[][2] = {{"8,3 8,4 8,5 8,6 8,7 8,8 8,9", "   10"}, {"8,4 8,5 8,6 8,7 8,8 8,9", "   60"},
                                    {"8,5 8,6 8,7 8,8 8,9", "  160"}, {"8,6 8,7 8,8 8,9", "  660"}};
    for (int kind = 0; kind < 4; ++kind) {
        pauses_reset();
        vmin_event(kind);
        EXPECT_EQ(pause_trace(), coins[kind][0]) << "coin kind " << kind;
        EXPECT_EQ(paused_ms(), 100u * (7 - kind));
        EXPECT_EQ(total(), coins[kind][1]);
        EXPECT_EQ(screen_text(8, 9, 2), "  ") << "the coin has left the chute";
    }
    sim_layout(IN_NONE, OUT_NONE, 0);
    sim_layout(IN_VMIN, OUT_NONE, 0);
    EXPECT_EQ(total(), "  660");
    vmin_event(0);
    EXPECT_EQ(total(), "  670");
    vending.paid_out[1] = 3;
    vmin_event(VMIN_TAKE_OUT);
    EXPECT_EQ(total(), "    0");
    EXPECT_EQ(vending.paid_out[1], 0);
    EXPECT_TRUE(matches_golden("take_out_without_vmout", {59, 9, 20, 1}));
}

// Menu and cancel buttons, a ticket command naming no product (bit 3 alone:
// the dispenser stays armed) and commands 5 to 15 draw nothing and pause not.
TEST_F(CoinBoard, ButtonsAndCommandsThatDoNothingDrawNothing)
{
    sim_layout(IN_VMIN, OUT_VMOUT, 0);
    std::string before = render_region(WHOLE_SCREEN);
    for (int index = 4; index <= 7; ++index)
        vmin_event(index);
    poll_with(0x18);
    for (int value = 0x50; value <= 0xFF; ++value)
        poll_with(value);
    EXPECT_EQ(render_region(WHOLE_SCREEN), before);
    EXPECT_EQ(pause_trace(), "");
    EXPECT_EQ(sim.last_pdr8, 0xFF);
    falls({0x00, 0x01});
    EXPECT_EQ(counters(), " 1  0  0  0") << "0x00 after 0xFF is a change, and re-arms";
    poll_with(0x1C);
    EXPECT_EQ(ticket(), utf8(u8"きつね"));
}

TEST_F(CoinBoard, AKeyIsOneBitOfPdr5UntilAPollFindsNoKeyAndAKeyReadMeanwhileIsLost)
{
    write_settings("3,16,0");
    sim_poll();
    con_feed_keys("03", 2);
    sim_poll();
    sim_poll();
    EXPECT_EQ(PDR5, 0x01) << "the 3 read while the pulse is on is dropped";
    EXPECT_FALSE(con_key_waiting());
    EXPECT_EQ(total(), "   10");
    EXPECT_EQ(pause_trace(), "8,3 8,4 8,5 8,6 8,7 8,8 8,9") << "only the 10 yen coin fell";
    sim_poll();
    EXPECT_EQ(PDR5, 0x00);
    press(" ");
    EXPECT_EQ(PDR5, 0x00) << "the take-out key changes no bit";
}

using Dispensers = Vending;

// Bits 0-3 name the coin, 0x00 re-arms the change dispenser only; bits 0-2
// name the ticket under 0x10, which re-arms the ticket dispenser only.
TEST_F(Dispensers, EachPaysOneItemOfTheLowestMaskBitEachTimeItIsArmed)
{
    sim_layout(IN_VMIN, OUT_VMOUT, 0);
    EXPECT_EQ(falls({0x01}), "66,3 66,4 66,5 66,6 66,7");
    EXPECT_EQ(counters(), " 1  0  0  0");
    EXPECT_EQ(falls({0x03}), "") << "disarmed";
    EXPECT_EQ(falls({0x00, 0x02}), "66,4 66,5 66,6 66,7");
    EXPECT_EQ(counters(), " 1  1  0  0");
    EXPECT_EQ(falls({0x10, 0x04}), "") << "0x10 re-arms only the ticket dispenser";
    falls({0x00, 0x0F});
    EXPECT_EQ(counters(), " 2  1  0  0");
    EXPECT_EQ(falls({0x00, 0x08}), "66,6 66,7");
    EXPECT_EQ(counters(), " 2  1  0  1");
    EXPECT_EQ(vending.change_armed, 0);

    EXPECT_EQ(falls({0x12}), "76,4 76,5 76,6 76,7");
    EXPECT_EQ(ticket(), utf8(u8"たぬき"));
    EXPECT_EQ(scr_cell(72, 9).attr, 0x0E);
    EXPECT_EQ(falls({0x00, 0x11}), "") << "0x00 re-arms only the change dispenser";
    EXPECT_EQ(falls({0x10, 0x1D}), "76,3 76,4 76,5 76,6 76,7");
    EXPECT_EQ(ticket(), utf8(u8"かけ　"));
    falls({0x10, 0x14});
    EXPECT_EQ(ticket(), utf8(u8"きつね"));
    EXPECT_EQ(counters(), " 2  1  0  1");
}

using Lamps = Vending;

// Lamp commands touch neither dispenser; the arm flags and counters outlive
// a board change that repaints the lamps and the ticket readout.
TEST_F(Lamps, MenuNamesAndLampColumnsFollowTheirMasksAndArmFlagsOutliveABoardChange)
{
    sim_layout(IN_VMIN, OUT_VMOUT, 0);
    std::string at_rest = render_region(VMIN_BOARD);
    falls({0x25, 0x35, 0x46});
    EXPECT_TRUE(matches_golden("vmin_lamps", VMIN_BOARD));
    falls({0x28, 0x38, 0x48});
    EXPECT_EQ(render_region(VMIN_BOARD), at_rest) << "bit 3 lights nothing";

    falls({0x01, 0x12, 0x27});
    sim_layout(IN_NONE, OUT_NONE, 0);
    sim_layout(IN_VMIN, OUT_VMOUT, 0);
    EXPECT_EQ(render_region(VMIN_BOARD), at_rest);
    EXPECT_EQ(counters(), " 1  0  0  0");
    EXPECT_EQ(ticket(), "      ");
    EXPECT_EQ(falls({0x02, 0x14}), "") << "both dispensers are still disarmed";
    EXPECT_EQ(counters() + ticket(), " 1  0  0  0      ");
}

using VendingMachine = Vending;

TEST_F(VendingMachine, SellsTanukiForFiveHundredYenPaysBackOneHundredSeventyAndTakesOut)
{
    write_settings("3,16,0");
    sim_poll();
    press("3");
    EXPECT_EQ(PDR5, 0x08);
    EXPECT_EQ(total(), "  500");
    falls({0x12, 0x10, 0x04, 0x00, 0x02, 0x00, 0x01, 0x00, 0x01, 0x00});
    EXPECT_TRUE(matches_golden("vending_after_sale"));
    press(" ");
    EXPECT_TRUE(matches_golden("vending_after_take_out"));
}
