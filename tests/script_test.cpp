// Reading scenarios: every step and condition, and a clear message with the
// line number for each kind of mistake.
#include "scenario/script.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

static std::vector<ScenarioStep> parsed(const std::string &text)
{
    std::vector<ScenarioStep> steps;
    std::string error;
    EXPECT_TRUE(script_parse(text, steps, error)) << error;
    return steps;
}

static std::string error_of(const std::string &text)
{
    std::vector<ScenarioStep> steps;
    std::string error;
    EXPECT_FALSE(script_parse(text, steps, error)) << text;
    return error;
}

TEST(Script, StepsKeepTheirLineNumbersAndCommentsAndBlankLinesAreSkipped)
{
    auto steps = parsed("# choose boards\n\nkeys IOV   # three boards\r\nwait 250\ndump screen out.txt\n");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(std::tie(steps[0].kind, steps[0].keys, steps[0].line), std::make_tuple(STEP_KEYS, "IOV", 3));
    EXPECT_EQ(std::tie(steps[1].kind, steps[1].ms), std::make_tuple(STEP_WAIT, 250LL));
    EXPECT_EQ(std::tie(steps[2].dump, steps[2].path), std::make_tuple(DUMP_SCREEN, "out.txt"));
}

TEST(Script, KeysByCharacterOrNameAndEveryKeysNameReadsBackAsTheKey)
{
    const std::pair<const char *, std::string> named[] = {{"3", "3"},      {"space", " "},   {"plus", "+"},
                                                          {"+", "+"},      {"hash", "#"},    {"escape", "\x1b"},
                                                          {"code 0", std::string(1, '\0')}};
    for (const auto &[name, key] : named)
        EXPECT_EQ(parsed(std::string("key ") + name + "\n").at(0).keys, key) << name;
    for (int key = 0; key < 256; ++key) {
        auto steps = parsed("at poll 7 key " + script_key_name(key) + "\n");
        ASSERT_EQ(steps.size(), 1u);
        EXPECT_EQ(steps[0].poll, 7);
        ASSERT_EQ(steps[0].keys, std::string(1, (char)key)) << script_key_name(key);
    }
}

TEST(Script, RegisterConditionsWithMasksAndNumberBases)
{
    auto steps = parsed("check PDR8 == 0x0F\ncheck pdr5 & 0b10 != 2\nwait until ADDC == 65472 within 500\n");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(std::tie(steps[0].cond.reg, steps[0].cond.value), std::make_tuple(REG_PDR8, 0x0Fu));
    EXPECT_EQ(std::tie(steps[1].cond.masked, steps[1].cond.mask, steps[1].cond.negated), std::make_tuple(true, 2u, true));
    EXPECT_EQ(std::tie(steps[2].kind, steps[2].cond.reg, steps[2].ms), std::make_tuple(STEP_WAIT_UNTIL, REG_ADDC, 500LL));
    auto upper = parsed("check PDR8 == 0B00001010\ncheck PDR8 == 0X0A\n");
    ASSERT_EQ(upper.size(), 2u);
    EXPECT_EQ(std::tie(upper[0].cond.value, upper[1].cond.value), std::make_tuple(10u, 10u)) << "either case of prefix";
}

TEST(Script, TextConditionsKeepSpacesAndHashesInsideQuotes)
{
    auto steps = parsed("wait until lcd 0 == \"ｽﾀｰﾄ : SW3\"\n"
                        "check screen 23 5 == \"I\" attr 0xCF\n"
                        "check lcd 1 contains \"# \\\"x\\\"\"\n"
                        "check boards == 1 11 21\n");
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(std::tie(steps[0].cond.text, steps[0].ms), std::make_tuple("ｽﾀｰﾄ : SW3", 10000LL)) << "the README's default";
    EXPECT_EQ(std::tie(steps[1].cond.attr, steps[1].cond.x), std::make_tuple(0xCF, 23));
    EXPECT_EQ(std::tie(steps[2].cond.text, steps[2].cond.contains), std::make_tuple("# \"x\"", true));
    EXPECT_EQ(steps[3].cond.kinds[1], 11);
}

// Only \" and \\ are escapes: Windows paths keep their backslashes.
TEST(Script, BackslashesInQuotedNamesStayAsWrittenButForQuoteAndBackslash)
{
    auto steps = parsed("dump screen \"dir with spaces\\sp.txt\"\n"
                        "dump lcd \"C:\\\\server\\new \\\"x\\\".txt\"\n"
                        "dump html \"end\\\\\"\n");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].path, "dir with spaces\\sp.txt");
    EXPECT_EQ(steps[1].path, "C:\\server\\new \"x\".txt");
    EXPECT_EQ(steps[2].path, "end\\");
}

