// The LCD as it lands on the console: the panel, the LCD cursor, what a full
// line does, the colours text is written in and the colour left behind.
#include "board/sim_state.h"
#include "console/con.h"
#include "console/screen.h"
#include "lcd/lcd.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"
#include "tests/support/cp932_text.h"

namespace {

enum { ATTR_LCD = 0xE0, ATTR_AFTER_PUTC = 0x0F };
using Cell = std::pair<int, int>;

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
        sim.lcd_utf8_have = 0;
    }
    static std::string line(int row) { return screen_text(LCD_X, LCD_Y + row, 16); }
};

}  // namespace

// The grey bezel, the yellow text area and the blank cells around the panel,
// with numbers, a kanji over two cells, and half-width katakana that fill
// line 0: what does not fit is dropped, nothing wraps onto the bezel.
TEST_F(Lcd, PanelNumbersAndWideCharactersWithoutWrapping)
{
    lcd_cursor_on();
    EXPECT_EQ(sim.lcd_panel_shown, 1);
    lcd_goto(2, 1);
    lcd_putdec(-45);
    lcd_putc(' ');
    lcd_puthex(943, 4);
    wena_lcd_puts(cp932("能a").c_str(), WENA_CP932);
    EXPECT_EQ(sim.lcd_col, 13);
    lcd_goto(0, 0);
    lcd_putfix(3.14159f, 3, 2);
    lcd_putbin(5, 4);
    lcd_puts(nullptr);
    EXPECT_EQ(sim.lcd_col, 10) << "a null text writes nothing";
    lcd_puts("ｹﾞｰﾑｵｰﾊﾞｰ!");
    EXPECT_EQ(sim.lcd_col, 16);
    EXPECT_TRUE(matches_golden("lcd_panel_text", {58, 12, 22, 6}));
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
    const int cases[][4] = {{5, 1, 5, 1}, {15, 0, 15, 0}, {16, 1, 0, 1}, {20, 1, 0, 1},
                            {5, 2, 5, 0}, {-1, 0, 0, 0},  {3, -1, 3, 0}};
    for (const auto &c : cases) {
        lcd_goto(c[0], c[1]);
        EXPECT_EQ(std::make_pair(sim.lcd_col, sim.lcd_row), std::make_pair(c[2], c[3])) << c[0] << "," << c[1];
        EXPECT_EQ(std::make_pair(screen.cursor_x, screen.cursor_y), (Cell(LCD_X + c[2], LCD_Y + c[3])));
    }
    EXPECT_EQ(screen.attr, ATTR_AFTER_PUTC) << "the colour in force is kept";
}

// Byte zero goes back to column 0 of the same line and prints nothing; every
// putc, that one and one on a full line too, leaves bright white on black.
TEST_F(Lcd, ByteZeroReturnsToColumnZeroAndEveryPutcLeavesBrightWhite)
{
    lcd_goto(4, 1);
    lcd_puts("abc");
    int x = screen.cursor_x, y = screen.cursor_y;
    con_set_color(0, 0, 4, 0);
    lcd_putc('\0');
    EXPECT_EQ(std::make_pair(sim.lcd_col, sim.lcd_row), std::make_pair(0, 1));
    EXPECT_EQ(std::make_pair(screen.cursor_x, screen.cursor_y), std::make_pair(x, y)) << "the console cursor stays";
    EXPECT_EQ(screen.attr, ATTR_AFTER_PUTC);
    lcd_putc('Z');
    EXPECT_EQ(line(1), "Z   abc         ");
    EXPECT_EQ(scr_cell(LCD_X, LCD_Y + 1).attr, ATTR_LCD);
    lcd_goto(15, 0);
    lcd_puts("yz");
    con_set_color(0, 0, 4, 0);
    lcd_putc('!');
    EXPECT_EQ(screen.attr, ATTR_AFTER_PUTC) << "also when the line is full";
}

TEST_F(Lcd, ClearBlanksBothLinesAndHomesTheCursor)
{
    lcd_puts("upper");
    lcd_goto(9, 1);
    lcd_puts("lower");
    lcd_clear();
    EXPECT_EQ(line(0) + line(1), std::string(32, ' '));
    EXPECT_EQ(screen.attr, ATTR_LCD);
    EXPECT_EQ(std::make_pair(screen.cursor_x, screen.cursor_y), (Cell(LCD_X, LCD_Y)));
    lcd_putc('N');
    EXPECT_EQ(line(0), "N" + std::string(15, ' '));
}

// UTF-8 text: a katakana and the yen sign take one cell each; a character
// the LCD has no code for, and every ill-formed piece (a stray continuation,
// an overlong form, a surrogate, a cut-off end), show as one '?' each.
// Byte by byte, lcd_putc shows the same; a character cut short by the next
// one shows '?' and the next one still shows.
TEST_F(Lcd, Utf8TakesOneCellPerCharacterAndShowsTheRestAsReplacements)
{
    wena_lcd_puts("ｽﾀｰﾄ¥é漢😀", WENA_UTF8);
    wena_lcd_puts("\x80" "\xC0\xAF" "\xED\xA0\x80" "\xE3\x81", WENA_UTF8);
    EXPECT_EQ(line(0), utf8(u8"ｽﾀｰﾄ¥") + std::string(3 + 7, '?') + " ");
    lcd_goto(0, 1);
    for (const char *p = "ｹﾞｰﾑ\xEF\xBD" "Aé"; *p != '\0'; ++p)
        wena_lcd_putc(*p, WENA_UTF8);
    EXPECT_EQ(line(1), utf8(u8"ｹﾞｰﾑ") + "?A?" + std::string(9, ' '));
    EXPECT_EQ(sim.lcd_col, 7);
}
