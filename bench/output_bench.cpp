// Bytes the output boards write to the terminal, each beside what ncurses 6
// writes for the same picture change in the same run: the pictures are read
// back from our screen model and painted through ncurses into a file. Also
// polls per second while PDR8 counts up.
#include "board/layout.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "console/cp932.h"
#include "console/screen.h"
#include "console/term.h"

#include <benchmark/benchmark.h>
#include <ncursesw/curses.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

static void discard(const char *, size_t, void *) {}

using Picture = ScreenCell[SCREEN_ROWS][SCREEN_COLS];

// --- ncurses painting our pictures ---

namespace {
struct Curses {
    SCREEN *screen;
    FILE *out, *in;
};
}  // namespace

static int ansi_index(int nibble) { return ((nibble & 1) << 2 | (nibble & 2) | (nibble & 4) >> 2) + (nibble & 8); }

static Curses curses_open(const char *terminal)
{
    Curses c{};
    c.out = tmpfile();
    c.in = fopen("/dev/null", "r");
    c.screen = newterm(terminal, c.out, c.in);
    if (!c.screen)
        abort();
    start_color();
    for (int attr = 0; attr < 256; ++attr)
        init_pair((short)(attr + 1), (short)ansi_index(attr & 0x0F), (short)ansi_index(attr >> 4));
    curs_set(0);
    leaveok(stdscr, TRUE);
    fflush(c.out);
    return c;
}

static void curses_close(Curses &c)
{
    endwin();
    delscreen(c.screen);
    fclose(c.out);
    fclose(c.in);
}

static long long file_size(FILE *f)
{
    fflush(f);
    struct stat st {};
    fstat(fileno(f), &st);
    return (long long)st.st_size;
}

static void curses_put(int x, int y, const char *utf8, int attr)
{
    wchar_t wide[2] = {0, 0};
    mbstate_t state{};
    if (mbrtowc(&wide[0], utf8, strlen(utf8), &state) == (size_t)-1)
        wide[0] = L'?';
    cchar_t cell;
    setcchar(&cell, wide, A_NORMAL, (short)(attr + 1), nullptr);
    mvwadd_wch(stdscr, y, x, &cell);
}

// Paints the picture as the terminal is to show it: a glyph that the
// terminal draws one column wide gets a blank of its own behind it.
static void curses_paint(const Picture &picture)
{
    for (int y = 0; y < SCREEN_ROWS; ++y)
        for (int x = 0; x < SCREEN_COLS; ++x) {
            const ScreenCell &c = picture[y][x];
            if (c.kind == CELL_WIDE_RIGHT)
                continue;
            char utf8[CP932_UTF8_MAX + 1] = {};
            cp932_to_utf8(c.code, utf8);
            curses_put(x, y, utf8, c.attr);
            wchar_t glyph;
            mbstate_t state{};
            mbrtowc(&glyph, utf8, strlen(utf8), &state);
            if (c.kind == CELL_WIDE_LEFT && wcwidth(glyph) == 1)
                curses_put(x + 1, y, " ", picture[y][x + 1].attr);
        }
}

// Bytes ncurses writes to bring the terminal from its last picture to this one.
static long long curses_update(Curses &c, const Picture &picture)
{
    set_term(c.screen);
    curses_paint(picture);
    long long before = file_size(c.out);
    wnoutrefresh(stdscr);
    doupdate();
    return file_size(c.out) - before;
}

// --- our side ---

static char bench_dir[] = "/tmp/wena-output-bench-XXXXXX";

static void remove_bench_dir()
{
    if (chdir("/") == 0) {
        std::string settings = std::string(bench_dir) + "/WENA.ini";
        unlink(settings.c_str());
        rmdir(bench_dir);
    }
}

static void set_up_once()
{
    static bool done;
    if (done)
        return;
    done = true;
    setlocale(LC_CTYPE, "C.UTF-8");
    term_set_sink(discard, nullptr);
    con_use_keyboard(false);
    if (!mkdtemp(bench_dir) || chdir(bench_dir) != 0)
        abort();
    atexit(remove_bench_dir);
}

// A terminal that has shown nothing of ours yet, with or without an erase
// in the current background colour.
static void fresh_terminal(bool background_erase)
{
    term_set_background_erase(background_erase);
    term_begin();
    con_cursor_hide();
}

