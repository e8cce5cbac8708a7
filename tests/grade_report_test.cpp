// The grader's reports from runs made up here: every verdict in one page,
// names a reader or a browser would mangle, a picture a program wrote, and
// how a run's ending is read when it sent no verdict.
#include "tools/grade/grade.h"
#include "tests/support/golden.h"

#include "scenario/verdict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

static GradeRun made_up(Verdict verdict, const std::string &program = "prog", const std::string &scenario = "s.scn")
{
    GradeRun run{};
    run.program = program;
    run.scenario = scenario;
    run.verdict = verdict;
    run.status = 0;
    run.message = "why";
    run.scenario_read.checks = 2;
    return run;
}

// A rule of the page's style names the class: ".hung{" or ".hung,".
static bool has_colour(const std::string &page, const std::string &css)
{
    for (size_t at = page.find("." + css); at != std::string::npos; at = page.find("." + css, at + 1)) {
        char next = page[at + css.size() + 1];
        if (next == '{' || next == ',')
            return true;
    }
    return false;
}

TEST(GradeReport, EveryVerdictHasItsColourAndCountInOnePage)
{
    std::vector<GradeRun> runs;
    for (int v = 0; v < VERDICT_COUNT; ++v)
        runs.push_back(made_up((Verdict)v, "p" + std::to_string(v)));
    runs.push_back(made_up(VERDICT_OVER_LIMIT, "again"));
    std::string page = grade_html(runs);
    EXPECT_NE(page.find("1 of " + std::to_string(VERDICT_COUNT + 1) + " runs passed."), std::string::npos);
    EXPECT_NE(page.find("<span class=\"chip over-limit\">over limit 2</span>"), std::string::npos);
    EXPECT_NE(page.find("<span class=\"chip interfered\">interfered 1</span>"), std::string::npos);
    for (int v = 0; v < VERDICT_COUNT; ++v) {
        std::string name = grade_verdict_name((Verdict)v), css = name;
        for (char &c : css)
            c = c == ' ' ? '-' : c;
        if (v == VERDICT_OTHER_STATUS)
            css = "exit";
        EXPECT_NE(page.find("<td class=\"" + css + "\">"), std::string::npos) << name;
        EXPECT_TRUE(has_colour(page, css))
            << name << " has a colour in the style";
    }
}

// Attributes a reader normalizes: names that differ by a tab or a line end
// stay apart, a quote does not end the attribute.
TEST(GradeReport, JunitNamesStayWholeInAttributes)
{
    std::string path = testing::TempDir() + "/grade-report.xml";
    std::vector<GradeRun> runs = {made_up(VERDICT_PASSED, "a\nb"), made_up(VERDICT_PASSED, "a\tb"),
                                  made_up(VERDICT_FAILED, "say \"hi\"", "x\r.scn")};
    ASSERT_TRUE(grade_write_junit(path, runs));
    FILE *f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string xml(1 << 16, '\0');
    xml.resize(fread(xml.data(), 1, xml.size(), f));
    fclose(f);
    EXPECT_NE(xml.find("<testsuite name=\"a&#10;b\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<testcase classname=\"a&#9;b\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("classname=\"say &quot;hi&quot;\" name=\"x&#13;.scn\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<failure type=\"failed\" message=\"why\"/>"), std::string::npos) << xml;
}

// Right-to-left overrides and other reordering controls are shown as
// escapes, in the table and in the page; long names are cut in the grid.
TEST(GradeReport, NamesCannotReorderOrWidenTheReport)
{
    std::string name = "evil\xE2\x80\xAEtxt.exe\xE2\x81\xA6";
    EXPECT_EQ(grade_shown(name), "evil\\u202Etxt.exe\\u2066");
    EXPECT_EQ(grade_html_text(name), "evil\\u202Etxt.exe\\u2066");
    EXPECT_EQ(grade_shown("caf\xC3\xA9 \xD8\xA7"), "caf\xC3\xA9 \xD8\xA7") << "letters of any direction stay";
    EXPECT_NE(grade_table({made_up(VERDICT_PASSED, name)}).find("evil\\u202E"), std::string::npos);
    for (unsigned code : {0x061Cu, 0x200Eu, 0x200Fu, 0x202Au, 0x202Eu, 0x2066u, 0x2069u})
        EXPECT_TRUE(grade_bidi_control(code)) << code;
    for (unsigned code : {0x061Bu, 0x200Du, 0x2029u, 0x202Fu, 0x2065u, 0x206Au})
        EXPECT_FALSE(grade_bidi_control(code)) << code;

    std::string long_name(250, 'x');
    std::string page = grade_html({made_up(VERDICT_FAILED, long_name)});
    EXPECT_NE(page.find("<tr><th><span title=\"" + long_name + "\">" + std::string(60, 'x') + "&hellip;</span></th>"),
              std::string::npos);
    EXPECT_NE(page.find("<h3>" + long_name + " &middot;"), std::string::npos) << "whole where the run is told";
    std::string sixty(60, 'y');
    EXPECT_NE(grade_html({made_up(VERDICT_PASSED, sixty)}).find("<tr><th>" + sixty + "</th>"), std::string::npos);
    std::string kanji;
    for (int i = 0; i < 30; ++i)
        kanji += "\xE8\xAA\xB2";
    EXPECT_NE(grade_html({made_up(VERDICT_PASSED, kanji)}).find("\">" + kanji.substr(0, 60) + "&hellip;"),
              std::string::npos)
        << "cut between characters";
}

