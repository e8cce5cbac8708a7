// The key source on a pipe, where every byte is a key and end of input means
// no key, and on a terminal, where escape sequences of non-character keys
// vanish whole and bytes far apart in time are separate keys.
#include "platform/platform.h"
#include "tests/support/tmux.h"

#include <gtest/gtest.h>

#include "platform/posix/keyboard.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <termios.h>
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

// A pipe carries no typing times: Escape and the bytes after it are keys.
TEST(PipedKeys, EveryByteIsAKeyInOrderAndEndOfInputIsNoKey)
{
    EXPECT_EQ(keys_read_from("ooIVq+-3 "), "ooIVq+-3 ");
    EXPECT_EQ(keys_read_from("a\\033[Ab\\033OQc"), "a\x1b[Ab\x1bOQc");
    EXPECT_EQ(keys_read_from("\\033Oq"), "\x1bOq") << "Escape, the O board key and quit";
    EXPECT_EQ(keys_read_from(""), "");
    std::string more_than_the_ring;
    for (int i = 0; i < 300; ++i)
        more_than_the_ring += (char)('a' + i % 26);
    EXPECT_EQ(keys_read_from(more_than_the_ring), more_than_the_ring) << "nothing waiting in a pipe is lost";
}

// Characters beyond ASCII a student may type by mistake: the IME's
// full-width digits and letters, katakana, accented letters. Each is one
// key that no board takes (its first UTF-8 byte); none of its other bytes
// is a key of its own.
static const char beyond_ascii[] = "\xEF\xBC\x90\xEF\xBC\x97\xEF\xBC\x92\xE3\x83\x8A\xC3\xAD\xC3\x8C"
                                   "\xE3\x83\x90\xC3\xB2\xE3\x82\xB7\xE3\x83\x92\xEF\xBC\xA9";  // ０７２ナíÌバòシヒＩ
static const char beyond_ascii_keys[] = "\xEF\xEF\xEF\xE3\xC3\xC3\xE3\xC3\xE3\xE3\xEF";

TEST(PipedKeys, ACharacterBeyondAsciiIsOneKey)
{
    EXPECT_EQ(keys_read_from(std::string("a") + beyond_ascii + "b"), std::string("a") + beyond_ascii_keys + "b");
}

// Standard input replaced by a terminal (a pseudo-terminal in raw mode).
class TerminalKeys : public ::testing::Test {
protected:
    int saved_stdin = -1, writer = -1;
    void SetUp() override
    {
        writer = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(grantpt(writer) | unlockpt(writer), 0);
        int terminal = open(ptsname(writer), O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        struct termios raw;
        tcgetattr(terminal, &raw);
        cfmakeraw(&raw);
        tcsetattr(terminal, TCSANOW, &raw);
        saved_stdin = dup(STDIN_FILENO);
        dup2(terminal, STDIN_FILENO);
        close(terminal);
        keyboard_forget();
    }
    void TearDown() override
    {
        dup2(saved_stdin, STDIN_FILENO);
        close(saved_stdin);
        close(writer);
        keyboard_forget();
    }
    void type(const char *bytes)
    {
        ASSERT_EQ(write(writer, bytes, strlen(bytes)), (ssize_t)strlen(bytes));
        tcdrain(writer);
        usleep(2000);  // the pseudo-terminal passes the bytes on
    }
    static std::string keys_now()
    {
        std::string keys;
        while (plat_key_waiting())
            keys += (char)plat_read_key();
        return keys;
    }
};

TEST_F(TerminalKeys, AnEscapeNeverHoldsUpAPollAndItsSequenceMayEndAtALaterOne)
{
    type("a\x1b");
    EXPECT_EQ(keys_now(), "a") << "the Escape is held back, without waiting for what may follow";
    type("[A");
    EXPECT_EQ(keys_now(), "") << "Up, completed at a later poll, is dropped whole";
    type("\x1bOQb");
    EXPECT_EQ(keys_now(), "b");
    type("\x1b");
    EXPECT_EQ(keys_now(), "");
    usleep(60 * 1000);
    EXPECT_EQ(keys_now(), "\x1b") << "nothing followed for a while: a key of its own";
}

// Escape, then O and q long after it, typed while the program pauses: three
// keys, as at a poll, not one sequence of a function key.
TEST_F(TerminalKeys, BytesThatArriveFarApartInAPauseAreSeparateKeys)
{
    type("\x1b");
    EXPECT_EQ(plat_sleep_ms(60), 0u);
    type("O");
    EXPECT_EQ(plat_sleep_ms(5), 0u);
    type("q");
    EXPECT_EQ(keys_now(), "\x1bOq");
}

TEST_F(TerminalKeys, ACharacterBeyondAsciiIsOneKey)
{
    type((std::string("a") + beyond_ascii + "b").c_str());
    EXPECT_EQ(keys_now(), std::string("a") + beyond_ascii_keys + "b");
}

// A fast burst fills the keyboard buffer to its last place and no further.
TEST_F(TerminalKeys, TheBufferHoldsAWholeBurstOf256KeysAndDropsOnlyWhatComesAfter)
{
    std::string burst(300, 'a');
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = (char)('a' + i % 26);
    type(burst.c_str());
    keyboard_drain();
    EXPECT_EQ(keys_now(), burst.substr(0, 256));
}
