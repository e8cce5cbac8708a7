// The output boards on port 8, read back from the screen model: rest
// pictures, every lamp and segment, the motor texts, step counting and the
// readouts, and what a layout does to a board while PDR8 holds a value.
#include "board/layout.h"
#include "board/sim_state.h"
#include "boards/output/dc_motors.h"
#include "boards/output/leds.h"
#include "boards/output/seg7.h"
#include "boards/output/seg7d.h"
#include "boards/output/stepper_motors.h"
#include "console/screen.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"

#include <climits>
#include <cstdio>

static constexpr ScreenRegion OUTPUT_PANEL{59, 1, 20, 11};
static constexpr ScreenRegion PANEL_BODY{59, 1, 20, 10};

using OutputBoard = BoardTest;

// One picture of the region per value, headed by the value.
static std::string pictures(void (*show)(int), std::initializer_list<int> values, ScreenRegion region)
{
    std::string out;
    for (int value : values) {
        show(value);
        char head[16];
        snprintf(head, sizeof head, "== %02X\n", value);
        out += head + render_region(region);
    }
    return out;
}

static void poll_with(std::initializer_list<int> values)
{
    for (int value : values) {
        PDR8 = (uint8_t)value;
        sim_poll();
    }
}

// Each LED bit lights its own lamp only, bit 7 on the left; eight seg7d values
// put up all sixteen digits; each seg7 bit lights its segment with its label;
// each DC motor goes forward, back, brakes (both bits) and stops (neither).
TEST_F(OutputBoard, EveryLampSegmentDigitAndMotorStateHasItsPicture)
{
    sim_layout(0, OUT_LED, 0);
    EXPECT_TRUE(matches_golden_text(
        "led_bits", pictures(show_leds, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}, {60, 4, 19, 4})));
    sim_layout(0, OUT_SEG7D, 0);
    EXPECT_TRUE(matches_golden_text(
        "seg7d_digits",
        pictures(show_seg7d, {0x08, 0x19, 0x2A, 0x3B, 0x4C, 0x5D, 0x6E, 0x7F}, {59, 3, 20, 7})));
    sim_layout(0, OUT_SEG7, 0);
    EXPECT_TRUE(matches_golden_text(
        "seg7_bits", pictures(show_seg7, {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x3F},
                              OUTPUT_PANEL)));
    sim_layout(0, OUT_DCMT, 0);
    EXPECT_TRUE(matches_golden_text("dcmt_states",
                                    pictures(show_dc_motors, {0x05, 0x06, 0x09, 0x0F, 0xF0}, {59, 2, 20, 3})));
}

// The counts survive another board's layout, whose first phase counts nothing.
TEST_F(OutputBoard, OnePhaseDriveCountsBothMotorsFromTheSecondPatternAndAcrossALayout)
{
    sim_layout(0, OUT_STEPMT, 0);
    poll_with({0x11, 0x22, 0x44, 0x88, 0x11});
    EXPECT_EQ(std::make_pair(sim.step_count_lo, sim.step_count_hi), std::make_pair(4, 4));
    EXPECT_TRUE(matches_golden("stepmt_four_steps", OUTPUT_PANEL));
    sim_layout(0, OUT_LED, 0);
    poll_with({0x22});
    sim_layout(0, OUT_STEPMT, 0);
    EXPECT_EQ(screen_text(60, 9, 19), std::string(19, ' ')) << "readouts wait for the next step";
    poll_with({0x44, 0x88});
    EXPECT_EQ(sim.step_count_lo, 5);
    EXPECT_EQ(screen_text(70, 9, 9), "    +5stp");
}

// A jump of two phases is no step: only the port readout changes.
TEST_F(OutputBoard, AStepBackOnTheRightMotorLeavesTheLeftUntouchedAndAJumpCountsNothing)
{
    sim_layout(0, OUT_STEPMT, 0);
    poll_with({0x01, 0x08});
    EXPECT_EQ(sim.step_count_lo, -1);
    EXPECT_TRUE(matches_golden("stepmt_one_back", OUTPUT_PANEL));
    std::string before = render_region(PANEL_BODY);
    poll_with({0x02});
    EXPECT_EQ(render_region(PANEL_BODY), before);
    EXPECT_EQ(screen_text(59, 11, 18), "PDR8 02 (00000010)");
}

