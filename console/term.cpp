#include "console/term.h"

#include "console/cp932.h"
#include "platform/platform.h"
#include "console/screen.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

enum { UNKNOWN = -1, KIND_UNKNOWN = 0xFF, OUT_CAPACITY = 1 << 18 };

namespace {

struct Terminal {
    ScreenCell shown[SCREEN_ROWS][SCREEN_COLS];  // what the terminal shows, as far as known
    int cols, rows;
    int cursor_x, cursor_y;
    int fg, bg;
    int cursor_visible;
    bool cursor_thin;                            // the thin shape has been sent
    bool truecolor;
    bool background_erase;
    bool wider;                                  // columns beyond ours that an erase to the end would reach
    bool cleared;                                // the model was cleared since the last flush
    TermSink sink;
    void *sink_context;
    unsigned long long bytes_written;
    char notice[80];                             // top row of a terminal too small for the board
    int notice_cols;                             // columns the notice covers; 0 when none
    bool notice_shown;
    size_t out_len;
    char out[OUT_CAPACITY];
};

}  // namespace

static Terminal term = [] {
    Terminal t{};
    t.cols = SCREEN_COLS;
    t.rows = SCREEN_ROWS;
    t.cursor_x = t.cursor_y = t.fg = t.bg = t.cursor_visible = UNKNOWN;
    for (auto &row : t.shown)
        for (auto &c : row)
            c.kind = KIND_UNKNOWN;
    return t;
}();

