// What a reader follows from the README: links that lead to a file and a
// heading that exist, and manual pages that name every call of the header
// and every variable the library reads.
#include "tests/support/docs.h"
#include "tests/support/tmux.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

static std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The anchor a Markdown viewer gives a heading: lower case, spaces as
// hyphens, other punctuation dropped.
static std::string anchor_of(const std::string &heading)
{
    std::string anchor;
    for (unsigned char c : heading) {
        if (std::isalnum(c) || c == '-' || c == '_' || c >= 0x80)
            anchor += (char)std::tolower(c);
        else if (c == ' ')
            anchor += '-';
    }
    return anchor;
}

static std::set<std::string> anchors_of(const std::string &text)
{
    std::set<std::string> anchors;
    std::istringstream lines(text);
    std::string line;
    bool fenced = false;
    while (std::getline(lines, line)) {
        if (line.rfind("```", 0) == 0)
            fenced = !fenced;
        else if (!fenced && line.rfind("#", 0) == 0)
            anchors.insert(anchor_of(line.substr(line.find_first_not_of('#') + 1)));
    }
    return anchors;
}

// A guide moved or a heading renamed leaves no link of the README or of a
// guide pointing nowhere.
TEST(Docs, EveryLinkLeadsToAFileAndAHeadingThatExist)
{
    const std::regex link(R"(\]\(([^)\s]+)\))");
    size_t links = 0;
    for (const DocFile &doc : doc_files()) {
        for (std::sregex_iterator it(doc.text.begin(), doc.text.end(), link), end; it != end; ++it) {
            std::string target = (*it)[1];
            if (target.find("://") != std::string::npos)
                continue;
            ++links;
            std::string name = target.substr(0, target.find('#'));
            fs::path file = name.empty() ? fs::path(doc.path) : fs::path(doc.path).parent_path() / name;
            EXPECT_TRUE(fs::exists(file)) << doc.path << ": " << target;
            if (target.find('#') != std::string::npos && fs::exists(file)) {
                EXPECT_EQ(anchors_of(read_file(file.string())).count(target.substr(target.find('#') + 1)), 1u)
                    << doc.path << ": " << target << " names no heading";
            }
        }
    }
    EXPECT_GT(links, 0u);
}

static std::string man_page(const std::string &page)
{
    std::string roff = read_file(std::string(MAN_DIR) + "/" + page);
    for (size_t at; (at = roff.find("\\-")) != std::string::npos;)
        roff.replace(at, 2, "-");
    return roff;
}

static std::string section(const std::string &roff, const std::string &name)
{
    size_t start = roff.find(".SH " + name + "\n");
    return start == std::string::npos ? "" : roff.substr(start, roff.find("\n.SH ", start + 1) - start);
}

// A call added to wena.h is in the synopsis of wena(3) or wena-lcd(3), and
// "man CALL" opens the page that has it.
TEST(ManualPages, EveryCallAndRegisterOfTheHeaderIsInASectionThreePage)
{
    const std::string header = read_file(std::string(SOURCE_DIR) + "/include/wena.h");
    const std::regex call(R"((?:^|\n)(?:static inline )?[a-z0-9_]+\s+\**(\w+)\s*\()");
    const std::regex reg(R"(#define (\w+) \(wena_registers)");
    const std::string synopses = section(man_page("wena.3"), "SYNOPSIS") + section(man_page("wena-lcd.3"), "SYNOPSIS");
    std::vector<std::string> calls, registers;
    for (std::sregex_iterator it(header.begin(), header.end(), call), end; it != end; ++it)
        if ((*it)[1].str().rfind("wena_", 0) != 0)
            calls.push_back((*it)[1]);
    for (std::sregex_iterator it(header.begin(), header.end(), reg), end; it != end; ++it)
        registers.push_back((*it)[1]);
    ASSERT_FALSE(calls.empty());
    ASSERT_FALSE(registers.empty());
    for (const std::string &name : calls) {
        EXPECT_NE(synopses.find(name + "("), std::string::npos) << name << " is in no synopsis";
        EXPECT_TRUE(fs::exists(std::string(MAN_DIR) + "/" + name + ".3.gz")) << "man " << name << " opens no page";
    }
    for (const std::string &name : registers)
        EXPECT_NE(synopses.find(name), std::string::npos) << name << " is in no synopsis";
}

// Every WENA_ variable the library's sources name is in wena-demo(1).
TEST(ManualPages, TheDemoPageNamesEveryVariableTheLibraryReads)
{
    std::string names = run_output("grep -rhoE --include='*.c' --include='*.cpp' --include='*.h' --exclude-dir=tests "
                                   "--exclude-dir=tools --exclude-dir=fuzz --exclude-dir=bench --exclude-dir='build*' "
                                   "'\"WENA_[A-Z0-9_]+\"' " SOURCE_DIR " | tr -d '\"' | sort -u");
    ASSERT_NE(names, "");
    const std::string environment = section(man_page("wena-demo.1"), "ENVIRONMENT");
    std::istringstream lines(names);
    for (std::string name; std::getline(lines, name);)
        EXPECT_NE(environment.find(".B " + name + "\n"), std::string::npos) << name;
}

// The packages the README tells to install before .ci/run are the ones it
// installs itself.
TEST(Docs, TheReadmeNamesEveryPackageTheTestScriptInstalls)
{
    const std::string script = read_file(std::string(SOURCE_DIR) + "/.ci/run");
    const std::string readme = read_file(README_FILE);
    size_t start = script.find("packages=(");
    ASSERT_NE(start, std::string::npos);
    std::istringstream listed(script.substr(start + 10, script.find(')', start) - start - 10));
    size_t line = readme.find("sudo apt-get install ");
    ASSERT_NE(line, std::string::npos);
    std::istringstream told(readme.substr(line + 21, readme.find('`', line) - line - 21));
    std::set<std::string> installed, named;
    for (std::string name; listed >> name;)
        installed.insert(name);
    for (std::string name; told >> name;)
        named.insert(name);
    EXPECT_FALSE(installed.empty());
    EXPECT_EQ(named, installed);
}
