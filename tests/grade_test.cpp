// wena-grade over the example programs: verdicts for a pass, a failed
// check, a malformed scenario and a program that never polls, the table, a
// JUnit report that a schema and a reader accept, and the exit status. Then
// students' programs that try to forge a verdict or reach the grader, the
// teacher's terminal, the other runs or the machine.
#include "tests/support/golden.h"
#include "tests/support/grade_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <sys/wait.h>


class Grade : public TempDirTest {
protected:
    std::string out;
    void SetUp() override
    {
        TempDirTest::SetUp();
        run_output("cd " + shell_quote(dir) + " && mkdir tmp && ln -s " STEPPER " stepper && ln -s " HEX_COUNTER
                   " hex-counter && ln -s " EXAMPLE_PROGRAM " leds && ln -s " SPIN_PROGRAM " spins && for name in "
                   "forges-stderr atexit-forges debug-no-newline exits-3 crashes-midway signals-grader "
                   "leaves-a-daemon writes-much locks-its-directory writes-to-terminal peeks forks-and-returns forks-brute-force "
                   "closes-descriptors closes-in-constructor reads-scenario-first returns-after-poll plants-picture "
                   "exits-139 forges-signals swaps-scenario allocates-much writes-one-big-file hogs-memory forks-a-bomb "
                   "fills-the-disk writes-deep looks-for-secrets swaps-links; do ln -s " MISBEHAVING
                   " $name; done");
        write("moving.scn", "start boards 1 11 0\nwait 1200\ncheck PDR8 != 0\nkey q\n");
        write("leds_on.scn", "start boards 1 11 0\nkeys 13\nwait 100\ncheck PDR8 == 0x0A\n");
        write("leds_wrong.scn", "start boards 1 11 0\nkeys 13\nwait 100\n\ncheck PDR8 == 0x0B  # wrong on purpose\n");
        write("quiet.scn", "start boards 1 11 0\nwait 100\ncheck PDR8 == 0\n");
        write("lit.scn", "start boards 1 11 0\nwait 100\ncheck PDR8 == 1\n");
    }

