#include "tests/support/seen_screen.h"

#include "console/screen.h"

#include <algorithm>


extern "C" {
#include <vterm.h>
}

static const int palette[16][3] = {
    {0, 0, 0},       {0, 0, 128}, {0, 128, 0}, {0, 128, 128}, {128, 0, 0},   {128, 0, 128},
    {128, 128, 0},   {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0}, {0, 255, 255},
    {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
};

static int nibble_of_ansi(int index)
{
    if (index < 0 || index > 15)
        return -1;
    int base = index & 7;
    return ((base & 1) << 2 | (base & 2) | (base & 4) >> 2) | (index & 8);
}

static int nibble_of_rgb(int r, int g, int b)
{
    for (int n = 0; n < 16; ++n)
        if (palette[n][0] == r && palette[n][1] == g && palette[n][2] == b)
            return n;
    return -1;
}

int cp932_columns(const std::string &text)
{
    int columns = 0;
    for (size_t i = 0; i < text.size();) {
        unsigned char b = (unsigned char)text[i];
        int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t cp = len == 1 ? b : b & (0x3F >> (len - 1));
        for (int k = 1; k < len && i + (size_t)k < text.size(); ++k)
            cp = cp << 6 | ((unsigned char)text[i + (size_t)k] & 0x3F);
        i += (size_t)len;
        bool narrow = cp < 0x80 || cp == 0xA5 || cp == 0xFFFD || (cp >= 0xFF61 && cp <= 0xFF9F);
        columns += narrow ? 1 : 2;
    }
    return columns;
}

static std::string describe(int x, int y, const char *what, const std::string &want, const std::string &got)
{
    return "cell (" + std::to_string(x) + ", " + std::to_string(y) + ") " + what + ": model '" + want +
           "', emulator '" + got + "'";
}

// The text, then the background, then (for a glyph) the foreground.
static std::string check_seen(int x, int y, const SeenCell &s, const std::string &want, uint8_t attr)
{
    if (s.text != want)
        return describe(x, y, "text", want, s.text);
    if (s.bg != attr >> 4)
        return describe(x, y, "background", std::to_string(attr >> 4), std::to_string(s.bg));
    if (want != " " && s.fg != (attr & 15))
        return describe(x, y, "foreground", std::to_string(attr & 15), std::to_string(s.fg));
    return "";
}

// A wide character shows as one glyph two columns wide, or as a glyph and a
// blank; in the last column, where it cannot fit, as a blank.
static std::string check_cell(const SeenScreen &seen, int x, int y, int *skip)
{
    const ScreenCell &m = scr_cell(x, y);
    char text[8];
    std::string want(text, (size_t)scr_cell_text(x, y, text));
    if (m.kind == CELL_WIDE_LEFT && x + 1 >= seen.cols)
        return check_seen(x, y, seen.at(x, y), " ", m.attr);
    std::string problem = check_seen(x, y, seen.at(x, y), want, m.attr);
    if (!problem.empty() || m.kind != CELL_WIDE_LEFT)
        return problem;
    *skip = 1;
    return seen.at(x, y).width == 2 ? "" : check_seen(x + 1, y, seen.at(x + 1, y), " ", scr_cell(x + 1, y).attr);
}

// A terminal smaller than the board has the notice saying so over the top row.
static int notice_columns(const SeenScreen &seen, std::string *problem)
{
    if (seen.cols >= SCREEN_COLS && seen.rows >= SCREEN_ROWS)
        return 0;
    std::string expected = " wena: the board needs 80x25, the terminal is " + std::to_string(seen.cols) + "x" +
                           std::to_string(seen.rows) + " ";
    int n = std::min((int)expected.size(), seen.cols);
    std::string shown;
    for (int x = 0; x < n; ++x)
        shown += seen.at(x, 0).text.empty() ? "?" : seen.at(x, 0).text;
    if (shown != expected.substr(0, (size_t)n))
        *problem = "top row '" + shown + "', not the notice '" + expected + "'";
    return n;
}

std::string diff_with_model(const SeenScreen &seen)
{
    std::string wrong_top;
    int notice = notice_columns(seen, &wrong_top);
    if (!wrong_top.empty())
        return wrong_top;
    if (notice > 0 && notice < SCREEN_COLS && scr_cell(notice, 0).kind == CELL_WIDE_RIGHT)
        ++notice;  // a wide character the notice cuts is not shown
    for (int y = 0; y < seen.rows && y < SCREEN_ROWS; ++y)
        for (int x = y == 0 ? notice : 0; x < seen.cols && x < SCREEN_COLS; ++x) {
            int skip = 0;
            std::string problem = check_cell(seen, x, y, &skip);
            if (!problem.empty())
                return problem;
            x += skip;
        }
    return "";
}

static std::string utf8_of(uint32_t cp)
{
    static const unsigned char lead[] = {0x00, 0xC0, 0xE0, 0xF0};
    int extra = cp < 0x80 ? 0 : cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    std::string s(1, (char)(lead[extra] | cp >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k)
        s += (char)(0x80 | (cp >> (6 * k) & 0x3F));
    return s;
}

static int nibble_of_vterm(const VTermColor &c, bool background)
{
    if (background ? VTERM_COLOR_IS_DEFAULT_BG(&c) : VTERM_COLOR_IS_DEFAULT_FG(&c))
        return -1;
    if (VTERM_COLOR_IS_INDEXED(&c))
        return nibble_of_ansi(c.indexed.idx);
    return nibble_of_rgb(c.rgb.red, c.rgb.green, c.rgb.blue);
}

void vt_open(VtEmulator &e, int cols, int rows)
{
    e.vt = vterm_new(rows, cols);
    e.cols = cols;
    e.rows = rows;
    vterm_set_utf8(e.vt, 1);
    VTermScreen *vts = vterm_obtain_screen(e.vt);
    vterm_screen_reset(vts, 1);
}

void vt_feed(VtEmulator &e, const std::string &bytes) { vterm_input_write(e.vt, bytes.data(), bytes.size()); }

SeenScreen vt_screen(VtEmulator &e)
{
    SeenScreen seen;
    seen.cols = e.cols;
    seen.rows = e.rows;
    seen.cells.resize((size_t)(e.cols * e.rows));
    VTermScreen *vts = vterm_obtain_screen(e.vt);
    for (int y = 0; y < e.rows; ++y)
        for (int x = 0; x < e.cols; ++x) {
            VTermScreenCell cell;
            vterm_screen_get_cell(vts, VTermPos{y, x}, &cell);
            SeenCell &s = seen.at(x, y);
            uint32_t cp = cell.chars[0];
            s.text = cp == 0xFFFFFFFF ? "" : cp == 0 ? " " : utf8_of(cp);
            s.width = cell.width;
            s.fg = nibble_of_vterm(cell.fg, false);
            s.bg = nibble_of_vterm(cell.bg, true);
        }
    return seen;
}

void vt_cursor(VtEmulator &e, int *x, int *y)
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(e.vt), &pos);
    *x = pos.col;
    *y = pos.row;
}

void vt_close(VtEmulator &e)
{
    vterm_free(e.vt);
    e.vt = nullptr;
}
