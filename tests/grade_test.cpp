// wena-grade over the example programs: verdicts for a pass, a failed
// check, a malformed scenario and a program that never polls, the table, a
// JUnit report that a schema and a reader accept, and the exit status.
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sys/wait.h>

class Grade : public TempDirTest {
protected:
    std::string out;
    void SetUp() override
    {
        TempDirTest::SetUp();
        run_output("cd " + shell_quote(dir) + " && ln -s " STEPPER " stepper && ln -s " HEX_COUNTER
                   " hex-counter && ln -s " EXAMPLE_PROGRAM " leds && ln -s " SPIN_PROGRAM " spins");
        write("moving.scn", "start boards 1 11 0\nwait 1200\ncheck PDR8 != 0\nkey q\n");
        write("leds_on.scn", "start boards 1 11 0\nkeys 13\nwait 100\ncheck PDR8 == 0x0A\n");
        write("leds_wrong.scn", "start boards 1 11 0\nkeys 13\nwait 100\n\ncheck PDR8 == 0x0B  # wrong on purpose\n");
        write("broken.scn", "start boards 1 11 0\nwait soon\n");
    }

    // Runs wena-grade in the directory; gives its exit status.
    int grade(const std::string &args)
    {
        std::string command = "cd " + shell_quote(dir) + " && " GRADE_PROGRAM " " + args + " > out.txt 2> err.txt";
        int status = system(command.c_str());
        out = read("out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(Grade, OneProgramAgainstManyScenarios)
{
    EXPECT_EQ(grade("leds leds_on.scn leds_wrong.scn broken.scn"), 1) << read("err.txt");
    EXPECT_EQ(out,
              "PROGRAM  SCENARIO        VERDICT    LINE              WHAT FAILED\n"
              "leds     leds_on.scn     passed\n"
              "leds     leds_wrong.scn  failed     leds_wrong.scn:5  expected check PDR8 == 0x0B  # wrong on purpose; seen PDR8 = 0x0A\n"
              "leds     broken.scn      malformed  broken.scn:2      'soon' is not a number (milliseconds)\n"
              "1 of 3 runs passed\n");
    EXPECT_EQ(read("err.txt"), "") << "no progress line when standard error is no terminal";
    EXPECT_EQ(grade("-j 1 leds leds_on.scn"), 0);
}

// The class: a program that spins without polling is killed at the limit,
// and the whole grading ends within it. Others never run the scenario; one
// writes code page 932 text and a control character to standard error,
// which the report must still carry as valid XML.
TEST_F(Grade, ManyProgramsAgainstOneScenarioWithAHungOneAndSomeThatNeverRunIt)
{
    write("noisy", "#!/bin/sh\nprintf '\\203X\\001<&>' >&2\n");
    run_output("chmod +x " + shell_quote(file("noisy")));
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    EXPECT_EQ(grade("--time-limit 2 --junit report.xml -s moving.scn stepper hex-counter leds spins /bin/true "
                    "no-such-program noisy"),
              1);
    clock_gettime(CLOCK_MONOTONIC, &end);
    double seconds = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    EXPECT_LT(seconds, 8.0) << "the hung run killed at its 2 s, well before the program's own 10 s watchdog";
    EXPECT_EQ(out,
              "PROGRAM          SCENARIO    VERDICT     LINE          WHAT FAILED\n"
              "stepper          moving.scn  passed\n"
              "hex-counter      moving.scn  passed\n"
              "leds             moving.scn  failed      moving.scn:3  expected check PDR8 != 0; seen PDR8 = 0x00\n"
              "spins            moving.scn  hung                      killed after 2 s of real time\n"
              "/bin/true        moving.scn  exit 0                    exit status 0 without a verdict: the scenario "
              "did not run to its end\n"
              "no-such-program  moving.scn  cannot run                wena-grade: cannot run no-such-program: No such "
              "file or directory\n"
              "noisy            moving.scn  exit 0                    exit status 0 without a verdict: the scenario "
              "did not run to its end\n"
              "2 of 7 runs passed\n");

    // The schema, then a reader that adds the counts up.
    EXPECT_EQ(run_output("xmllint --noout --schema " JUNIT_XSD " " + shell_quote(file("report.xml")) +
                         " 2>&1 >/dev/null; echo $?"),
              file("report.xml") + " validates\n0\n");
    std::string check = R"(
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
cases = [(s.get('name'), c.get('name'), [k.tag for k in c if k.tag in ('failure', 'error')])
         for s in root for c in s]
for s in root:
    assert int(s.get('tests')) == len(s), s.get('name')
    assert int(s.get('failures')) == len(s.findall('testcase/failure'))
    assert int(s.get('errors')) == len(s.findall('testcase/error'))
assert int(root.get('tests')) == len(cases)
print(root.get('failures'), root.get('errors'), cases)
)";
    write("check.py", check);
    EXPECT_EQ(run_output("python3 " + shell_quote(file("check.py")) + " " + shell_quote(file("report.xml"))),
              "1 4 [('stepper', 'moving.scn', []), ('hex-counter', 'moving.scn', []), "
              "('leds', 'moving.scn', ['failure']), ('spins', 'moving.scn', ['error']), "
              "('/bin/true', 'moving.scn', ['error']), ('no-such-program', 'moving.scn', ['error']), "
              "('noisy', 'moving.scn', ['error'])]\n");
    EXPECT_NE(read("report.xml").find("<system-err>\xEF\xBF\xBDX\xEF\xBF\xBD&lt;&amp;&gt;</system-err>"),
              std::string::npos);
}
