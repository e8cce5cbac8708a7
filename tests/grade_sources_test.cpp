// wena-grade given a class's sources, as a teacher receives them: a C file,
// a C++ file, a directory of two files, one that does not compile and one
// named in kanji, graded into the table, the JUnit report and the page;
// the grading commands of the README and the guides as printed; and builds
// that reach for what is not theirs.
#include "tests/support/docs.h"
#include "tests/support/grade_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <unistd.h>
#include <sys/wait.h>


static const char leds_scn[] = "start boards 1 11 0\nkeys 13\nwait 100\ncheck PDR8 == 0x0A\n";
static const char quiet_scn[] = "start boards 1 11 0\nwait 100\ncheck PDR8 == 0\n";

class GradeSources : public TempDirTest {
protected:
    std::string out;
    void SetUp() override
    {
        TempDirTest::SetUp();
        run_output("cd " + shell_quote(dir) + " && mkdir -p class/hanako");
        write("leds.scn", leds_scn);
        write("quiet.scn", quiet_scn);
        write("class/taro.c", "#include <wena.h>\n_Static_assert(__STDC_VERSION__ == 201112L, \"C11\");\n"
                              "int main(void)\n{\n    for (;;) {\n        sim_poll();\n"
                              "        PDR8 = PDR5;\n    }\n}\n");
        write("class/jiro.cpp", "#include <wena.h>\n#include <array>\nstatic_assert(__cplusplus == 202002L);\n"
                                "int main()\n{\n"
                                "    std::array<unsigned char, 1> last{};\n    for (;;) {\n        sim_poll();\n"
                                "        last[0] = PDR5;\n        PDR8 = last[0];\n    }\n}\n");
        write("class/hanako/leds.h", "void show(unsigned char value);\n");
        write("class/hanako/leds.c", "#include <wena.h>\n#include \"leds.h\"\nvoid show(unsigned char value) "
                                     "{ PDR8 = value; }\n");
        write("class/hanako/main.c", "#include <wena.h>\n#include \"leds.h\"\nint main(void)\n{\n    for (;;) {\n"
                                     "        sim_poll();\n        show(PDR5);\n    }\n}\n");
        write("class/saburo.c", "#include <wena.h>\nint main(void)\n{\n    for (;;) { sim_poll(); PDR8 = PDR5 }\n}\n");
        write("class/花子.c", "#include <wena.h>\nint main(void)\n{\n    int unused;\n    for (;;) {\n"
                             "        sim_poll();\n        PDR8 = 1;\n    }\n}\n");
    }
    int grade(const std::string &args)
    {
        std::string command =
            "cd " + shell_quote(dir) + " && timeout 300 " GRADE " " + args + " > out.txt 2> err.txt";
        int status = system(command.c_str());
        out = read("out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// The compilers say the same error in their own words: its place stays.
static std::string compiler_words_out(const std::string &text)
{
    return std::regex_replace(text, std::regex("saburo\\.c:4:[0-9]+: error: [^\n\"]*"), "saburo.c:4: error: ...");
}

TEST_F(GradeSources, AClassOfSourcesOfEveryKindIntoTableJunitAndPage)
{
    EXPECT_EQ(grade("--junit class.xml --html class.html -s leds.scn -s quiet.scn class/taro.c class/jiro.cpp "
                    "class/hanako class/saburo.c class/花子.c"),
              1)
        << read("err.txt");
    EXPECT_EQ(compiler_words_out(out),
              "PROGRAM         SCORE  SCENARIO   VERDICT          LINE         WHAT FAILED\n"
              "class/taro.c    2/2    leds.scn   passed\n"
              "class/taro.c           quiet.scn  passed\n"
              "class/jiro.cpp  2/2    leds.scn   passed\n"
              "class/jiro.cpp         quiet.scn  passed\n"
              "class/hanako    2/2    leds.scn   passed\n"
              "class/hanako           quiet.scn  passed\n"
              "class/saburo.c  0/2    leds.scn   did not compile               saburo.c:4: error: ...\n"
              "class/saburo.c         quiet.scn  did not compile               saburo.c:4: error: ...\n"
              "class/花子.c    0/2    leds.scn   failed           leds.scn:4   expected check PDR8 == 0x0A; seen PDR8 = 0x01\n"
              "class/花子.c           quiet.scn  failed           quiet.scn:3  expected check PDR8 == 0; seen PDR8 = 1\n"
              "6 of 10 runs passed\n")
        << read("err.txt");
    EXPECT_EQ(run_output("xmllint --noout --schema " JUNIT_XSD " " + shell_quote(file("class.xml")) +
                         " 2>&1 >/dev/null; echo $?"),
              file("class.xml") + " validates\n0\n");
    // Each suite's score, and each case's verdict with the compiler's
    // messages where it did not compile.
    write("junit.py", R"(
import sys, xml.etree.ElementTree as ET
for s in ET.parse(sys.argv[1]).getroot():
    score = [p.get('value') for p in s.findall('properties/property') if p.get('name') == 'score']
    cases = []
    for c in s.findall('testcase'):
        bad = [k.get('type') for k in c if k.tag in ('failure', 'error')]
        err = c.findtext('system-err') or ''
        cases.append('%s:%s%s' % (c.get('name'), bad[0] if bad else 'passed', '+messages' if 'saburo.c:4' in err else ''))
    print(s.get('name'), score, ' '.join(cases))
)");
    EXPECT_EQ(run_output("python3 " + shell_quote(file("junit.py")) + " " + shell_quote(file("class.xml"))),
              "class/taro.c ['2/2'] leds.scn:passed quiet.scn:passed\n"
              "class/jiro.cpp ['2/2'] leds.scn:passed quiet.scn:passed\n"
              "class/hanako ['2/2'] leds.scn:passed quiet.scn:passed\n"
              "class/saburo.c ['0/2'] leds.scn:did not compile+messages quiet.scn:did not compile+messages\n"
              "class/花子.c ['0/2'] leds.scn:failed quiet.scn:failed\n");
    // The page: the grid with scores, where a build that failed links to
    // the compiler's messages shown open, and warnings come folded.
    write("page.py", R"(
import sys, html.parser
class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(); self.rows = []; self.cell = None; self.cards = []; self.folded = False
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == 'tr': self.rows.append([])
        if tag in ('td', 'th') and self.rows: self.cell = [a.get('class', '') + ':', a.get('href', '')]; self.rows[-1].append(self.cell)
        if tag == 'a' and self.cell: self.cell[1] = a['href']
        if tag == 'section' and a['id'].startswith('build-'): self.cards.append([a['id'], '', False, ''])
        if tag == 'details' and self.cards: self.cards[-1][2] = True
    def handle_endtag(self, tag):
        if tag in ('td', 'th'): self.cell = None
    def handle_data(self, data):
        if self.cell is not None: self.cell[0] += data
        elif self.cards and ('compile' in data or 'warnings' in data) and not self.cards[-1][1]: self.cards[-1][1] = data
        elif self.cards and 'unused' in data: self.cards[-1][3] = 'unused'
p = Page(); p.feed(open(sys.argv[1], encoding='utf-8').read())
for row in p.rows: print(' | '.join(c[0] + c[1] for c in row))
for card in p.cards: print(card[0], card[1], 'folded' if card[2] else 'open', card[3])
)");
    EXPECT_EQ(compiler_words_out(run_output("python3 " + shell_quote(file("page.py")) + " " +
                                            shell_quote(file("class.html")))),
              ":Program | :leds.scn | :quiet.scn | :Score\n"
              ":class/taro.c | passed:passed | passed:passed | score:2/2\n"
              ":class/jiro.cpp | passed:passed | passed:passed | score:2/2\n"
              ":class/hanako | passed:passed | passed:passed | score:2/2\n"
              ":class/saburo.c | did-not-compile:did not compile#build-4 | did-not-compile:did not compile#build-4 | "
              "score:0/2\n"
              ":class/花子.c | failed:failed#run-9 | failed:failed#run-10 | score:0/2\n"
              "build-4 did not compile open \n"
              "build-5 compiled with warnings folded unused\n");
}

// A student's directory and file named in kanji: --keep keeps each build
// and run under the name handed in.
TEST_F(GradeSources, KeptBuildsAndRunsGoByTheStudentsNames)
{
    run_output("cd " + shell_quote(dir) + " && mkdir class/花子の課題 && mv class/花子.c class/花子の課題/main.c");
    EXPECT_EQ(grade("--keep kept -s quiet.scn class/花子の課題 class/taro.c"), 1) << read("err.txt");
    EXPECT_EQ(run_output("cd " + shell_quote(file("kept")) +
                         " && ls | sed -E 's/-[A-Za-z0-9]{6}([.-]|$)/-XXXXXX\\1/' | sort"),
              "1-花子の課題-quiet.scn-XXXXXX\n"
              "1-花子の課題-quiet.scn-XXXXXX-failure-screen.html\n"
              "1-花子の課題-quiet.scn-XXXXXX.err\n"
              "2-taro.c-quiet.scn-XXXXXX\n"
              "2-taro.c-quiet.scn-XXXXXX.err\n"
              "taro.c-build-XXXXXX\n"
              "花子の課題-build-XXXXXX\n");
}

// Each "$ wena-grade" block of a document, the command and the output
// printed under it, and the scenarios the document shows by name.
static std::vector<std::pair<std::string, std::string>> readme_gradings(const std::string &readme,
                                                                        std::map<std::string, std::string> &scenarios)
{
    std::vector<std::pair<std::string, std::string>> gradings;
    std::istringstream lines(readme);
    std::string line, before, block;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (line.rfind("```", 0) == 0 && inside) {
            size_t scn = before.rfind(".scn`");
            if (block.rfind("$ wena-grade ", 0) == 0)
                gradings.push_back({block.substr(2, block.find('\n') - 2), block.substr(block.find('\n') + 1)});
            else if (scn != std::string::npos)
                scenarios[before.substr(before.rfind('`', scn) + 1, scn + 4 - before.rfind('`', scn) - 1)] = block;
            inside = false;
        } else if (line.rfind("```", 0) == 0) {
            inside = true;
            block.clear();
        } else if (inside) {
            block += line + "\n";
        } else if (!line.empty()) {
            before = line;
        }
    }
    return gradings;
}

// The gradings of the README and the guides run as printed, the class of
// sources first: the same class, the scenarios as the document shows them,
// the command as printed with the grader built here.
TEST_F(GradeSources, TheGuidesGradingsRunAsPrinted)
{
    write("moving.scn", "start boards 1 11 0\nwait 1200\ncheck PDR8 != 0\n");
    run_output("cd " + shell_quote(dir) + " && ln -s " STEPPER " stepper && ln -s " HEX_COUNTER
               " hex-counter && ln -s " EXAMPLE_PROGRAM " switches-to-leds && ln -s " SPIN_PROGRAM " spins");
    size_t graded = 0;
    for (const DocFile &doc : doc_files()) {
        std::map<std::string, std::string> scenarios;
        auto gradings = readme_gradings(doc.text, scenarios);
        if (gradings.empty())
            continue;
        EXPECT_NE(gradings[0].first.find("class/saburo.c"), std::string::npos) << doc.path << " starts from sources";
        for (const auto &[name, text] : scenarios)
            write(name, text);
        for (const auto &[command, printed] : gradings) {
            EXPECT_EQ(grade(command.substr(strlen("wena-grade "))), 1) << command << "\n" << read("err.txt");
            EXPECT_EQ(compiler_words_out(out), compiler_words_out(printed)) << doc.path << ": " << command;
        }
        graded += gradings.size();
    }
    EXPECT_GE(graded, 2u);
}

// The README's first program, copied as printed, compiles against this
// library and does what the README says: the switches light the LEDs and
// the LCD shows PDR5.
TEST_F(GradeSources, TheReadmesFirstProgramBuildsAndLightsTheLeds)
{
    const std::string readme = doc_files().at(0).text;
    size_t start = readme.find("```c\n");
    ASSERT_NE(start, std::string::npos);
    start += 5;
    write("myboard.c", readme.substr(start, readme.find("```", start) - start));
    write("first.scn", "start boards SWITCH LED none\nkeys 13\nwait 100\ncheck PDR8 == 0x0A\ncheck lcd 0 == \"PDR5=0A\"\n");
    EXPECT_EQ(grade("--no-sandbox -s first.scn myboard.c"), 0) << out << read("err.txt");
}

// C11 and C++20, as the library is built, unless the teacher asks for
// another standard.
TEST_F(GradeSources, TheStandardsAreTheLibrarysUnlessAsked)
{
    EXPECT_EQ(grade("--c-std c17 -s quiet.scn class/taro.c class/jiro.cpp"), 1) << read("err.txt");
    EXPECT_NE(out.find("class/taro.c    0/1    quiet.scn  did not compile        taro.c:2:"), std::string::npos) << out;
    EXPECT_NE(out.find("class/jiro.cpp  1/1    quiet.scn  passed\n"), std::string::npos) << out;
    // A sanitizer asked for in the flags is linked in as well.
    EXPECT_EQ(grade("--cflags '-O1 -fsanitize=undefined' -s quiet.scn class/taro.c"), 0) << out << read("err.txt");
}

// A source named like an option is compiled as a file, after -- as after
// any other first operand.
TEST_F(GradeSources, SourcesNamedLikeOptionsAreSources)
{
    write("-o.c", read("class/taro.c"));
    EXPECT_EQ(grade("-s quiet.scn -- -o.c"), 0) << out << read("err.txt");
    EXPECT_EQ(out, "PROGRAM  SCORE  SCENARIO   VERDICT  LINE  WHAT FAILED\n"
                   "-o.c     1/1    quiet.scn  passed\n"
                   "1 of 1 runs passed\n");
}

static bool sandbox_works()
{
    return system("bwrap --unshare-all --ro-bind / / true > /dev/null 2>&1") == 0;
}

// In its box a build sees the student's own sources and the library, not
// the other students' files beside them, and writes nowhere but its own
// directory.
TEST_F(GradeSources, ABuildSeesOnlyItsOwnSources)
{
    if (!sandbox_works())
        GTEST_SKIP() << "bubblewrap cannot make a sandbox here (user namespaces refused)";
    run_output("cd " + shell_quote(dir) + " && mkdir copier");
    write("copier/main.c", "#include \"../class/taro.c\"\n");
    EXPECT_EQ(grade("-s quiet.scn copier class/taro.c"), 1) << read("err.txt");
    EXPECT_NE(out.find("copier        0/1    quiet.scn  did not compile        main.c:1:10: fatal error: "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("class/taro.c  1/1    quiet.scn  passed\n"), std::string::npos) << out;
    EXPECT_EQ(grade("--cflags '-O2 -MD -MF " + file("written.d") + "' -s quiet.scn class/taro.c"), 1)
        << read("err.txt");
    EXPECT_NE(out.find("class/taro.c  0/1    quiet.scn  did not compile"), std::string::npos) << out;
    EXPECT_EQ(read("written.d"), "") << "nothing written outside the build's directory";
}
