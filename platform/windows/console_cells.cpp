// The Windows console drawn with its own services: cursor placement, text
// attribute and text written at the cursor, always through the handle that
// GetStdHandle(STD_OUTPUT_HANDLE) gives at that moment. Only cells that
// differ from what the console is known to show are written, and the
// position and colour are set only for them: a console call costs, and
// under wine much. Text goes out as UTF-16, so it reads right whatever code
// page the console was left in.
#include "console/cp932.h"
#include "platform/platform.h"
#include "console/screen.h"
#include "console/term.h"
#include "platform/windows/console_state.h"

#include <algorithm>
#include <windows.h>

enum { UNKNOWN = -1, KIND_UNKNOWN = 0xFF, CURSOR_SIZE = 15 };

namespace {

struct Console {
    HANDLE handle;  // the output handle the rest describes
    int cols, rows;  // the screen buffer, clipped to the board
    ScreenCell shown[SCREEN_ROWS][SCREEN_COLS];
    int cursor_x, cursor_y, attr, cursor_visible;
    int written_attr;  // the attribute of the last text written
    bool notice_shown;  // the window is smaller than the board, and says so
};

}  // namespace

static Console console;

void console_cells_forget()
{
    console.handle = nullptr;
}

static void forget_everything()
{
    console.cursor_x = console.cursor_y = console.attr = console.cursor_visible = UNKNOWN;
    console.written_attr = UNKNOWN;
    console.notice_shown = false;
    for (auto &row : console.shown)
        for (auto &c : row)
            c.kind = KIND_UNKNOWN;
}

// The console behind standard output, or null when it is none. A new handle
// (the standard handle was changed) shows something unknown.
static HANDLE output_console()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != console.handle) {
        console.handle = out;
        forget_everything();
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(out, &info)) {
            console.cols = console.rows = 0;
        } else {
            console.cols = std::min<int>(info.dwSize.X, SCREEN_COLS);
            console.rows = std::min<int>(info.dwSize.Y, SCREEN_ROWS);
        }
    }
    return console.cols > 0 && console.rows > 0 ? out : nullptr;
}

static bool same(const ScreenCell &a, const ScreenCell &b)
{
    return a.code == b.code && a.attr == b.attr && a.kind == b.kind;
}

static bool is_blank(const ScreenCell &c) { return c.kind == CELL_NARROW && c.code == ' '; }

static bool same_background(const ScreenCell &a, const ScreenCell &b) { return (a.attr & 0xF0) == (b.attr & 0xF0); }

// The blanks around x on its background, up to the text on either side.
static void blank_stretch(const ScreenCell *row, int x, int *first, int *last)
{
    *first = *last = x;
    while (*first > 0 && is_blank(row[*first]) && row[*first - 1].kind == CELL_NARROW &&
           same_background(row[*first - 1], row[x]))
        --*first;
    while (*last + 1 < SCREEN_COLS && is_blank(row[*last]) && row[*last + 1].kind == CELL_NARROW &&
           same_background(row[*last + 1], row[x]))
        ++*last;
}

// A cell as it is written to the console. wine's console, drawing on a
// terminal, switches to the light grey foreground with a reset of all
// colours and sends the background again only when it differs from that of
// the cell it drew last (which may lie further left: it skips the cells it
// knows unchanged). Light grey blanks after other text on their background
// came out in the terminal's own background. A blank's foreground shows
// nowhere, so blanks take the attribute of the text before them on their
// background, else of the text after them, so that no colour change is drawn
// for them; blanks on a background alone get a foreground that needs no
// reset, but for light grey on black, which a clear leaves.
static ScreenCell console_form(const ScreenCell *row, int x)
{
    ScreenCell c = row[x];
    if (!is_blank(c))
        return c;
    int first, last;
    blank_stretch(row, x, &first, &last);
    if (!is_blank(row[first]))
        c.attr = row[first].attr;
    else if (!is_blank(row[last]))
        c.attr = row[last].attr;
    else if ((c.attr & 0x0F) == 0x07 && (c.attr & 0xF0) != 0)
        c.attr |= 0x08;
    return c;
}

static bool shown_as_model(int x, int y) { return same(console_form(screen.cell[y], x), console.shown[y][x]); }

static void move_to(HANDLE out, int x, int y)
{
    if (console.cursor_x == x && console.cursor_y == y)
        return;
    COORD at = {(SHORT)x, (SHORT)y};
    SetConsoleCursorPosition(out, at);
    console.cursor_x = x;
    console.cursor_y = y;
}

static void use_attr(HANDLE out, int attr)
{
    if (console.attr == attr)
        return;
    SetConsoleTextAttribute(out, (WORD)attr);
    console.attr = attr;
}

