// Tests that need a private directory for files a program writes.
#pragma once

#include "tests/support/tmux.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

class TempDirTest : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/wena-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { run_output("rm -rf " + shell_quote(dir)); }
    std::string file(const std::string &name) const { return dir + "/" + name; }
    // The file's content, or "" when it is missing.
    std::string read(const std::string &name) const { return wait_for_file(file(name), 0); }
};
