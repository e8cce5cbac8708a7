// Screen dumps read back from their files and held against the screen model.
#include "scenario/dump.h"

#include "console/con.h"
#include "console/screen.h"
#include "tests/support/capture.h"
#include "tests/support/seen_screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

class Dump : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        capture_start();
        char tmpl[] = "/tmp/wena-dump-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> files()
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

static std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

static std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Colours, wide and half-width characters, the yen byte and markup, with
// wide characters in the first and last columns.
static void paint_picture()
{
    con_set_color(7, 8, 4, 0);
    con_print("漢字");                 // 0x4F at 0..3 of row 0
    con_goto(3, 2);
    con_set_color(6, 8, 1, 0);
    con_print("簡易シミュレータ");     // 0x1E
    con_goto(10, 4);
    con_set_color(7, 8, 0, 0);
    con_print("ｽﾀｰﾄ");                 // 0x0F
    con_goto(5, 6);
    con_set_color(7, 0, 0, 0);
    con_print("A●B");                  // 0x07, like the blanks around it
    con_goto(0, 10);
    con_set_color(2, 0, 0, 0);
    con_print("\\100");                // 0x02
    con_goto(20, 12);
    con_set_color(0, 0, 7, 0);
    con_print("<a href=\"x\">&</a>");  // 0x70
    con_goto(78, 24);
    con_set_color(4, 8, 7, 8);
    con_print("●");                    // 0xFC
}

static std::string spaces(int n) { return std::string((size_t)n, ' '); }

// ---- Text ----

TEST_F(Dump, TextHoldsEveryRowAsEightyColumns)
{
    paint_picture();
    std::string path = dir + "/screen.txt";
    ASSERT_TRUE(dump_text(path.c_str()));
    std::string text = read_file(path);
    ASSERT_EQ(text.back(), '\n');
    std::vector<std::string> lines = lines_of(text);
    ASSERT_EQ(lines.size(), 25u);
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        EXPECT_EQ(lines[y], screen_text(0, y, SCREEN_COLS)) << "row " << y;
        EXPECT_EQ(cp932_columns(lines[y]), 80) << "row " << y;
    }
    EXPECT_EQ(lines[0], utf8(u8"漢字") + spaces(76));
    EXPECT_EQ(lines[2], spaces(3) + utf8(u8"簡易シミュレータ") + spaces(61));
    EXPECT_EQ(lines[4], spaces(10) + utf8(u8"ｽﾀｰﾄ") + spaces(66));
    EXPECT_EQ(lines[10], utf8(u8"¥100") + spaces(76));
    EXPECT_EQ(lines[24], spaces(78) + utf8(u8"●"));
    EXPECT_EQ(lines[23], spaces(80));
}

// ---- HTML ----

struct Span {
    int fg, bg, columns;
    std::string text;  // unescaped
};

static std::string unescape(std::string s)
{
    const char *const entities[][2] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
    for (const auto &e : entities)
        for (size_t at; (at = s.find(e[0])) != std::string::npos;)
            s.replace(at, strlen(e[0]), e[1]);
    return s;
}

// The inside of each row's <div>, in order.
static std::vector<std::string> html_rows(const std::string &page)
{
    static const std::regex row("<div>(.*?)</div>");
    std::vector<std::string> rows;
    for (std::sregex_iterator it(page.begin(), page.end(), row), end; it != end; ++it)
        rows.push_back((*it)[1]);
    return rows;
}

static const std::regex span_pattern(R"re(<span class="f([0-9a-f]) b([0-9a-f])" style="width:(\d+)ch">([^<]*)</span>)re");

static std::vector<Span> spans_of(const std::string &row)
{
    std::vector<Span> spans;
    for (std::sregex_iterator it(row.begin(), row.end(), span_pattern), end; it != end; ++it)
        spans.push_back({std::stoi((*it)[1], nullptr, 16), std::stoi((*it)[2], nullptr, 16),
                         std::stoi((*it)[3]), unescape((*it)[4])});
    return spans;
}

static std::string dumped_html(const std::string &dir)
{
    std::string path = dir + "/screen.html";
    EXPECT_TRUE(dump_html(path.c_str()));
    return read_file(path);
}