// The text of a picture a program sent is written anew, escaped.
TEST(GradeReport, APictureIsCheckedAndItsTextEscaped)
{
    std::string head = "<html><body>\n<div class=\"screen\">\n";
    std::string row = "<div><span class=\"f7 b0\" style=\"width:8ch\">&lt;b&gt;&amp;&quot;x</span></div>\n";
    EXPECT_EQ(grade_checked_screen(head + row + "</div>\n</body>"),
              "<div><span class=\"f7 b0\" style=\"width:8ch\">&lt;b&gt;&amp;&quot;x</span></div>\n");
    EXPECT_EQ(grade_checked_screen(head + "<div><span class=\"f7 b0\" style=\"width:3ch\"><b>x</b></span></div>\n"
                                          "</div>\n</body>"),
              "");
    EXPECT_EQ(grade_checked_screen(""), "");
    EXPECT_EQ(grade_checked_screen(head + "</div>\n</body>"), "") << "no rows, no picture";
    std::string page = grade_screen_page(grade_checked_screen(head + row + "</div>\n</body>"));
    EXPECT_NE(page.find("<div class=\"screen\">\n<div><span class=\"f7 b0\""), std::string::npos);
    EXPECT_NE(page.find(".f7{color:"), std::string::npos);
}

// The picture a run kept is taken only whole and only as the screen model
// holds cells: none before the first, none from a slot with a stray half of
// a wide character or a control code, which a program's own writes there
// would leave.
TEST(GradeReport, AKeptPictureIsTakenOnlyWhole)
{
    KeptPicture picture{};
    for (auto &slot : picture.slot)
        for (auto &row : slot)
            for (ScreenCell &cell : row)
                cell = {'<', 0x1F, CELL_NARROW};
    picture.slot[1][0][0] = {0x8ABF, 0x1F, CELL_WIDE_LEFT};  // 漢
    picture.slot[1][0][1] = {0x8ABF, 0x1F, CELL_WIDE_RIGHT};
    auto kept = [&picture] { return grade_kept_screen(std::string((const char *)&picture, sizeof picture)); };
    EXPECT_EQ(kept(), "") << "no picture kept yet";
    picture.latest = 2;
    std::string rows = kept();
    EXPECT_EQ(rows.substr(0, rows.find("</div>") + 7),
              "<div><span class=\"ff b1\" style=\"width:2ch\">\xE6\xBC\xA2</span><span class=\"ff b1\" "
              "style=\"width:78ch\">" + [] { std::string lt; for (int i = 0; i < 78; ++i) lt += "&lt;"; return lt; }() +
              "</span></div>\n");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 25);
    picture.slot[1][3][79] = {0x8ABF, 0x1F, CELL_WIDE_LEFT};
    EXPECT_EQ(kept(), "") << "half a wide character in the last column";
    picture.slot[1][3][79] = {0x1B, 0x1F, CELL_NARROW};
    EXPECT_EQ(kept(), "") << "an escape";
    picture.slot[1][3][79] = {'<', 0x1F, 3};
    EXPECT_EQ(kept(), "") << "no kind of cell";
    picture.slot[1][3][79] = {'<', 0x1F, CELL_NARROW};
    picture.latest = 3;
    EXPECT_EQ(kept(), "") << "no slot";
    picture.latest = 2;
    EXPECT_EQ(kept(), rows);
    EXPECT_EQ(grade_kept_screen(std::string((const char *)&picture, sizeof picture - 1)), "") << "cut short";
}

