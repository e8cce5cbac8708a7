// The console operations, read back from the screen model.
#include "console/con.h"
#include "console/screen.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"

#include <gtest/gtest.h>

#include <string>

// After a clear of a full screen: text at home in light grey on black, four
// colour quadruples (the last ORs bright into both parts), a print that
// keeps its attribute, coordinates cut to 16 bits, text dropped past either
// edge, control bytes as blanks, and bit readouts, each followed by "|"
// where the cursor was left.
TEST(Console, OperationsAsTheModelHoldsThem)
{
    capture_start();
    con_set_color(7, 8, 4, 8);
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        con_goto(0, y);
        con_print("%s", std::string(SCREEN_COLS, 'x').c_str());
    }
    con_clear();
    con_print("home");

    static const int quadruples[4][4] = {{7, 8, 4, 8}, {0, 0, 7, 8}, {7, 8, 0, 0}, {6, 8, 6, 8}};
    for (int i = 0; i < 4; ++i) {
        con_set_color(quadruples[i][0], quadruples[i][1], quadruples[i][2], quadruples[i][3]);
        con_goto(10 + 2 * i, 0);
        con_print("%c", 'a' + i);
    }
    con_set_color(0, 0, 3, 8);
    con_goto(5, 1);
    con_print("PDR%d", 5);
    con_print("!");
    con_goto(0x10000 + 3, 0x20000 + 2);
    con_print("G");
    con_goto(78, 4);
    con_print("ABCD");
    con_goto(-1, 6);
    con_print("XY");
    con_goto(10, 8);
    con_print("a\nb\tc|");

    static const int readouts[6][2] = {{0xA5, 8}, {0xFFC0, 16}, {0, 8}, {0x80, 8}, {0x1980, 16}, {5, 4}};
    con_set_color(7, 8, 0, 0);
    for (int i = 0; i < 6; ++i) {
        con_goto(1, 11 + i);
        show_bits(readouts[i][0], readouts[i][1]);
        con_print("|");
    }
    EXPECT_TRUE(matches_golden("console_operations"));
}

TEST(Console, CursorVisibilityIsIdempotent)
{
    capture_start();
    con_cursor_hide();
    con_cursor_hide();
    EXPECT_FALSE(screen.cursor_visible);
    con_cursor_show();
    con_cursor_show();
    EXPECT_TRUE(screen.cursor_visible);
}
