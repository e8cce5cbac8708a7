// Whether the terminal erases in the background colour in force, read from
// its own description.
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

class TerminalDescription : public TempDirTest {
protected:
    std::string saved_term = getenv("TERM") ? getenv("TERM") : "";
    void TearDown() override
    {
        setenv("TERM", saved_term.c_str(), 1);
        unsetenv("TERMINFO");
        TempDirTest::TearDown();
    }
    static bool erases_in_background(const char *name)
    {
        setenv("TERM", name, 1);
        return plat_background_erase();
    }
};

TEST_F(TerminalDescription, BackgroundEraseIsWhatTheTerminfoEntrySaysPrivateEntriesIncluded)
{
    int with = 0, without = 0;
    for (const char *name : {"xterm-256color", "xterm", "linux", "screen-256color", "screen", "vt100", "dumb"}) {
        bool expected = system(("infocmp -1 " + std::string(name) + " 2>/dev/null | grep -qx '\tbce,'").c_str()) == 0;
        EXPECT_EQ(erases_in_background(name), expected) << name;
        (expected ? with : without)++;
    }
    EXPECT_GT(with, 0);
    EXPECT_GT(without, 0);
    for (const char *name : {"", "no-such-terminal", "../x/xterm", "/lib/terminfo/x/xterm"})
        EXPECT_FALSE(erases_in_background(name)) << name;

    // A private entry, under its hexadecimal directory.
    std::string entry = run_output("find /lib/terminfo /usr/share/terminfo -name xterm -type f 2>/dev/null | head -1");
    ASSERT_NE(entry, "") << "the xterm entry is part of every Debian system";
    run_output("mkdir " + file("78") + " && cp " + entry.substr(0, entry.size() - 1) + " " + file("78/xwena"));
    setenv("TERMINFO", dir.c_str(), 1);
    EXPECT_TRUE(erases_in_background("xwena"));
}

