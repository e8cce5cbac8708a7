// Bytes written to the terminal, each beside what ncurses 6 writes for the
// same picture change in the same run (newterm into a file, xterm-256color,
// 16 explicit colours): the pictures are read back from our screen model and
// painted through ncurses. The first layouts, PDR8 counting up, and the
// changes a student makes all the time (picture_change: one lamp, a key,
// a board change, LCD text, a falling coin, a resize) with their ratio.
#include "board/layout.h"
#include "board/sim_state.h"
#include "console/con.h"
#include "console/cp932.h"
#include "console/screen.h"
#include "console/term.h"
#include "wena.h"

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
#include <vector>

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
    // The size of our screen, not the 24 rows of the terminal description.
    setenv("LINES", "25", 1);
    setenv("COLUMNS", "80", 1);
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
        con_flush();
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
    con_flush();
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


// --- one picture change, ours against ncurses's ---

// Every write reaches the sink at a flush, when the model holds the picture
// the write brings about: ncurses is given the same pictures in turn.
namespace {
struct Flush {
    size_t bytes;
    std::vector<ScreenCell> picture;
};
}  // namespace

static std::vector<Flush> flushes;

static void record_flush(const char *, size_t n, void *)
{
    const ScreenCell *cells = &screen.cell[0][0];
    flushes.push_back({n, std::vector<ScreenCell>(cells, cells + SCREEN_ROWS * SCREEN_COLS)});
}

static long long curses_replay(Curses &c, const std::vector<Flush> &recorded)
{
    long long bytes = 0;
    for (const Flush &f : recorded)
        bytes += curses_update(c, *reinterpret_cast<const Picture *>(f.picture.data()));
    return bytes;
}

static long long bytes_of(const std::vector<Flush> &recorded)
{
    long long bytes = 0;
    for (const Flush &f : recorded)
        bytes += (long long)f.bytes;
    return bytes;
}

static void terminal_resized();

// Both sides start from the picture `before` leaves on a terminal that erases
// in the background colour; then `change` runs, and what each sends for the
// pictures it shows is counted. Per picture shown when `per_frame`.
static void picture_change(benchmark::State &state, void (*before)(), void (*change)(), bool per_frame)
{
    set_up_once();
    long long ours = 0, theirs = 0;
    size_t frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        term_set_sink(record_flush, nullptr);
        fresh_terminal(true);
        sim = SimState{};
        PDR8 = 0;
        PDR5 = 0;
        before();
        con_flush();
        Curses c = curses_open(terminal_name(true));
        curses_update(c, screen.cell);
        flushes.clear();
        state.ResumeTiming();
        change();
        con_flush();
        state.PauseTiming();
        ours = bytes_of(flushes);
        if (change == terminal_resized) {
            resizeterm(SCREEN_ROWS - 1, SCREEN_COLS);
            resizeterm(SCREEN_ROWS, SCREEN_COLS);
        }
        theirs = curses_replay(c, flushes);
        frames = flushes.size();
        curses_close(c);
        term_set_sink(discard, nullptr);
        state.ResumeTiming();
    }
    double divisor = per_frame && frames > 0 ? (double)frames : 1.0;
    state.counters["bytes"] = (double)ours / divisor;
    state.counters["ncurses_bytes"] = (double)theirs / divisor;
    // Nothing sent by either side is a tie.
    state.counters["ratio"] = theirs > 0 ? (double)ours / (double)theirs : ours == 0 ? 1.0 : (double)ours;
}

static void led_board() { sim_layout(IN_SWITCH, OUT_LED, ANALOG_NONE); }
static void seg7d_board() { sim_layout(IN_SWITCH, OUT_SEG7D, ANALOG_NONE); }
static void seg7_board() { sim_layout(IN_SWITCH, OUT_SEG7, ANALOG_NONE); }
static void switch_board() { sim_layout(IN_SWITCH, OUT_LED, ANALOG_NONE); }
static void push_switch_board() { sim_layout(IN_PSHSWITCH, OUT_LED, ANALOG_NONE); }
static void analog_board() { sim_layout(IN_SWITCH, OUT_LED, ANALOG_ON); }