// Writes UTF-16 text at the cursor; the cursor ends behind it, or is unknown
// when the text reached the last column (no wrap: it stays there).
static void write_at_cursor(HANDLE out, const wchar_t *text, int n, int columns)
{
    DWORD written;
    WriteConsoleW(out, text, (DWORD)n, &written, nullptr);
    console.cursor_x += columns;
    if (console.cursor_x >= console.cols)
        console.cursor_x = UNKNOWN;
}

// wine's console, drawing on a terminal, sends no colour change for
// attribute 7 after an attribute with the same light grey foreground on
// another background. Text written in bright white first makes it send a
// reset on the way to 7; the console itself ends the same either way.
static bool needs_reset_before(int attr)
{
    return attr == ATTR_CLEARED && console.written_attr != ATTR_CLEARED && (console.written_attr & 0x0F) == 0x07;
}

static void write_cells(HANDLE out, int x, int y, int attr, const wchar_t *text, int n, int columns)
{
    if (needs_reset_before(attr)) {
        move_to(out, x, y);
        use_attr(out, attr | 0x08);
        write_at_cursor(out, text, n, columns);
    }
    move_to(out, x, y);
    use_attr(out, attr);
    write_at_cursor(out, text, n, columns);
    console.written_attr = attr;
}

static int glyph_utf16(const ScreenCell &c, wchar_t out[4])
{
    char utf8[CP932_UTF8_MAX];
    int n = cp932_to_utf8(c.code, utf8);
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8, n, out, 4);
    if (units > 0)
        return units;
    out[0] = L'?';
    return 1;
}

static void forget_cell(int x, int y)
{
    if (x >= 0 && x < SCREEN_COLS)
        console.shown[y][x].kind = KIND_UNKNOWN;
}

// Writing either half of a wide character erases the other.
static void forget_partner_of(int x, int y)
{
    uint8_t kind = console.shown[y][x].kind;
    if (kind == CELL_WIDE_LEFT)
        forget_cell(x + 1, y);
    else if (kind == CELL_WIDE_RIGHT)
        forget_cell(x - 1, y);
}

enum { RUN_CAPACITY = SCREEN_COLS * 2 };

// Narrow cells from x on that differ from the console and share one
// attribute go out in one write; gives the column after the run.
static int send_narrow_run(HANDLE out, int x, int y)
{
    const ScreenCell *model = screen.cell[y];
    wchar_t text[RUN_CAPACITY + 4];
    int n = 0, start = x;
    uint8_t attr = console_form(model, x).attr;
    while (x < console.cols && model[x].kind == CELL_NARROW && console_form(model, x).attr == attr &&
           !shown_as_model(x, y) && n <= RUN_CAPACITY) {
        forget_partner_of(x, y);
        n += glyph_utf16(model[x], text + n);
        console.shown[y][x] = console_form(model, x);
        ++x;
    }
    write_cells(out, start, y, attr, text, n, x - start);
    return x;
}

// A console that counts a wide character as one column (wine's, drawing on a
// terminal) places later text in the row relative to a column that is off by
// one. Writing a cell at the start of a row again, unchanged, sets it right.
static void resync_relative_moves(HANDLE out, int y)
{
    for (int i = 0; i < console.rows; ++i) {
        int row = (y + i) % console.rows;
        const ScreenCell &c = console.shown[row][0];
        if (c.kind != CELL_NARROW || !shown_as_model(0, row))
            continue;
        wchar_t glyph[4];
        int n = glyph_utf16(c, glyph);
        write_cells(out, 0, row, c.attr, glyph, n, 1);
        return;
    }
}

// Consoles disagree on the width of some characters ("●", "→"), and some
// give every character one cell: the second column gets a blank of its own
// before the glyph goes into the first, and what follows is placed anew.
static void send_wide(HANDLE out, int x, int y)
{
    const ScreenCell &left = screen.cell[y][x];
    const ScreenCell &right = screen.cell[y][x + 1];
    forget_partner_of(x, y);
    if (x + 1 >= console.cols) {
        // Only the first column is on the console: show its background.
        write_cells(out, x, y, left.attr, L" ", 1, 1);
        console.shown[y][x].kind = KIND_UNKNOWN;
        return;
    }
    forget_partner_of(x + 1, y);
    write_cells(out, x + 1, y, right.attr, L" ", 1, 1);
    wchar_t glyph[4];
    int n = glyph_utf16(left, glyph);
    write_cells(out, x, y, left.attr, glyph, n, 1);
    console.cursor_x = UNKNOWN;
    console.shown[y][x] = left;
    console.shown[y][x + 1] = right;
    resync_relative_moves(out, y);
}

static void place_cursor(HANDLE out)
{
    if (screen.cursor_x >= 0 && screen.cursor_x < console.cols && screen.cursor_y >= 0 &&
        screen.cursor_y < console.rows)
        move_to(out, screen.cursor_x, screen.cursor_y);
}

