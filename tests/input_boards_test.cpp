// The switch boards and the analog board as the poll drives them: pictures
// per state, PDR5, the push-switch repaint rules, the A/D readings.
#include "board/layout.h"
#include "board/sim_state.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"

#include <cstdio>

static constexpr ScreenRegion INPUT_AREA{0, 0, 22, 12};    // panel and PDR5 readout
static constexpr ScreenRegion ANALOG_AREA{30, 15, 48, 8};  // board and A/D readouts

static int lamps_in(const std::string &output)
{
    int count = 0;
    for (size_t at = output.find(utf8(u8"●")); at != std::string::npos; at = output.find(utf8(u8"●"), at + 1))
        ++count;
    return count;
}

using SwitchBoard = BoardTest;

TEST_F(SwitchBoard, LaidOutWithAllLeversOffAndPdr5Untouched)
{
    PDR5 = 0x42;
    sim_layout(IN_SWITCH, 0, 0);
    EXPECT_EQ(sim.input_kind, IN_SWITCH);
    EXPECT_EQ(PDR5, 0x42) << "the board paints its levers off but leaves the port alone";
    PDR5 = 0;
    sim_layout(IN_SWITCH, 0, 0);
    EXPECT_TRUE(matches_golden("switch_board_off", INPUT_AREA));
}

TEST_F(SwitchBoard, DigitsFlipLeversAndTheSameDigitTwiceRestoresThePicture)
{
    write_settings("1,0,0");
    sim_poll();
    std::string before = render_region(INPUT_AREA);
    press("70");
    EXPECT_EQ(PDR5, 0x81);
    EXPECT_TRUE(matches_golden("switch_board_bits_7_and_0", INPUT_AREA));
    press("3");
    captured_reset();
    press("3");
    EXPECT_EQ(PDR5, 0x81);
    EXPECT_EQ(lamps_in(captured()), 0);
    press("70");
    EXPECT_EQ(render_region(INPUT_AREA), before);
}

using PushSwitchBoard = BoardTest;

TEST_F(PushSwitchBoard, FirstLayoutPaintsTheKeysOnceAndReleasesThemAll)
{
    PDR5 = 0x00;
    captured_reset();
    sim_layout(IN_PSHSWITCH, 0, 0);
    EXPECT_EQ(PDR5, 0xFF);
    EXPECT_EQ(sim.last_push_image, 0xFF);
    EXPECT_EQ(lamps_in(captured()), 8) << "with image 0 still on record, the first call paints nothing";
    EXPECT_TRUE(matches_golden("pshswitch_board_all_up", INPUT_AREA));
}

TEST_F(PushSwitchBoard, ALaterLayoutPaintsTheKeysTwiceAndEndsAllUp)
{
    sim_layout(IN_PSHSWITCH, 0, 0);
    std::string first = render_region(INPUT_AREA);
    captured_reset();
    sim_layout(IN_PSHSWITCH, 0, 0);
    EXPECT_EQ(lamps_in(captured()), 16) << "all down, then all up";
    EXPECT_EQ(render_region(INPUT_AREA), first);
}

TEST_F(PushSwitchBoard, DigitsLatchKeysDownAndSpaceLetsThemUp)
{
    write_settings("2,0,0");
    sim_poll();
    press("0");
    EXPECT_EQ(PDR5, 0xFE);
    EXPECT_TRUE(matches_golden("pshswitch_board_key_0_down", INPUT_AREA));
    press("0");
    EXPECT_EQ(PDR5, 0xFF);
    press("57");
    EXPECT_EQ(PDR5, 0x5F);
    press(" ");
    EXPECT_EQ(PDR5, 0xFF);
    EXPECT_TRUE(matches_golden("pshswitch_board_all_up", INPUT_AREA));
}

TEST_F(PushSwitchBoard, AnUnchangedImagePaintsNothingNotEvenTheReadout)
{
    write_settings("2,0,0");
    sim_poll();
    captured_reset();
    press(" ");
    EXPECT_EQ(captured(), "");
}

using AnalogBoard = BoardTest;

TEST_F(AnalogBoard, LaidOutWithItsChannelsLegendIndicatorAndReadouts)
{
    sim_layout(0, 0, ANALOG_ON);
    EXPECT_EQ(sim.analog_kind, ANALOG_ON);
    EXPECT_TRUE(matches_golden("analog_board_rest", ANALOG_AREA));
}

