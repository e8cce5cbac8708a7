// Real boards driven at random (keys, PDR8 values, LCD text, board changes):
// after every poll the terminal, fed only what the console sent, shows
// exactly the model, whether or not it erases in the background colour.
#include "board/layout.h"
#include "console/screen.h"
#include "console/term.h"
#include "tests/support/board_fixture.h"
#include "tests/support/seen_screen.h"
#include "wena.h"

#include <gtest/gtest.h>

#include <random>

class BoardPictures : public BoardTest, public ::testing::WithParamInterface<bool> {
protected:
    VtEmulator vt;
    void SetUp() override
    {
        BoardTest::SetUp();
        term_set_background_erase(GetParam());
        term_repaint();
        vt_open(vt, SCREEN_COLS, SCREEN_ROWS);
    }
    void TearDown() override
    {
        term_set_background_erase(false);
        vt_close(vt);
        BoardTest::TearDown();
    }
};

static void random_lcd_text(std::mt19937 &rng)
{
    static const char *const texts[] = {"PDR5=", "00", "0000000011111111", "", "abc", "\xB1\xB2"};
    if (rng() % 4 == 0)
        lcd_clear();
    lcd_goto((int)(rng() % 16), (int)(rng() % 2));
    lcd_puts(texts[rng() % (sizeof texts / sizeof texts[0])]);
}

// The falling coins and tickets of the vending output board pause for real:
// only its lamp commands are sent.
static uint8_t random_pdr8(std::mt19937 &rng)
{
    uint8_t value = (uint8_t)rng();
    return sim.output_kind == OUT_VMOUT && value < 0x20 ? (uint8_t)(value | 0x20) : value;
}

TEST_P(BoardPictures, TheTerminalShowsTheModelAfterEveryPoll)
{
    static const char keys[] = "0123456 7+-ABCDIOVIOV";
    std::mt19937 rng(GetParam() ? 18u : 81u);
    for (int step = 0; step < 400; ++step) {
        unsigned what = rng() % 4;
        if (what == 0)
            con_feed_keys(&keys[rng() % (sizeof keys - 1)], 1);
        else if (what == 1)
            PDR8 = random_pdr8(rng);
        else if (what == 2)
            random_lcd_text(rng);
        sim_poll();
        vt_feed(vt, captured());
        captured_reset();
        ASSERT_EQ(diff_with_model(vt_screen(vt)), "") << "after step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(Terminals, BoardPictures, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &p) {
                             return p.param ? "ErasingInTheBackground" : "ErasingInDefaultColours";
                         });
