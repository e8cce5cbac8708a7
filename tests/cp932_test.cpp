// Code page 932 text as it lands in the screen model: one column a byte,
// two a double-byte character, whatever the pieces it arrives in.
#include "console/con.h"
#include "console/cp932.h"
#include "console/screen.h"
#include "tests/support/capture.h"

#include <gtest/gtest.h>

class Cp932 : public ::testing::Test {
protected:
    void SetUp() override { capture_start(); }
};

TEST_F(Cp932, KanjiAndFullWidthTextTakeTwoColumnsACharacter)
{
    con_goto(3, 20);
    con_print("簡易シミュレータ");
    EXPECT_EQ(screen.cursor_x, 3 + 16);
    EXPECT_EQ(screen_text(3, 20, 16), utf8(u8"簡易シミュレータ"));
    EXPECT_EQ(scr_cell(3, 20).kind, CELL_WIDE_LEFT);
    EXPECT_EQ(scr_cell(4, 20).kind, CELL_WIDE_RIGHT);
}

TEST_F(Cp932, HalfWidthKatakanaTakeOneColumnAByte)
{
    con_print("ｹﾞｰﾑｵｰﾊﾞｰ!");
    EXPECT_EQ(screen.cursor_x, 10);
    EXPECT_EQ(screen_text(0, 0, 10), utf8(u8"ｹﾞｰﾑｵｰﾊﾞｰ!"));
}

TEST_F(Cp932, BackslashByteShowsAsTheYenSignButNotInsideADoubleByteCharacter)
{
    con_print("\\100 能");
    EXPECT_EQ(screen_text(0, 0, 6), utf8(u8"¥100 能"));
}

TEST_F(Cp932, ALeadByteJoinsATrailByteArrivingInALaterCall)
{
    const char *arrow = "→";
    con_goto(30, 5);
    con_print("%c", arrow[0]);
    con_goto(31, 5);
    con_print("%c", arrow[1]);
    EXPECT_EQ(screen_text(30, 5, 2), utf8(u8"→"));
    EXPECT_EQ(scr_cell(31, 5).kind, CELL_WIDE_RIGHT);
    EXPECT_EQ(screen.cursor_x, 32);
}

TEST_F(Cp932, MalformedBytesShowAReplacementMarkAndSpoilNothingAfterThem)
{
    con_print("\x81" "9" "\x80" "\xFD" "B");
    EXPECT_EQ(screen_text(0, 0, 5), utf8(u8"\uFFFD9\uFFFD\uFFFDB"));
    con_goto(0, 1);
    con_print("\x82");
    con_goto(5, 1);
    con_print("\x60Z");
    EXPECT_EQ(screen_text(0, 1, 1), utf8(u8"\uFFFD")) << "a lead byte left alone stays malformed";
    EXPECT_EQ(screen_text(5, 1, 2), "`Z") << "a trail byte elsewhere is its own character";
}

TEST_F(Cp932, AnUndefinedDoubleByteCodeIsOneReplacementMarkOverTwoColumns)
{
    con_print("\x85\x40x");
    EXPECT_EQ(scr_cell(0, 0).kind, CELL_WIDE_LEFT);
    EXPECT_EQ(screen_text(0, 0, 3), utf8(u8"\uFFFDx"));
}

TEST_F(Cp932, OverwritingHalfAWideCharacterBlanksTheOtherHalf)
{
    con_set_color(0, 0, 7, 8);
    con_goto(10, 2);
    con_print("ＷＥ");
    con_set_color(7, 8, 4, 8);
    con_goto(11, 2);
    con_print("I");
    EXPECT_EQ(screen_text(10, 2, 4), utf8(u8" IＥ"));
    EXPECT_EQ(scr_cell(10, 2).attr, 0xF0) << "the orphaned half keeps its background";
    con_goto(12, 2);
    con_print("O");
    EXPECT_EQ(screen_text(12, 2, 2), "O ");
}

TEST_F(Cp932, AWideCharacterThatWouldStartInTheLastColumnIsMalformed)
{
    con_goto(79, 0);
    con_print("漢");
    EXPECT_EQ(scr_cell(79, 0).kind, CELL_NARROW);
    EXPECT_EQ(screen_text(79, 0, 1), utf8(u8"\uFFFD"));
    EXPECT_EQ(screen_text(0, 1, 1), " ");
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
            ASSERT_GE(n, 2) << std::hex << lead << trail;
            ASSERT_LE(n, 4) << std::hex << lead << trail;
            if (std::string(out, (size_t)n) != "\xEF\xBF\xBD")
                ++mapped;
        }
    }
    EXPECT_GT(mapped, 7000) << "the converter must know code page 932, not plain Shift_JIS";
}
