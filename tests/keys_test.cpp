// The key source on a pipe: bytes are keys, escape sequences of
// non-character keys vanish whole, and end of input means no key.
#include "console/platform.h"
#include "tests/support/tmux.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

static std::string keys_read_from(const std::string &printf_input)
{
    std::string out = "/tmp/wena-keys-" + std::to_string(getpid());
    std::string command = "printf " + shell_quote(printf_input) + " | " KEY_ECHO " " + out;
    EXPECT_EQ(system(command.c_str()), 0);
    std::ifstream in(out);
    std::string keys, line;
    while (std::getline(in, line))
        keys += line.rfind("late", 0) == 0 ? "<" + line + ">" : std::string(1, (char)std::stoi(line));
    remove(out.c_str());
    return keys;
}

TEST(PipedKeys, BytesAreKeysInOrderSequencesOfOtherKeysVanishAndEndOfInputIsNoKey)
{
    EXPECT_EQ(keys_read_from("ooIVq+-3 "), "ooIVq+-3 ");
    // Up, Home, Page Down, F2 (SS3), F7, Ctrl-Left, and an SS3 arrow.
    EXPECT_EQ(keys_read_from("a\\033[Ab\\033[1~c\\033[6~d\\033OQe\\033[18~f\\033[1;5Dg\\033OAh"),
              "abcdefgh");
    EXPECT_EQ(keys_read_from("x\\033"), "x\x1b") << "a lone Escape is a key of its own";
    EXPECT_EQ(keys_read_from("\\033x"), "\x1bx");
    EXPECT_EQ(keys_read_from(""), "");
}

// Standard input replaced by a pipe that stays open, as a terminal does.
class OpenKeyStream : public ::testing::Test {
protected:
    int saved_stdin = -1, writer = -1;
    void SetUp() override
    {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        saved_stdin = dup(STDIN_FILENO);
        dup2(ends[0], STDIN_FILENO);
        close(ends[0]);
        writer = ends[1];
    }
    void TearDown() override
    {
        dup2(saved_stdin, STDIN_FILENO);
        close(saved_stdin);
        close(writer);
    }
    void type(const char *bytes) { ASSERT_EQ(write(writer, bytes, strlen(bytes)), (ssize_t)strlen(bytes)); }
    static std::string keys_now()
    {
        std::string keys;
        while (plat_key_waiting())
            keys += (char)plat_read_key();
        return keys;
    }
};

TEST_F(OpenKeyStream, AnEscapeNeverHoldsUpAPollAndItsSequenceMayEndAtALaterOne)
{
    type("a\x1b");
    EXPECT_EQ(keys_now(), "a") << "the Escape is held back, without waiting for what may follow";
    type("[A");
    EXPECT_EQ(keys_now(), "") << "Up, completed at a later poll, is dropped whole";
    type("\x1b");
    EXPECT_EQ(keys_now(), "");
    usleep(60 * 1000);
    EXPECT_EQ(keys_now(), "\x1b") << "nothing followed for a while: a key of its own";
    type("\x1bOQb");
    EXPECT_EQ(keys_now(), "b");
}
