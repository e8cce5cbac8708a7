// Windows console: taking it (no wrap at the last column, so that the bottom
// right cell never scrolls the picture) and giving it back as found, with
// the cursor below the board, however the process ends. Output that is no
// console (a pipe, a file) gets the same bytes a POSIX terminal would.
#include "console/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

// Output that is no console gets the escape sequences of a terminal, and at
// the end what gives a terminal back: default colours, visible cursor,
// autowrap on, the cursor below the board.
static const char give_back_sequence[] = "\x1b[0m\x1b[?25h\x1b[?7h\x1b[25;1H";

// The thin cursor and the default shape, for a terminal behind a pipe or file.
static const char thin_cursor[] = "\x1b[3 q";
static const char default_cursor[] = "\x1b[0 q";
static bool cursor_shape_changed;

// A message about the environment that the picture would cover; it is
// written once the console has been given back.
static char deferred_message[256];

static bool taken;
static DWORD saved_mode;
static WORD saved_attr;
static CONSOLE_CURSOR_INFO saved_cursor;

static HANDLE output_handle() { return GetStdHandle(STD_OUTPUT_HANDLE); }

static void take_console()
{
    HANDLE out = output_handle();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleMode(out, &saved_mode) || !GetConsoleScreenBufferInfo(out, &info) ||
        !GetConsoleCursorInfo(out, &saved_cursor))
        return;
    saved_attr = info.wAttributes;
    SetConsoleMode(out, saved_mode & ~(DWORD)ENABLE_WRAP_AT_EOL_OUTPUT);
    taken = true;
}

static void write_deferred_message()
{
    if (deferred_message[0])
        fputs(deferred_message, stderr);
    deferred_message[0] = '\0';
}

static void give_back()
{
    if (taken) {
        HANDLE out = output_handle();
        SetConsoleTextAttribute(out, saved_attr);
        CONSOLE_CURSOR_INFO shown = saved_cursor;
        shown.bVisible = TRUE;
        SetConsoleCursorInfo(out, &shown);
        COORD below_board = {0, 24};
        SetConsoleCursorPosition(out, below_board);
        SetConsoleMode(out, saved_mode);
    }
    write_deferred_message();
}

// Ctrl-C, Ctrl-Break and closing the window end the process in the system's
// handler, which runs no atexit functions: give the console back first.
static BOOL WINAPI on_console_event(DWORD)
{
    give_back();
    return FALSE;
}

static void give_back_terminal()
{
    plat_write(give_back_sequence, sizeof give_back_sequence - 1);
    if (cursor_shape_changed)
        plat_write(default_cursor, sizeof default_cursor - 1);
    write_deferred_message();
}

void plat_start()
{
    take_console();
    if (!taken) {
        atexit(give_back_terminal);
        return;
    }
    atexit(give_back);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

// The Windows console has no job control: no suspend or resume is ever
// reported, and the console keeps its content when the window is resized.
void plat_suspend() {}
void plat_retake() {}
int plat_take_events() { return 0; }

void plat_write(const char *bytes, size_t n)
{
    HANDLE out = output_handle();
    while (n > 0) {
        DWORD done = 0;
        if (!WriteFile(out, bytes, n > 0x10000000 ? 0x10000000 : (DWORD)n, &done, nullptr) || done == 0)
            return;
        bytes += done;
        n -= done;
    }
}

bool plat_term_size(int *cols, int *rows)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_handle(), &info))
        return false;
    *cols = info.srWindow.Right - info.srWindow.Left + 1;
    *rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    return true;
}

// Shown at once, unless the picture is about to cover it.
void plat_report(const char *message)
{
    DWORD mode;
    if (GetConsoleMode(output_handle(), &mode))
        snprintf(deferred_message, sizeof deferred_message, "%s\n", message);
    else
        fprintf(stderr, "%s\n", message);
}

// Windows has no terminal descriptions to ask: blanks are always safe.
bool plat_background_erase() { return false; }

const char *plat_thin_cursor()
{
    cursor_shape_changed = true;
    return thin_cursor;
}

// The console takes Ctrl-C itself, whether keys are read or not.
void plat_keep_keys_flowing() {}
