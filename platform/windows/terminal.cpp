// Windows console: taking it (no wrap at the last column, so that the bottom
// right cell never scrolls the picture) and giving it back as found, with
// the cursor below the board, however the process ends. Output that is no
// console (a pipe, a file) gets the same bytes a POSIX terminal would.
// Ctrl-C and the once-a-second tick run on threads of their own: the give-back
// waits for a drawing thread to finish its call, and nothing is drawn after.
#include "platform/platform.h"
#include "platform/windows/console_state.h"

#include <atomic>
#include <csignal>
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
// dropped, so that they do not reach the shell. What the program wrote to
// standard error meanwhile comes after, below the board.
static void give_back()
{
    if (given_back.exchange(true))
        return;
    console_give_back_lock();
    taken ? restore_console() : restore_terminal();
    console_drop_unread_keys();
    console_given_back_unlock();
    fflush(stderr);
    write_deferred_message();
}

static void (*send_waiting_change)();

// abort() (a failed assert, an uncaught C++ exception) and a crash end the
// process without atexit functions: the change still waiting is sent and the
// console given back first. The runtime's message was held in standard
// error's buffer, so it comes whole, below the board.
static void give_back_at_fatal_end()
{
    if (given_back)
        return;  // an ordinary exit has given it back already
    if (send_waiting_change)
        send_waiting_change();
    give_back();
}

static void on_abort(int) { give_back_at_fatal_end(); }

static LONG WINAPI on_crash(EXCEPTION_POINTERS *)
{
    give_back_at_fatal_end();
    return EXCEPTION_CONTINUE_SEARCH;
}

// ExitProcess() runs no atexit functions either, but it tells every thread
// callback as the process detaches.
static void NTAPI on_process_event(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_PROCESS_DETACH && send_waiting_change)
        give_back_at_fatal_end();
}

extern "C" {
extern const IMAGE_TLS_DIRECTORY _tls_used;  // makes the linker keep the callback table
__attribute__((section(".CRT$XLW"), used)) const PIMAGE_TLS_CALLBACK wena_process_event = on_process_event;
}

// Text the program writes to the console's standard error while the board
// is drawn would land among the board's cells: it is held until the
// console is given back.
static void hold_console_errors()
{
    DWORD mode;
    if (GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode))
        setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
}

// Ctrl-C, Ctrl-Break and closing the window end the process in the system's
// handler, which runs no atexit functions: give the console back first.
static BOOL WINAPI on_console_event(DWORD)
{
    give_back();
    return FALSE;
}

void plat_give_back() { give_back(); }

// May be called again after a give-back, to take the console anew.
void plat_start(void (*send_waiting)())
{
    static bool handlers_set;
    take_console();
    console_cells_forget();
    console_keys_wanted();
    console_taken();
    if (handlers_set)
        return;
    handlers_set = true;
    send_waiting_change = send_waiting;
    (void)&_tls_used;
    hold_console_errors();
    atexit(give_back);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    signal(SIGABRT, on_abort);
    SetUnhandledExceptionFilter(on_crash);
}

// The Windows console has no job control: no suspend or resume is ever
// reported.
void plat_suspend() {}
void plat_retake() {}

enum { SIZE_LOOK_MS = 100 };

// A resize reaches only a program that reads the console's input records,
// and may lose cells: the window's size is looked at now and then instead
// (not at every call, which would cost a console call each), and a changed
// size has every cell written anew.
int plat_take_events()
{
    static ULONGLONG next_look_ms;
    static int last_cols = -1, last_rows = -1;
    ULONGLONG now_ms = GetTickCount64();
    int cols, rows;
    if (!taken || now_ms < next_look_ms || !plat_term_size(&cols, &rows))
        return 0;
    next_look_ms = now_ms + SIZE_LOOK_MS;
    bool changed = last_cols >= 0 && (cols != last_cols || rows != last_rows);
    last_cols = cols;
    last_rows = rows;
    if (!changed)
        return 0;
    console_cells_forget();
    return PLAT_RESIZED;
}

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
