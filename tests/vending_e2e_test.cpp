// The vending controller example driven end to end by scenarios on the
// virtual clock, with both vending boards plugged in from WENA.ini.
#include "tests/support/capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

class VendingController : public TempDirTest {
protected:
    // Runs the controller with the scenario; "" when every step held, else
    // the exit status and the scenario's message.
    std::string failure(const std::string &scenario)
    {
        int status = run_scenario(VENDING_CONTROLLER, scenario, "3,16,0");
        return status == 0 ? "" : "status " + std::to_string(status) + ": " + err;
    }
};

// A key typed while the previous key's pulse is still on PDR5 is dropped, as
// on the board; so each coin is followed by a short wait, as a hand would.
static std::string coin(char key, const char *total)
{
    return std::string("key ") + key + "\nwait until screen 3 9 == \"" + total + "\"\nwait 50\n";
}

// Lit names are black on bright green (A0), unlit bright white on green (2F);
// counters read 10, 50, 100 and 500 yen from the left.
TEST_F(VendingController, FiveHundredYenBuyTanukiAndOneHundredSeventyComeBackInFourCoins)
{
    EXPECT_EQ(failure("check boards == 3 16 0\n" + coin('3', "  500") + utf8(u8R"(wait until screen 12 7 == "きつね" attr 0xA0
check screen 12 3 == "かけ　" attr 0xA0
check screen 12 5 == "たぬき" attr 0xA0
wait until lcd 0 == "ﾆｭｳｷﾝ 500ｴﾝ"
key 5
wait until screen 72 9 == "たぬき"
wait until screen 60 9 == " 2  1  1  0"
wait until screen 12 5 == "たぬき" attr 0x2F
check screen 12 3 == "かけ　" attr 0x2F
wait until lcd 1 == "ｱﾘｶﾞﾄｳｺﾞｻﾞｲﾏｽ"
wait until lcd 0 == "ﾆｭｳｷﾝ 0ｴﾝ"
key space
check screen 60 9 == " 0  0  0  0"
check screen 72 9 == "      "
check screen 3 9 == "    0"
)")), "");
}

TEST_F(VendingController, ExactMoneyBuysKakeWithNoChange)
{
    EXPECT_EQ(failure(coin('2', "  100") + coin('2', "  200") + coin('1', "  250") + coin('0', "  260") +
                      utf8(u8R"(check screen 12 3 == "かけ　" attr 0x2F
key 0
wait until screen 12 3 == "かけ　" attr 0xA0
check screen 12 5 == "たぬき" attr 0x2F
key 4
wait until screen 72 9 == "かけ　"
wait until lcd 1 == "ｱﾘｶﾞﾄｳｺﾞｻﾞｲﾏｽ"
check screen 60 9 == " 0  0  0  0"
)")), "");
}

TEST_F(VendingController, CancelPaysBackEverythingInserted)
{
    EXPECT_EQ(failure(coin('3', "  500") + coin('1', "  550") + coin('0', "  560") + utf8(u8R"(key 7
wait until screen 60 9 == " 1  1  0  1"
wait until lcd 1 == "ﾍﾝｷｬｸｼﾏｼﾀ"
check screen 72 9 == "      "
wait until screen 12 7 == "きつね" attr 0x2F
wait until lcd 0 == "ﾆｭｳｷﾝ 0ｴﾝ"
)")), "");
}

TEST_F(VendingController, AButtonWithTooLittleMoneySellsNothingUntilMoreComes)
{
    EXPECT_EQ(failure(coin('2', "  100") + utf8(u8R"(key 6
wait until screen 19 7 == "X"
wait until lcd 1 == "ｷﾝｶﾞｸｶﾞ ﾀﾘﾏｾﾝ"
check screen 72 9 == "      "
check screen 60 9 == " 0  0  0  0"
check screen 12 7 == "きつね" attr 0x2F
key 3
wait until screen 12 7 == "きつね" attr 0xA0
wait until screen 19 7 == " " attr 0x5F
key 6
wait until screen 72 9 == "きつね"
wait until screen 60 9 == " 2  0  2  0"
)")), "");
}

// Coins one `key` step each, with any wait or none between: every coin
// counts, also when the next is typed while the last one is still falling.
TEST_F(VendingController, ACoinSequenceCountsEveryCoinWhateverTheWaitsBetween)
{
    for (const char *gap : {"", "wait 1\n", "wait 50\n", "wait 100\n", "wait 500\n"}) {
        std::string steps;
        for (int coin = 0; coin < 5; ++coin)
            steps += std::string("key 0\n") + gap;
        EXPECT_EQ(failure(steps + utf8(u8"wait until lcd 0 == \"ﾆｭｳｷﾝ 50ｴﾝ\"\ncheck screen 3 9 == \"   50\"\n")), "")
            << "between coins: " << gap;
    }
}

// Figures wider than their fields are printed whole: 201 coins of 500 yen
// make a total that runs into the chute, and paid back they make a count
// that runs one column past its field.
TEST_F(VendingController, TwoHundredAndOneCoinsOfFiveHundredYenShowTheirTrueFigures)
{
    std::string coins;
    for (int coin = 0; coin < 201; ++coin)
        coins += "key 3\n";
    EXPECT_EQ(failure(coins + utf8(u8R"(wait until lcd 0 == "ﾆｭｳｷﾝ 100500ｴﾝ"
check screen 3 9 == "100500"
key 7
wait until lcd 0 == "ﾆｭｳｷﾝ 0ｴﾝ" within 60000
check screen 60 9 == " 0  0  0 201"
)")), "");
}
