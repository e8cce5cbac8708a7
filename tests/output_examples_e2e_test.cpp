// The output boards' example programs run whole with a scenario: boards
// chosen in WENA.ini beforehand, keys typed, and what the LCD and the board
// show checked by the run itself (exit status 0 when every check held).
#include "tests/support/capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

class OutputExample : public TempDirTest {
protected:
    int run(const char *program, const char *boards, const char8_t *scenario)
    {
        return run_scenario(program, utf8(scenario), boards);
    }
};

TEST_F(OutputExample, HexCounterCountsOnTheSevenSegmentDigits)
{
    // Left digit 1: right uprights lit, top dark; right digit A: middle lit, bottom dark.
    EXPECT_EQ(run(HEX_COUNTER, "0,12,0", u8R"scn(
wait until PDR8 == 0x1A within 20000
wait 5
check screen 66 4 == " " attr 0xA9
check screen 62 3 == " " attr 0x29
check screen 72 6 == " " attr 0xA9
check screen 72 9 == " " attr 0x29
check lcd 1 == "PDR8=1A"
)scn"), 0) << err;
}

TEST_F(OutputExample, HexCounterHoldsWhileSwitchZeroIsOn)
{
    EXPECT_EQ(run(HEX_COUNTER, "1,12,0", u8R"scn(
key 0
wait 3000
check PDR8 == 0
check lcd 1 == "PDR8=00 ﾃｲｼ"
key 0
wait until PDR8 == 3 within 3000
)scn"), 0) << err;
}

TEST_F(OutputExample, DcMotorsFollowTheSwitches)
{
    EXPECT_EQ(run(DC_MOTORS, "1,14,0", u8R"scn(
keys 12
wait 50
check screen 62 3 == "←正転   反転→"
check screen 71 3 == "反転→" attr 0x6E
check lcd 0 == "L:ｾｲﾃﾝ  R:ﾊﾝﾃﾝ"
keys 34
wait 50
check PDR8 == 0x0E
check screen 62 3 == " 強止    反転→"
)scn"), 0) << err;
}

TEST_F(OutputExample, StepperCountsMatchTheProgramsOwnThroughBothDrivesAndBack)
{
    EXPECT_EQ(run(STEPPER, "0,15,0", u8R"scn(
wait until lcd 1 == "STEP 50" within 30000
wait 5
check screen 60 9 == "   +50stp    +50stp"
check screen 70 10 == " +90.0ﾟ"
wait until lcd 0 == "2ｿｳ ｾｲﾃﾝ" within 30000
wait until lcd 1 == "STEP 100" within 30000
wait 5
check screen 70 9 == "  +100stp"
wait until lcd 0 == "2ｿｳ ｷﾞｬｸﾃﾝ" within 30000
wait until lcd 1 == "STEP 0" within 30000
wait 5
check screen 60 9 == "    +0stp     +0stp"
)scn"), 0) << err;
}