TEST(Script, MistakesAreReportedWithTheirLine)
{
    EXPECT_EQ(error_of("key I\njump 3\n"), "2: unknown step 'jump' (key, keys, wait, check, dump, at, start)");
    EXPECT_EQ(error_of("wait 1o0"), "1: '1o0' is not a number (milliseconds)");
    EXPECT_EQ(error_of("\ncheck PDR9 == 1"), "2: unknown register 'PDR9' (PDR5, PDR8, ADDA-ADDD)");
    EXPECT_EQ(error_of("check lcd 2 == \"x\""), "1: '2' is out of range (LCD line 0 or 1, at most 1)");
    EXPECT_EQ(error_of("check lcd 0 == \"x"), "1: a quoted text has no closing \"");
    EXPECT_EQ(error_of("check PDR8 = 1"), "1: '==' or '!=' is missing");
    EXPECT_EQ(error_of("check PDR8 == -1"), "1: '-1' is not a number (value)");
    EXPECT_EQ(error_of("check PDR8 == 0x100000000"), "1: '0x100000000' is out of range (value, at most 4294967295)");
    EXPECT_EQ(error_of("key F7"), "1: unknown key 'F7' (a character, space, plus, minus, enter, tab, escape, hash or code N)");
    EXPECT_EQ(error_of("wait 10 20"), "1: unexpected '20'");
    EXPECT_EQ(error_of("wait until lcd 0 == \"x\" within soon"), "1: 'soon' is not a number (milliseconds)");
    EXPECT_EQ(error_of("dump picture x.png"), "1: dump what? 'screen', 'html' or 'lcd'");
    EXPECT_EQ(error_of("check screen 80 0 == \"x\""), "1: '80' is out of range (column 0-79, at most 79)");
    EXPECT_EQ(error_of("keys " + std::string(129, 'o')), "1: at most 128 keys in one step");
    EXPECT_EQ(error_of("check PDR8 == 0x0x10"), "1: '0x0x10' is not a number (value)");
    EXPECT_EQ(error_of("check PDR8 == 0b"), "1: '0b' is not a number (value)");
    EXPECT_EQ(error_of("check PDR8 == 0x-1"), "1: '0x-1' is not a number (value)");
    EXPECT_EQ(error_of(std::string("dump screen a\0b.txt", 20)), "1: a file name cannot hold a NUL byte");
    EXPECT_EQ(error_of("key I\nstart boards 1 11 21"), "2: the starting boards are set before every other step");
    EXPECT_EQ(error_of("# caf\xC3"), "1: the scenario is not UTF-8 (byte 0xC3 at character 6): save it as UTF-8")
        << "a character cut short at the end of its line";
    const std::string utf16 = "1: the scenario is UTF-16 (Notepad's \"Unicode\"): save it as UTF-8";
    EXPECT_EQ(error_of(std::string("\xFF\xFEk\0e\0y\0 \0I\0", 12)), utf16) << "with its byte-order mark";
    EXPECT_EQ(error_of(std::string("\xFE\xFF\0k\0e\0y", 8)), utf16) << "big-endian";
    EXPECT_EQ(error_of(std::string("k\0e\0y\0", 6)), utf16) << "without a mark";
}

// Kinds by name in any case or by number; a check refuses a number with no
// board with the kinds there are, while the starting boards take any number
// that WENA.ini could hold.
TEST(Script, AByteOrderMarkAndTheStartingBoardsAtTheTopByNameOrNumber)
{
    auto steps = parsed("\xEF\xBB\xBFstart boards vmin 0x10 None  # names or numbers\ncheck boards != SWITCH LED ANALOG\n");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].kind, STEP_START_BOARDS);
    EXPECT_EQ(std::tie(steps[0].boards[0], steps[0].boards[1], steps[0].boards[2]), std::make_tuple(3, 16, 0));
    EXPECT_EQ(std::tie(steps[1].cond.kinds[0], steps[1].cond.kinds[1], steps[1].cond.kinds[2]), std::make_tuple(1, 11, 21));
    steps = parsed("start boards 7 5 -2147483648\n");
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(std::tie(steps[0].boards[0], steps[0].boards[1], steps[0].boards[2]), std::make_tuple(7, 5, INT_MIN));
    EXPECT_EQ(error_of("check boards == 1 99 0"),
              "1: there is no output board 99 (0 none, 11 LED, 12 SEG7D, 13 SEG7, 14 DCMT, 15 STEPMT, 16 VMOUT)");
    EXPECT_EQ(error_of("start boards 1 2147483648 0"),
              "1: '2147483648' is not an output board (0 none, 11 LED, 12 SEG7D, 13 SEG7, 14 DCMT, 15 STEPMT, 16 VMOUT)");
    EXPECT_EQ(error_of("check boards == -1 0 0"), "1: there is no input board -1 (0 none, 1 SWITCH, 2 PSHSWITCH, 3 VMIN)");
    EXPECT_EQ(error_of("start boards 1 11 LED"), "1: 'LED' is not an analog board (0 none, 21 ANALOG)");
    EXPECT_EQ(error_of("start boards 1 11"), "1: the analog board is missing (0 none, 21 ANALOG)");
}
