// What the console sends to the terminal: only what changes the picture, and
// always a picture equal to the model (checked in libvterm).
#include "console/con.h"
#include "console/screen.h"
#include "console/term.h"
#include "tests/support/capture.h"
#include "tests/support/seen_screen.h"
#include "tests/support/cp932_text.h"

#include <gtest/gtest.h>

#include <random>

class TermOutput : public ::testing::Test {
protected:
    VtEmulator vt;
    void SetUp() override { start(SCREEN_COLS, SCREEN_ROWS); }
    void TearDown() override
    {
        term_set_background_erase(false);
        vt_close(vt);
    }

    void start(int cols, int rows)
    {
        capture_start();
        term_set_size(cols, rows);
        term_repaint();
        vt_open(vt, cols, rows);
        feed();
    }
    void feed()
    {
        con_flush();
        vt_feed(vt, captured());
        captured_reset();
    }
    void expect_emulator_matches_model()
    {
        feed();
        EXPECT_EQ(diff_with_model(vt_screen(vt)), "");
    }
};

static void paint_labels()
{
    con_set_color(6, 8, 0, 0);
    con_goto(36, 5);
    con_print("%s", cp932("ＷＥＮＡ").c_str());
    con_goto(28, 5);
    con_print("%s", cp932("→").c_str());
    con_set_color(0, 0, 3, 8);
    con_goto(1, 1);
    con_print(" %-19s", "SWITCH");
    con_set_color(7, 8, 0, 0);
    con_goto(1, 11);
    show_bits(0xA5, 8);
}

static void paint_sample_board()
{
    con_set_color(7, 0, 7, 0);
    for (int y = 1; y <= 10; ++y) {
        con_goto(30, y);
        con_print("%20s", "");
    }
    paint_labels();
}

TEST_F(TermOutput, OnlyWhatChangesThePictureIsWritten)
{
    con_clear();
    feed();
    con_clear();
    con_flush();
    EXPECT_EQ(captured(), "") << "a clear of a blank screen";
    con_cursor_hide();
    paint_sample_board();
    expect_emulator_matches_model();
    unsigned long long before = term_bytes_written();
    paint_labels();
    con_cursor_hide();
    con_flush();
    EXPECT_EQ(term_bytes_written() - before, 0u) << captured();
    EXPECT_EQ(captured(), "");

    con_set_color(7, 8, 4, 8);
    con_goto(40, 8);
    con_print("X");
    con_flush();
    EXPECT_LE(captured().size(), 20u) << "one changed cell, a few bytes: " << captured();
    EXPECT_EQ(captured().find("\x1b[2J"), std::string::npos);
    expect_emulator_matches_model();
}

TEST_F(TermOutput, AVisibleCursorGoesOnlyWhereItEnds)
{
    con_cursor_show();
    con_goto(3, 2);
    con_goto(12, 7);
    con_flush();
    EXPECT_EQ(captured(), "\x1b[8;13H");
    captured_reset();
    con_goto(12, 7);
    con_flush();
    EXPECT_EQ(captured(), "");
}

// Painters go over whole boards, in any order; only the two cells that
// change cost bytes, reached by the shortest moves, left to right.
TEST_F(TermOutput, CellsPaintedAgainUnchangedCostNothingWhateverTheOrder)
{
    con_cursor_hide();
    paint_sample_board();
    feed();
    con_set_color(7, 0, 7, 0);
    for (int x = 49; x >= 30; --x) {
        con_goto(x, 3);
        con_print(x == 44 ? "Y" : x == 40 ? "X" : " ");
    }
    con_clear();  // a layout: cleared, then the same board painted again
    paint_sample_board();
    con_set_color(7, 0, 7, 0);
    con_goto(44, 3);
    con_print("Y");
    con_goto(40, 3);
    con_print("X");
    con_flush();
    EXPECT_EQ(captured(), "\x1b[4;41H\x1b[37;47mX   Y") << "three blanks in the colours in force are the shortest move";
    expect_emulator_matches_model();
}

TEST_F(TermOutput, ASmallTerminalShowsTheVisiblePartUnwrappedAndARepaintAfterGrowingShowsAll)
{
    vt_close(vt);
    start(50, 12);
    paint_sample_board();
    con_set_color(7, 8, 4, 8);
    con_goto(49, 11);
    con_print("edge");
    con_goto(79, 24);
    con_print("Q");
    con_goto(49, 5);
    con_print("%s", cp932("漢").c_str());
    expect_emulator_matches_model();
    EXPECT_EQ(captured(), "");
    EXPECT_EQ(screen_text(30, 1, 1), " ") << "row 1 stays row 1";

    vt_close(vt);
    vt_open(vt, 80, 25);
    term_set_size(80, 25);
    term_repaint();
    expect_emulator_matches_model();
}

