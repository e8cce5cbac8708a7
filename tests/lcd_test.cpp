// The LCD as it lands on the console: the panel, the LCD cursor, what a full
// line does, the colours text is written in and the colour left behind.
#include "board/sim_state.h"
#include "console/con.h"
#include "console/screen.h"
#include "lcd/lcd.h"
#include "tests/support/board_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"
#include "tests/support/cp932_text.h"

#include <functional>
#include <vector>

namespace {

enum { ATTR_LCD = 0xE0, ATTR_AFTER_PUTC = 0x0F };
using Cell = std::pair<int, int>;

// The board counts as laid out, so only the LCD draws; its panel is not yet shown.
class Lcd : public ::testing::Test {
protected:
    void SetUp() override
    {
        capture_start();
        sim = SimState{};
        wena_registers = PortRegisters{};
        sim.layout_built = 1;
    }
    static std::string line(int row) { return screen_text(LCD_X, LCD_Y + row, 16); }
    // Each page drawn on a fresh LCD, as the text and colours of its 16x2
    // cells at the next poll.
    static std::string pages(const std::vector<std::function<void()>> &draws)
    {
        std::string seen;
        for (const auto &draw : draws) {
            lcd_clear();
            draw();
            sim_poll();
            seen += render_region({LCD_X, LCD_Y, LCD_COLS, LCD_ROWS});
        }
        return seen;
    }
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

namespace {

// Text in the encoding of the build under test: the same bytes in both, or
// a UTF-8 form and its code page 932 bytes.
int build;
void put(const char *bytes, const char *cp932_bytes = nullptr)
{
    wena_lcd_puts(build == WENA_CP932 && cp932_bytes ? cp932_bytes : bytes, build);
}
void put_each(const char *bytes)
{
    for (; *bytes != '\0'; ++bytes)
        wena_lcd_putc(*bytes, build);
}

}  // namespace

// Byte codes, whole strings and lcd_putc byte by byte, beside the UTF-8
// characters the LCD has and next to them the forms it lacks ("\xC3\xBD"
// is also "ý"; "漢", "😀" and "！" are bytes too); then a yen sign's first byte
// left waiting by each other LCD call and by a poll. A UTF-8 build shows
// what a code page 932 build shows.
TEST_F(Lcd, ByteCodesShowAsInACodePage932Build)
{
    const char *degrees = "\xBD\xC0\xB0\xC4 25\xDF" "C \xC3\xBD";
    const std::vector<std::function<void()>> draws = {
        [&] {
            put(degrees);
            lcd_goto(0, 1);
            put_each(degrees);
        },
        [] {
            put("ｽﾀ\xC2\xA4\xEF\xBD\xA0\xEF\xBE\xA0｡ﾟ¥é",
                "\xBD\xC0\xC2\xA4\xEF\xBD\xA0\xEF\xBE\xA0\xA1\xDF\x5C\xC3\xA9");
            lcd_goto(0, 1);
            put_each("漢😀！\x80\xC2");
            put_each("\xEF\xBE");
        },
        [] {
            put_each("\xC2");
            lcd_clear();
            put_each("\xA5\xC2" "C\xC2");
            lcd_cursor_off();
            put_each("\xA5\xC2");
            lcd_cursor_on();
            put_each("\xA5\xC2");
            lcd_putdec(7);
            put_each("\xA5\xC2");
            wena_lcd_putc('\xB1', WENA_CP932);
            put_each("\xC2");
            sim_poll();
            put_each("\xA5\xC2");
            lcd_goto(0, 1);
            put_each("\xA5" "ab\xC2");
            wena_lcd_putc('\0', build);
            put_each("x\xC2");
        },
    };
    build = WENA_UTF8;
    std::string utf8_pages = pages(draws);
    EXPECT_TRUE(matches_golden_text("lcd_byte_codes", utf8_pages));
    build = WENA_CP932;
    EXPECT_EQ(pages(draws), utf8_pages);
}

// The yen sign and katakana written in UTF-8 are one cell each, also when
// their bytes come over several calls, and a lead byte that the next byte
// does not continue shows as itself before the next byte starts afresh.
TEST_F(Lcd, Utf8CharactersOfTheLcdMayComeOverSeveralCalls)
{
    wena_lcd_puts("ｽﾀｰﾄ¥é", WENA_UTF8);
    wena_lcd_puts("\xEF\xBD", WENA_UTF8);
    wena_lcd_puts("\xB1", WENA_UTF8);
    for (const char *p = "\xC2\xC2\xA5\xEF\xBE\x80"; *p != '\0'; ++p)
        wena_lcd_putc(*p, WENA_UTF8);
    lcd_goto(0, 1);
    wena_lcd_putc('\xEF', WENA_UTF8);
    wena_lcd_puts("\xBE\x9F\xEF\xBD", WENA_UTF8);
    wena_lcd_puts("\xA1\xC2", WENA_UTF8);
    wena_lcd_putc('\xA5', WENA_UTF8);
    EXPECT_TRUE(matches_golden("lcd_utf8_over_several_calls", {LCD_X, LCD_Y, LCD_COLS, LCD_ROWS}));
}

using FirstLcdCall = BoardTest;

// Like any first LCD call, also when its byte only begins a character.
TEST_F(FirstLcdCall, LaysTheBoardOutAndPaintsThePanelWhileItsByteWaits)
{
    wena_lcd_putc('\xEF', WENA_UTF8);
    EXPECT_EQ(screen_text(36, 7, 8), "Ver 1.34");
    EXPECT_EQ(scr_cell(59, 13).attr, 0x70);
}