    // Runs wena-grade in the directory with `env` (shell words); gives its exit status.
    int grade(const std::string &args, const std::string &env = "")
    {
        std::string command = "cd " + shell_quote(dir) + " && timeout 60 env " + env + " " GRADE " " + args +
                              " > out.txt 2> err.txt";
        int status = system(command.c_str());
        out = read("out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// Program names in kanji take two columns each, half-width katakana one.
TEST_F(Grade, OneProgramAgainstManyScenariosAndATableByTerminalColumns)
{
    EXPECT_EQ(grade("leds leds_on.scn leds_wrong.scn"), 1) << read("err.txt");
    EXPECT_EQ(out,
              "PROGRAM  SCORE  SCENARIO        VERDICT  LINE              WHAT FAILED\n"
              "leds     1/2    leds_on.scn     passed\n"
              "leds            leds_wrong.scn  failed   leds_wrong.scn:5  expected check PDR8 == 0x0B  # wrong on purpose; seen PDR8 = 0x0A\n"
              "1 of 2 runs passed\n");
    EXPECT_EQ(read("err.txt"), "") << "no progress line when standard error is no terminal";
    run_output("cd " + shell_quote(dir) + " && ln -s leds 課題 && ln -s leds ｶﾀ");
    EXPECT_EQ(grade("-j 1 -s leds_on.scn 課題 ｶﾀ leds"), 0) << read("err.txt");
    EXPECT_EQ(out,
              "PROGRAM  SCORE  SCENARIO     VERDICT  LINE  WHAT FAILED\n"
              "課題     1/1    leds_on.scn  passed\n"
              "ｶﾀ       1/1    leds_on.scn  passed\n"
              "leds     1/1    leds_on.scn  passed\n"
              "3 of 3 runs passed\n");
}

// On a terminal the verdicts come in the page's colours; NO_COLOR, like a
// pipe (above), leaves the table plain.
TEST_F(Grade, TheTableIsInColourOnlyOnATerminalThatTakesIt)
{
    if (access("/usr/bin/script", X_OK) != 0)
        GTEST_SKIP() << "no script(1) to give the grader a terminal";
    auto on_terminal = [&](const std::string &env) {
        std::string command = "cd " + shell_quote(dir) + " && " + env + " script -qec " +
                              shell_quote("timeout 60 " GRADE " leds leds_on.scn leds_wrong.scn 2>/dev/null") +
                              " /dev/null | tr -d '\\r'";
        return run_output(command);
    };
    EXPECT_EQ(on_terminal("env -u NO_COLOR"),
              "PROGRAM  SCORE  SCENARIO        VERDICT  LINE              WHAT FAILED\n"
              "leds     1/2    leds_on.scn     \x1b[32mpassed\x1b[m\n"
              "leds            leds_wrong.scn  \x1b[31mfailed\x1b[m   leds_wrong.scn:5  expected check PDR8 == 0x0B  "
              "# wrong on purpose; seen PDR8 = 0x0A\n"
              "1 of 2 runs passed\n");
    EXPECT_EQ(on_terminal("NO_COLOR=1").find('\x1b'), std::string::npos);
}

// The class: a program that spins without polling is killed at the limit,
// and the whole grading ends within it. Others never run the scenario; one
// writes code page 932 text and a control character to standard error,
// which the report must still carry as valid XML.
TEST_F(Grade, ManyProgramsAgainstOneScenarioWithAHungOneAndSomeThatNeverRunIt)
{
    write("noisy", "#!/bin/sh\nprintf '\\203X\\001<&>' >&2\n");
    run_output("chmod +x " + shell_quote(file("noisy")));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(grade("--time-limit 3 --junit report.xml -s moving.scn stepper hex-counter leds spins /bin/true noisy"), 1);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 8.0)
        << "the hung run ended within its 3 s";
    std::string no_verdict = "exit 0                   exit status 0 without a verdict: the scenario did not run to its end\n";
    EXPECT_EQ(out,
              "PROGRAM      SCORE  SCENARIO    VERDICT    LINE          WHAT FAILED\n"
              "stepper      1/1    moving.scn  passed\n"
              "hex-counter  1/1    moving.scn  passed\n"
              "leds         0/1    moving.scn  failed     moving.scn:3  expected check PDR8 != 0; seen PDR8 = 0\n"
              "spins        0/1    moving.scn  timed out  moving.scn:2  the program has not polled or paused for 1 s of "
              "real time (WENA_WATCHDOG)\n"
              "/bin/true    0/1    moving.scn  " + no_verdict +
              "noisy        0/1    moving.scn  " + no_verdict +
              "2 of 6 runs passed\n");
    EXPECT_EQ(run_output("xmllint --noout --schema " JUNIT_XSD " " + shell_quote(file("report.xml")) +
                         " 2>&1 >/dev/null; echo $?"),
              file("report.xml") + " validates\n0\n");
    // A reader that adds the counts up.
    write("check.py", R"(
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
cases = [(s.get('name'), c.get('name'), [k.tag for k in c if k.tag in ('failure', 'error')])
         for s in root for c in s.findall('testcase')]
scores = []
for s in root:
    assert int(s.get('tests')) == len(s.findall('testcase')), s.get('name')
    assert int(s.get('failures')) == len(s.findall('testcase/failure'))
    assert int(s.get('errors')) == len(s.findall('testcase/error'))
    props = {p.get('name'): p.get('value') for p in s.findall('properties/property')}
    passed = len([c for c in s.findall('testcase') if len(c.findall('failure') + c.findall('error')) == 0])
    assert props == {'score': '%d/%s' % (passed, s.get('tests')), 'passed': str(passed), 'scenarios': s.get('tests')}
    scores.append(props['score'])
assert int(root.get('tests')) == len(cases)
print(root.get('failures'), root.get('errors'), cases, scores)
)");
    EXPECT_EQ(run_output("python3 " + shell_quote(file("check.py")) + " " + shell_quote(file("report.xml"))),
              "2 2 [('stepper', 'moving.scn', []), ('hex-counter', 'moving.scn', []), "
              "('leds', 'moving.scn', ['failure']), ('spins', 'moving.scn', ['failure']), "
              "('/bin/true', 'moving.scn', ['error']), ('noisy', 'moving.scn', ['error'])] "
              "['1/1', '1/1', '0/1', '0/1', '0/1', '0/1']\n");
    EXPECT_NE(read("report.xml").find("<system-err>\xEF\xBF\xBDX\xEF\xBF\xBD&lt;&amp;&gt;</system-err>"),
              std::string::npos);
}

// A grading is refused before any run when an option, a scenario or a
// program named cannot be used, in one line (and a hint for a wrong option);
// nothing waits on a FIFO, nothing is graded.
TEST_F(Grade, RefusesWhatItCannotUseBeforeAnyRun)
{
    write("broken.scn", "start boards 1 11 0\nwait soon\n");
    write("escape.scn", "check PDR8 == \x1b]0;owned\x07\n");
    write("empty.scn", "");
    write("comments.scn", "# nothing to check\n\n   # at all\n");
    write("bom.scn", "\xEF\xBB\xBF");
    write("boards-only.scn", "start boards 1 11 0\nkeys 13\nwait 100\n");
    write("sjis.scn", "start boards 1 11 0\n# \x83X\x83" "C\x83" "b\x83`\ncheck PDR8 == 0\n");
    write("blanks.scn", "start boards 1 11 0\nkeys 1 3\ncheck PDR8 == 0x0A\n");
    write("wide.scn", "start boards 1 11 0\ncheck PDR8 != 0x100\n");
    write("text-program", "not a program\n");
    write("x.c", "int main(void) { return 0; }\n");
    run_output("cd " + shell_quote(dir) + " && mkfifo fifo fifo.scn && mkdir adir kept && chmod +x text-program && "
               "cp leds unrunnable && chmod a-x unrunnable");
    const std::string hint = "Try 'wena-grade --help' for the options.\n", scenario = " leds leds_on.scn";
    const std::pair<std::string, std::string> cases[] = {
        {"--junit fifo" + scenario, "--junit fifo: it is a FIFO; a report is written as a whole file\n"},
        {"--html fifo" + scenario, "--html fifo: it is a FIFO; a report is written as a whole file\n"},
        {"--html adir" + scenario, "--html adir: it is a directory\n"},
        {"--junit adir" + scenario, "--junit adir: it is a directory\n"},
        {"--ini adir" + scenario, "--ini adir: it is a directory\n"},
        {"--ini fifo" + scenario, "--ini fifo: it is a FIFO, not a regular file\n"},
        {"--html no-such-dir/report.html" + scenario, "--html no-such-dir/report.html: No such file or directory\n"},
        {"--keep kept" + scenario, "--keep " + file("kept") + ": it exists already; the runs are kept in a new directory\n"},
        {"--html leds_on.scn" + scenario, "--html leds_on.scn: the same file as leds_on.scn, which would be lost\n"},
        {"--junit leds" + scenario, "--junit leds: the same file as leds, which would be lost\n"},
        {"--junit r.xml --html r.xml" + scenario, "--html r.xml: the same file as r.xml, which would be lost\n"},
        {"--html r.html --junit ./r.html" + scenario, "--html r.html: the same file as ./r.html, which would be lost\n"},
        {"--html tmp/../r.html --junit r.html" + scenario,
         "--html tmp/../r.html: the same file as r.html, which would be lost\n"},
        {"--keep new --html new" + scenario, "--html new: the same place as --keep " + file("new") + "\n"},
        {"--keep new --junit ./new" + scenario, "--junit ./new: the same place as --keep " + file("new") + "\n"},
        {"--junit ''" + scenario, "--junit needs a file, not ''\n" + hint},
        {"--html ''" + scenario, "--html needs a file, not ''\n" + hint},
        {"leds empty.scn", "empty.scn: no check or wait until: it would pass every program\n"},
        {"leds quiet.scn comments.scn", "comments.scn: no check or wait until: it would pass every program\n"},
        {"leds bom.scn", "bom.scn: no check or wait until: it would pass every program\n"},
        {"leds boards-only.scn", "boards-only.scn: no check or wait until: it would pass every program\n"},
        {"leds escape.scn", "escape.scn:1: '\\x1B]0;owned\\x07' is not a number (value)\n"},
        {"-s quiet.scn leds \"$(printf '\\033[2Jgone')\"", "\\x1B[2Jgone: No such file or directory: cannot be run\n"},
        {"--junit -s" + scenario, "--junit needs a file, not '-s' (./-s names such a file)\n" + hint},
        {"--bogus" + scenario, "unknown option --bogus\n" + hint},
        {"-t 0" + scenario, "--time-limit '0' is not a whole number from 1 to 86400\n" + hint},
        {"--html", "--html needs a value\n" + hint},
        {"leds quiet.scn broken.scn", "broken.scn:2: 'soon' is not a number (milliseconds)\n"},
        {"leds sjis.scn", "sjis.scn:2: the scenario is not UTF-8 (byte 0x83 at character 3): save it as UTF-8\n"},
        {"leds blanks.scn", "blanks.scn:2: keys takes one word with no blanks: 'keys 13' types 1 and 3; a blank is "
                            "'key space' on a line of its own\n"},
        {"leds wide.scn", "wide.scn:2: '0x100' is out of range: PDR8 is an 8-bit port, 0 to 255 (0xFF)\n"},
        {"leds quiet.scn missing.scn", "missing.scn: No such file or directory: cannot read the scenario\n"},
        {"leds fifo.scn", "fifo.scn: it is a FIFO, not a regular file: cannot read the scenario\n"},
        {"leds adir", "adir: it is a directory: cannot read the scenario\n"},
        {"-s quiet.scn leds missing-program", "missing-program: No such file or directory: cannot be run\n"},
        {"-s quiet.scn leds fifo", "fifo: not a regular file: cannot be run\n"},
        {"-s quiet.scn leds unrunnable", "unrunnable: Permission denied: cannot be run\n"},
        {"-s quiet.scn leds text-program", "text-program: neither a program nor a script: cannot be run\n"},
        {"-s quiet.scn leds tmp", "tmp: a directory with no .c or .cpp file: no sources to compile\n"},
        {"leds stepper quiet.scn", "stepper is a program, not a scenario: scenarios follow -s\n"},
        {"leds quiet.scn x.c", "x.c is a source, not a scenario: scenarios follow -s\n"},
        {"-s quiet.scn leds lit.scn", "lit.scn is a scenario, not a program: each scenario follows its own -s\n"},
        {"--cc no-such-cc x.c quiet.scn", "--cc no-such-cc: no such compiler\n"},
    };
    for (const auto &[args, message] : cases) {
        EXPECT_EQ(grade("-t 5 " + args), 2) << args;
        EXPECT_EQ(read("err.txt"), "wena-grade: " + message) << args;
        EXPECT_EQ(out, "") << args << ": nothing graded";
    }
    EXPECT_EQ(run_output("ls " + shell_quote(file("kept")) + " | wc -l"), "0\n");
    EXPECT_EQ(run_output("cd " + shell_quote(dir) + " && ls -d new r.xml r.html 2>/dev/null | wc -l"), "0\n")
        << "neither --keep nor a report made";
    EXPECT_EQ(grade("--version"), 0);
    EXPECT_EQ(out, "wena-grade " WENA_VERSION "\n");
}

// wena-demo answers --help and --version without taking the terminal, and
// each option the programs take is in its manual page.
TEST(CommandLines, HelpVersionAndManualPages)
{
    EXPECT_EQ(run_output("timeout 10 " DEMO_PROGRAM " --version < /dev/null; echo $?"), "wena-demo " WENA_VERSION "\n0\n");
    std::string help = run_output("timeout 10 " DEMO_PROGRAM " --help < /dev/null; echo $?");
    EXPECT_EQ(help.substr(0, 6), "usage:");
    EXPECT_EQ(help.substr(help.size() - 3), "\n0\n");
    EXPECT_EQ(run_output("timeout 10 " DEMO_PROGRAM " --fast < /dev/null 2>&1; echo $?"),
              "wena-demo: unknown option '--fast'\nTry 'wena-demo --help' for more.\n2\n");
    // Every long option the help lists, in the page as roff writes it ("\\-\\-jobs").
    for (const auto &[program, page] : {std::pair{GRADE_PROGRAM, "wena-grade.1"}, {DEMO_PROGRAM, "wena-demo.1"}}) {
        std::ifstream in(std::string(MAN_DIR) + "/" + page);
        std::string roff((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), missing;
        for (size_t at; (at = roff.find("\\-")) != std::string::npos;)
            roff.replace(at, 2, "-");
        std::string options = run_output(std::string(program) + " --help | grep -o -- '--[a-z-]*' | sort -u");
        for (std::istringstream lines(options); std::getline(lines, options);)
            if (roff.find(options) == std::string::npos)
                missing += options + " ";
        EXPECT_NE(roff.find(".TH "), std::string::npos) << page;
        EXPECT_EQ(missing, "") << page << " lacks these options";
    }
}

// The page a teacher opens, as a real browser reads it: the class grid by
// verdict, and the board's screen at the moment a check failed, compared
// whole. Two programs leave a screen picture of their own in their
// directory before crashing, one well formed, one with markup: neither is
// shown, only what the scenario run sends on the grader's descriptor.
TEST_F(Grade, HtmlReportInABrowser)
{
    write("forged", "#!/bin/sh\nprintf '<div class=\"screen\">\\n<div><span class=\"f7 b0\" style=\"width:9ch\">"
                    "&lt;b&gt;forged</span></div>\\n</div>\\n</body>\\n' > \"$WENA_DUMP_ON_FAILURE\"\n"
                    "echo '<script>alert(1)</script>' >&2\nkill -SEGV $$\n");
    write("raw", "#!/bin/sh\nprintf '<div class=\"screen\">\\n<div><span class=\"f7 b0\" style=\"width:3ch\">"
                 "<img src=x onerror=alert(1)></span></div>\\n</div>\\n</body>\\n' > failure-screen.html\n"
                 "kill -SEGV $$\n");
    run_output("cd " + shell_quote(dir) + " && chmod +x forged raw && ln -s leds '<i>leds'");
    EXPECT_EQ(grade("-t 3 --html report.html -s leds_on.scn -s leds_wrong.scn leds hex-counter forged raw '<i>leds' "
                    "spins"),
              1);
    std::string html = read("report.html");
    // Checked before a browser opens the page: an alert() there would hold it.
    ASSERT_EQ(html.find("<script"), std::string::npos);
    ASSERT_EQ(html.find("<img"), std::string::npos);
    ASSERT_EQ(html.find("<i>"), std::string::npos);
    ASSERT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos) << "the standard error, escaped";
    EXPECT_NE(html.find("id=\"run-2\">"), std::string::npos);
    EXPECT_NE(html.find("<div class=\"picture\"><div class=\"screen\">\n<div><span class=\"f7 b0\""),
              std::string::npos)
        << "the screen of a failed check";

    if (access("/usr/bin/chromium", X_OK) != 0)
        GTEST_SKIP() << "no /usr/bin/chromium: the page is not opened in a browser";
    write("dom.html", run_output(
        "cd " + shell_quote(dir) + " && mkdir profile && timeout 120 /usr/bin/chromium --headless --no-sandbox "
        "--disable-gpu --disable-quic --no-first-run --disable-background-networking --disable-component-update "
        "--disable-sync --user-data-dir=\"$PWD/profile\" --dump-dom \"file://$PWD/report.html\" 2>/dev/null"));
    // The grid as rows of "class:text" cells, then each run's picture as
    // its text rows and one attribute letter a cell.
    write("read_page.py", R"(
import sys, html.parser
class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(); self.stack = []; self.grid = []; self.pictures = {}; self.section = None
        self.cell = None; self.span = None; self.tags = set()
    def handle_starttag(self, tag, attrs):
        a = dict(attrs); self.tags.add(tag)
        if tag == 'section': self.section = a['id']; self.pictures[self.section] = None
        if tag == 'tr' and 'grid' in self.stack_classes(): self.grid.append([])
        if tag in ('th', 'td') and self.grid: self.cell = [a.get('class', ''), '']
        if tag == 'div' and a.get('class') == 'screen': self.pictures[self.section] = []
        if tag == 'div' and 'screen' in self.stack_classes() and self.pictures.get(self.section) is not None:
            self.pictures[self.section].append(['', ''])
        if tag == 'span' and 'class' in a and 'style' in a and self.pictures.get(self.section):
            self.span = [a['class'], int(a['style'][6:-2]), '']
        self.stack.append((tag, a.get('class', '')))
    def stack_classes(self): return [c for t, c in self.stack]
    def handle_endtag(self, tag):
        while self.stack and self.stack.pop()[0] != tag: pass
        if tag in ('th', 'td') and self.cell: self.grid[-1].append(self.cell[0] + ':' + self.cell[1]); self.cell = None
        if tag == 'span' and self.span:
            cls, width, text = self.span; row = self.pictures[self.section][-1]
            row[0] += text; row[1] += chr(int(cls[1], 16) | int(cls[4], 16) << 4) * width; self.span = None
    def handle_data(self, data):
        if self.cell is not None: self.cell[1] += data
        if self.span: self.span[2] += data
page = Page(); page.feed(open(sys.argv[1], encoding='utf-8').read())
for row in page.grid: print(' | '.join(row))
print('tags:', ' '.join(sorted(t for t in page.tags if t in ('script', 'img', 'i'))) or 'none')
for section, rows in page.pictures.items(): print(section, 'picture' if rows else 'none', len(rows or []))
letters, legend, text, attrs = 'abcdefghijklmnopqrstuvwxyz', {}, '', ''
for row_text, row_attrs in page.pictures[sys.argv[2]]:
    text += row_text + '\n'
    for attr in row_attrs:
        legend.setdefault(ord(attr), letters[len(legend)]); attrs += legend[ord(attr)]
    attrs += '\n'
open(sys.argv[3], 'w', encoding='utf-8').write(text + '\n' + attrs + ' '.join('%s=%02X' % (l, a) for a, l in legend.items()) + '\n')
)");
    EXPECT_EQ(run_output("cd " + shell_quote(dir) + " && python3 read_page.py dom.html run-2 picture.txt"),
              ":Program | :leds_on.scn | :leds_wrong.scn | :Score\n"
              ":leds | passed:passed | failed:failed | score:1/2\n"
              ":hex-counter | failed:failed | failed:failed | score:0/2\n"
              ":forged | crashed:crashed | crashed:crashed | score:0/2\n"
              ":raw | crashed:crashed | crashed:crashed | score:0/2\n"
              ":<i>leds | passed:passed | failed:failed | score:1/2\n"
              ":spins | timed-out:timed out | timed-out:timed out | score:0/2\n"
              "tags: none\n"
              "run-2 picture 25\nrun-3 picture 25\nrun-4 picture 25\n"
              "run-5 none 0\nrun-6 none 0\nrun-7 none 0\nrun-8 none 0\nrun-10 picture 25\n"
              "run-11 picture 25\nrun-12 picture 25\n");
    EXPECT_TRUE(matches_golden_text("grade_failure_screen", read("picture.txt")));
    // The ports over each library run that did not pass, the hung ones
    // included; the scripts have no trace.
    EXPECT_EQ(run_output("cd " + shell_quote(dir) + " && grep -o '<svg class=\"timing\"' dom.html | wc -l"), "6\n");
    EXPECT_EQ(run_output("cd " + shell_quote(dir) + " && grep -o '<path d=\"M' dom.html | wc -l"), "120\n");
}

// Whether bubblewrap can make a sandbox here (user namespaces).
static bool sandbox_works() { return system("bwrap --unshare-all --ro-bind / / true > /dev/null 2>&1") == 0; }

// Only the scenario run's own word, sent the moment it decides, passes a
// run: not text on standard error, not an exit handler after a failed check,
// not a debug line, and not a program that crashed halfway.
TEST_F(Grade, VerdictsComeOnlyFromTheScenarioRun)
{
    EXPECT_EQ(grade("-s quiet.scn -s lit.scn forges-stderr atexit-forges debug-no-newline exits-3 crashes-midway"), 1)
        << read("err.txt");
    std::string no_verdict = " without a verdict: the scenario did not run to its end\n";
    std::string crashed = std::string("crashed             ended by signal 6 (Aborted)") +
                          (sandbox_works() ? " or exit status 134 (the sandbox gives both alike)\n" : "\n");
    std::string lit_failed = "failed   lit.scn:3  expected check PDR8 == 1; seen PDR8 = 0\n";
    EXPECT_EQ(out, "PROGRAM           SCORE  SCENARIO   VERDICT  LINE       WHAT FAILED\n"
                   "forges-stderr     0/2    quiet.scn  exit 0              exit status 0" + no_verdict +
                   "forges-stderr            lit.scn    exit 0              exit status 0" + no_verdict +
                   "atexit-forges     1/2    quiet.scn  passed\n"
                   "atexit-forges            lit.scn    " + lit_failed +
                   "debug-no-newline  1/2    quiet.scn  passed\n"
                   "debug-no-newline         lit.scn    " + lit_failed +
                   "exits-3           0/2    quiet.scn  exit 3              exit status 3" + no_verdict +
                   "exits-3                  lit.scn    exit 3              exit status 3" + no_verdict +
                   "crashes-midway    0/2    quiet.scn  " + crashed +
                   "crashes-midway           lit.scn    " + crashed +
                   "2 of 10 runs passed\n");
}

// In the sandbox and without it: signals to the grader and the keeper are
// dropped, a daemon dies with its run, the bytes written count for the whole
// run, a directory locked by its run is removed all the same, and no run has
// the teacher's terminal.
TEST_F(Grade, RunsCannotReachTheGraderTheTerminalOrOutliveTheirRun)
{
    for (std::string mode : {"--no-sandbox", ""}) {
        if (mode.empty() && !sandbox_works()) {
            std::cout << "bubblewrap cannot make a sandbox here (user namespaces refused): sandboxed half skipped\n";
            continue;
        }
        std::string command = "cd " + shell_quote(dir) + " && TMPDIR=" + shell_quote(file("tmp")) + " " GRADE " " +
                               mode + " -t 5 --write-limit 1 --html page.html -s quiet.scn signals-grader leaves-a-daemon writes-much "
                               "locks-its-directory writes-to-terminal signals-grader leds > out.txt 2> err.txt; "
                               "echo status $?";
        std::string terminal = run_output("script -qec " + shell_quote(command) + " /dev/null");
        EXPECT_EQ(terminal.substr(0, terminal.find('\r')), "status 1") << mode << ": " << terminal;
        EXPECT_EQ(read("out.txt").substr(0, read("out.txt").find("runs passed")),
                  "PROGRAM              SCORE  SCENARIO   VERDICT     LINE  WHAT FAILED\n"
                  "signals-grader       2/2    quiet.scn  passed\n"
                  "leaves-a-daemon      1/1    quiet.scn  passed\n"
                  "writes-much          0/1    quiet.scn  over limit        wrote more than 1 MiB of files\n"
                  "locks-its-directory  1/1    quiet.scn  passed\n"
                  "writes-to-terminal   1/1    quiet.scn  passed\n"
                  "signals-grader       2/2    quiet.scn  passed\n"
                  "leds                 1/1    quiet.scn  passed\n"
                  "6 of 7 ")
            << mode;
        EXPECT_NE(read("page.html").find("<span class=\"chip over-limit\">over limit 1</span>"), std::string::npos)
            << mode << ": the page of a class with a run over its limit";
        EXPECT_EQ(run_output("ls -A " + shell_quote(file("tmp"))), "") << mode << ": what the runs left behind";
        EXPECT_EQ(run_output("pgrep -f 'sleep 31[.]4159' || echo none"), "none\n") << mode;
    }
}

// Where it can, the sandbox hides the scenario's file, the teacher's files,
// the network and the grader, and keeps writes inside the run; where it
// cannot, the grading is refused unless the teacher asks for none.
TEST_F(Grade, TheSandboxHidesTheMachineOrTheGradingIsRefused)
{
    EXPECT_EQ(grade("leds quiet.scn", "PATH=/nonexistent"), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(read("err.txt"), "wena-grade: bubblewrap (bwrap) is not installed\n"
                               "--no-sandbox runs the programs without it, as you, seeing all you see\n");
    run_output("cd " + shell_quote(dir) + " && mkdir broken && printf '#!/nonexistent\\n' > broken/bwrap && "
               "chmod +x broken/bwrap");
    EXPECT_EQ(grade("leds quiet.scn", "PATH=" + shell_quote(file("broken"))), 2);
    EXPECT_EQ(read("err.txt"), "wena-grade: bubblewrap cannot make a sandbox here\n"
                               "--no-sandbox runs the programs without it, as you, seeing all you see\n");
    EXPECT_EQ(grade("--no-sandbox leds quiet.scn", "PATH=/nonexistent"), 0) << read("err.txt");
    EXPECT_EQ(out.substr(0, out.find("runs had no")), "PROGRAM  SCORE  SCENARIO   VERDICT  LINE  WHAT FAILED\n"
                                                     "leds     1/1    quiet.scn  passed\n"
                                                     "1 of 1 runs passed\n"
                                                     "runs were not sandboxed: --no-sandbox was given\n");
    if (!sandbox_works())
        GTEST_SKIP() << "bubblewrap cannot make a sandbox here (user namespaces refused)";
    write("teacher.txt", "the answers\n");
    grade("-t 5 peeks quiet.scn", "PEEK_FILE=" + shell_quote(file("teacher.txt")) + " PEEK_DIR=" + shell_quote(dir));
    EXPECT_EQ(out, "PROGRAM  SCORE  SCENARIO   VERDICT  LINE  WHAT FAILED\n"
                   "peeks    1/1    quiet.scn  passed\n"
                   "1 of 1 runs passed\n") << "seen PDR8 tells what leaked";
    EXPECT_EQ(read("escaped"), "") << "nothing written outside the run's directory";
}

// Copies a run forks after its first poll neither decide nor hold back its
// verdict: a child that returns does not end the run early, sixteen children
// setting the LEDs every way (one as the check wants) do not pass it.
TEST_F(Grade, ForkedCopiesOfARunCannotDecideItsVerdict)
{
    EXPECT_EQ(grade("-t 5 -s quiet.scn -s lit.scn forks-and-returns forks-brute-force"), 1) << read("err.txt");
    std::string lit_failed = "failed   lit.scn:3  expected check PDR8 == 1; seen PDR8 = 0\n";
    EXPECT_EQ(out, "PROGRAM            SCORE  SCENARIO   VERDICT  LINE       WHAT FAILED\n"
                   "forks-and-returns  1/2    quiet.scn  passed\n"
                   "forks-and-returns         lit.scn    " + lit_failed +
                   "forks-brute-force  1/2    quiet.scn  passed\n"
                   "forks-brute-force         lit.scn    " + lit_failed +
                   "2 of 4 runs passed\n");
}

// Every run that did not pass shows the last picture its board had: a
// program that stops polling is ended by the library below the wall-clock
// limit, at its step, a crash and an early end too; a pass shows none.
// Children forked after the first poll light the LEDs in theirs, which must
// not take the place of the run's own dark ones.
TEST_F(Grade, EveryRunThatDidNotPassShowsItsLastPicture)
{
    EXPECT_EQ(grade("-t 3 --keep kept --html page.html -s lit.scn spins crashes-midway returns-after-poll "
                    "forks-brute-force leds"),
              1)
        << read("err.txt");
    EXPECT_EQ(out.substr(out.find("spins"), out.find("crashes-midway") - out.find("spins")),
              "spins               0/1    lit.scn   timed out    lit.scn:2  the program has not polled or paused for 1 s of "
              "real time (WENA_WATCHDOG)\n");
    std::string kept = run_output("cd " + shell_quote(file("kept")) + " && ls *-failure-screen.html | cut -d- -f2- | "
                                  "sed 's/-lit.scn-.*//'");
    EXPECT_EQ(kept, "spins\ncrashes-midway\nreturns-after-poll\nforks-brute-force\nleds\n")
        << "leds fails lit.scn too, with its LEDs dark";
    for (const char *program : {"spins", "crashes-midway", "returns-after-poll", "forks-brute-force"}) {
        std::string page = run_output("cat " + shell_quote(file("kept")) + "/*-" + program + "-lit.scn-*-failure-screen.html");
        size_t readout = page.find("PDR8</span>");
        readout = readout == std::string::npos ? readout : page.find("\">", readout);
        EXPECT_EQ(readout == std::string::npos ? "none" : page.substr(readout + 2, 14), " 00 (00000000)")
            << program << ": the board laid out, its LEDs dark";
    }
    EXPECT_EQ(run_output("grep -c 'class=\"picture\"' " + shell_quote(file("page.html"))), "5\n");
    EXPECT_EQ(run_output("grep -c '<svg class=\"timing\"' " + shell_quote(file("page.html"))), "5\n")
        << "the ports over each run, a hang and a crash included";
}

// A picture a run leaves in its directory is not the one shown: only what
// the scenario run sends on the grader's descriptor, kept beside the run.
TEST_F(Grade, APictureARunPlantsIsNotShown)
{
    EXPECT_EQ(grade("--html page.html --keep kept -s lit.scn plants-picture"), 1) << read("err.txt");
    std::string page = read("page.html");
    EXPECT_EQ(page.find("PLANTED"), std::string::npos);
    EXPECT_NE(page.find("<div class=\"picture\"><div class=\"screen\">\n<div><span"), std::string::npos)
        << "the screen of the failed check";
    std::string kept = run_output("cat " + shell_quote(file("kept")) + "/1-plants-picture-lit.scn-*-failure-screen.html");
    EXPECT_EQ(kept.find("PLANTED"), std::string::npos);
    EXPECT_NE(kept.find("<div class=\"screen\">\n<div><span"), std::string::npos);
}

// Programs that break the grader's link by mistake are told so in their own
// terms, never as the teacher's malformed scenario; a program that reads the
// scenario's descriptor first takes nothing from the run; the status a
// program ended with is said; exit(139) is no crash outside the sandbox.
TEST_F(Grade, CarelessProgramsAreToldWhatTheyDid)
{
    EXPECT_EQ(grade("--no-sandbox -t 5 -s quiet.scn closes-descriptors closes-in-constructor reads-scenario-first "
                    "returns-after-poll exits-139"),
              1)
        << read("err.txt");
    std::string closed = "interfered                the program closed the descriptor the grader gave it\n";
    EXPECT_EQ(out, "PROGRAM                SCORE  SCENARIO   VERDICT      LINE         WHAT FAILED\n"
                   "closes-descriptors     0/1    quiet.scn  " + closed +
                   "closes-in-constructor  0/1    quiet.scn  " + closed +
                   "reads-scenario-first   1/1    quiet.scn  passed\n"
                   "returns-after-poll     0/1    quiet.scn  ended early  quiet.scn:2  the program ended with exit status 0 "
                   "before this step: wait 100\n"
                   "exits-139              0/1    quiet.scn  exit 139                  exit status 139 without a verdict: "
                   "the scenario did not run to its end\n"
                   "1 of 5 runs passed\n"
                   "runs were not sandboxed: --no-sandbox was given\n");
}

// Without the sandbox a run can signal the grader: a SIGINT with a made-up
// sender, one through a pipe's owner signal and a queued SIGTSTP neither
// stop nor suspend the grading. A run that replaces the scenario's file by a
// FIFO changes nothing for the runs after it; a relative TMPDIR works.
TEST_F(Grade, RunsCannotStopTheGradingOrChangeTheScenario)
{
    write("swapped.scn", read("quiet.scn"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(grade("--no-sandbox -j 1 -t 5 -s swapped.scn forges-signals swaps-scenario leds", "TMPDIR=tmp"), 0)
        << read("err.txt");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
    EXPECT_EQ(out, "PROGRAM         SCORE  SCENARIO     VERDICT  LINE  WHAT FAILED\n"
                   "forges-signals  1/1    swapped.scn  passed\n"
                   "swaps-scenario  1/1    swapped.scn  passed\n"
                   "leds            1/1    swapped.scn  passed\n"
                   "3 of 3 runs passed\n"
                   "runs were not sandboxed: --no-sandbox was given\n");
    EXPECT_EQ(run_output("ls -A " + shell_quote(file("tmp"))), "") << "what the runs left behind";
}

// The memory limit and the limit on each file hold, in the sandbox and
// without: the programs light the LEDs when what they tried went through.
TEST_F(Grade, MemoryAndFileSizeLimitsHold)
{
    for (std::string mode : {"--no-sandbox", ""}) {
        if (mode.empty() && !sandbox_works())
            continue;
        EXPECT_EQ(grade(mode + " -t 5 --write-limit 1 -s quiet.scn writes-one-big-file"), 0) << mode << out;
        EXPECT_EQ(grade(mode + " -t 5 --write-limit 4 -s lit.scn writes-one-big-file"), 0)
            << mode << ": the program tells a big file written" << out;
#if !defined(__SANITIZE_ADDRESS__) && !__has_feature(address_sanitizer)
        // In a control group the allocation goes through and the kernel
        // ends the run at the limit; else the allocation is refused.
        int status = grade(mode + " -t 5 --memory 256 -s quiet.scn allocates-much");
        if (out.find("no control group") == std::string::npos) {
            EXPECT_EQ(status, 1) << mode << out;
            EXPECT_NE(out.find("over limit        the kernel ended a process of it for using more than the run's "
                               "memory\n"),
                      std::string::npos)
                << mode << out;
        } else {
            EXPECT_EQ(status, 0) << mode << out;
            EXPECT_EQ(grade(mode + " -t 5 --memory 1 -s quiet.scn leds"), 1) << mode;
            EXPECT_NE(out.find("--memory 1 MiB may be too little to load it"), std::string::npos) << mode << out;
        }
#endif
    }
}

// Options end at the first file: submissions named like options are
// programs, graded as such, and no report is written over one.
TEST_F(Grade, FilesNamedLikeOptionsArePrograms)
{
    run_output("cd " + shell_quote(dir) + " && ln -s leds ./--no-sandbox && ln -s leds ./--junit");
    EXPECT_EQ(grade("-t 5 -s quiet.scn leds --junit --no-sandbox"), 0) << read("err.txt");
    std::string table = out.substr(0, out.find("3 of 3 runs passed\n"));
    EXPECT_EQ(table, "PROGRAM       SCORE  SCENARIO   VERDICT  LINE  WHAT FAILED\n"
                     "leds          1/1    quiet.scn  passed\n"
                     "--junit       1/1    quiet.scn  passed\n"
                     "--no-sandbox  1/1    quiet.scn  passed\n");
    if (sandbox_works()) {
        EXPECT_EQ(out.find("not sandboxed"), std::string::npos) << out;
    }
    EXPECT_EQ(run_output("readlink " + shell_quote(file("--junit"))), "leds\n");
    EXPECT_EQ(grade("-t 5 -- leds quiet.scn"), 0) << read("err.txt");
}

// CI runs as root, where limits bind differently: there the grader goes as
// nobody, in control groups the test hands over to it as systemd delegates
// a scope to a user. Elsewhere it goes as the user running the tests.
class GradeAsStudent : public Grade {
protected:
    std::vector<std::string> groups;  // handed over, removed at the end
    std::string enter;                // shell words that put the shell in them

    void SetUp() override
    {
        Grade::SetUp();
        if (geteuid() != 0)
            return;
        if (access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "no setpriv (util-linux) to run the grader as nobody";
        run_output("chmod 0777 " + shell_quote(dir) + " " + shell_quote(file("tmp")));
        for (std::string controller : {"memory", "pids"}) {
            std::string own = run_output("awk -F: '$2 ~ /(^|,)" + controller + "(,|$)/ {print $3}' /proc/self/cgroup");
            std::string mount = "/sys/fs/cgroup/" + controller;
            if (own.empty() || access(mount.c_str(), W_OK) != 0)
                continue;
            own.pop_back();
            std::string group = mount + (own == "/" ? "" : own) + "/wena-test-" + std::to_string(getpid());
            run_output("mkdir " + group + " && chown -R nobody:nogroup " + group);
            groups.push_back(group);
            enter += "echo $$ > " + group + "/cgroup.procs && ";
        }
    }
    void TearDown() override
    {
        for (const std::string &group : groups)
            run_output("rmdir " + group + " 2>/dev/null || true");
        Grade::TearDown();
    }
    int grade_as_student(const std::string &args, const std::string &env = "")
    {
        std::string who = geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
        std::string command = "cd " + shell_quote(dir) + " && " + enter + "TMPDIR=" + shell_quote(file("tmp")) +
                              " timeout 60 env " + env + " " + who + GRADE " " + args + " > out.txt 2> err.txt";
        int status = system(("sh -c " + shell_quote(command)).c_str());
        out = read("out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string left_behind() { return run_output("ls -A " + shell_quote(file("tmp"))); }
    bool sandbox_works_for_student()
    {
        std::string who = geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
        return system((who + "bwrap --unshare-all --unshare-user --ro-bind / / true > /dev/null 2>&1").c_str()) == 0;
    }
};

// Memory, processes and the disk are budgets of the run as a whole: six
// children cannot share more than its memory, a fork bomb keeps to its
// run, and a reservation of 1 GiB or 28,000 files stay within its own
// directory's size. The correct runs beside them keep their verdicts.
TEST_F(GradeAsStudent, ResourcesAreBudgetsOfTheWholeRun)
{
    if (!sandbox_works_for_student())
        GTEST_SKIP() << "bubblewrap cannot make a sandbox here (user namespaces refused)";
    EXPECT_EQ(grade_as_student("-t 20 -j 6 --memory 256 --processes 32 --write-limit 1 -s quiet.scn hogs-memory "
                               "forks-a-bomb fills-the-disk leds leds leds"), 1) << read("err.txt");
    bool grouped = out.find("no control group") == std::string::npos;
    std::string table = out.substr(0, out.find("runs passed"));
    std::string others = "forks-a-bomb    1/1    quiet.scn  passed\n"
                         "fills-the-disk  0/1    quiet.scn  over limit        wrote a file past the limit of bytes written or "
                         "exit status 153 (the sandbox gives both alike)\n"
                         "leds            3/3    quiet.scn  passed\n"
                         "leds                   quiet.scn  passed\n"
                         "leds                   quiet.scn  passed\n";
    if (grouped)
        EXPECT_EQ(table, "PROGRAM         SCORE  SCENARIO   VERDICT     LINE  WHAT FAILED\n"
                         "hogs-memory     0/1    quiet.scn  over limit        the kernel ended a process of it for using more "
                         "than the run's memory\n" + others + "4 of 6 ")
            << out << read("err.txt");
    else
        EXPECT_NE(table.find(others), std::string::npos) << "no control group here: " << out;
    EXPECT_EQ(left_behind(), "");
    EXPECT_EQ(run_output("pgrep -f " + shell_quote("^" + dir + "/") + " || echo none"), "none\n");
}

// Trees a run leaves are counted and removed by descriptors whatever their
// depth and the length of their paths, locked directories included, and
// nothing of the teacher's environment or keyring reaches a run.
TEST_F(GradeAsStudent, TreesSecretsAndKeyringsStayWithTheirRun)
{
    for (std::string mode : {"--no-sandbox", ""}) {
        if (mode.empty() && !sandbox_works_for_student()) {
            std::cout << "bubblewrap cannot make a sandbox here (user namespaces refused): sandboxed half skipped\n";
            continue;
        }
        run_output("mkdir -p " + shell_quote(file("teacher")));
        write("teacher/answers.txt", "PDR8=0x5A\n");
        std::string add_key = "python3 -c \"import ctypes, os, sys; ctypes.CDLL(None).syscall(248, b'user', "
                              "b'teacher', b'answer', 6, -3); os.execvp(sys.argv[1], sys.argv[1:])\" ";
        EXPECT_EQ(grade_as_student(mode + " -t 10 --write-limit 1 --keep kept -s quiet.scn writes-deep "
                                   "looks-for-secrets leds",
                                   "CI_JOB_TOKEN=secret WENA_POLL_LIMIT=5 " + add_key),
                  1)
            << mode << read("err.txt");
        EXPECT_EQ(out.substr(0, out.find("runs passed")),
                  "PROGRAM            SCORE  SCENARIO   VERDICT     LINE  WHAT FAILED\n"
                  "writes-deep        0/1    quiet.scn  over limit        wrote more than 1 MiB of files\n"
                  "looks-for-secrets  1/1    quiet.scn  passed\n"
                  "leds               1/1    quiet.scn  passed\n"
                  "2 of 3 ")
            << mode << read("err.txt");
        EXPECT_EQ(read("teacher/answers.txt"), "PDR8=0x5A\n");
        EXPECT_EQ(run_output("cd " + shell_quote(dir) + " && find kept -type d -perm 0 | wc -l"), "0\n")
            << "kept directories opened up";
        run_output("rm -rf " + shell_quote(file("kept")));
        // The teacher's files, where the grader could remove them, named as
        // those of the run that swaps links to them with its directories.
        run_output("cd " + shell_quote(dir) + " && for f in $(seq 0 19); do : > teacher/f$f; done && chmod 0755 teacher" +
                   (geteuid() == 0 ? " && chown -R nobody teacher" : ""));
        EXPECT_EQ(grade_as_student(mode + " -t 10 --write-limit 1 -s quiet.scn writes-deep swaps-links leds"), 1)
            << mode;
        EXPECT_EQ(out.substr(out.find("swaps-links"), out.find("leds ") - out.find("swaps-links")),
                  "swaps-links  1/1    quiet.scn  passed\n")
            << mode;
        EXPECT_EQ(run_output("cd " + shell_quote(dir) + " && stat -c %a teacher && ls teacher | wc -l"), "755\n21\n")
            << mode << ": the teacher's directory as it was";
        EXPECT_EQ(left_behind(), "") << mode << ": what the runs left behind";
    }
}

// Where the grader may make no control group (a user without a delegated
// one), the table says so and each process keeps the limits of its own:
// the allocation is refused, and a limit too small to load a program says so.
TEST_F(GradeAsStudent, WithoutAControlGroupEachProcessKeepsItsLimits)
{
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
    GTEST_SKIP() << "programs built with AddressSanitizer cannot start within an address space limit";
#endif
    enter.clear();
    int status = grade_as_student("--no-sandbox -t 5 --memory 256 -s quiet.scn allocates-much");
    if (out.find("runs had no control group of their own") == std::string::npos)
        GTEST_SKIP() << "this user may make control groups: " << out;
    EXPECT_EQ(status, 0) << out << read("err.txt");
    EXPECT_EQ(grade_as_student("--no-sandbox -t 5 --memory 1 -s quiet.scn leds"), 1);
    EXPECT_NE(out.find("--memory 1 MiB may be too little to load it"), std::string::npos) << out;
}

// A run that cannot start (here bubblewrap fails the first time, as when
// the kernel has no room for a namespace) is tried once more; one that
// never starts is "cannot start", and the class goes on.
TEST_F(GradeAsStudent, ARunThatCannotStartIsTriedAgainAndStopsNothing)
{
    if (!sandbox_works_for_student())
        GTEST_SKIP() << "bubblewrap cannot make a sandbox here (user namespaces refused)";
    run_output("mkdir -p " + shell_quote(file("bin")));
    std::string counter = file("tmp/tries");
    write("bin/bwrap", "#!/bin/sh\nn=$(cat " + counter + " 2>/dev/null || echo 0)\necho $((n + 1)) > " + counter +
                           "\nif [ \"$n\" -ge 1 ] && [ \"$n\" -le $(cat " + file("fail-until") +
                           ") ]; then echo 'bwrap: Creating new namespace failed: No space left on device' >&2; "
                           "exit 1; fi\nexec /usr/bin/bwrap \"$@\"\n");
    run_output("chmod 0755 " + shell_quote(file("bin")) + " " + shell_quote(file("bin/bwrap")));
    write("fail-until", "1\n");
    EXPECT_EQ(grade_as_student("-j 1 -s quiet.scn leds leds", "PATH=" + file("bin") + ":/usr/bin:/bin"), 0)
        << read("err.txt");
    run_output("rm -f " + counter);
    write("fail-until", "3\n");
    EXPECT_EQ(grade_as_student("-j 1 -s quiet.scn leds leds", "PATH=" + file("bin") + ":/usr/bin:/bin"), 1);
    EXPECT_EQ(out.substr(0, out.find("runs passed")),
              "PROGRAM  SCORE  SCENARIO   VERDICT       LINE  WHAT FAILED\n"
              "leds     1/2    quiet.scn  cannot start        bwrap: Creating new namespace failed: No space left on device\n"
              "leds            quiet.scn  passed\n"
              "1 of 2 ")
        << read("err.txt");
    EXPECT_EQ(left_behind(), "tries\n");
}
