// A fresh board for each test: zeroed registers and state, console output in
// memory, and a private current directory for WENA.ini.
#pragma once

#include "board/sim_state.h"
#include "console/con.h"
#include "tests/support/capture.h"
#include "tests/support/temp_dir.h"

class BoardTest : public TempDirTest {
protected:
    std::string old_dir = std::filesystem::current_path().string();
    void SetUp() override
    {
        TempDirTest::SetUp();
        sim = SimState{};
        wena_registers = PortRegisters{};
        capture_start();
        while (con_key_waiting())
            con_read_key();
        std::filesystem::current_path(dir);
    }
    void TearDown() override
    {
        std::filesystem::current_path(old_dir);
        TempDirTest::TearDown();
    }

    // Puts text in WENA.ini, or removes it for a null text.
    void write_settings(const char *text)
    {
        if (text)
            write("WENA.ini", text);
        else
            std::remove(file("WENA.ini").c_str());
    }
    std::string read_settings() { return read("WENA.ini"); }
    // Feeds keys and runs one poll per key.
    void press(const std::string &keys)
    {
        for (char key : keys) {
            con_feed_keys(&key, 1);
            sim_poll();
        }
    }
};
