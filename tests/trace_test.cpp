// Port traces read back by GTKWave's own tools: vcd2fst must accept the
// file, and fst2vcd's rewrite of it must hold the samples the run produced.
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

using Samples = std::vector<std::pair<long long, unsigned>>;

// PDR8's samples in the raw file, the first one included: lines "b... \"".
static size_t pdr8_samples(const std::string &raw)
{
    size_t n = 0;
    for (size_t at = raw.find(" \"\n"); at != std::string::npos; at = raw.find(" \"\n", at + 1))
        ++n;
    return n;
}

// Microseconds in one unit of a "$timescale" such as "1us" or "10 ms".
static double microseconds_in(const std::string &scale)
{
    static const std::map<std::string, double> units = {{"s", 1e6}, {"ms", 1e3}, {"us", 1}, {"ns", 1e-3}, {"ps", 1e-6}, {"fs", 1e-9}};
    size_t unit = scale.find_first_not_of("0123456789 \t");
    auto known = units.find(unit == std::string::npos ? "" : scale.substr(unit));
    return known == units.end() ? 0 : std::stod(scale) * known->second;
}

class Trace : public TempDirTest {
protected:
    // Each signal's samples as the independent reader gives them back, in
    // microseconds by the file's own timescale, or an empty map when it
    // refuses the file.
    std::map<std::string, Samples> read_back(const std::string &name)
    {
        std::string fst = file(name + ".fst");
        std::string text = run_output("vcd2fst " + shell_quote(file(name)) + " " + shell_quote(fst) +
                                      " > /dev/null 2>&1 && fst2vcd " + shell_quote(fst) + " 2>/dev/null");
        std::map<std::string, std::string> code_name;
        std::map<std::string, Samples> samples;
        std::istringstream lines(text);
        std::string line;
        long long now = 0;
        double scale = 0;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string first, width, code, signal;
            words >> first;
            if (first == "$timescale" && std::getline(lines, line))
                scale = microseconds_in(line.substr(line.find_first_not_of(" \t")));
            else if (first == "$var" && words >> width >> width >> code >> signal)
                code_name[code] = signal;
            else if (first[0] == '#')
                now = (long long)((double)std::stoll(first.substr(1)) * scale);
            else if (first[0] == 'b' && words >> code)
                samples[code_name[code]].push_back({now, (unsigned)std::stoul(first.substr(1), nullptr, 2)});
        }
        return samples;
    }
};

// The stepper steps every 20 ms; each of its 20 ms pauses also polls twice,
// at 0.1 ms a poll, and the first phase is seen at the first poll (its LCD
// call before it lays the board out without a poll).
TEST_F(Trace, StepperPhasesComeBackAtTheirStepTimes)
{
    ASSERT_EQ(run_scenario(STEPPER, "start boards 0 15 0\nwait 1000\ncheck PDR8 == 0x22\n", nullptr, "WENA_TRACE=run.vcd"),
              0)
        << err;
    static const unsigned phases[4] = {0x11, 0x22, 0x44, 0x88};
    Samples expected = {{0, 0}};
    for (long long k = 0; 100 + 20200 * k < 1000100; ++k)
        expected.push_back({100 + 20200 * k, phases[k % 4]});
    auto seen = read_back("run.vcd");
    EXPECT_EQ(seen["PDR8"], expected);
    EXPECT_EQ(seen["PDR5"], (Samples{{0, 0}}));
    EXPECT_EQ(seen["ADDA"].size(), 1u);
}

// The run ends at the step that sees the program's answer to a key: the
// trace's last samples hold that answer, as the check did.
TEST_F(Trace, TheLastSampleHoldsWhatTheLastStepSaw)
{
    ASSERT_EQ(run_scenario(EXAMPLE_PROGRAM, "start boards 1 11 0\nkeys 13\ncheck PDR8 == 0x0A\n", nullptr,
                           "WENA_TRACE=run.vcd"),
              0)
        << err;
    auto seen = read_back("run.vcd");
    EXPECT_EQ(seen["PDR5"].back().second, 0x0Au);
    EXPECT_EQ(seen["PDR8"].back().second, 0x0Au);
}

