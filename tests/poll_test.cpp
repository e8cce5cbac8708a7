// One poll at a time: the first layout, the key table and the output
// refresh rule.
#include "board/sim_state.h"
#include "console/con.h"
#include "console/screen.h"
#include "console/term.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"

#include <cstdlib>

class Poll : public BoardTest {
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        sim_poll();  // the first layout
    }
    // Puts a board kind on screen, as its painter would.
    void show_input_kind(int kind) { sim.input_kind = kind; }
};

TEST_F(Poll, OutputKeySevenTimesCyclesThroughEveryOutputBoardAndBack)
{
    const int expected[] = {11, 12, 13, 14, 15, 16, 0};
    for (int kind : expected) {
        press("O");
        EXPECT_EQ(sim.selection.output, kind);
        EXPECT_EQ(read_settings(), "0," + std::to_string(kind) + ",0");
    }
}

TEST_F(Poll, InputAndAnalogKeysCycleInEitherCase)
{
    const int inputs[] = {1, 2, 3, 0};
    for (int kind : inputs) {
        press("i");
        EXPECT_EQ(sim.selection.input, kind);
    }
    press("V");
    EXPECT_EQ(sim.selection.analog, 21);
    press("v");
    EXPECT_EQ(sim.selection.analog, 0);
}

TEST_F(Poll, HandEditedValuesStepByTheSameRule)
{
    sim.selection = BoardSelection{-2, 5, 2147483647};
    press("IIIOOOOOOV");
    EXPECT_EQ(sim.selection.input, 1);
    EXPECT_EQ(sim.selection.output, 11);
    EXPECT_EQ(sim.selection.analog, 0) << "the top of int's range steps to 0, not past it";
    EXPECT_EQ(read_settings(), "1,11,0");
}

TEST_F(Poll, ASelectionKeyLaysTheWholeBoardOutAgain)
{
    con_set_color(7, 8, 4, 8);
    con_goto(5, 24);
    con_print("stray");
    press("V");
    EXPECT_EQ(screen_text(5, 24, 5), "     ");
    EXPECT_EQ(screen_text(36, 7, 8), "Ver 1.34");
}

TEST_F(Poll, ToggleSwitchDigitsFlipTheirBitOfPdr5)
{
    show_input_kind(IN_SWITCH);
    press("3");
    EXPECT_EQ(PDR5, 0x08);
    press("0");
    EXPECT_EQ(PDR5, 0x09);
    press("3");
    EXPECT_EQ(PDR5, 0x01);
    press("89");
    EXPECT_EQ(PDR5, 0x01) << "only bits 0-7 have keys";
}

TEST_F(Poll, PushSwitchDigitsFlipAndSpaceReleasesAll)
{
    show_input_kind(IN_PSHSWITCH);
    PDR5 = 0xFF;
    press("5");
    EXPECT_EQ(PDR5, 0xDF);
    press("5");
    EXPECT_EQ(PDR5, 0xFF);
    PDR5 = 0x00;
    press(" ");
    EXPECT_EQ(PDR5, 0xFF);
}

TEST_F(Poll, CoinBoardDigitIsAOnePollPulse)
{
    show_input_kind(IN_VMIN);
    press("2");
    EXPECT_EQ(PDR5, 0x04);
    sim_poll();
    EXPECT_EQ(PDR5, 0x00) << "the next poll without a key ends the pulse";

    con_feed_keys("23", 2);
    sim_poll();
    EXPECT_EQ(PDR5, 0x04);
    sim_poll();
    EXPECT_EQ(PDR5, 0x04) << "3 is read and dropped while the pulse of 2 is still on";
    sim_poll();
    EXPECT_EQ(PDR5, 0x00);
    press(" ");
    EXPECT_EQ(PDR5, 0x00) << "the take-out key changes no bit";
}

