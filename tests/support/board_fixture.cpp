#include "tests/support/board_fixture.h"

#include "board/sim_state.h"
#include "console/con.h"
#include "tests/support/capture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

// A new directory under the system's temporary directory, on POSIX and Windows.
static std::filesystem::path new_temp_dir()
{
    std::random_device random;
    for (;;) {
        auto path = std::filesystem::temp_directory_path() / ("wena-board-" + std::to_string(random()));
        if (std::filesystem::create_directory(path))
            return path;
    }
}

void BoardTest::SetUp()
{
    sim = SimState{};
    wena_registers = PortRegisters{};
    capture_start();
    while (con_key_waiting())
        con_read_key();
    old_dir = std::filesystem::current_path().string();
    dir = new_temp_dir().string();
    std::filesystem::current_path(dir);
}

void BoardTest::TearDown()
{
    namespace fs = std::filesystem;
    fs::current_path(old_dir);
    std::error_code error;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(dir, error);
    EXPECT_FALSE(error) << error.message();
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
