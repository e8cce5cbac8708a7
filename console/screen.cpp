#include "console/screen.h"

#include "console/cp932.h"

#include <algorithm>

static Screen initial_screen()
{
    Screen s{};
    for (auto &row : s.cell)
        for (auto &c : row)
            c = {' ', ATTR_CLEARED, CELL_NARROW};
    s.attr = ATTR_CLEARED;
    s.cursor_visible = true;
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        s.dirty_lo[y] = SCREEN_COLS;
        s.dirty_hi[y] = -1;
    }
    return s;
}

Screen screen = initial_screen();

static bool inside(int x, int y)
{
    return x >= 0 && x < SCREEN_COLS && y >= 0 && y < SCREEN_ROWS;
}

static void mark_dirty(int x, int y)
{
    screen.dirty_lo[y] = std::min(screen.dirty_lo[y], x);
    screen.dirty_hi[y] = std::max(screen.dirty_hi[y], x);
}

void scr_mark_all_dirty()
{
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        screen.dirty_lo[y] = 0;
        screen.dirty_hi[y] = SCREEN_COLS - 1;
    }
}

void scr_clear_dirty()
{
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        screen.dirty_lo[y] = SCREEN_COLS;
        screen.dirty_hi[y] = -1;
    }
}

void scr_clear()
{
    for (auto &row : screen.cell)
        for (auto &c : row)
            c = {' ', ATTR_CLEARED, CELL_NARROW};
    screen.cursor_x = screen.cursor_y = 0;
    screen.attr = ATTR_CLEARED;
    screen.lead_pending = false;
    scr_mark_all_dirty();
}

const ScreenCell &scr_cell(int x, int y)
{
    static const ScreenCell outside = {' ', ATTR_CLEARED, CELL_NARROW};
    return inside(x, y) ? screen.cell[y][x] : outside;
}

int scr_cell_text(int x, int y, char out[8])
{
    const ScreenCell &c = scr_cell(x, y);
    if (c.kind == CELL_WIDE_RIGHT)
        return 0;
    return cp932_to_utf8(c.code, out);
}

// Overwriting either half of a wide character leaves its other half blank.
static void break_wide_character_at(int x, int y)
{
    ScreenCell &c = screen.cell[y][x];
    int partner = c.kind == CELL_WIDE_LEFT ? x + 1 : c.kind == CELL_WIDE_RIGHT ? x - 1 : -1;
    if (partner < 0 || partner >= SCREEN_COLS)
        return;
    ScreenCell &p = screen.cell[y][partner];
    p = {' ', p.attr, CELL_NARROW};
    mark_dirty(partner, y);
}

static void put_narrow(int x, int y, uint16_t code, uint8_t attr)
{
    if (!inside(x, y))
        return;
    break_wide_character_at(x, y);
    screen.cell[y][x] = {code, attr, CELL_NARROW};
    mark_dirty(x, y);
}

static void put_wide(int x, int y, uint16_t code, uint8_t attr)
{
    if (x == SCREEN_COLS - 1) {
        // No room for the second column: the character is shown as malformed.
        put_narrow(x, y, code >> 8, attr);
        return;
    }
    if (!inside(x, y) || !inside(x + 1, y)) {
        put_narrow(x + 1, y, ' ', attr);
        return;
    }
    break_wide_character_at(x, y);
    break_wide_character_at(x + 1, y);
    screen.cell[y][x] = {code, attr, CELL_WIDE_LEFT};
    screen.cell[y][x + 1] = {code, attr, CELL_WIDE_RIGHT};
    mark_dirty(x, y);
    mark_dirty(x + 1, y);
}

// A lead byte is shown as malformed until its trail byte arrives right
// behind it, possibly in a later call (the LCD writes one byte per call).
static bool complete_pending_lead(unsigned char b)
{
    if (!screen.lead_pending)
        return false;
    screen.lead_pending = false;
    int x = screen.lead_x, y = screen.lead_y;
    if (screen.cursor_x != x + 1 || screen.cursor_y != y || !cp932_is_trail(b))
        return false;
    put_wide(x, y, (uint16_t)(screen.lead_byte << 8 | b), screen.lead_attr);
    screen.cursor_x = x + 2;
    return true;
}

static uint16_t single_byte_code(unsigned char b)
{
    // Control bytes would move a real terminal's cursor behind our back.
    if (b < 0x20 || b == 0x7F)
        return ' ';
    return b;
}

void scr_write(const unsigned char *bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned char b = bytes[i];
        if (complete_pending_lead(b))
            continue;
        if (cp932_is_lead(b)) {
            screen.lead_pending = true;
            screen.lead_x = screen.cursor_x;
            screen.lead_y = screen.cursor_y;
            screen.lead_byte = b;
            screen.lead_attr = screen.attr;
        }
        put_narrow(screen.cursor_x, screen.cursor_y, single_byte_code(b), screen.attr);
        ++screen.cursor_x;
    }
}
