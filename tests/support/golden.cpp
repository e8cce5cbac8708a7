#include "tests/support/golden.h"

#include "console/screen.h"
#include "tests/support/capture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::string render_region(ScreenRegion region)
{
    std::string text, attrs, legend;
    std::map<int, char> letter_of;
    for (int y = region.y; y < region.y + region.rows; ++y) {
        text += screen_text(region.x, y, region.cols) + "\n";
        for (int x = region.x; x < region.x + region.cols; ++x) {
            int attr = scr_cell(x, y).attr;
            if (!letter_of.count(attr)) {
                char entry[8];
                letter_of[attr] = letters[letter_of.size() % (sizeof letters - 1)];
                snprintf(entry, sizeof entry, " %c=%02X", letter_of[attr], attr);
                legend += entry;
            }
            attrs += letter_of[attr];
        }
        attrs += "\n";
    }
    return text + "\n" + attrs + (legend.empty() ? "" : legend.substr(1)) + "\n";
}

static std::string golden_path(const std::string &name) { return std::string(GOLDEN_DIR) + "/" + name + ".txt"; }

::testing::AssertionResult matches_golden(const std::string &name, ScreenRegion region)
{
    return matches_golden_text(name, render_region(region));
}

::testing::AssertionResult matches_golden_text(const std::string &name, const std::string &seen)
{
    std::string path = golden_path(name);
    const char *update = getenv("WENA_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << seen;
        return ::testing::AssertionSuccess();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ::testing::AssertionFailure() << "no golden picture " << path
                                             << " (WENA_UPDATE_GOLDEN=1 writes it); seen:\n" << seen;
    std::stringstream expected;
    expected << in.rdbuf();
    if (expected.str() == seen)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "picture differs from " << path << "\nexpected:\n"
                                         << expected.str() << "seen:\n" << seen;
}
