// A fresh board for each test: zeroed registers and state, console output in
// memory, and a private current directory for WENA.ini.
#pragma once

#include <gtest/gtest.h>

#include <string>

class BoardTest : public ::testing::Test {
protected:
    std::string dir, old_dir;
    void SetUp() override;
    void TearDown() override;

    // Puts text in WENA.ini, or removes it for a null text.
    void write_settings(const char *text);
    std::string read_settings();
    // Feeds keys and runs one poll per key.
    void press(const std::string &keys);
};
