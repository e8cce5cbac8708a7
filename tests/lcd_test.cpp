// The LCD as it lands on the console: the panel, the LCD cursor, what a full
// line does, the colours text is written in and the colour left behind.
#include "board/sim_state.h"
#include "console/con.h"
#include "console/screen.h"
#include "lcd/lcd.h"
#include "tests/support/capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum { ATTR_LCD = 0xE0, ATTR_BEZEL = 0x70, ATTR_AFTER_PUTC = 0x0F };

// The board counts as laid out, so only the LCD draws; its panel is not yet shown.
class Lcd : public ::testing::Test {
protected:
    void SetUp() override
    {
        capture_start();
        sim.layout_built = 1;
        sim.lcd_panel_shown = 0;
        sim.lcd_col = 0;
        sim.lcd_row = 0;
    }

    static std::string line(int row) { return screen_text(LCD_X, LCD_Y + row, 16); }
};

const std::string blank_line(16, ' ');

}  // namespace

TEST_F(Lcd, PanelIsAGreyBezelAroundAYellowCharacterArea)
{
    lcd_cursor_on();
    EXPECT_EQ(sim.lcd_panel_shown, 1);
    for (int y = 13; y <= 16; ++y)
        for (int x = 59; x <= 78; ++x) {
            bool text_area = y >= 14 && y <= 15 && x >= 61 && x <= 76;
            ASSERT_EQ(scr_cell(x, y).code, ' ') << x << "," << y;
            ASSERT_EQ(scr_cell(x, y).attr, text_area ? ATTR_LCD : ATTR_BEZEL) << x << "," << y;
        }
    EXPECT_EQ(scr_cell(58, 14).attr, ATTR_CLEARED);
    EXPECT_EQ(scr_cell(79, 14).attr, ATTR_CLEARED);
    EXPECT_EQ(scr_cell(59, 12).attr, ATTR_CLEARED);
    EXPECT_EQ(scr_cell(59, 17).attr, ATTR_CLEARED);
}

TEST_F(Lcd, PaintingThePanelLeavesTheLcdCursorAndTheTextColour)
{
    sim.lcd_col = 7;
    sim.lcd_row = 1;
    lcd_paint_panel();
    EXPECT_EQ(sim.lcd_col, 7);
    EXPECT_EQ(sim.lcd_row, 1);
    EXPECT_EQ(screen.attr, ATTR_LCD);
}

TEST_F(Lcd, GotoResetsOutOfRangeValuesToZeroAndPlacesTheConsoleCursor)
{
    lcd_putc('x');
    struct Case {
        int col, row, want_col, want_row;
    } cases[] = {{5, 1, 5, 1}, {15, 0, 15, 0}, {16, 1, 0, 1}, {20, 1, 0, 1},
                 {5, 2, 5, 0}, {-1, 0, 0, 0},  {3, -1, 3, 0}};
    for (const Case &c : cases) {
        lcd_goto(c.col, c.row);
        EXPECT_EQ(sim.lcd_col, c.want_col) << c.col << "," << c.row;
        EXPECT_EQ(sim.lcd_row, c.want_row) << c.col << "," << c.row;
        EXPECT_EQ(screen.cursor_x, LCD_X + c.want_col) << c.col << "," << c.row;
        EXPECT_EQ(screen.cursor_y, LCD_Y + c.want_row) << c.col << "," << c.row;
    }
    EXPECT_EQ(screen.attr, ATTR_AFTER_PUTC) << "the colour in force is kept";
}

TEST_F(Lcd, AFullLineDropsFurtherCharactersWithoutWrapping)
{
    lcd_goto(0, 0);
    lcd_puts("0123456789ABCDEFG");
    EXPECT_EQ(line(0), "0123456789ABCDEF");
    EXPECT_EQ(line(1), blank_line);
    EXPECT_EQ(sim.lcd_col, 16);
    EXPECT_EQ(scr_cell(LCD_X + 16, LCD_Y).attr, ATTR_BEZEL) << "the bezel beside the line is untouched";
}

