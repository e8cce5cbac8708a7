// The switch boards and the analog board as the poll drives them: pictures
// per state, PDR5, the push-switch repaint rules, the A/D readings.
#include "board/layout.h"
#include "board/sim_state.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"

#include <tuple>

static constexpr ScreenRegion INPUT_AREA{0, 0, 22, 12};    // panel and PDR5 readout
static constexpr ScreenRegion ANALOG_AREA{30, 15, 48, 8};  // board and A/D readouts

static int lamps_painted()
{
    const std::string &output = captured(), lamp = utf8(u8"●");
    int count = 0;
    for (size_t at = output.find(lamp); at != std::string::npos; at = output.find(lamp, at + 1))
        ++count;
    return count;
}

using InputBoards = BoardTest;

TEST_F(InputBoards, SwitchDigitsFlipLeversAndTheLayoutLeavesPdr5Alone)
{
    write_settings("1,0,0");
    sim_poll();
    EXPECT_TRUE(matches_golden("switch_board_off", INPUT_AREA));
    press("703");
    press("389");
    EXPECT_EQ(PDR5, 0x81) << "only bits 0-7 have keys";
    EXPECT_TRUE(matches_golden("switch_board_bits_7_and_0", INPUT_AREA));
    press("VV");
    EXPECT_EQ(PDR5, 0x81) << "a layout paints the levers off but keeps the port";
}

// The first layout shows the eight lamps; a later one paints them all down
// and then all up, which the terminal, shown only the final picture, is not
// sent again. An unchanged image paints nothing, not even the readout.
// Digits latch keys down, space lets them all up.
TEST_F(InputBoards, PushSwitchesLatchKeysAndPaintOnlyChangedImages)
{
    write_settings("2,0,0");
    sim_poll();
    EXPECT_EQ(PDR5, 0xFF);
    EXPECT_EQ(lamps_painted(), 8);
    captured_reset();
    sim_layout(IN_PSHSWITCH, 0, 0);
    con_flush();
    EXPECT_EQ(lamps_painted(), 0);
    EXPECT_TRUE(matches_golden("pshswitch_board_all_up", INPUT_AREA));
    captured_reset();
    press(" ");
    EXPECT_EQ(captured(), "");
    press("0");
    EXPECT_EQ(PDR5, 0xFE);
    EXPECT_TRUE(matches_golden("pshswitch_board_key_0_down", INPUT_AREA));
    press("057");
    EXPECT_EQ(PDR5, 0x5F);
    press(" ");
    EXPECT_EQ(PDR5, 0xFF);
    EXPECT_TRUE(matches_golden("pshswitch_board_all_up", INPUT_AREA));
}

// Errors build up in single precision and the conversion truncates; the
// readout rounds to tenths all the same.
TEST_F(InputBoards, PressesOfPlusGiveTheAnalogReadingsToTheBit)
{
    const struct {
        int presses;
        const char *shown, *readout;
    } table[] = {{0, "0.0", "0000 (0000000000000000)"},  {1, "0.1", "0500 (0000010100000000)"},
                 {10, "1.0", "3300 (0011001100000000)"}, {25, "2.5", "7FC0 (0111111111000000)"},
                 {50, "5.0", "FF80 (1111111110000000)"}, {51, "5.0", "FFC0 (1111111111000000)"},
                 {60, "5.0", "FFC0 (1111111111000000)"}};
    write_settings("0,0,21");
    sim_poll();
    EXPECT_TRUE(matches_golden("analog_board_rest", ANALOG_AREA));
    int pressed = 0;
    for (const auto &row : table) {
        press(std::string((size_t)(row.presses - pressed), '+'));
        pressed = row.presses;
        EXPECT_EQ(screen_text(35, 17, 3) + " " + screen_text(55, 19, 23), row.shown + std::string(" ") + row.readout);
        EXPECT_EQ(ADDA, wena_registers.ad_mirror[0]);
        EXPECT_EQ(ADDA, (uint32_t)std::stoul(row.readout, nullptr, 16)) << row.presses << " presses";
    }
    press(std::string(50, '-'));
    EXPECT_EQ(ADDA, 0u) << "a few millionths of a volt read 0";
    press("--");
    EXPECT_EQ(screen_text(35, 17, 3) + " " + screen_text(55, 19, 23), "0.0 0000 (0000000000000000)")
        << "the voltage stops at 0";
}

TEST_F(InputBoards, ALetterChoosesTheChannelAndALayoutKeepsChannelAndVoltages)
{
    write_settings("0,0,21");
    sim_poll();
    press("c+");
    EXPECT_EQ(ADDC, 0x0500u);
    EXPECT_TRUE(matches_golden("analog_board_channel_c_up", ANALOG_AREA));
    press("d++++VV");
    EXPECT_EQ(screen_text(38, 21, 1), "3");
    EXPECT_EQ(screen_text(40, 17, 8) + screen_text(40, 19, 8), "CH2C0.1vCH3D0.4v");
    ADDD = 0;
    press("VV");
    EXPECT_EQ(ADDD, 0x1440u) << "the registers are converted again at each layout";
}

// The analog board shares its place with the vending machine's status panel.
TEST_F(InputBoards, AnalogBoardHiddenBesideAVendingBoardOrUnchosenIsDeafToItsKeys)
{
    // Beside a vending board its place holds the machine's status panel.
    const struct {
        const char *selection, *picture;
        ScreenRegion region;
    } cases[] = {{"3,0,21", "vmstat_panel", {30, 15, 20, 8}},
                 {"0,16,21", "vmstat_panel", {30, 15, 20, 8}},
                 {"0,0,0", "frame_bare", WHOLE_SCREEN},
                 {"7,5,9", "frame_bare", WHOLE_SCREEN}};
    for (const auto &[selection, picture, region] : cases) {
        sim = SimState{};
        write_settings(selection);
        sim_poll();
        EXPECT_EQ(sim.analog_kind, ANALOG_NONE) << selection;
        EXPECT_TRUE(matches_golden(picture, region)) << selection;
        press("c+++");
        EXPECT_EQ(std::make_tuple(sim.analog_channel, sim.analog_volts[0], ADDA), std::make_tuple(0, 0.0f, 0u)) << selection;
        EXPECT_EQ(read_settings(), selection);
    }
}