static void stepper_board()
{
    sim_layout(IN_SWITCH, OUT_STEPMT, ANALOG_NONE);
    PDR8 = 0x11;
    sim_poll();
}

static void poll_with(int pdr8)
{
    PDR8 = (uint8_t)pdr8;
    sim_poll();
}

static void key(char k)
{
    con_feed_keys(&k, 1);
    sim_poll();
}

static void pdr8_01() { poll_with(0x01); }
static void pdr8_80() { poll_with(0x80); }
static void pdr8_22() { poll_with(0x22); }
static void key_3() { key('3'); }
static void key_plus() { key('+'); }
static void led_to_seg7d() { sim_layout(IN_SWITCH, OUT_SEG7D, ANALOG_NONE); }
static void switch_to_push_switch() { sim_layout(IN_PSHSWITCH, OUT_LED, ANALOG_ON); }
static void switch_with_analog() { sim_layout(IN_SWITCH, OUT_LED, ANALOG_ON); }

// The student's loop: poll, then the two LCD lines written again from a
// cleared LCD, every 10 ms.
static void lcd_shows_pdr5()
{
    sim_poll();
    lcd_clear();
    lcd_puts("PDR5 =");
    lcd_puthex(PDR5, 2);
    lcd_goto(0, 1);
    lcd_putbin(PDR5, 16);
    Sleep(10);
}

static void lcd_board()
{
    switch_board();
    lcd_shows_pdr5();
}

static void lcd_one_second()
{
    for (int i = 0; i < 100; ++i)
        lcd_shows_pdr5();
}

static void lcd_key_3()
{
    con_feed_keys("3", 1);
    lcd_shows_pdr5();
}

static void lcd_line_rewrite()
{
    lcd_goto(0, 0);
    lcd_puts("COUNT   ");
    lcd_putdec(1234);
    lcd_puts("    ");
    Sleep(10);
}

// The change dispenser armed by command 0 with no coin chosen.
static void vending_output_board()
{
    sim_layout(IN_VMIN, OUT_VMOUT, ANALOG_NONE);
    poll_with(0x20);
    poll_with(0x00);
}

// One 10-yen coin, down five rows: per frame.
static void coin_falls() { poll_with(0x01); }

// The terminal grew from 80x24: nothing of what it shows can be trusted.
static void terminal_resized()
{
    term_set_size(SCREEN_COLS, SCREEN_ROWS);
    term_repaint();
}

BENCHMARK_CAPTURE(picture_change, led_pdr8_00_to_01, led_board, pdr8_01, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, seg7d_pdr8_00_to_01, seg7d_board, pdr8_01, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, seg7_pdr8_00_to_80, seg7_board, pdr8_80, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, stepmt_pdr8_11_to_22, stepper_board, pdr8_22, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, switch_key_3, switch_board, key_3, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, pshswitch_key_3, push_switch_board, key_3, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, analog_key_plus, analog_board, key_plus, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, o_led_to_seg7d, led_board, led_to_seg7d, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, i_switch_to_pshswitch_analog, analog_board, switch_to_push_switch, false)
    ->Iterations(3);
BENCHMARK_CAPTURE(picture_change, v_analog_on_switch_led, switch_board, switch_with_analog, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, lcd_same_lines_1s, lcd_board, lcd_one_second, false)->Iterations(1);
BENCHMARK_CAPTURE(picture_change, lcd_pdr5_switch_key_3, lcd_board, lcd_key_3, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, lcd_line_rewrite, lcd_board, lcd_line_rewrite, false)->Iterations(3);
BENCHMARK_CAPTURE(picture_change, vmout_coin_frame, vending_output_board, coin_falls, true)->Iterations(1);
BENCHMARK_CAPTURE(picture_change, resize, analog_board, terminal_resized, false)->Iterations(3);
