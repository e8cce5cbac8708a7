#include "console/con.h"

#include "console/platform.h"
#include "console/screen.h"
#include "console/term.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static void adopt_terminal_size()
{
    int cols = SCREEN_COLS, rows = SCREEN_ROWS;
    plat_term_size(&cols, &rows);
    term_set_size(cols, rows);
}

// 24-bit colour: WENA_COLOR (16 or truecolor) if set, else what the
// terminal announces. Any other WENA_COLOR is reported once and ignored.
static bool truecolor_chosen()
{
    const char *choice = getenv("WENA_COLOR");
    if (choice && strcmp(choice, "16") == 0)
        return false;
    if (choice && strcmp(choice, "truecolor") == 0)
        return true;
    if (choice && *choice) {
        char message[200];
        int n = snprintf(message, sizeof message, "wena: WENA_COLOR=%.60s", choice);
        // Control characters in the value must not act on the terminal.
        for (int i = 0; i < n && i < (int)sizeof message; ++i)
            if ((unsigned char)message[i] < 0x20 || message[i] == 0x7F)
                message[i] = '?';
        snprintf(message + n, sizeof message - (size_t)n, " ignored: it is 16 or truecolor");
        plat_report(message);
    }
    const char *announced = getenv("COLORTERM");
    return announced && (strcmp(announced, "truecolor") == 0 || strcmp(announced, "24bit") == 0);
}

static void flush_at_exit();

// Takes the terminal on first use and acts on signals that came in since the
// last call; the handlers themselves only set flags.
static void con_service()
{
    static bool started;
    if (term_has_sink())
        return;
    if (!started) {
        started = true;
        // Before the terminal is taken, so that a complaint about the
        // environment is not written into the picture.
        term_set_truecolor(truecolor_chosen());
        term_set_background_erase(plat_background_erase());
        plat_start();
        // After plat_start, so that it runs before the terminal is given back.
        atexit(flush_at_exit);
        adopt_terminal_size();
        term_begin();
    }
    plat_keep_keys_flowing();
    int events = plat_take_events();
    if (events == 0)
        return;
    if (events & PLAT_SUSPEND) {
        plat_suspend();
        events |= PLAT_RESUMED;
    }
    if (events & PLAT_RESUMED) {
        plat_retake();
        term_begin();
    }
    adopt_terminal_size();
    term_repaint();
}

// Changes wait for the next pause, key check or poll, so that the terminal
// gets only the difference between the picture it shows and the final one,
// however many times the painters went over a cell meanwhile. A program that
// paints for longer than this without pausing still shows its progress.
enum { LONGEST_WAIT_MS = 20 };

static bool change_waiting;
static clock_t waiting_since;  // processor time: only a program that keeps painting spends it

// The platform's own console when there is one, else escape sequences.
void con_flush()
{
    con_service();
    if (!change_waiting)
        return;
    change_waiting = false;
    if (term_has_sink() || !plat_console_update())
        term_flush();
}

// Output sent to a sink waits only for con_flush, so that what tests and
// benchmarks see does not depend on the clock.
static void show_model()
{
    clock_t now = clock();
    if (!change_waiting) {
        change_waiting = true;
        waiting_since = now;
    } else if (!term_has_sink() && now - waiting_since >= (clock_t)(CLOCKS_PER_SEC / 1000 * LONGEST_WAIT_MS)) {
        con_flush();
    }
}

static void flush_at_exit()
{
    if (!term_has_sink())
        con_flush();
}

void con_goto(int x, int y)
{
    con_service();
    screen.cursor_x = (int16_t)x;
    screen.cursor_y = (int16_t)y;
    show_model();
}

void con_set_color(int fg, int fg_bright, int bg, int bg_bright)
{
    con_service();
    screen.attr = (uint8_t)(fg | fg_bright | (bg << 4) | (bg_bright << 4));
    show_model();
}

void con_clear()
{
    con_service();
    scr_clear();
    if (term_has_sink() || !plat_console_clear())
        term_clear();
    show_model();
}

void con_cursor_hide()
{
    con_service();
    screen.cursor_visible = false;
    show_model();
}

void con_cursor_show()
{
    con_service();
    screen.cursor_visible = true;
    show_model();
}

static void print_bytes(const char *text, int n)
{
    con_service();
    scr_write(reinterpret_cast<const unsigned char *>(text), (size_t)n);
    show_model();
}

void con_print(const char *format, ...)
{
    // Anything longer would lie past the last column anyway.
    char text[512];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n > (int)sizeof text - 1)
        n = (int)sizeof text - 1;
    if (n > 0)
        print_bytes(text, n);
}

void show_bits(int value, int width)
{
    enum { MAX_DIGITS = 64 };
    char text[16 + MAX_DIGITS];
    int n = snprintf(text, 16, width > 8 ? "%04X (" : "%02X (", (unsigned)value);
    for (int i = 0; i < width && i < MAX_DIGITS; ++i) {
        int bit = width - 1 - i;
        text[n++] = bit < 32 && ((unsigned)value >> bit & 1) ? '1' : '0';
    }
    text[n++] = ')';
    print_bytes(text, n);
}

enum { FED_CAPACITY = 256 };
static char fed_keys[FED_CAPACITY];
static int fed_head, fed_len;
static bool keyboard_on = true;

void con_use_keyboard(bool on) { keyboard_on = on; }

void con_feed_keys(const char *keys, int n)
{
    memmove(fed_keys, fed_keys + fed_head, (size_t)fed_len);
    fed_head = 0;
    for (int i = 0; i < n && fed_len < FED_CAPACITY; ++i)
        fed_keys[fed_len++] = keys[i];
}

bool con_key_waiting()
{
    con_flush();
    if (fed_len > 0)
        return true;
    return keyboard_on && plat_key_waiting();
}

int con_read_key()
{
    if (fed_len > 0) {
        --fed_len;
        return (signed char)fed_keys[fed_head++];
    }
    return keyboard_on ? plat_read_key() : 0;
}

void con_sleep_ms(unsigned ms)
{
    con_flush();
    while (ms > 0) {
        ms = plat_sleep_ms(ms);
        con_service();
    }
}
