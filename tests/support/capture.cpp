#include "tests/support/capture.h"

#include "console/con.h"
#include "console/screen.h"
#include "console/term.h"

static std::string output;

static void to_string_sink(const char *bytes, size_t n, void *) { output.append(bytes, n); }

void capture_start()
{
    term_set_sink(to_string_sink, nullptr);
    con_use_keyboard(false);
    term_set_size(SCREEN_COLS, SCREEN_ROWS);
    term_set_truecolor(false);
    term_begin();
    con_cursor_show();
    con_clear();
    con_flush();
    output.clear();
}

const std::string &captured() { return output; }

void captured_reset() { output.clear(); }

std::string screen_text(int x, int y, int len)
{
    std::string text;
    for (int i = 0; i < len; ++i) {
        char cell[8];
        text.append(cell, (size_t)scr_cell_text(x + i, y, cell));
    }
    return text;
}

std::string utf8(const char8_t *text) { return reinterpret_cast<const char *>(text); }
