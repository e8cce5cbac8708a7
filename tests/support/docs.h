// The README and the guides under docs/, as the tests that run their
// commands and scenarios read them.
#pragma once

#include <string>
#include <vector>

struct DocFile {
    std::string path;  // the file's path, for messages
    std::string text;
};

// README.md first, then every docs/*.md in name order.
std::vector<DocFile> doc_files();
