// Bytes the console sends to the terminal for typical painting.
#include "console/con.h"
#include "console/term.h"

#include <benchmark/benchmark.h>

static void discard(const char *, size_t, void *) {}

static void paint_full_screen(int variant)
{
    for (int y = 0; y < 25; ++y) {
        con_goto(0, y);
        con_set_color((y + variant) & 7, 8, y & 7, 0);
        con_print("%-80.80s", "0123456789ABCDEF \xB1\xB2\xB3\xB4\xB5 board row with text that fills it all across");
    }
}

static void BM_FullPaint(benchmark::State &state)
{
    term_set_sink(discard, nullptr);
    con_cursor_hide();
    unsigned long long bytes = 0;
    int variant = 0;
    for (auto _ : state) {
        con_clear();
        unsigned long long before = term_bytes_written();
        paint_full_screen(variant ^= 1);
        bytes = term_bytes_written() - before;
    }
    state.counters["bytes"] = (double)bytes;
}
BENCHMARK(BM_FullPaint);

static void BM_SamePaintAgain(benchmark::State &state)
{
    term_set_sink(discard, nullptr);
    con_cursor_hide();
    paint_full_screen(0);
    unsigned long long bytes = 0;
    for (auto _ : state) {
        unsigned long long before = term_bytes_written();
        paint_full_screen(0);
        bytes = term_bytes_written() - before;
    }
    state.counters["bytes"] = (double)bytes;
}
BENCHMARK(BM_SamePaintAgain);

static void BM_OneCellChange(benchmark::State &state)
{
    term_set_sink(discard, nullptr);
    con_cursor_hide();
    paint_full_screen(0);
    unsigned long long bytes = 0;
    int flip = 0;
    for (auto _ : state) {
        unsigned long long before = term_bytes_written();
        con_goto(40, 12);
        con_set_color(7, 8, 4, 8);
        con_print("%c", flip++ & 1 ? 'X' : 'O');
        bytes = term_bytes_written() - before;
    }
    state.counters["bytes"] = (double)bytes;
}
BENCHMARK(BM_OneCellChange);
