// Windows console: taking it (no wrap at the last column, so that the bottom
// right cell never scrolls the picture) and giving it back as found, with
// the cursor below the board, however the process ends. Output that is no
// console (a pipe, a file) gets the same bytes a POSIX terminal would.
// Ctrl-C and the once-a-second tick run on threads of their own: the give-back
// waits for a drawing thread to finish its call, and nothing is drawn after.
#include "console/platform.h"
#include "console/windows/console_state.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

// Output that is no console gets the escape sequences of a terminal, and at
// the end what gives a terminal back: default colours, visible cursor,
// autowrap on, the cursor below the board and the rest erased in the
// terminal's own colours, as on POSIX.
static const char give_back_sequence[] = "\x1b[0m\x1b[?25h\x1b[?7h\x1b[25;1H\x1b[J";

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

static CRITICAL_SECTION *draw_lock()
{
    static CRITICAL_SECTION lock;
    static bool ready = [] {
        InitializeCriticalSection(&lock);
        return true;
    }();
    (void)ready;
    return &lock;
}

static std::atomic<bool> given_back{false};
static bool give_back_holds_lock;

ConsoleGuard::ConsoleGuard() { EnterCriticalSection(draw_lock()); }
ConsoleGuard::~ConsoleGuard() { LeaveCriticalSection(draw_lock()); }
bool ConsoleGuard::drawing() const { return !given_back; }

void console_give_back_lock()
{
    for (int waited = 0; waited < 1000; ++waited) {
        if (TryEnterCriticalSection(draw_lock())) {
            give_back_holds_lock = true;
            return;
        }
        Sleep(1);
    }
}

void console_given_back_unlock()
{
    if (give_back_holds_lock)
        LeaveCriticalSection(draw_lock());
    give_back_holds_lock = false;
}

void console_taken()
{
    ConsoleGuard held;
    given_back = false;
}

std::wstring widen(const std::string &utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring wide((size_t)(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring &wide)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8((size_t)(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// Writes n units in pieces the call takes; stops at the first failure.
template <typename Unit, typename Write>
static void write_in_pieces(const Unit *units, size_t n, size_t piece, Write write)
{
    while (n > 0) {
        DWORD done = 0;
        if (!write(units, n > piece ? (DWORD)piece : (DWORD)n, &done) || done == 0)
            return;
        units += done;
        n -= done;
    }
}

static void write_bytes(HANDLE out, const char *bytes, size_t n)
{
    write_in_pieces(bytes, n, 0x10000000, [out](const char *piece, DWORD count, DWORD *done) {
        return WriteFile(out, piece, count, done, nullptr);
    });
}

// A console reads the bytes of WriteFile in its own code page, which may
// lack the characters: it is given them as UTF-16.
void console_write_text(unsigned long standard_handle, const std::string &utf8)
{
    HANDLE out = GetStdHandle((DWORD)standard_handle);
    DWORD mode;
    if (!GetConsoleMode(out, &mode)) {
        write_bytes(out, utf8.data(), utf8.size());
        return;
    }
    std::wstring wide = widen(utf8);
    write_in_pieces(wide.data(), wide.size(), 0x4000, [out](const wchar_t *piece, DWORD count, DWORD *done) {
        return WriteConsoleW(out, piece, count, done, nullptr);
    });
}

void plat_write_message(const char *text)
{
    fflush(stderr);
    console_write_text(STD_ERROR_HANDLE, text);
}

static void write_deferred_message()
{
    if (deferred_message[0])
        plat_write_message(deferred_message);
    deferred_message[0] = '\0';
}

static void restore_console()
{
    HANDLE out = output_handle();
    SetConsoleTextAttribute(out, saved_attr);
    CONSOLE_CURSOR_INFO shown = saved_cursor;
    shown.bVisible = TRUE;
    SetConsoleCursorInfo(out, &shown);
    COORD below_board = {0, 24};
    SetConsoleCursorPosition(out, below_board);
    // wine's console, drawing on a terminal, leaves the terminal in the
    // colours of the last cell it drew, which the shell's next line would
    // take on: the cell where that line starts is drawn again, last, in the
    // colours given back.
    DWORD done;
    FillConsoleOutputAttribute(out, saved_attr, 1, below_board, &done);
    SetConsoleMode(out, saved_mode);
}

static void restore_terminal()
{
    HANDLE out = output_handle();
    write_bytes(out, give_back_sequence, sizeof give_back_sequence - 1);
    if (cursor_shape_changed)
        write_bytes(out, default_cursor, sizeof default_cursor - 1);
}

// Once only, whichever thread comes first; keys typed and not read are
// dropped, so that they do not reach the shell.
static void give_back()
{
    if (given_back.exchange(true))
        return;
    console_give_back_lock();
    taken ? restore_console() : restore_terminal();
    console_drop_unread_keys();
    console_given_back_unlock();
    write_deferred_message();
}

// Ctrl-C, Ctrl-Break and closing the window end the process in the system's
// handler, which runs no atexit functions: give the console back first.
static BOOL WINAPI on_console_event(DWORD)
{
    give_back();
    return FALSE;
}

void plat_give_back() { give_back(); }

// May be called again after a give-back, to take the console anew. The
// console has no fatal signals of its own: a crash is the system's to show.
void plat_start(void (*)())
{
    static bool handlers_set;
    take_console();
    console_cells_forget();
    console_keys_wanted();
    console_taken();
    if (handlers_set)
        return;
    handlers_set = true;
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
    ConsoleGuard held;
    if (held.drawing())
        write_bytes(output_handle(), bytes, n);
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
        plat_write_message((std::string(message) + "\n").c_str());
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