TEST_F(Lcd, ByteZeroReturnsToColumnZeroOfTheSameLineAndPrintsNothing)
{
    lcd_goto(4, 1);
    lcd_puts("abc");
    int x = screen.cursor_x, y = screen.cursor_y;
    lcd_putc('\0');
    EXPECT_EQ(sim.lcd_col, 0);
    EXPECT_EQ(sim.lcd_row, 1);
    EXPECT_EQ(screen.cursor_x, x) << "the console cursor stays";
    EXPECT_EQ(screen.cursor_y, y);
    EXPECT_EQ(line(1), "    abc         ");
    lcd_putc('Z');
    EXPECT_EQ(line(1), "Z   abc         ");
}

TEST_F(Lcd, EveryPutcLeavesBrightWhiteOnBlackInForce)
{
    lcd_putc('a');
    EXPECT_EQ(screen.attr, ATTR_AFTER_PUTC);
    EXPECT_EQ(scr_cell(LCD_X, LCD_Y).attr, ATTR_LCD);
    con_set_color(0, 0, 4, 0);
    lcd_putc('\0');
    EXPECT_EQ(screen.attr, ATTR_AFTER_PUTC);
    lcd_goto(15, 0);
    lcd_puts("yz");
    con_set_color(0, 0, 4, 0);
    lcd_putc('!');
    EXPECT_EQ(screen.attr, ATTR_AFTER_PUTC) << "also when the line is full";
}

TEST_F(Lcd, NumbersShowAtTheCursorInTheLcdColours)
{
    lcd_goto(2, 1);
    lcd_putdec(-45);
    lcd_putc(' ');
    lcd_puthex(943, 4);
    lcd_goto(0, 0);
    lcd_putfix(3.14159f, 3, 2);
    lcd_putbin(5, 4);
    EXPECT_EQ(line(0), "  3.140101      ");
    EXPECT_EQ(line(1), "  -45 03AF      ");
    for (int x = LCD_X; x < LCD_X + 10; ++x) {
        EXPECT_EQ(scr_cell(x, LCD_Y).attr, ATTR_LCD) << x;
        EXPECT_EQ(scr_cell(x, LCD_Y + 1).attr, ATTR_LCD) << x;
    }
    EXPECT_EQ(sim.lcd_col, 10);
}

TEST_F(Lcd, ClearBlanksBothLinesAndHomesTheCursor)
{
    lcd_goto(0, 0);
    lcd_puts("upper");
    lcd_goto(9, 1);
    lcd_puts("lower");
    lcd_clear();
    EXPECT_EQ(line(0), blank_line);
    EXPECT_EQ(line(1), blank_line);
    EXPECT_EQ(screen.attr, ATTR_LCD);
    EXPECT_EQ(screen.cursor_x, LCD_X);
    EXPECT_EQ(screen.cursor_y, LCD_Y);
    EXPECT_EQ(sim.lcd_col, 0);
    EXPECT_EQ(sim.lcd_row, 0);
    lcd_putc('N');
    EXPECT_EQ(line(0), "N" + std::string(15, ' '));
}

TEST_F(Lcd, HalfWidthKatakanaTakeOneCellAByte)
{
    lcd_puts("ｹﾞｰﾑｵｰﾊﾞｰ!");
    EXPECT_EQ(screen_text(LCD_X, LCD_Y, 10), utf8(u8"ｹﾞｰﾑｵｰﾊﾞｰ!"));
    EXPECT_EQ(sim.lcd_col, 10);
}

TEST_F(Lcd, AKanjiIsOneWideCharacterOverTwoCells)
{
    lcd_goto(6, 1);
    lcd_puts("能a");
    EXPECT_EQ(scr_cell(LCD_X + 6, LCD_Y + 1).kind, CELL_WIDE_LEFT);
    EXPECT_EQ(scr_cell(LCD_X + 7, LCD_Y + 1).kind, CELL_WIDE_RIGHT);
    EXPECT_EQ(screen_text(LCD_X + 6, LCD_Y + 1, 3), utf8(u8"能a"));
    EXPECT_EQ(sim.lcd_col, 9);
}

TEST_F(Lcd, ANullTextWritesNothing)
{
    lcd_goto(3, 0);
    lcd_puts(nullptr);
    EXPECT_EQ(sim.lcd_col, 3);
    EXPECT_EQ(line(0), blank_line);
}
