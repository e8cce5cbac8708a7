#include "tests/support/board_fixture.h"

#include "board/sim_state.h"
#include "console/con.h"
#include "tests/support/capture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

void BoardTest::SetUp()
{
    sim = SimState{};
    wena_registers = PortRegisters{};
    capture_start();
    while (con_key_waiting())
        con_read_key();
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_dir = cwd;
    char tmpl[] = "/tmp/wena-board-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    ASSERT_EQ(chdir(dir.c_str()), 0);
}

void BoardTest::TearDown()
{
    ASSERT_EQ(chdir(old_dir.c_str()), 0);
    std::string command = "chmod -R u+w " + dir + " 2>/dev/null; rm -rf " + dir;
    EXPECT_EQ(system(command.c_str()), 0);
}

void BoardTest::write_settings(const char *text)
{
    if (!text) {
        remove("WENA.ini");
        return;
    }
    std::ofstream out("WENA.ini", std::ios::binary);
    out << text;
}

std::string BoardTest::read_settings()
{
    std::ifstream in("WENA.ini", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void BoardTest::press(const std::string &keys)
{
    for (char key : keys) {
        con_feed_keys(&key, 1);
        sim_poll();
    }
}