// Classic console palette, indexed by the attribute nibble (bit 0 blue,
// bit 1 green, bit 2 red, bit 3 intensity).
static const unsigned char console_rgb[16][3] = {
    {0, 0, 0},     {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
    {128, 0, 0},   {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255}, {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},   {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
};

static void write_out()
{
    if (term.out_len == 0)
        return;
    if (term.sink)
        term.sink(term.out, term.out_len, term.sink_context);
    else
        plat_write(term.out, term.out_len);
    term.bytes_written += term.out_len;
    term.out_len = 0;
}

static void append(const char *bytes, size_t n)
{
    if (term.out_len + n > OUT_CAPACITY)
        write_out();
    memcpy(term.out + term.out_len, bytes, n);
    term.out_len += n;
}

static void append_str(const char *text) { append(text, strlen(text)); }

__attribute__((format(printf, 1, 2))) static void append_fmt(const char *format, ...)
{
    char piece[64];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    if (n > 0)
        append(piece, (size_t)n < sizeof piece ? (size_t)n : sizeof piece - 1);
}

void term_set_sink(TermSink sink, void *context)
{
    term.sink = sink;
    term.sink_context = context;
}

bool term_has_sink() { return term.sink != nullptr; }

void term_set_truecolor(bool on) { term.truecolor = on; }

void term_set_background_erase(bool on) { term.background_erase = on; }

// Without it a student sees a board with no LCD and no reason why.
static void set_notice(int cols, int rows)
{
    term.notice_shown = false;
    if (cols >= SCREEN_COLS && rows >= SCREEN_ROWS) {
        term.notice_cols = 0;
        return;
    }
    int n = snprintf(term.notice, sizeof term.notice, " wena: the board needs 80x25, the terminal is %dx%d ",
                     cols, rows);
    term.notice_cols = n < term.cols ? n : term.cols;
}

void term_set_size(int cols, int rows)
{
    term.cols = cols < SCREEN_COLS ? cols : SCREEN_COLS;
    term.wider = cols > SCREEN_COLS;
    term.rows = rows < SCREEN_ROWS ? rows : SCREEN_ROWS;
    set_notice(cols, rows);
}

int term_notice(const char **text)
{
    *text = term.notice;
    return term.notice_cols;
}

int term_beside_notice(int y, int lo)
{
    if (y != 0 || lo >= term.notice_cols)
        return lo;
    // A wide character the notice cuts is left out.
    lo = term.notice_cols;
    return lo < SCREEN_COLS && screen.cell[0][lo].kind == CELL_WIDE_RIGHT ? lo + 1 : lo;
}

unsigned long long term_bytes_written() { return term.bytes_written; }

static void forget_everything()
{
    term.cursor_x = term.cursor_y = term.fg = term.bg = term.cursor_visible = UNKNOWN;
    term.cursor_thin = false;
    term.notice_shown = false;
    for (auto &row : term.shown)
        for (auto &c : row)
            c.kind = KIND_UNKNOWN;
}

void term_begin()
{
    forget_everything();
    append_str("\x1b[?7l");
}

static bool same(const ScreenCell &a, const ScreenCell &b)
{
    return a.code == b.code && a.attr == b.attr && a.kind == b.kind;
}

static bool is_blank(const ScreenCell &c) { return c.kind == CELL_NARROW && c.code == ' '; }

// A blank shows only its background: its foreground is nobody's business.
static bool looks_same(const ScreenCell &model, const ScreenCell &shown)
{
    return same(model, shown) || (is_blank(model) && is_blank(shown) && model.attr >> 4 == shown.attr >> 4);
}

// The colours a cell can be printed in: a blank keeps the foreground in force.
static uint8_t attr_to_print(const ScreenCell &c)
{
    if (is_blank(c) && term.fg != UNKNOWN)
        return (uint8_t)((c.attr & 0xF0) | term.fg);
    return c.attr;
}

static bool same_attr_in_force(uint8_t attr) { return (attr & 0x0F) == term.fg && attr >> 4 == term.bg; }

namespace {
// A short escape sequence or move, built on the stack: a flush may run in a
// fatal signal's handler, where the heap is out of bounds.
struct Piece {
    char text[48];
    size_t n;
};
}  // namespace

static void piece_add(Piece &p, const char *bytes, size_t n)
{
    size_t room = p.n < sizeof p.text ? sizeof p.text - p.n : 0;
    if (n > room)
        n = room;
    memcpy(p.text + p.n, bytes, n);
    p.n += n;
}

static Piece piece_of(const char *text)
{
    Piece p{};
    piece_add(p, text, strlen(text));
    return p;
}

// Moving right over a few cells that already show what they should, in the
// colours in force, costs no more than printing them again.
static bool reprint_over(int from, int to, int y, Piece &out)
{
    for (int x = from; x < to; ++x) {
        const ScreenCell &c = term.shown[y][x];
        if (c.kind != CELL_NARROW || !looks_same(screen.cell[y][x], c) || !same_attr_in_force(attr_to_print(c)))
            return false;
        char utf8[CP932_UTF8_MAX];
        piece_add(out, utf8, (size_t)cp932_to_utf8(c.code, utf8));
    }
    return true;
}

static Piece csi(int n, char final)
{
    Piece p{};
    int length = n == 1 ? snprintf(p.text, sizeof p.text, "\x1b[%c", final)
                        : snprintf(p.text, sizeof p.text, "\x1b[%d%c", n, final);
    p.n = (size_t)length;
    return p;
}

static Piece backspaces(int n)
{
    Piece p{};
    for (int i = 0; i < n; ++i)
        piece_add(p, "\b", 1);
    return p;
}

// The column part of a move; `y` is the row when the move stays on it, else -1.
static Piece horizontal_move(int x, int y)
{
    int from = term.cursor_x;
    if (from == x)
        return Piece{};
    if (x == 0)
        return piece_of("\r");
    Piece best = csi(x + 1, 'G');
    if (from == UNKNOWN)
        return best;
    Piece candidate = from > x ? (from - x <= 3 ? backspaces(from - x) : csi(from - x, 'D')) : csi(x - from, 'C');
    if (candidate.n < best.n)
        best = candidate;
    Piece again{};
    if (from < x && x - from < (int)best.n && y >= 0 && reprint_over(from, x, y, again) && again.n < best.n)
        best = again;
    return best;
}

// The shortest of an absolute move and the relative ones from where the
// cursor is known to be. Line feeds only go down within the screen, so they
// never scroll.
static void move_to(int x, int y)
{
    if (term.cursor_x == x && term.cursor_y == y)
        return;
    Piece best{};
    best.n = (size_t)snprintf(best.text, sizeof best.text, x == 0 && y == 0 ? "\x1b[H" : "\x1b[%d;%dH", y + 1, x + 1);
    if (term.cursor_y != UNKNOWN) {
        Piece candidate{};
        if (y == term.cursor_y)
            candidate = horizontal_move(x, y);
        else if (x == 0 && y == term.cursor_y + 1)
            candidate = piece_of("\r\n");
        else {
            candidate = y < term.cursor_y ? csi(term.cursor_y - y, 'A') : csi(y - term.cursor_y, 'B');
            Piece across = horizontal_move(x, -1);
            piece_add(candidate, across.text, across.n);
        }
        if (candidate.n < best.n)
            best = candidate;
    }
    append(best.text, best.n);
    term.cursor_x = x;
    term.cursor_y = y;
}

static int ansi_number(int nibble)
{
    return (nibble & 1) << 2 | (nibble & 2) | (nibble & 4) >> 2;
}

static void append_colour(int nibble, bool background)
{
    if (term.truecolor) {
        const unsigned char *rgb = console_rgb[nibble];
        append_fmt("%d;2;%d;%d;%d", background ? 48 : 38, rgb[0], rgb[1], rgb[2]);
    } else {
        int base = nibble & 8 ? (background ? 100 : 90) : (background ? 40 : 30);
        append_fmt("%d", base + ansi_number(nibble));
    }
}

static void use_attr(uint8_t attr)
{
    int fg = attr & 0x0F, bg = attr >> 4;
    bool fg_changes = fg != term.fg, bg_changes = bg != term.bg;
    if (!fg_changes && !bg_changes)
        return;
    append_str("\x1b[");
    if (fg_changes)
        append_colour(fg, false);
    if (fg_changes && bg_changes)
        append_str(";");
    if (bg_changes)
        append_colour(bg, true);
    append_str("m");
    term.fg = fg;
    term.bg = bg;
}

static void append_glyph(const ScreenCell &c)
{
    char utf8[CP932_UTF8_MAX];
    append(utf8, (size_t)cp932_to_utf8(c.code, utf8));
}

static void forget_cell(int x, int y)
{
    if (x >= 0 && x < SCREEN_COLS)
        term.shown[y][x].kind = KIND_UNKNOWN;
}

// The terminal erases both halves of a wide character when either is written.
static void forget_partner_of(int x, int y)
{
    uint8_t kind = term.shown[y][x].kind;
    if (kind == CELL_WIDE_LEFT)
        forget_cell(x + 1, y);
    else if (kind == CELL_WIDE_RIGHT)
        forget_cell(x - 1, y);
}

static void send_narrow(int x, int y)
{
    const ScreenCell &c = screen.cell[y][x];
    if (looks_same(c, term.shown[y][x]) || x >= term.cols || y >= term.rows)
        return;
    forget_partner_of(x, y);
    move_to(x, y);
    use_attr(attr_to_print(c));
    append_glyph(c);
    term.shown[y][x] = {c.code, attr_to_print(c), CELL_NARROW};
    // With autowrap off the cursor stays in the last column.
    term.cursor_x = x + 1 < term.cols ? x + 1 : UNKNOWN;
}

static void send_sure_wide(int x, int y, const ScreenCell &left, const ScreenCell &right)
{
    forget_partner_of(x, y);
    forget_partner_of(x + 1, y);
    move_to(x, y);
    use_attr(left.attr);
    append_glyph(left);
    term.shown[y][x] = left;
    term.shown[y][x + 1] = right;
    term.cursor_x = x + 2 < term.cols ? x + 2 : UNKNOWN;
}

// Terminals disagree on the width of some characters ("●", "→"), so the
// second column gets a blank of its own before the glyph is drawn into the
// first, and whatever follows is placed with an absolute move.
static void send_wide(int x, int y)
{
    const ScreenCell &left = screen.cell[y][x];
    const ScreenCell &right = screen.cell[y][x + 1];
    if ((same(left, term.shown[y][x]) && same(right, term.shown[y][x + 1])) || y >= term.rows ||
        x >= term.cols)
        return;
    if (x + 1 >= term.cols) {
        // Only the first column is on the terminal: show its background.
        forget_partner_of(x, y);
        move_to(x, y);
        use_attr(left.attr);
        append_str(" ");
        term.shown[y][x].kind = KIND_UNKNOWN;
        term.cursor_x = UNKNOWN;
        return;
    }
    if (left.attr == right.attr && cp932_wide_everywhere(left.code)) {
        send_sure_wide(x, y, left, right);
        return;
    }
    forget_partner_of(x, y);
    forget_partner_of(x + 1, y);
    move_to(x + 1, y);
    use_attr(right.attr);
    append_str(" ");
    term.cursor_x = x + 2 < term.cols ? x + 2 : UNKNOWN;
    move_to(x, y);
    use_attr(left.attr);
    append_glyph(left);
    term.shown[y][x] = left;
    term.shown[y][x + 1] = right;
    term.cursor_x = UNKNOWN;
}

// The last cell from x on that must become a blank in x's background, as
// long as the model's blanks in that background go on; -1 if none, or if
// the erase would cut a wide character the terminal shows in half.
static int last_blank_to_send(int x, int y)
{
    const ScreenCell *model = screen.cell[y];
    const ScreenCell *shown = term.shown[y];
    int last = -1, end = x;
    for (; end < term.cols && is_blank(model[end]) && model[end].attr >> 4 == model[x].attr >> 4; ++end)
        if (!looks_same(model[end], shown[end]))
            last = end;
    if (shown[x].kind == CELL_WIDE_RIGHT)
        return -1;
    if (last >= 0 && shown[last].kind == CELL_WIDE_LEFT)
        return last + 1 < end ? last + 1 : -1;
    return last;
}

// On a terminal that erases in the background colour in force, a run of
// blanks costs one erase (ECH, or EL up to our last column) instead of a
// byte per cell; worth it when the run is longer than the erase and the
// cursor move it may cost afterwards. Returns the last cell erased, or -1.
static int erase_blank_run(int x, int y)
{
    if (!term.background_erase || x >= term.cols || y >= term.rows)
        return -1;
    int last = last_blank_to_send(x, y);
    int count = last - x + 1;
    bool to_row_end = last == SCREEN_COLS - 1 && !term.wider;
    Piece erase = to_row_end ? piece_of("\x1b[K") : csi(count, 'X');
    if (last < 0 || (int)erase.n + 3 >= count)
        return -1;
    move_to(x, y);
    use_attr(attr_to_print(screen.cell[y][x]));
    append(erase.text, erase.n);
    for (int i = x; i <= last; ++i)
        term.shown[y][i] = {' ', attr_to_print(screen.cell[y][x]), CELL_NARROW};
    return last;
}

static void flush_row(int y, int lo, int hi)
{
    const ScreenCell *model = screen.cell[y];
    const ScreenCell *shown = term.shown[y];
    if (lo > 0 && (model[lo].kind == CELL_WIDE_RIGHT || shown[lo].kind == CELL_WIDE_RIGHT))
        --lo;
    if (hi < SCREEN_COLS - 1 && (model[hi].kind == CELL_WIDE_LEFT || shown[hi].kind == CELL_WIDE_LEFT))
        ++hi;
    lo = term_beside_notice(y, lo);
    for (int x = lo; x <= hi; ++x) {
        if (is_blank(model[x]) && !looks_same(model[x], shown[x])) {
            int erased = erase_blank_run(x, y);
            if (erased >= 0) {
                x = erased;
                continue;
            }
        }
        if (model[x].kind == CELL_WIDE_LEFT) {
            send_wide(x, y);
            ++x;
        } else if (model[x].kind == CELL_NARROW) {
            send_narrow(x, y);
        }
    }
}

static void sync_cursor()
{
    if (!screen.cursor_visible) {
        if (term.cursor_visible != 0)
            append_str("\x1b[?25l");
        term.cursor_visible = 0;
        return;
    }
    if (screen.cursor_x >= 0 && screen.cursor_x < term.cols && screen.cursor_y >= 0 &&
        screen.cursor_y < term.rows)
        move_to(screen.cursor_x, screen.cursor_y);
    // A block cursor would hide the LCD character under it.
    if (!term.cursor_thin)
        append_str(plat_thin_cursor());
    term.cursor_thin = true;
    if (term.cursor_visible != 1)
        append_str("\x1b[?25h");
    term.cursor_visible = 1;
}

// Bright white on red over the board's top row, until the terminal is large
// enough: then a resize repaints the board whole.
static void show_notice()
{
    if (term.notice_cols == 0 || term.notice_shown)
        return;
    move_to(0, 0);
    use_attr(0x4F);
    append(term.notice, (size_t)term.notice_cols);
    for (int x = 0; x < term.notice_cols; ++x)
        term.shown[0][x].kind = KIND_UNKNOWN;
    term.cursor_x = term.notice_cols < term.cols ? term.notice_cols : UNKNOWN;
    term.notice_shown = true;
}

static void send_changes()
{
    for (int y = 0; y < SCREEN_ROWS; ++y)
        if (screen.dirty_lo[y] <= screen.dirty_hi[y])
            flush_row(y, screen.dirty_lo[y], screen.dirty_hi[y]);
}

static const ScreenCell blank_cell = {' ', ATTR_CLEARED, CELL_NARROW};

static bool shows_unknown_cells()
{
    for (auto &row : term.shown)
        for (auto &c : row)
            if (c.kind == KIND_UNKNOWN)
                return true;
    return false;
}

static void erase_terminal();

namespace {
// What the terminal is known to show, to try two ways of sending a picture.
struct Shown {
    ScreenCell cell[SCREEN_ROWS][SCREEN_COLS];
    int cursor_x, cursor_y, fg, bg;
};
}  // namespace

static void save_shown(Shown &s)
{
    memcpy(s.cell, term.shown, sizeof s.cell);
    s.cursor_x = term.cursor_x;
    s.cursor_y = term.cursor_y;
    s.fg = term.fg;
    s.bg = term.bg;
}

static void restore_shown(const Shown &s)
{
    memcpy(term.shown, s.cell, sizeof s.cell);
    term.cursor_x = s.cursor_x;
    term.cursor_y = s.cursor_y;
    term.fg = s.fg;
    term.bg = s.bg;
}

// After a clear of the model: the difference from what the terminal shows,
// or an erase and the difference from a blank screen, whichever is shorter.
// A terminal whose content is not all known is erased in any case, so that
// nothing of it stays beyond the board.
static void send_cleared_picture()
{
    if (shows_unknown_cells() || !term.background_erase) {
        if (shows_unknown_cells())
            erase_terminal();
        send_changes();
        return;
    }
    static Shown before, after_difference;
    write_out();  // both tries must fit in the buffer unsent, one after the other
    save_shown(before);
    send_changes();
    size_t difference = term.out_len;
    save_shown(after_difference);
    restore_shown(before);
    erase_terminal();
    send_changes();
    if (difference <= term.out_len - difference) {
        restore_shown(after_difference);
        term.out_len = difference;
    } else {
        memmove(term.out, term.out + difference, term.out_len - difference);
        term.out_len -= difference;
    }
}

void term_flush()
{
    if (term.cleared)
        send_cleared_picture();
    else
        send_changes();
    term.cleared = false;
    scr_clear_dirty();
    show_notice();
    sync_cursor();
    write_out();
}

// A terminal that erases in the background colour in force is blank in
// attribute 7 after one erase. Elsewhere erased cells take the terminal's
// default colours, so every cell is written out in its own colours and the
// erase only clears what lies beyond the board on a larger terminal.
static void erase_terminal()
{
    if (term.background_erase) {
        use_attr(ATTR_CLEARED);
        append_str("\x1b[2J");
        term.notice_shown = false;
        for (auto &row : term.shown)
            for (auto &c : row)
                c = blank_cell;
        return;
    }
    append_str("\x1b[0m\x1b[2J");
    term.notice_shown = false;
    term.fg = term.bg = UNKNOWN;
    for (auto &row : term.shown)
        for (auto &c : row)
            c.kind = KIND_UNKNOWN;
}

void term_clear() { term.cleared = true; }

void term_repaint()
{
    forget_everything();
    erase_terminal();
    term.cleared = false;  // erased just now
    scr_mark_all_dirty();
    term_flush();
}
