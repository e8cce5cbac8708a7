// One poll at a time: the first layout, the key table and the output
// refresh rule.
#include "board/sim_state.h"
#include "console/con.h"
#include "console/screen.h"
#include "console/term.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <tuple>

class Poll : public BoardTest {
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        sim_poll();  // the first layout
    }
};

// Seven presses of O go through every output board and back; each choice is saved.
TEST_F(Poll, SelectionKeysCycleInEitherCase)
{
    std::string saved;
    for (char key : std::string("OoOoOoOiIiIVv")) {
        press(std::string(1, key));
        saved += read_settings() + " ";
    }
    EXPECT_EQ(saved, "0,11,0 0,12,0 0,13,0 0,14,0 0,15,0 0,16,0 0,0,0 1,0,0 2,0,0 3,0,0 0,0,0 0,0,21 0,0,0 ");
}

// A hand-edited number with no board steps by the rule of the kinds: one up,
// past the last board to 0, and 0 to the first board. The top of int's range
// is past every cycle; its bottom steps up like any number.
TEST_F(Poll, HandEditedValuesStepByTheSameRuleAsTheKinds)
{
    const int lowest = INT_MIN, highest = INT_MAX;
    const struct {
        char key;
        int from;
        const char *steps;
    } cases[] = {{'O', 5, "6 7 8 9 10 11 12 "}, {'I', -2, "-1 0 1 "},  {'V', 2, "3 "},
                 {'V', 19, "20 21 0 21 "},       {'I', 4, "0 "},         {'O', 17, "0 "},
                 {'V', 22, "0 "},                {'I', highest, "0 "},   {'O', highest, "0 "},
                 {'V', highest, "0 "},           {'I', lowest, "-2147483647 "}, {'O', lowest, "-2147483647 "},
                 {'V', lowest, "-2147483647 -2147483646 "}};
    for (const auto &c : cases) {
        int &slot = c.key == 'I' ? sim.selection.input : c.key == 'O' ? sim.selection.output : sim.selection.analog;
        sim.selection = BoardSelection{};
        slot = c.from;
        std::string seen;
        for (size_t n = std::count(c.steps, c.steps + strlen(c.steps), ' '); n > 0; --n) {
            press(std::string(1, c.key));
            seen += std::to_string(slot) + " ";
        }
        EXPECT_EQ(seen, c.steps) << c.key << " from " << c.from;
    }
}

// 7,5,2 in the file then I, O and V: 0, 6 and 3, none of them a board, saved.
TEST_F(BoardTest, HandEditedValuesStepOnToNumbersThatShowNoBoardAndAreSaved)
{
    write_settings("7,5,2");
    press("IOV");
    EXPECT_EQ(read_settings(), "0,6,3");
    EXPECT_EQ(std::tie(sim.input_kind, sim.output_kind, sim.analog_kind), std::make_tuple(0, 0, 0));
    EXPECT_TRUE(matches_golden("frame_bare"));
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

TEST_F(Poll, KeysOfBoardsNotOnScreenAreConsumedWithoutEffect)
{
    PDR5 = 0x10;
    unsigned long long before = term_bytes_written();
    press("3 +-Cxyz9\x1b");
    EXPECT_EQ(std::make_tuple(PDR5, sim.analog_channel, sim.analog_volts[0]), std::make_tuple(0x10, 0, 0.0f));
    EXPECT_EQ(term_bytes_written(), before) << "nothing is painted";
    EXPECT_FALSE(con_key_waiting());
}

TEST_F(Poll, HelpKeyPrintsTheDocumentationLine)
{
    press("h");
    std::string line = screen_text(3, 23, 60);
    EXPECT_EQ(line.rfind("Help: ", 0), 0u) << line;
    EXPECT_NE(line.find("board.md"), std::string::npos) << line;
    EXPECT_EQ(scr_cell(3, 23).attr, 0x0E);
    EXPECT_EQ(screen.attr, 0x0E);
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

// A program that starts with the LCD polls there for the first time: the
// waiting O plugs the LEDs in, and they show the PDR8 written before.
TEST_F(FirstLcdOperation, IsTheWholeFirstPollWithItsKeyAndOutputRefresh)
{
    write_settings("0,0,0");
    con_feed_keys("Oq", 2);
    PDR8 = 0x55;
    lcd_cursor_off();
    EXPECT_EQ(read_settings(), "0,11,0");
    EXPECT_EQ(con_read_key(), 'q') << "one key, as at any poll";
    EXPECT_FALSE(screen.cursor_visible);
    EXPECT_TRUE(matches_golden("first_lcd_call_polls", {59, 1, 20, 16}));
}

TEST_F(FirstLcdOperation, ALayoutLaterBlanksTheLcdButKeepsItsCursor)
{
    lcd_puts("ABC");
    press("V");
    EXPECT_EQ(screen_text(61, 14, 3), "   ");
    lcd_putc('D');
    EXPECT_EQ(screen_text(61, 14, 4), "   D");
}
