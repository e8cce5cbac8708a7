// The platform layer: the only place that knows how the terminal, the
// keyboard, the clock and the files are reached. One version is built:
// posix/ or windows/ (the Windows console).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Takes the terminal: raw keyboard input, the handlers that give the
// terminal back on every way out, and the undo registered with them. A fatal
// signal calls send_waiting first, which must wait on no lock that the
// interrupted code can hold.
void plat_start(void (*send_waiting)());

// Gives the terminal back now, from any thread, for a process about to end
// without its exit handlers.
void plat_give_back();

// Ctrl-Z: gives the terminal back and stops the process; returns once it is
// continued (fg). Any thread may ask.

void plat_suspend();

// After a stop and continue: takes the terminal again.
void plat_retake();

enum { PLAT_RESIZED = 1, PLAT_RESUMED = 2, PLAT_SUSPEND = 4 };

// Events that came in as signals since the last call (PLAT_* bits).
int plat_take_events();

// Writes all bytes to the terminal.
void plat_write(const char *bytes, size_t n);

// A console the platform draws cell by cell itself (the Windows console), in
// place of the escape sequences of term.cpp. Both return false, doing
// nothing, when standard output is no such console.
bool plat_console_clear();   // the screen model has just been cleared
bool plat_console_update();  // shows the model's changed cells, the cursor and its visibility

// The UTF-8 form of one code page 932 character (one byte, or a lead and a
// trail byte); 0 when the code page does not define it.
int plat_cp932_to_utf8(const char *bytes, size_t n, char *out, size_t capacity);

// The terminal's size; false when standard output is no terminal.
bool plat_term_size(int *cols, int *rows);

// A message about the environment for the person at the terminal: shown at
// once, or once the terminal is given back where the picture would cover it.
void plat_report(const char *message);

// Writes UTF-8 text to standard error: a console that reads bytes in its own
// code page gets the characters as they are (UTF-16 on Windows); a file or
// pipe gets the bytes unchanged.
void plat_write_message(const char *text);

// An environment variable's value as UTF-8, whatever the system's code page
// (Windows keeps the environment in UTF-16); null when it is not set. The
// text stays valid until the same variable is asked for again.
const char *plat_getenv(const char *name);

// Whether the terminal's description (terminfo, for TERM) says that an erase
// fills cells with the background colour in force; false when unknown.
bool plat_background_erase();

// The escape sequence that makes the cursor a thin line, as on the board;
// from then on the default shape is given back with the terminal.
const char *plat_thin_cursor();

// Keyboard: whether a key is waiting, never waiting itself; and one key
// code. Escape sequences of non-character keys are dropped whole.
bool plat_key_waiting();
int plat_read_key();

// The key plat_read_key would give next, left in place; 0 when none is
// waiting.
int plat_peek_key();

// Reads typed keys into the keyboard buffer every few milliseconds, so that
// a program that paints without polling or pausing still lets Ctrl-C through.
void plat_keep_keys_flowing();

// Sleeps, returning early when a signal arrives; gives the milliseconds left.
// Keys typed meanwhile go into the keyboard buffer.
unsigned plat_sleep_ms(unsigned ms);

// Writes the file at path as a whole without changing what kind of file the
// path names. A regular file is replaced: the bytes go to a new file in the
// same directory, renamed over the old one with the old one's mode, so a
// reader or a crash never sees a part; a file with several hard links is
// rewritten in place so that its names stay one file. A symbolic link leads
// to its target; a device or FIFO is written in place (a FIFO with no reader
// fails rather than blocks); /dev/stdout, /dev/stderr and /dev/fd/N write to
// the descriptor this process holds. A regular file without write permission
// is never replaced, not even by root. `durable` also waits until the bytes
// are on the disk. False, with errno set and nothing left behind, when it
// cannot be done.
bool plat_replace_file(const char *path, const char *bytes, size_t n, bool durable);

// Whether plat_replace_file could write path now, judged without writing.
bool plat_file_writable(const char *path);

// Opens path for a file written as the program goes (a trace): a regular
// file is emptied in place, so its links and mode stay; a symbolic link
// leads to its target; a FIFO with no reader fails rather than blocks;
// /dev/stdout, /dev/stderr and /dev/fd/N write to the descriptor this
// process holds. Refuses what plat_file_writable refuses. Null, with errno
// set, when it cannot be opened.
FILE *plat_open_stream(const char *path);

// Reads at most n bytes from the start of the regular file at path, never
// opening anything else (a FIFO could block the start, a device act). The
// count, or -1 with errno set (ENOENT: no file at all).
long plat_read_head(const char *path, char *bytes, size_t n);

// The full path of the running program's own file, as UTF-8 (through
// /proc/self/exe, or GetModuleFileNameW); empty when the system does not say.
std::string plat_executable_path();

// Reads the whole of a regular file, or a FIFO to its end, of at most `limit`
// bytes; never a directory or a device. False with the reason in `why`.
bool plat_read_whole(const char *path, size_t limit, std::string &text, std::string &why);

// Calls tick once a second from then on, on a thread of its own (so no
// signal reaches the program meanwhile): tick may touch atomics only. Null
// stops it.
void plat_every_second(void (*tick)());

// Calls watch every period_ms from then on, from a thread of its own that
// no signal is delivered to, so that the main flow's pauses still end early
// on a signal. Without a thread to spare, watch is never called.
void plat_watch(void (*watch)(), unsigned period_ms);

// The thread that paints, for the watch to tell a pause from painting: the
// thread that made the last console call is noted (under the console's
// lock), and the watch asks how much CPU time it has used (in microseconds,
// or in a unit of the platform's own that is close to it; -1 when it cannot
// be told) and whether it is on a CPU or waiting for one.
void plat_note_painter();
long long plat_painter_cpu_us();
bool plat_painter_runnable();

// Whether two paths name one existing file (through links of either kind).
bool plat_same_file(const char *a, const char *b);

// Whether a path names the console the board is drawn on as a device of its
// own (Windows' CON), where a dump's bytes would land on the board's cells.
bool plat_names_the_console(const char *path);

// Cuts a regular file open as stream to `length` bytes; other kinds of file
// are left alone.
void plat_cut_stream(FILE *stream, long long length);

// Writes the bytes to a stream from plat_open_stream and flushes them. A
// reader that has gone makes it fail (EPIPE) rather than end the process.
bool plat_write_stream(FILE *stream, const char *bytes, size_t n);
