// Whole pictures compared in one assertion: a region of the screen model is
// rendered as its text rows and an attribute map, and compared with a file
// under tests/golden/. WENA_UPDATE_GOLDEN=1 writes the files instead; look at
// them before committing.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct ScreenRegion {
    int x, y, cols, rows;
};

inline constexpr ScreenRegion WHOLE_SCREEN{0, 0, 80, 25};

// The region as text: its rows, a blank line, then one letter per cell for
// the attribute, with a legend (letter = attribute in hex) at the end.
std::string render_region(ScreenRegion region);

::testing::AssertionResult matches_golden(const std::string &name, ScreenRegion region = WHOLE_SCREEN);

// The same for a text made of several pictures (render_region of each).
::testing::AssertionResult matches_golden_text(const std::string &name, const std::string &seen);
