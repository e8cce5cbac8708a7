#include "console/con.h"

#include "platform/platform.h"
#include "console/screen.h"
#include "console/term.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

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
    const char *choice = plat_getenv("WENA_COLOR");
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
    const char *announced = plat_getenv("COLORTERM");
    return announced && (strcmp(announced, "truecolor") == 0 || strcmp(announced, "24bit") == 0);
}

static void flush_at_exit();
static void watch_waiting_change();
static void send_waiting_at_signal();

// Changes wait for the next pause, key check or poll, so that the terminal
// gets only the difference between the picture it shows and the final one,
// however many times the painters went over a cell meanwhile. A change that
// waits longer than a watch period or two while the program has stopped
// painting (it waits for something of its own), or after it has painted or
// spun for a whole period of its own CPU time, is sent by the watch.
enum {
    WATCH_PERIOD_MS = 20,
    IDLE_CPU_US = 1000,  // CPU time a waiting thread may use in a period
    // How long a fatal signal waits for the watch to finish sending, and an
    // ending run for the program's console call in progress.
    SIGNAL_WAIT_MS = 100,
    TAKE_OVER_WAIT_MS = 500
};

static bool change_waiting;
static unsigned flushes_done;
static bool watch_stopped;

namespace {
// The model and the terminal belong to the main flow, and to the watch while
// it sends a change: every console operation holds them. A thread that takes
// the console over to end the process keeps them for good: the others wait
// from then on.
std::atomic_flag console_held = ATOMIC_FLAG_INIT;
std::atomic<std::thread::id> taken_over_by;

bool try_take_console(int wait_ms)
{
    for (int waited = 0; console_held.test_and_set(std::memory_order_acquire); ++waited) {
        if (waited >= wait_ms)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct Hold {
    bool mine;
    Hold() : mine(taken_over_by.load() != std::this_thread::get_id())
    {
        while (mine && (taken_over_by.load() != std::thread::id() ||
                        console_held.test_and_set(std::memory_order_acquire)))
            std::this_thread::yield();
    }
    ~Hold()
    {
        if (mine)
            console_held.clear(std::memory_order_release);
    }
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;
};
}  // namespace

// Takes the terminal on first use; false when output goes to a sink.
static bool terminal_started()
{
    static bool started;
    if (term_has_sink())
        return false;
    if (!started) {
        started = true;
        // Before the terminal is taken, so that a complaint about the
        // environment is not written into the picture.
        term_set_truecolor(truecolor_chosen());
        term_set_background_erase(plat_background_erase());
        plat_start(send_waiting_at_signal);
        // After plat_start, so that it runs before the terminal is given back.
        atexit(flush_at_exit);
        plat_watch(watch_waiting_change, WATCH_PERIOD_MS);
        adopt_terminal_size();
        term_begin();
    }
    return true;
}

// Acts on signals that came in since the last look; the handlers themselves
// only set flags.
static void take_events()
{
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
    // A console the platform draws itself has forgotten what it shows.
    scr_mark_all_dirty();
    if (term_has_sink() || !plat_console_update())
        term_repaint();
}

static void con_service()
{
    if (!terminal_started())
        return;
    plat_keep_keys_flowing();
    take_events();
}

static void (*picture_keeper)();

void con_on_picture_sent(void (*keep)()) { picture_keeper = keep; }

// The platform's own console when there is one, else escape sequences.
// A fatal signal's handler sends what waits but keeps no picture: the
// program that crashed may have broken the model.
static void flush_now(bool keep = true)
{
    if (!change_waiting)
        return;
    change_waiting = false;
    ++flushes_done;
    if (term_has_sink() || !plat_console_update())
        term_flush();
    if (keep && picture_keeper)
        picture_keeper();
}

void con_flush()
{
    Hold hold;
    con_service();
    flush_now();
}

static void show_model()
{
    change_waiting = true;
    plat_note_painter();
}

// On the watch's thread: a change still waits that already waited at the
// last look; and a stop, a continue or a resize that a program which neither
// polls nor paints would never see. Output to a sink waits only for
// con_flush, so that what tests and benchmarks see does not depend on the
// clock.
static int frames_painting;

void con_frame_begin()
{
    Hold hold;
    ++frames_painting;
}

void con_frame_end()
{
    Hold hold;
    --frames_painting;
}

// Whether the program has stopped painting for now: its thread used next to
// no CPU time since the last look and is not waiting for a CPU (it waits for
// something of its own), or it has spun for a whole period of its own CPU
// time. A busy machine that holds the program back between two of its
// calls is no pause.
static bool painter_paused(long long cpu_at_last_look, long long cpu_when_seen)
{
    long long cpu = plat_painter_cpu_us();
    if (cpu < 0 || cpu_at_last_look < 0)
        return true;
    if (cpu - cpu_when_seen >= WATCH_PERIOD_MS * 1000LL)
        return true;
    return cpu - cpu_at_last_look < IDLE_CPU_US && !plat_painter_runnable();
}

static void watch_waiting_change()
{
    static unsigned waiting_at_last_look = ~0u;
    static long long cpu_at_last_look = -1, cpu_when_seen = -1;
    Hold hold;
    if (watch_stopped || term_has_sink() || frames_painting > 0) {
        waiting_at_last_look = ~0u;
        return;
    }
    take_events();
    if (!change_waiting) {
        waiting_at_last_look = ~0u;
    } else if (waiting_at_last_look != flushes_done) {
        waiting_at_last_look = flushes_done;
        cpu_when_seen = cpu_at_last_look = plat_painter_cpu_us();
    } else if (painter_paused(cpu_at_last_look, cpu_when_seen)) {
        flush_now();
    } else {
        cpu_at_last_look = plat_painter_cpu_us();
    }
}

// Nothing reaches the terminal once it has been given back.
static void flush_at_exit()
{
    Hold hold;
    watch_stopped = true;
    if (!term_has_sink())
        flush_now();
}

// In a fatal signal's handler: the change still waiting is sent, unless the
// interrupted code holds the console. It is held from then on, so that
// nothing is drawn after the terminal is given back.
static void send_waiting_at_signal()
{
    if (term_has_sink() || !try_take_console(SIGNAL_WAIT_MS))
        return;
    watch_stopped = true;
    flush_now(false);
}

void con_take_over_for_exit()
{
    taken_over_by = std::this_thread::get_id();
    bool held = try_take_console(TAKE_OVER_WAIT_MS);
    watch_stopped = true;
    if (held && terminal_started())
        flush_now();
    plat_give_back();
}

void con_goto(int x, int y)
{
    Hold hold;
    con_service();
    screen.cursor_x = (int16_t)x;
    screen.cursor_y = (int16_t)y;
    show_model();
}

void con_set_color(int fg, int fg_bright, int bg, int bg_bright)
{
    Hold hold;
    con_service();
    screen.attr = (uint8_t)(fg | fg_bright | (bg << 4) | (bg_bright << 4));
    show_model();
}

void con_clear()
{
    Hold hold;
    con_service();
    scr_clear();
    if (term_has_sink() || !plat_console_clear())
        term_clear();
    show_model();
}

void con_cursor_hide()
{
    Hold hold;
    con_service();
    screen.cursor_visible = false;
    show_model();
}

void con_cursor_show()
{
    Hold hold;
    con_service();
    screen.cursor_visible = true;
    show_model();
}

static void print_bytes(const char *text, int n)
{
    Hold hold;
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
    Hold hold;
    con_service();
    flush_now();
    if (fed_len > 0)
        return true;
    return keyboard_on && plat_key_waiting();
}

int con_next_typed_key()
{
    if (fed_len > 0 || !keyboard_on)
        return 0;
    return plat_peek_key();
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
        Hold hold;
        con_service();
    }
}