TEST_F(Poll, KeysOfBoardsNotOnScreenAreConsumedWithoutEffect)
{
    PDR5 = 0x10;
    unsigned long long before = term_bytes_written();
    press("3 +-Cxyz9\x1b");
    EXPECT_EQ(PDR5, 0x10);
    EXPECT_EQ(sim.analog_channel, 0);
    EXPECT_EQ(sim.analog_volts[0], 0.0f);
    EXPECT_EQ(term_bytes_written(), before) << "nothing is painted";
    EXPECT_FALSE(con_key_waiting());
}

TEST_F(Poll, VoltageKeysStepInSinglePrecisionAndClampExactly)
{
    sim.analog_kind = ANALOG_ON;
    press(std::string(10, '+'));
    EXPECT_EQ(sim.analog_volts[0], 1.0000001f);
    press(std::string(40, '+'));
    EXPECT_EQ(sim.analog_volts[0], 4.9999976f);
    press("+");
    EXPECT_EQ(sim.analog_volts[0], 5.0f);
    press("++");
    EXPECT_EQ(sim.analog_volts[0], 5.0f);
    press(std::string(50, '-'));
    EXPECT_GT(sim.analog_volts[0], 0.0f);
    EXPECT_LT(sim.analog_volts[0], 0.00001f);
    press("-");
    EXPECT_EQ(sim.analog_volts[0], 0.0f);
    press("-");
    EXPECT_EQ(sim.analog_volts[0], 0.0f);
}

TEST_F(Poll, ChannelKeySelectsAndShowsTheChannelNumber)
{
    sim.analog_kind = ANALOG_ON;
    press("c");
    EXPECT_EQ(sim.analog_channel, 2);
    EXPECT_EQ(screen_text(38, 21, 1), "2");
    EXPECT_EQ(scr_cell(38, 21).attr, 0xFC);
    press("+");
    EXPECT_GT(sim.analog_volts[2], 0.0f) << "voltage keys act on the chosen channel";
    EXPECT_EQ(sim.analog_volts[0], 0.0f);
}

TEST_F(Poll, HelpKeyPrintsTheDocumentationLine)
{
    press("h");
    std::string line = screen_text(3, 23, 60);
    EXPECT_NE(line.find("docs/board.md"), std::string::npos) << line;
    EXPECT_EQ(scr_cell(3, 23).attr, 0x0E);
    EXPECT_EQ(screen.attr, 0x0E);
}

TEST_F(Poll, QuitKeyEndsTheProcessWithStatusOne)
{
    EXPECT_EXIT(press("q"), ::testing::ExitedWithCode(1), "");
}

TEST_F(Poll, Pdr8ChangesAreTakenWithoutPaintingWhenNoOutputBoardIsShown)
{
    unsigned long long before = term_bytes_written();
    PDR8 = 0x3C;
    sim_poll();
    EXPECT_EQ(sim.last_pdr8, 0x3C);
    EXPECT_EQ(term_bytes_written(), before);
    press("I");
    EXPECT_EQ(sim.last_pdr8, 0x3C) << "a layout leaves last_pdr8 alone";
}

using FirstLcdOperation = BoardTest;

TEST_F(FirstLcdOperation, LaysTheBoardOutPaintsThePanelAndConsumesAWaitingKey)
{
    write_settings("0,0,0");
    con_feed_keys("O", 1);
    lcd_cursor_off();
    EXPECT_EQ(sim.layout_built, 1);
    EXPECT_EQ(sim.selection.output, 11) << "the waiting key was applied by the layout's poll";
    EXPECT_FALSE(con_key_waiting());
    EXPECT_EQ(screen_text(36, 7, 8), "Ver 1.34");
    EXPECT_EQ(scr_cell(59, 13).attr, 0x70) << "the panel is painted after the layout";
    EXPECT_EQ(scr_cell(61, 14).attr, 0xE0);
    EXPECT_FALSE(screen.cursor_visible);
}

TEST_F(FirstLcdOperation, ALayoutLaterBlanksTheLcdButKeepsItsCursor)
{
    lcd_puts("ABC");
    press("V");
    EXPECT_EQ(screen_text(61, 14, 3), "   ");
    lcd_putc('D');
    EXPECT_EQ(screen_text(61, 14, 4), "   D");
}