// Both descriptions give colours 8-15 as SGR 90-97 and 100-107, as our
// 16-colour output does; only the first says that an erase uses the
// background colour in force.
static const char *terminal_name(bool background_erase)
{
    return background_erase ? "xterm-256color" : "screen-256color";
}

static void first_layout(benchmark::State &state, int output_kind, bool background_erase)
{
    set_up_once();
    unsigned long long ours = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fresh_terminal(background_erase);
        sim = SimState{};
        PDR8 = 0;
        state.ResumeTiming();
        unsigned long long before = term_bytes_written();
        sim_layout(0, output_kind, 0);
        ours = term_bytes_written() - before;
    }
    Curses c = curses_open(terminal_name(background_erase));
    long long theirs = curses_update(c, screen.cell);
    curses_close(c);
    state.counters["bytes"] = (double)ours;
    state.counters["ncurses_bytes"] = (double)theirs;
}

// PDR8 counts up by one each poll; bytes per poll averaged over a whole
// cycle of 256 values, for us and for ncurses given the same pictures.
static void counting_refresh(benchmark::State &state, int output_kind, bool background_erase)
{
    set_up_once();
    fresh_terminal(background_erase);
    sim = SimState{};
    PDR8 = 0;
    sim_layout(0, output_kind, 0);
    Curses c = curses_open(terminal_name(background_erase));
    curses_update(c, screen.cell);
    unsigned long long before = term_bytes_written();
    long long theirs = 0;
    for (int i = 0; i < 256; ++i) {
        ++PDR8;
        sim_poll();
        theirs += curses_update(c, screen.cell);
    }
    double ours = (double)(term_bytes_written() - before) / 256;
    curses_close(c);
    for (auto _ : state) {
        ++PDR8;
        sim_poll();
    }
    state.SetItemsProcessed(state.iterations());  // polls per second
    state.counters["bytes_per_poll"] = ours;
    state.counters["ncurses_bytes_per_poll"] = (double)theirs / 256;
}

BENCHMARK_CAPTURE(first_layout, bare_bce, OUT_NONE, true);
BENCHMARK_CAPTURE(first_layout, bare_no_bce, OUT_NONE, false);
BENCHMARK_CAPTURE(first_layout, led_bce, OUT_LED, true);
BENCHMARK_CAPTURE(first_layout, seg7d_bce, OUT_SEG7D, true);
BENCHMARK_CAPTURE(first_layout, stepmt_bce, OUT_STEPMT, true);
BENCHMARK_CAPTURE(first_layout, stepmt_no_bce, OUT_STEPMT, false);
BENCHMARK_CAPTURE(counting_refresh, led, OUT_LED, true);
BENCHMARK_CAPTURE(counting_refresh, seg7d, OUT_SEG7D, true);
BENCHMARK_CAPTURE(counting_refresh, stepmt, OUT_STEPMT, true);
BENCHMARK_CAPTURE(counting_refresh, stepmt_no_bce, OUT_STEPMT, false);

// Key O with a board shown: the next board laid out over the last one. The
// clear reaches the terminal at once, as every console operation does, so
// the whole board is painted again; ncurses, updating once at the end, sends
// only the difference.
static void next_board_layout(benchmark::State &state, int from_kind, bool background_erase)
{
    set_up_once();
    unsigned long long ours = 0;
    long long theirs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fresh_terminal(background_erase);
        sim = SimState{};
        sim_layout(0, from_kind, 0);
        Curses c = curses_open(terminal_name(background_erase));
        curses_update(c, screen.cell);
        state.ResumeTiming();
        unsigned long long before = term_bytes_written();
        sim_layout(0, from_kind + 1, 0);
        ours = term_bytes_written() - before;
        state.PauseTiming();
        theirs = curses_update(c, screen.cell);
        curses_close(c);
        state.ResumeTiming();
    }
    state.counters["bytes"] = (double)ours;
    state.counters["ncurses_bytes"] = (double)theirs;
}
BENCHMARK_CAPTURE(next_board_layout, led_to_seg7d_bce, OUT_LED, true);
BENCHMARK_CAPTURE(next_board_layout, dcmt_to_stepmt_bce, OUT_DCMT, true);