// Errors build up in single precision and the conversion truncates; the
// readout rounds to tenths all the same.
TEST_F(AnalogBoard, PressesOfPlusGiveTheReadingsToTheBit)
{
    struct Row {
        int presses;
        const char *shown;
        uint32_t reading;
        const char *readout;
    };
    const Row table[] = {
        {0, "0.0", 0x0000, "0000 (0000000000000000)"}, {1, "0.1", 0x0500, "0500 (0000010100000000)"},
        {10, "1.0", 0x3300, "3300 (0011001100000000)"}, {25, "2.5", 0x7FC0, "7FC0 (0111111111000000)"},
        {50, "5.0", 0xFF80, "FF80 (1111111110000000)"}, {51, "5.0", 0xFFC0, "FFC0 (1111111111000000)"},
        {60, "5.0", 0xFFC0, "FFC0 (1111111111000000)"},
    };
    write_settings("0,0,21");
    sim_poll();
    int pressed = 0;
    for (const Row &row : table) {
        press(std::string((size_t)(row.presses - pressed), '+'));
        pressed = row.presses;
        EXPECT_EQ(ADDA, row.reading) << row.presses << " presses";
        EXPECT_EQ(wena_registers.ad_mirror[0], row.reading);
        EXPECT_EQ(screen_text(35, 17, 3), row.shown) << row.presses << " presses";
        EXPECT_EQ(screen_text(55, 19, 23), row.readout) << row.presses << " presses";
    }
    press(std::string(50, '-'));
    EXPECT_EQ(ADDA, 0x0000u) << "a few millionths of a volt read 0";
    EXPECT_EQ(screen_text(35, 17, 3), "0.0");
}

TEST_F(AnalogBoard, ALetterChoosesTheChannelThatPlusAndMinusTurn)
{
    write_settings("0,0,21");
    sim_poll();
    press("c+");
    EXPECT_EQ(sim.analog_channel, 2);
    EXPECT_EQ(ADDC, 0x0500u);
    EXPECT_EQ(ADDA, 0u);
    EXPECT_TRUE(matches_golden("analog_board_channel_c_up", ANALOG_AREA));
    press("-");
    EXPECT_EQ(ADDC, 0u);
    press("-");
    EXPECT_EQ(sim.analog_volts[2], 0.0f);
    EXPECT_EQ(screen_text(40, 17, 8), "CH2C0.0v") << "repainted though nothing changed";
}

TEST_F(AnalogBoard, ALayoutKeepsChannelAndVoltagesAndRecomputesTheRegisters)
{
    write_settings("0,0,21");
    sim_poll();
    press("d++++");
    press("VV");
    EXPECT_EQ(sim.analog_kind, ANALOG_ON);
    EXPECT_EQ(screen_text(38, 21, 1), "3");
    EXPECT_EQ(screen_text(40, 19, 8), "CH3D0.4v");
    ADDD = 0;
    press("VV");
    EXPECT_EQ(ADDD, 0x1440u) << "0.4 V reads 81 whenever the board is laid out";
}

// The analog board shares its place with the vending machine's status panel.
TEST_F(AnalogBoard, HiddenWhileAVendingBoardIsChosenAndDeafToItsKeys)
{
    const char *hiding[] = {"3,0,21", "0,16,21", "0,0,0", "7,5,9"};
    for (const char *selection : hiding) {
        sim = SimState{};
        write_settings(selection);
        sim_poll();
        EXPECT_EQ(sim.analog_kind, ANALOG_NONE) << selection;
        EXPECT_EQ(screen_text(30, 15, 20), std::string(20, ' ')) << selection;
        press("c+++");
        EXPECT_EQ(sim.analog_channel, 0) << selection;
        EXPECT_EQ(sim.analog_volts[0], 0.0f) << selection;
        EXPECT_EQ(ADDA, 0u) << selection;
        EXPECT_EQ(read_settings(), selection) << "the choice is kept as it was";
    }
}

TEST_F(AnalogBoard, KindsThatNameNoBoardLeaveTheirSlotsEmpty)
{
    write_settings("7,5,9");
    sim_poll();
    EXPECT_EQ(sim.input_kind, IN_NONE);
    PDR5 = 0x10;
    press("3 ");
    EXPECT_EQ(PDR5, 0x10);
    EXPECT_TRUE(matches_golden("frame_bare"));
}