// What AddressSanitizer says when a limit on address space leaves it no
// room for its shadow memory, and what the teacher is told.
static const char asan_short[] =
    "==61==ERROR: AddressSanitizer failed to allocate 0xdfff0001000 (15392894357504) bytes at address 2008fff7000 "
    "(errno: 12)\n==61==ReserveShadowMemoryRange failed while trying to map 0xdfff0001000 bytes. Perhaps you're "
    "using ulimit -v\n";
static const char asan_hint[] = "an AddressSanitizer build cannot run within --memory 1024 MiB: grade such builds "
                                "with --memory 0";

// How a run is read: a pass only with every check the grader counted, a
// closed descriptor in the run's terms, a signal only from the wait status
// (or, in the sandbox, said to be in doubt), a hint for tiny memory and
// one for AddressSanitizer builds under a memory limit.
TEST(GradeReport, RunsAreJudgedByWhatTheyReallyDid)
{
    GradeRun run = made_up(VERDICT_NOT_RUN);
    run.scenario_path = "/t/s.scn";
    run.decided = true;
    run.decided_message = "/t/s.scn: passed, 2 checks held; the program ended after the last step\n";
    grade_judge(run);
    EXPECT_EQ(run.verdict, VERDICT_PASSED);
    run.decided_message = "/t/s.scn: passed, 0 checks held";
    grade_judge(run);
    EXPECT_EQ(run.verdict, VERDICT_INTERFERED);
    EXPECT_EQ(run.message, "said it passed with 0 of the scenario's 2 checks: the program kept the scenario from it");
    run.decided_message = "/t/s.scn: passed, 3 checks held";
    grade_judge(run);
    EXPECT_EQ(run.verdict, VERDICT_INTERFERED);
    run.decided_status = 8;
    run.decided_message = "/t/s.scn: the program closed the descriptor the grader gave it";
    grade_judge(run);
    EXPECT_EQ(run.verdict, VERDICT_INTERFERED);

    const std::pair<GradeRun, std::pair<Verdict, std::string>> endings[] = {
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 139; return r; }(),
         {VERDICT_OTHER_STATUS, "exit status 139 without a verdict: the scenario did not run to its end"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 129; r.sandboxed = true; return r; }(),
         {VERDICT_CRASHED, "ended by signal 1 (Hangup) or exit status 129 (the sandbox gives both alike)"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 128; r.sandboxed = true; return r; }(),
         {VERDICT_OTHER_STATUS, "exit status 128 without a verdict: the scenario did not run to its end"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 193; r.sandboxed = true; return r; }(),
         {VERDICT_OTHER_STATUS, "exit status 193 without a verdict: the scenario did not run to its end"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 192; r.sandboxed = true; return r; }(),
         {VERDICT_CRASHED, "ended by signal 64 (Real-time signal 30) or exit status 192 (the sandbox gives both alike)"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = -1; r.signal = SIGSEGV; return r; }(),
         {VERDICT_CRASHED, "ended by signal 11 (Segmentation fault)"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 8; return r; }(),
         {VERDICT_INTERFERED, "the program closed the descriptor the grader gave it"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 127; r.memory_mib = 63; return r; }(),
         {VERDICT_OTHER_STATUS,
          "exit status 127 without a verdict: the program could not start; --memory 63 MiB may be too little to load it"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 127; r.memory_mib = 64; return r; }(),
         {VERDICT_OTHER_STATUS, "exit status 127 without a verdict: the scenario did not run to its end"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 127; return r; }(),
         {VERDICT_OTHER_STATUS, "exit status 127 without a verdict: the scenario did not run to its end"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 126; r.memory_mib = 1; return r; }(),
         {VERDICT_OTHER_STATUS, "exit status 126 without a verdict: the scenario did not run to its end"}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = -1; r.signal = SIGABRT; r.memory_mib = 1024;
              r.err = asan_short; return r; }(),
         {VERDICT_CRASHED, asan_hint}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = 1; r.memory_mib = 1024; r.err = asan_short; return r; }(),
         {VERDICT_OTHER_STATUS, asan_hint}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.out_of_memory = true; r.sanitized = true; r.memory_mib = 1024;
              return r; }(),
         {VERDICT_OVER_LIMIT, asan_hint}},
        {[] { GradeRun r = made_up(VERDICT_NOT_RUN); r.status = -1; r.signal = SIGABRT; r.err = asan_short; return r; }(),
         {VERDICT_CRASHED, "ended by signal 6 (Aborted)"}},
    };
    for (auto [ended, expected] : endings) {
        ended.message.clear();
        grade_judge(ended);
        EXPECT_EQ(ended.verdict, expected.first) << expected.second;
        EXPECT_EQ(ended.message, expected.second);
    }
}

