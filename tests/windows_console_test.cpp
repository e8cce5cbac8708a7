// The Windows console, read back cell by cell: the picture the console
// operations leave in a console screen buffer is the screen model's. And the
// Windows files: the settings file replaced whole, odd targets refused.
#include "console/con.h"
#include "console/cp932.h"
#include "console/platform.h"
#include "console/screen.h"
#include "console/term.h"
#include "tests/programs/probe_picture.h"
#include "tests/support/board_fixture.h"
#include "tests/support/cp932_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <windows.h>

// A console screen buffer of the board's size stands in as standard output.
// It is one for the whole suite, as a program has one console.
class WindowsConsole : public ::testing::Test {
protected:
    static inline HANDLE buffer = INVALID_HANDLE_VALUE;
    HANDLE saved_output = nullptr;

    static void SetUpTestSuite()
    {
        buffer = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
        COORD size = {SCREEN_COLS, SCREEN_ROWS};
        SetConsoleScreenBufferSize(buffer, size);
    }

    static void TearDownTestSuite() { CloseHandle(buffer); }

    void SetUp() override
    {
        ASSERT_NE(buffer, INVALID_HANDLE_VALUE) << "no console: run on a terminal (wine) or in a console window";
        saved_output = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, buffer);
        con_use_keyboard(false);
        term_set_sink(nullptr, nullptr);
    }

    void TearDown() override { SetStdHandle(STD_OUTPUT_HANDLE, saved_output); }

    CONSOLE_SCREEN_BUFFER_INFO info()
    {
        CONSOLE_SCREEN_BUFFER_INFO i{};
        GetConsoleScreenBufferInfo(buffer, &i);
        return i;
    }

    std::string cursor_at()
    {
        COORD at = info().dwCursorPosition;
        return std::to_string(at.X) + "," + std::to_string(at.Y);
    }

    // Empty when every cell of the console shows the model's character in
    // the model's attribute; else the first cell that differs. The second
    // column of a wide character holds a blank, or the character again on a
    // console that gives wide characters two cells.
    std::string diff_with_model()
    {
        static CHAR_INFO cells[SCREEN_ROWS][SCREEN_COLS];
        COORD size = {SCREEN_COLS, SCREEN_ROWS}, origin = {0, 0};
        SMALL_RECT region = {0, 0, SCREEN_COLS - 1, SCREEN_ROWS - 1};
        if (!ReadConsoleOutputW(buffer, &cells[0][0], size, origin, &region))
            return "the console cannot be read";
        for (int y = 0; y < SCREEN_ROWS; ++y)
            for (int x = 0; x < SCREEN_COLS; ++x) {
                const ScreenCell &model = scr_cell(x, y);
                bool right = model.kind == CELL_WIDE_RIGHT;
                unsigned seen = cells[y][x].Char.UnicodeChar, expected = glyph(right ? scr_cell(x - 1, y) : model);
                unsigned attr = cells[y][x].Attributes & 0xFF;
                if ((seen != expected && !(right && seen == L' ')) || attr != model.attr) {
                    char text[96];
                    snprintf(text, sizeof text, "(%d,%d): character U+%04X attribute %u, model U+%04X attribute %u", x,
                             y, seen, attr, expected, (unsigned)model.attr);
                    return text;
                }
            }
        return "";
    }

    static wchar_t glyph(const ScreenCell &c)
    {
        char utf8[CP932_UTF8_MAX];
        int n = cp932_to_utf8(c.code, utf8);
        wchar_t wide[4] = {};
        MultiByteToWideChar(CP_UTF8, 0, utf8, n, wide, 4);
        return wide[0];
    }
};

TEST_F(WindowsConsole, ThePictureInTheConsoleIsTheModelCellByCell)
{
    paint_probe_picture();
    EXPECT_EQ(diff_with_model(), "");
    EXPECT_EQ(info().dwCursorPosition.Y, 24) << "the bottom right cell did not scroll the picture";
    con_goto(2, 1);
    con_set_color(0, 0, 7, 8);
    con_print("%s", cp932("ﾓ").c_str());
    con_goto(4, 0);
    con_print("%s", cp932("→x").c_str());
    EXPECT_EQ(diff_with_model(), "") << "after changes over wide and narrow characters";
}

// Hiding or showing twice leaves the cursor as once, at its usual size.
TEST_F(WindowsConsole, CursorAttributeAndClearFollowTheOperations)
{
    con_goto(12, 7);
    con_set_color(7, 8, 4, 8);
    EXPECT_EQ(cursor_at(), "12,7");
    EXPECT_EQ(info().wAttributes, 0xCF);
    for (int i = 0; i < 4; ++i) {
        i < 2 ? con_cursor_hide() : con_cursor_show();
        CONSOLE_CURSOR_INFO cursor{};
        GetConsoleCursorInfo(buffer, &cursor);
        EXPECT_EQ(cursor.bVisible != 0, i >= 2) << i;
        EXPECT_EQ(cursor.dwSize, 15u);
    }
    con_print("%s", cp932("ＷＥＮＡ xyz").c_str());
    con_clear();
    EXPECT_EQ(diff_with_model(), "") << "blank light grey on black";
    EXPECT_EQ(info().wAttributes, 0x07);
    EXPECT_EQ(cursor_at(), "0,0");
}

TEST_F(BoardTest, TheWindowsFileLayerReplacesWholeFilesAndRefusesOddTargets)
{
    write_settings("2,13,0 and an old tail that must go");
    press("IOV");
    EXPECT_EQ(read_settings(), "3,14,21");
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator("."))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
    write("kept.txt", "old");
    SetFileAttributesA("kept.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(plat_replace_file("kept.txt", "new", 3, false));
    EXPECT_EQ(errno, EACCES);
    SetFileAttributesA("kept.txt", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(read("kept.txt"), "old");
    std::filesystem::create_directory("folder");
    EXPECT_FALSE(plat_replace_file("folder", "new", 3, false));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_TRUE(plat_replace_file("NUL", "new", 3, false)) << "a device is written in place";
    char head[8];
    EXPECT_EQ(plat_read_head("folder", head, sizeof head), -1);
    EXPECT_EQ(plat_read_head("missing", head, sizeof head), -1);
    EXPECT_EQ(errno, ENOENT);
    std::string text, why;
    EXPECT_FALSE(plat_read_whole("folder", 100, text, why));
    EXPECT_EQ(why, "it is a directory");
}