TEST_F(OutputBoard, OnlyNeighbouringPhasesCountAsSteps)
{
    const int cases[][3] = {
        {0x1, 0x2, +1}, {0x8, 0x1, +1}, {0x3, 0x6, +1}, {0x9, 0x3, +1},  // forward, one and two phase
        {0x2, 0x1, -1}, {0x1, 0x8, -1}, {0x6, 0x3, -1}, {0x3, 0x9, -1},  // back
        {0x5, 0xA, -1}, {0xA, 0x5, -1},                                  // right rotation tried first
        {0x1, 0x4, 0},  {0x1, 0x3, 0},  {0x3, 0x2, 0},  {0x2, 0x2, 0},   // jumps, half steps, no change
        {0x0, 0x1, 0},  {0x1, 0x0, 0},  {0xF, 0x1, 0},  {0x1, 0xF, 0},   // 0000 and 1111 never step
    };
    for (const auto &[from, to, direction] : cases)
        EXPECT_EQ(step_direction((uint8_t)to, (uint8_t)from), direction) << from << " -> " << to;
}

// One step forward onto each count, or back onto a negative one; wider
// counts stay in the nine columns.
TEST_F(OutputBoard, StepAndAngleReadoutsFollowTheCount)
{
    sim_layout(0, OUT_STEPMT, 0);
    std::string seen;
    for (int count : {1, -1, 199, 200, -201, 0, 123456, -99999999, 1999999999}) {
        int direction = count < 0 ? -1 : 1;
        sim.step_count_lo = count - direction;
        sim.last_phase_lo = 0x1;
        show_stepper_motors(direction > 0 ? 0x2 : 0x8);
        seen += "== " + std::to_string(count) + "\n" + render_region({70, 9, 10, 2});
    }
    EXPECT_TRUE(matches_golden_text("stepmt_readouts", seen));
}

TEST_F(OutputBoard, AngleAndCountStayRightWhereTheyWouldOverflow)
{
    for (int count : {119304647, 119304648, 1000000001, INT_MAX - 7, -119304649, INT_MIN + 1, INT_MIN})
        EXPECT_EQ(step_angle_tenths(count), (int)((long long)count * 18 % 3600)) << count;
    // Counts wrap at a whole number of turns: the shaft moves on by one step.
    EXPECT_EQ(counted_step(1999999999, +1), -2000000000);
    EXPECT_EQ(step_angle_tenths(counted_step(1999999999, +1)), 0);
    EXPECT_EQ(counted_step(-2000000000, -1), 1999999999);
    EXPECT_EQ(step_angle_tenths(counted_step(-2000000000, -1)), 3582);
}

// Whatever PDR8 holds, a layout shows the board at rest until PDR8 changes,
// with the readout true at once.
TEST_F(OutputBoard, ALayoutShowsTheBoardAtRestUntilPdr8Changes)
{
    for (auto [kind, name] : {std::pair{OUT_LED, "led_rest"}, {OUT_SEG7D, "seg7d_rest"}, {OUT_SEG7, "seg7_rest"},
                              {OUT_DCMT, "dcmt_rest"}, {OUT_STEPMT, "stepmt_rest"}}) {
        sim = SimState{};
        PDR8 = 0x5A;
        sim.last_pdr8 = 0x5A;
        sim_layout(0, kind, 0);
        sim_poll();
        EXPECT_EQ(sim.output_kind, kind);
        EXPECT_TRUE(matches_golden(name, OUTPUT_PANEL));
        std::string rest = render_region(PANEL_BODY);
        poll_with({0x66, 0xCC});  // the stepper counts from the second phase
        EXPECT_NE(render_region(PANEL_BODY), rest) << name;
    }
}