static void update_row(HANDLE out, int y, int lo, int hi)
{
    const ScreenCell *model = screen.cell[y];
    const ScreenCell *shown = console.shown[y];
    if (lo > 0 && (model[lo].kind == CELL_WIDE_RIGHT || shown[lo].kind == CELL_WIDE_RIGHT))
        --lo;
    if (hi < SCREEN_COLS - 1 && (model[hi].kind == CELL_WIDE_LEFT || shown[hi].kind == CELL_WIDE_LEFT))
        ++hi;
    if (hi >= console.cols)
        hi = console.cols - 1;
    // Blanks on either side take their attribute from the changed cells.
    while (lo > 0 && is_blank(model[lo - 1]) && !shown_as_model(lo - 1, y))
        --lo;
    while (hi + 1 < console.cols && is_blank(model[hi + 1]) && !shown_as_model(hi + 1, y))
        ++hi;
    lo = term_beside_notice(y, lo);
    for (int x = lo; x <= hi;) {
        if (model[x].kind == CELL_WIDE_LEFT) {
            if (!same(model[x], shown[x]) || (x + 1 < console.cols && !same(model[x + 1], shown[x + 1])))
                send_wide(out, x, y);
            x += 2;
        } else if (model[x].kind == CELL_NARROW && !shown_as_model(x, y)) {
            x = send_narrow_run(out, x, y);
        } else {
            ++x;
        }
    }
}

// Bright white on red over the top row while the window is smaller than the
// board; a resize to the board's size has every cell written anew.
static bool show_notice(HANDLE out)
{
    const char *notice;
    int n = std::min(term_notice(&notice), console.cols);
    if (n == 0 || console.notice_shown)
        return false;
    std::wstring text(notice, notice + n);  // ASCII only
    write_cells(out, 0, 0, 0x4F, text.c_str(), n, n);
    for (int x = 0; x < n; ++x)
        console.shown[0][x].kind = KIND_UNKNOWN;
    console.notice_shown = true;
    return true;
}

// A shown cursor is placed when the program stops to poll or pause
// (console_place_cursor), not at every step of its drawing: only where it
// rests is seen. A hidden cursor stays where the last text left it. The
// attribute is set with the text.
static void sync_cursor_visibility(HANDLE out)
{
    int visible = screen.cursor_visible ? 1 : 0;
    if (console.cursor_visible == visible)
        return;
    if (visible)
        place_cursor(out);
    CONSOLE_CURSOR_INFO info = {CURSOR_SIZE, visible ? TRUE : FALSE};
    SetConsoleCursorInfo(out, &info);
    console.cursor_visible = visible;
}

void console_place_cursor()
{
    ConsoleGuard held;
    HANDLE out = output_console();
    if (out && held.drawing() && console.cursor_visible == 1)
        place_cursor(out);
}

// After the give-back nothing is drawn, and the model's changes are taken
// as shown: the terminal's escape sequences must not draw them either.
bool plat_console_update()
{
    ConsoleGuard held;
    HANDLE out = output_console();
    if (!out)
        return false;
    if (held.drawing()) {
        bool written = false;
        for (int y = 0; y < console.rows; ++y)
            if (screen.dirty_lo[y] <= screen.dirty_hi[y]) {
                update_row(out, y, screen.dirty_lo[y], screen.dirty_hi[y]);
                written = true;
            }
        written |= show_notice(out);
        sync_cursor_visibility(out);
        // Text written leaves the console's cursor behind it; a shown
        // cursor goes back to where the program put it.
        if (written && console.cursor_visible == 1)
            place_cursor(out);
    }
    scr_clear_dirty();
    return true;
}

bool plat_console_clear()
{
    ConsoleGuard held;
    HANDLE out = output_console();
    if (!out)
        return false;
    if (!held.drawing())
        return true;
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(out, &info);
    int32_t cells = (int32_t)info.dwSize.X * (int32_t)info.dwSize.Y;
    COORD home = {0, 0};
    DWORD done;
    FillConsoleOutputCharacterA(out, ' ', cells > 0 ? (DWORD)cells : 0, home, &done);
    SetConsoleTextAttribute(out, ATTR_CLEARED);
    FillConsoleOutputAttribute(out, ATTR_CLEARED, cells > 0 ? (DWORD)cells : 0, home, &done);
    SetConsoleCursorPosition(out, home);
    for (auto &row : console.shown)
        for (auto &c : row)
            c = {' ', ATTR_CLEARED, CELL_NARROW};
    console.attr = console.written_attr = ATTR_CLEARED;
    console.cursor_x = console.cursor_y = 0;
    console.notice_shown = false;
    return true;
}
