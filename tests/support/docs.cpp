#include "tests/support/docs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

static DocFile doc_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return {path, text.str()};
}

std::vector<DocFile> doc_files()
{
    std::vector<std::string> guides;
    for (const auto &entry : std::filesystem::directory_iterator(DOCS_DIR))
        if (entry.path().extension() == ".md")
            guides.push_back(entry.path().string());
    std::sort(guides.begin(), guides.end());
    std::vector<DocFile> files{doc_file(README_FILE)};
    for (const std::string &guide : guides)
        files.push_back(doc_file(guide));
    return files;
}