// Killed at an unknown moment: what reached the file loads, sample for sample.
TEST_F(Trace, TraceCutBySigkillStillLoads)
{
    write("long.scn", "start boards 0 15 0\nwait 60000\n");
    pid_t pid = fork();
    if (pid == 0) {
        int null_out = open("/dev/null", O_WRONLY);
        if (chdir(dir.c_str()) != 0 || null_out < 0 || dup2(null_out, 1) < 0)
            _exit(127);
        setenv("WENA_TRACE", "run.vcd", 1);
        setenv("WENA_SCENARIO", "long.scn", 1);
        setenv("WENA_REALTIME", "1", 1);
        execl(STEPPER, STEPPER, (char *)nullptr);
        _exit(127);
    }
    // Killed once a few steps are in the file, however slow the start.
    for (int tries = 0; tries < 500 && pdr8_samples(read("run.vcd")) < 6; ++tries)
        usleep(20000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    std::string raw = read("run.vcd");
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(raw.back(), '\n');
    auto seen = read_back("run.vcd");
    ASSERT_GE(seen["PDR8"].size(), 6u) << raw;
    EXPECT_EQ(seen["PDR8"].size(), pdr8_samples(raw));
    for (size_t i = 1; i < seen["PDR8"].size(); ++i) {
        EXPECT_EQ(seen["PDR8"][i].second, (0x11u << ((i - 1) % 4)) & 0xFF) << "sample " << i;
        EXPECT_GT(seen["PDR8"][i].first, seen["PDR8"][i - 1].first);
    }
}

// A file that can grow no more (here a file size limit, as a full disk would
// do it): the run ends with status 6 and says so, and the file is cut back
// to its last whole sample, which the message names, and still loads.
TEST_F(Trace, AFullDiskEndsTheRunOnTheLastWholeSample)
{
    write("long.scn", "start boards 0 15 0\nwait 60000\n");
    std::string command = "cd " + shell_quote(dir) + " && ulimit -f 3 && trap '' XFSZ && WENA_SCENARIO=long.scn WENA_TRACE=run.vcd " +
                          STEPPER + " > /dev/null 2> err.txt";
    ASSERT_EQ(WEXITSTATUS(system(command.c_str())), 6) << read("err.txt");
    std::string raw = read("run.vcd");
    ASSERT_FALSE(raw.empty());
    EXPECT_LT(raw.size(), 3072u) << "the part of the sample that fitted is cut off";
    EXPECT_EQ(raw.substr(raw.size() - 3), " \"\n") << "the file ends with a whole PDR8 sample";
    auto seen = read_back("run.vcd");
    ASSERT_GE(seen["PDR8"].size(), 6u) << raw;
    EXPECT_EQ(seen["PDR8"].size(), pdr8_samples(raw));
    EXPECT_EQ(read("err.txt"), "wena: long.scn:2: run.vcd: WENA_TRACE cannot be written whole: File too large; it ends with "
                               "the sample at " + std::to_string(seen["PDR8"].back().first) + " us\n");
}

// An interactive run in real time, ended by Q: the switch and the voltage
// are traced, the value matches what the LCD showed, and the end is stamped.
TEST_F(Trace, InteractiveRunEndedByQ)
{
    write("WENA.ini", "1,11,21");
    std::string command = "cd " + shell_quote(dir) + " && printf '1+q' | WENA_TRACE=run.vcd WENA_DUMP_AT_EXIT=end.txt " +
                          EXAMPLE_PROGRAM + " > /dev/null 2> err.txt";
    ASSERT_EQ(WEXITSTATUS(system(command.c_str())), 1) << read("err.txt");
    auto seen = read_back("run.vcd");
    ASSERT_EQ(seen["PDR5"].size(), 2u);
    EXPECT_EQ(seen["PDR5"][1].second, 0x02u);
    ASSERT_EQ(seen["ADDA"].size(), 2u);
    std::string screen = read("end.txt");
    size_t shown = screen.find("A=");
    ASSERT_NE(shown, std::string::npos) << screen;
    EXPECT_EQ(std::to_string(seen["ADDA"][1].second), screen.substr(shown + 2, screen.find(' ', shown) - shown - 2));
    std::string raw = read("run.vcd");
    EXPECT_NE(raw.find("$comment stamped with real time"), std::string::npos);
    long long last_sample = std::max(seen["PDR5"][1].first, seen["ADDA"][1].first);
    long long end = std::stoll(raw.substr(raw.rfind('#') + 1));
    EXPECT_GT(end, last_sample) << "the end is stamped after the last sample";
}

TEST_F(Trace, UnwritableTraceIsRefusedBeforeTheBoardIsPainted)
{
    EXPECT_EQ(run_scenario(EXAMPLE_PROGRAM, "wait 10\n", nullptr, "WENA_TRACE=no/such/dir/run.vcd"), 6);
    EXPECT_EQ(err, "wena: no/such/dir/run.vcd: WENA_TRACE cannot be written: No such file or directory\n");
    EXPECT_EQ(read("out.bin"), "");
}
