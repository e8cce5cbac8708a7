// A screen as a terminal emulator shows it (libvterm, fed the console's bytes
// or a tmux capture), and its comparison with the console's screen model.
#pragma once

#include <string>
#include <vector>

struct SeenCell {
    std::string text;   // UTF-8; empty for the second column of a wide glyph
    int width = 1;      // 2 when the emulator drew the glyph two columns wide
    int fg = -1, bg = -1;  // console attribute nibbles; -1 for the terminal default
};

struct SeenScreen {
    int cols = 0, rows = 0;
    std::vector<SeenCell> cells;
    SeenCell &at(int x, int y) { return cells[(size_t)(y * cols + x)]; }
    const SeenCell &at(int x, int y) const { return cells[(size_t)(y * cols + x)]; }
};

// Columns UTF-8 text takes as code page 932 lays it out: ASCII, the yen
// sign, half-width katakana and the replacement mark one each, all else two.
int cp932_columns(const std::string &utf8_text);

// Empty when the visible part of the model and the emulator agree; else the
// first differing cell, described.
std::string diff_with_model(const SeenScreen &seen);

// libvterm, fed with bytes the console wrote.
struct VTerm;
struct VtEmulator {
    VTerm *vt = nullptr;
    int cols = 0, rows = 0;
};
void vt_open(VtEmulator &e, int cols, int rows);
void vt_feed(VtEmulator &e, const std::string &bytes);
SeenScreen vt_screen(VtEmulator &e);
void vt_cursor(VtEmulator &e, int *x, int *y);
void vt_close(VtEmulator &e);
