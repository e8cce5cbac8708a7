// Screen dumps written to files: the text and the LCD against the screen
// model, the HTML page as one whole picture.
#include "scenario/dump.h"

#include "console/con.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"
#include "tests/support/temp_dir.h"
#include "tests/support/cp932_text.h"

#include <cstring>
#include <filesystem>

class Dump : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        capture_start();
    }
};

// Colours, wide and half-width characters, the yen byte and markup, with
// wide characters in the first and last columns; the LCD line 0 has text
// just outside it on both sides.
static void paint_picture()
{
    const struct {
        int x, y, fg, fg_bright, bg, bg_bright;
        const char *text;
    } texts[] = {{0, 0, 7, 8, 4, 0, "漢字"},           {3, 2, 6, 8, 1, 0, "簡易シミュレータ"},
                 {10, 4, 7, 8, 0, 0, "ｽﾀｰﾄ"},          {5, 6, 7, 0, 0, 0, "A●B"},
                 {0, 10, 2, 0, 0, 0, "\\100"},         {20, 12, 0, 0, 7, 0, "<a href=\"x\">&</a>"},
                 {60, 14, 0, 0, 6, 8, "Xｽﾀｰﾄ : SW3"},  {77, 14, 0, 0, 6, 8, "Y"},
                 {61, 15, 0, 0, 6, 8, "  \\1 0"},      {78, 24, 4, 8, 7, 8, "●"}};
    for (const auto &t : texts) {
        con_set_color(t.fg, t.fg_bright, t.bg, t.bg_bright);
        con_goto(t.x, t.y);
        con_print("%s", cp932(t.text).c_str());
    }
}

// The text as the length and the terminating NUL both tell it.
static std::string lcd_line(int line)
{
    char out[LCD_LINE_UTF8_MAX];
    memset(out, 'Z', sizeof out);
    int n = dump_lcd_line(line, out);
    if (n < 0 || n >= LCD_LINE_UTF8_MAX || out[n] != '\0' || strlen(out) != (size_t)n)
        return "(length " + std::to_string(n) + " without its NUL)";
    return std::string(out, (size_t)n);
}

TEST_F(Dump, TextHtmlAndLcdHoldThePicture)
{
    paint_picture();
    ASSERT_TRUE(dump_text(file("screen.txt").c_str()));
    // "●" takes two columns of the board but one in a terminal or an editor:
    // a blank after it keeps the columns that follow where the board has them.
    std::string model, narrow_glyph = utf8(u8"●");
    for (int y = 0; y < 25; ++y) {
        std::string row = screen_text(0, y, 80);
        for (size_t at = row.find(narrow_glyph); at != std::string::npos; at = row.find(narrow_glyph, at + 1))
            row.insert(at + narrow_glyph.size(), " ");
        model += row + "\n";
    }
    EXPECT_EQ(read("screen.txt"), model);
    EXPECT_NE(model.find(utf8(u8"¥100")), std::string::npos);

    ASSERT_TRUE(dump_html(file("screen.html").c_str()));
    EXPECT_TRUE(matches_golden_text("dump_html", read("screen.html")));

    ASSERT_TRUE(dump_lcd(file("lcd.txt").c_str()));
    EXPECT_EQ(read("lcd.txt"), utf8(u8"ｽﾀｰﾄ : SW3      \n  ¥1 0          \n"));
    EXPECT_EQ(lcd_line(0), utf8(u8"ｽﾀｰﾄ : SW3"));
    EXPECT_EQ(lcd_line(1), utf8(u8"  ¥1 0")) << "only trailing blanks are dropped";
}

TEST_F(Dump, LcdLineIsEmptyWhenBlankOrOutsideTheTwoLines)
{
    con_goto(61, 13);
    con_print("above");
    con_goto(61, 16);
    con_print("below");
    for (int line : {1, 2, -1})
        EXPECT_EQ(lcd_line(line), "") << "line " << line;
}

TEST_F(Dump, AFileThatCannotBeWrittenFailsAndLeavesNothingBehind)
{
    std::filesystem::create_directory(file("taken"));  // a file cannot take a directory's place
    for (std::string path : {file("missing/screen"), file("taken")}) {
        EXPECT_FALSE(dump_text(path.c_str())) << path;
        EXPECT_FALSE(dump_html(path.c_str())) << path;
        EXPECT_FALSE(dump_lcd(path.c_str())) << path;
    }
    EXPECT_EQ(run_output("ls -A " + shell_quote(dir)), "taken\n");
    EXPECT_TRUE(std::filesystem::is_empty(file("taken")));
}
