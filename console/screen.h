// The model of the 80x25 console: what every cell shows, the cursor, the
// current attribute and cursor visibility. A terminal cannot be read back, so
// this is the picture tests read and the terminal output is diffed against.
#pragma once

#include <cstddef>
#include <cstdint>

enum { SCREEN_COLS = 80, SCREEN_ROWS = 25, ATTR_CLEARED = 0x07 };

enum : uint8_t {
    CELL_NARROW,     // one column: a one-byte code
    CELL_WIDE_LEFT,  // first column of a two-byte character; holds the code
    CELL_WIDE_RIGHT  // second column of a two-byte character
};

struct ScreenCell {
    uint16_t code;  // one-byte code, or lead << 8 | trail for a wide character
    uint8_t attr;   // console attribute: low nibble foreground, high background
    uint8_t kind;
};

struct Screen {
    ScreenCell cell[SCREEN_ROWS][SCREEN_COLS];
    int cursor_x, cursor_y;  // may lie outside the grid; output there is dropped
    uint8_t attr;
    bool cursor_visible;
    bool lead_pending;       // a lead byte still waits for its trail byte
    int lead_x, lead_y;
    uint8_t lead_byte, lead_attr;
    int dirty_lo[SCREEN_ROWS], dirty_hi[SCREEN_ROWS];  // columns changed since the last flush
};

extern Screen screen;

// Blank cells in attribute 7, cursor home, attribute 7; visibility is kept.
void scr_clear();

// Places code page 932 bytes at the cursor in the current attribute.
void scr_write(const unsigned char *bytes, size_t n);

const ScreenCell &scr_cell(int x, int y);

// UTF-8 text that the cell shows; empty for the second column of a wide character.
int scr_cell_text(int x, int y, char out[8]);

void scr_mark_all_dirty();
void scr_clear_dirty();
