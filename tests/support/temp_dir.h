// Tests that need a private directory for files a program writes, and that
// run whole programs there with a scenario.
#pragma once

#include "tests/support/tmux.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif

class TempDirTest : public ::testing::Test {
protected:
    std::string dir;
    std::string err;  // standard error of the last run_scenario
    // The same on POSIX and on Windows (the Windows build runs the board tests).
    void SetUp() override
    {
        std::random_device random;
        for (int attempt = 0; dir.empty() && attempt < 100; ++attempt) {
            auto path = std::filesystem::temp_directory_path() / ("wena-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(path))
                dir = path.string();
        }
        ASSERT_FALSE(dir.empty());
    }
    // Directories a test made read-only are made writable first.
    void TearDown() override
    {
        namespace fs = std::filesystem;
        std::error_code error;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, error);
        for (auto it = fs::recursive_directory_iterator(dir, error); !error && it != fs::recursive_directory_iterator();
             it.increment(error))
            if (it->is_directory(error) && !it->is_symlink(error))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(dir, error);
    }
    std::string file(const std::string &name) const { return dir + "/" + name; }
    // The file's content, or "" when it is missing.
    std::string read(const std::string &name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    void write(const std::string &name, const std::string &text) const
    {
        std::ofstream(file(name), std::ios::binary) << text;
    }

#ifndef _WIN32
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
#endif
};
