// The console operations, read back from the screen model.
#include "console/con.h"
#include "console/screen.h"
#include "tests/support/capture.h"

#include <gtest/gtest.h>

class Console : public ::testing::Test {
protected:
    void SetUp() override { capture_start(); }
};

TEST_F(Console, ColourQuadruplesCombineIntoTheConsoleAttribute)
{
    con_set_color(7, 8, 4, 8);
    EXPECT_EQ(screen.attr, 0xCF);
    con_set_color(0, 0, 7, 8);
    EXPECT_EQ(screen.attr, 0xF0);
    con_set_color(7, 8, 0, 0);
    EXPECT_EQ(screen.attr, 0x0F);
    con_set_color(6, 8, 6, 8);
    EXPECT_EQ(screen.attr, 0xEE) << "parts are ORed, so brightness never carries into another bit";
}

TEST_F(Console, PrintedTextKeepsTheAttributeInForceAndAdvancesTheCursor)
{
    con_set_color(0, 0, 3, 8);
    con_goto(5, 3);
    con_print("PDR%d", 5);
    EXPECT_EQ(screen_text(5, 3, 4), "PDR5");
    for (int x = 5; x < 9; ++x)
        EXPECT_EQ(scr_cell(x, 3).attr, 0xB0);
    EXPECT_EQ(screen.cursor_x, 9);
    EXPECT_EQ(screen.cursor_y, 3);
    con_print("!");
    EXPECT_EQ(screen_text(9, 3, 1), "!");
    EXPECT_EQ(scr_cell(9, 3).attr, 0xB0) << "nothing restores the attribute after a print";
}

TEST_F(Console, ClearBlanksEveryCellInLightGreyOnBlackAndHomesTheCursor)
{
    con_set_color(7, 8, 4, 8);
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        con_goto(0, y);
        con_print("%s", std::string(SCREEN_COLS, 'x').c_str());
    }
    con_clear();
    for (int y = 0; y < SCREEN_ROWS; ++y)
        for (int x = 0; x < SCREEN_COLS; ++x) {
            ASSERT_EQ(scr_cell(x, y).code, ' ') << x << "," << y;
            ASSERT_EQ(scr_cell(x, y).attr, 0x07) << x << "," << y;
        }
    EXPECT_EQ(screen.cursor_x, 0);
    EXPECT_EQ(screen.cursor_y, 0);
    con_print("a");
    EXPECT_EQ(scr_cell(0, 0).attr, 0x07) << "later text is light grey on black";
}

TEST_F(Console, CursorVisibilityIsIdempotent)
{
    con_cursor_hide();
    con_cursor_hide();
    EXPECT_FALSE(screen.cursor_visible);
    con_cursor_show();
    con_cursor_show();
    EXPECT_TRUE(screen.cursor_visible);
}

TEST_F(Console, GotoUsesTheLowSixteenBitsAndTextOutsideTheScreenIsDropped)
{
    con_goto(0x10000 + 3, 0x20000 + 2);
    EXPECT_EQ(screen.cursor_x, 3);
    EXPECT_EQ(screen.cursor_y, 2);
    con_goto(78, 4);
    con_print("ABCD");
    EXPECT_EQ(screen_text(78, 4, 2), "AB");
    EXPECT_EQ(screen_text(0, 5, 2), "  ") << "nothing wraps onto the next row";
    con_goto(-1, 6);
    con_print("XY");
    EXPECT_EQ(screen_text(0, 6, 1), "Y");
}

TEST_F(Console, ControlBytesTakeOneBlankCellAndNeverMoveTheCursorElsewhere)
{
    con_goto(10, 10);
    con_print("a\nb\tc");
    EXPECT_EQ(screen_text(10, 10, 5), "a b c");
    EXPECT_EQ(screen.cursor_y, 10);
}

struct BitsCase {
    int value, width;
    const char *shown;
};

class ShowBits : public Console, public ::testing::WithParamInterface<BitsCase> {};

TEST_P(ShowBits, PrintsHexThenBinaryDigitsMostSignificantFirst)
{
    const BitsCase &c = GetParam();
    con_goto(1, 11);
    show_bits(c.value, c.width);
    std::string expected = c.shown;
    EXPECT_EQ(screen_text(1, 11, (int)expected.size()), expected);
    EXPECT_EQ(screen.cursor_x, 1 + (int)expected.size());
}

INSTANTIATE_TEST_SUITE_P(Readouts, ShowBits,
                         ::testing::Values(BitsCase{0xA5, 8, "A5 (10100101)"},
                                           BitsCase{0xFFC0, 16, "FFC0 (1111111111000000)"},
                                           BitsCase{0, 8, "00 (00000000)"},
                                           BitsCase{0x80, 8, "80 (10000000)"},
                                           BitsCase{0x1980, 16, "1980 (0001100110000000)"},
                                           BitsCase{5, 4, "05 (0101)"}),
                         [](const auto &param_info) {
                             return "Value" + std::to_string(param_info.param.value) + "Width" +
                                    std::to_string(param_info.param.width);
                         });