TEST_F(Dump, HtmlIsAStandalonePageInTheConsolePalette)
{
    std::string page = dumped_html(dir);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_EQ(page.find("<link"), std::string::npos);
    // Attribute bit 0 is blue and bit 2 red: the ANSI order would swap them.
    EXPECT_NE(page.find(".f1{color:#000080}"), std::string::npos);
    EXPECT_NE(page.find(".bc{background:#FF0000}"), std::string::npos);
    EXPECT_NE(page.find(".f6{color:#808000}"), std::string::npos) << "dark yellow";
}

TEST_F(Dump, HtmlSpansAgreeWithTheModelCellByCell)
{
    paint_picture();
    std::vector<std::string> rows = html_rows(dumped_html(dir));
    ASSERT_EQ(rows.size(), 25u);
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        EXPECT_EQ(std::regex_replace(rows[y], span_pattern, ""), "") << "only spans in row " << y;
        int x = 0;
        for (const Span &s : spans_of(rows[y])) {
            ASSERT_LE(x + s.columns, SCREEN_COLS) << "row " << y;
            EXPECT_EQ(s.text, screen_text(x, y, s.columns)) << x << "," << y;
            bool wide = scr_cell(x, y).kind == CELL_WIDE_LEFT;
            EXPECT_EQ(cp932_columns(s.text), s.columns) << x << "," << y;
            if (wide) {
                EXPECT_EQ(s.columns, 2) << "a wide character has a span of its own at " << x << "," << y;
            }
            for (int i = 0; i < s.columns; ++i) {
                const ScreenCell &c = scr_cell(x + i, y);
                EXPECT_EQ(c.attr, s.bg << 4 | s.fg) << x + i << "," << y;
                if (!wide) {
                    EXPECT_NE(c.kind, CELL_WIDE_LEFT) << "a wide character inside a run at " << x + i << "," << y;
                }
            }
            x += s.columns;
        }
        EXPECT_EQ(x, SCREEN_COLS) << "row " << y;
    }
}

TEST_F(Dump, HtmlEscapesMarkupCharacters)
{
    paint_picture();
    std::string page = dumped_html(dir);
    std::vector<std::string> rows = html_rows(page);
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_NE(rows[12].find("&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;"), std::string::npos) << rows[12];
    EXPECT_EQ(page.find("<a "), std::string::npos);
}

// ---- LCD ----

// The LCD cells are (61..76, 14..15); X and Y lie just outside line 0.
static void paint_lcd()
{
    con_set_color(0, 0, 6, 8);
    con_goto(60, 14);
    con_print("X");
    con_print("ｽﾀｰﾄ : SW3");
    con_goto(77, 14);
    con_print("Y");
    con_goto(61, 15);
    con_print("  \\1 0");
}

TEST_F(Dump, LcdDumpHoldsSixteenCellsALine)
{
    paint_lcd();
    std::string path = dir + "/lcd.txt";
    ASSERT_TRUE(dump_lcd(path.c_str()));
    EXPECT_EQ(read_file(path), utf8(u8"ｽﾀｰﾄ : SW3") + spaces(6) + "\n" + utf8(u8"  ¥1 0") + spaces(10) + "\n");
}

// The text as the length and the terminating NUL both tell it.
static std::string lcd_line(int line)
{
    char out[LCD_LINE_UTF8_MAX];
    memset(out, 'Z', sizeof out);
    int n = dump_lcd_line(line, out);
    if (n < 0 || n >= LCD_LINE_UTF8_MAX || out[n] != '\0')
        return "(length " + std::to_string(n) + " without its NUL)";
    EXPECT_EQ(strlen(out), (size_t)n) << "line " << line;
    return std::string(out, (size_t)n);
}

TEST_F(Dump, LcdLineDropsOnlyTrailingBlanks)
{
    paint_lcd();
    EXPECT_EQ(lcd_line(0), utf8(u8"ｽﾀｰﾄ : SW3"));
    EXPECT_EQ(lcd_line(1), utf8(u8"  ¥1 0"));
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

// ---- Failure ----

TEST_F(Dump, AFileThatCannotBeWrittenFailsAndLeavesNothingBehind)
{
    fs::create_directory(dir + "/taken");  // a file cannot take a directory's place
    for (std::string path : {dir + "/missing/screen", dir + "/taken"}) {
        EXPECT_FALSE(dump_text(path.c_str())) << path;
        EXPECT_FALSE(dump_html(path.c_str())) << path;
        EXPECT_FALSE(dump_lcd(path.c_str())) << path;
    }
    EXPECT_EQ(files(), std::vector<std::string>{"taken"});
    EXPECT_TRUE(fs::is_empty(dir + "/taken"));
}