static std::string trace_header(const std::string &pdr8_name = "PDR8")
{
    return "$version wena port trace $end\n$timescale 1us $end\n$scope module board $end\n"
           "$var wire 8 ! PDR5 [7:0] $end\n$var wire 8 \" " + pdr8_name + " [7:0] $end\n"
           "$var wire 10 # ADDA [9:0] $end\n$upscope $end\n$enddefinitions $end\n";
}

// The ports over a run: PDR8 bit by bit, an A/D level, the end marked; one
// drawing compared whole.
TEST(GradeReport, TheTimingDiagramDrawsEveryChange)
{
    std::string vcd = trace_header() + "#1000\n$dumpvars\nb00000000 !\nb00000000 \"\nb0000000000 #\n$end\n"
                                       "#101000\nb00000101 \"\n#301000\nb1000000000 #\nb00000001 \"\n#501000\n";
    EXPECT_TRUE(matches_golden_text("grade_timing", grade_timing_svg(vcd, "failed")));
    EXPECT_EQ(grade_timing_svg("", "failed"), "");
    EXPECT_EQ(grade_timing_svg(trace_header(), "failed"), "") << "a header and no sample";
}

// What a run wrote in its trace draws nothing but numbers: names and
// values not its own are left out, stamps that go back end the reading,
// and a flood of changes makes a drawing of a bounded size.
TEST(GradeReport, ATraceFromARunIsReadAsNumbersOnly)
{
    std::string svg = grade_timing_svg(trace_header("<script>") + "#0\nb00000001 \"\n#10\nb2<b> \"\n", "<b>ended</b>");
    EXPECT_EQ(svg.find("<script"), std::string::npos);
    EXPECT_EQ(svg.find("<b>"), std::string::npos);
    EXPECT_NE(svg.find("&lt;b&gt;ended&lt;/b&gt; at 0.0 ms"), std::string::npos);

    std::string back = trace_header() + "#0\nb00000000 \"\n#500\nb00000001 \"\n#100\nb00000000 \"\n#900\n";
    EXPECT_NE(grade_timing_svg(back, "x").find("0.5 ms"), std::string::npos) << "read up to the stamp that went back";

    std::string flood = trace_header() + "#0\nb00000000 \"\n";
    for (int us = 1; us <= 200000; ++us)
        flood += "#" + std::to_string(us) + "\nb0000000" + (us % 2 ? "1" : "0") + " \"\n";
    EXPECT_LT(grade_timing_svg(flood, "x").size(), (size_t)32 * 1024);
}

// The table on a terminal: each verdict in its colour on the page, the
// score on a student's first row, and for sources that did not compile the
// compiler's first error, escaped and cut short.
TEST(GradeReport, TableInThePagesColoursWithScoresAndTheFirstCompilerError)
{
    GradeRun broken = made_up(VERDICT_NOT_COMPILED, "class/saburo.c", "a.scn");
    broken.source = true;
    broken.compiled = false;
    broken.compiler_messages = "saburo.c: In function 'main':\nsaburo.c:2:9: warning: unused variable 'x'\n"
                               "saburo.c:3:5: error: expected ';' \x1b[2J" + std::string(300, 'x') + "\n";
    std::vector<GradeRun> runs = {made_up(VERDICT_PASSED, "taro", "a.scn"), made_up(VERDICT_HUNG, "taro", "b.scn"),
                                  broken, made_up(VERDICT_TIMED_OUT, "花子", "a.scn")};
    runs[3].message = "wait until PDR8 == 1: not met within 100 ms";
    std::string cut = "saburo.c:3:5: error: expected ';' \\x1B[2J" + std::string(200 - 38, 'x') + "...";
    EXPECT_EQ(grade_table(runs, true),
              "PROGRAM         SCORE  SCENARIO  VERDICT          LINE  WHAT FAILED\n"
              "taro            1/2    a.scn     \x1b[32mpassed\x1b[m\n"
              "taro                   b.scn     \x1b[35mhung\x1b[m                   why\n"
              "class/saburo.c  0/1    a.scn     \x1b[31mdid not compile\x1b[m        " + cut + "\n"
              "花子            0/1    a.scn     \x1b[33mtimed out\x1b[m              wait until PDR8 == 1: not met within 100 ms\n");
    EXPECT_EQ(grade_table(runs).find('\x1b'), std::string::npos) << "plain, without colours";
}
