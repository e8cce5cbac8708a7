// Code page 932 text as it lands in the screen model: one column a byte,
// two a double-byte character, whatever the pieces it arrives in.
#include "console/con.h"
#include "console/cp932.h"
#include "console/screen.h"
#include "tests/support/capture.h"
#include "tests/support/golden.h"
#include "tests/support/cp932_text.h"

// Row 0: kanji and full-width text, two columns each. Row 1: half-width
// katakana, one each. Row 2: the backslash byte as the yen sign but not
// inside a double-byte character, and a lead byte joined by a trail byte from
// a later call. Row 3: malformed bytes (a lone lead byte, a stray 0x80 and
// 0xFD, an undefined double-byte code over two columns) spoil nothing after
// them. Row 4: overwriting half a wide character blanks the other half in
// its own background. Row 5: a wide character cannot start in the last
// column, and nothing wraps to row 6.
TEST(Cp932, WidthsTheYenSignSplitCharactersAndMalformedBytes)
{
    capture_start();
    con_goto(3, 0);
    con_print("%s", cp932("簡易シミュレータ").c_str());
    EXPECT_EQ(screen.cursor_x, 3 + 16);
    con_goto(0, 1);
    con_print("%s", cp932("ｹﾞｰﾑｵｰﾊﾞｰ!").c_str());
    EXPECT_EQ(screen.cursor_x, 10);
    con_goto(0, 2);
    con_print("%s", cp932("\\100 能").c_str());
    const std::string arrow = cp932("→");
    con_goto(30, 2);
    con_print("%c", arrow[0]);
    con_goto(31, 2);
    con_print("%c", arrow[1]);
    EXPECT_EQ(screen.cursor_x, 32);
    con_goto(0, 3);
    con_print("\x81" "9" "\x80" "\xFD" "B");
    con_goto(10, 3);
    con_print("\x82");
    con_goto(15, 3);
    con_print("\x60Z");
    con_goto(20, 3);
    con_print("\x85\x40x");
    con_set_color(0, 0, 7, 8);
    con_goto(10, 4);
    con_print("%s", cp932("ＷＥ ＷＥ").c_str());
    con_set_color(7, 8, 4, 8);
    con_goto(11, 4);
    con_print("I");
    con_goto(17, 4);
    con_print("O");
    con_goto(79, 5);
    con_print("%s", cp932("漢").c_str());
    EXPECT_TRUE(matches_golden("cp932_text", {0, 0, 80, 7}));
}

TEST(Cp932Conversion, EveryDoubleByteCodeIsOneCodePointOrTheReplacementMark)
{
    int mapped = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932_is_lead((unsigned char)lead))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!cp932_is_trail((unsigned char)trail))
                continue;
            char out[CP932_UTF8_MAX];
            int n = cp932_to_utf8((uint16_t)(lead << 8 | trail), out);
            ASSERT_TRUE(n >= 2 && n <= 4) << std::hex << lead << trail;
            if (std::string(out, (size_t)n) != "\xEF\xBF\xBD")
                ++mapped;
        }
    }
    EXPECT_GT(mapped, 7000) << "the converter must know code page 932, not plain Shift_JIS";
}
