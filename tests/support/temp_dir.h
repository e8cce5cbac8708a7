// Tests that need a private directory for files a program writes, and that
// run whole programs there with a scenario.
#pragma once

#include "tests/support/tmux.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

class TempDirTest : public ::testing::Test {
protected:
    std::string dir;
    std::string err;  // standard error of the last run_scenario
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
    void write(const std::string &name, const std::string &text) const { std::ofstream(file(name)) << text; }

    // Runs the program (a command line) in the directory with the scenario
    // as run.scn, `env` (shell words) before it, and WENA.ini holding
    // `settings` (no WENA.ini for null). Standard input and output are not a
    // terminal; the output is kept in out.bin. Gives the exit status.
    int run_scenario(const std::string &program, const std::string &scenario, const char *settings = nullptr,
                     const std::string &env = "")
    {
        write("run.scn", scenario);
        if (settings)
            write("WENA.ini", settings);
        else
            std::remove(file("WENA.ini").c_str());
        std::string command = "cd " + shell_quote(dir) + " && " + env + " WENA_SCENARIO=${WENA_SCENARIO-run.scn} " +
                              program + " < /dev/null > out.bin 2> err.txt";
        int status = system(command.c_str());
        err = read("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};