// On a terminal that erases in the background colour in force (libvterm
// does, as tmux and xterm do) blanks go as erases: one erase of the screen,
// or of a run of cells, whichever is shorter. Elsewhere blanks are written.
TEST_F(TermOutput, BlanksGoAsTheShortestEraseWhereTheTerminalErasesInTheBackground)
{
    term_set_background_erase(true);
    con_set_color(6, 8, 1, 8);
    con_goto(10, 5);
    con_print("%s panel%30s", cp932("ＷＥＮＡ →").c_str(), "");
    feed();
    con_clear();
    con_flush();
    EXPECT_EQ(captured(), "\x1b[37;40m\x1b[2J\x1b[H") << "erase, cursor home";
    expect_emulator_matches_model();

    con_set_color(6, 8, 1, 8);
    con_goto(10, 5);
    con_print("%s the board's panel%30s", cp932("ＷＥＮＡ →").c_str(), "");
    feed();
    con_clear();
    con_goto(10, 5);
    con_set_color(6, 8, 1, 8);
    con_print("%s%52s", cp932("ＷＥＮＡ").c_str(), "");
    con_flush();
    EXPECT_EQ(captured(), "\x1b[20G\x1b[51X\x1b[71G") << "the label erased, the rest kept";
    expect_emulator_matches_model();

    for (int y = 0; y < SCREEN_ROWS; ++y) {
        con_goto(0, y);
        con_print("%-80s", "full");
    }
    feed();
    con_clear();
    con_flush();
    EXPECT_EQ(captured(), "\x1b[37;40m\x1b[2J\x1b[H") << "the whole screen erased";
    expect_emulator_matches_model();

    // "\x1b[8X" and the move back cost less than eight blanks, not than four.
    for (int run : {4, 8}) {
        con_goto(0, 3);
        con_print("%s", std::string((size_t)run, 'w').c_str());
        feed();
        con_goto(0, 3);
        con_print("%*s", run, "");
        con_flush();
        EXPECT_EQ(captured().find("\x1b[" + std::to_string(run) + "X") != std::string::npos, run == 8) << run;
        expect_emulator_matches_model();
    }

    term_set_background_erase(false);
    con_set_color(6, 8, 1, 8);
    con_print("%30s", "");
    con_flush();
    EXPECT_EQ(captured().find("\x1b[30X"), std::string::npos) << "spaces where an erase takes the default colours";
    expect_emulator_matches_model();
}

// Random painting over wide, narrow and malformed text, colours and clears:
// after every step the emulator shows exactly the model.
static void random_step(std::mt19937 &rng)
{
    static const std::string texts[] = {"A", "xyz", cp932("ｱｲｳ"), cp932("漢字"), cp932("●"), cp932("→"),
                                        cp932("←↑"), cp932("■x"), "\\", "\x81", "\x40", "\x88\x9F",
                                        "\x85\x40", cp932("能"), " ", cp932("ＷＥＮＡ"), "\x80\xFF"};
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    switch (pick(12)) {
    case 0:
        con_set_color(pick(8), pick(2) * 8, pick(8), pick(2) * 8);
        break;
    case 1:
        if (pick(20) == 0)
            con_clear();
        else if (pick(3) == 0)
            con_flush();
        break;
    case 2:
        if (pick(2))
            con_cursor_hide();
        else
            con_cursor_show();
        break;
    case 3:
    case 4:
        con_goto(pick(82) - 1, pick(26));
        break;
    default:
        con_print("%s", texts[pick((int)(sizeof texts / sizeof texts[0]))].c_str());
    }
}

struct RandomRun {
    int cols, rows;
    bool background_erase, truecolor;
};

static void PrintTo(const RandomRun &r, std::ostream *out)
{
    *out << r.cols << "x" << r.rows << (r.background_erase ? "ErasingInTheBackground" : "")
         << (r.truecolor ? "InTrueColour" : "");
}

class RandomPainting : public TermOutput, public ::testing::WithParamInterface<RandomRun> {};

TEST_P(RandomPainting, KeepsTheEmulatorEqualToTheModel)
{
    const RandomRun &run = GetParam();
    vt_close(vt);
    term_set_background_erase(run.background_erase);
    start(run.cols, run.rows);
    term_set_truecolor(run.truecolor);
    term_repaint();
    std::mt19937 rng((unsigned)(run.cols * 100 + run.background_erase));
    for (int step = 0; step < 3000; ++step) {
        random_step(rng);
        if (step % 25 == 0) {
            feed();
            ASSERT_EQ(diff_with_model(vt_screen(vt)), "") << "after step " << step;
        }
    }
    expect_emulator_matches_model();
    if (screen.cursor_visible && screen.cursor_x >= 0 && screen.cursor_x < run.cols && screen.cursor_y < run.rows) {
        int x, y;
        vt_cursor(vt, &x, &y);
        EXPECT_EQ(x, screen.cursor_x);
        EXPECT_EQ(y, screen.cursor_y);
    }
}

INSTANTIATE_TEST_SUITE_P(Terminals, RandomPainting,
                         ::testing::Values(RandomRun{80, 25, false, false}, RandomRun{61, 17, false, true},
                                           RandomRun{80, 25, true, false}),
                         ::testing::PrintToStringParamName());
