// The platform layer: the only place that knows how the terminal, the
// keyboard and the clock are reached. This is the POSIX version (posix/);
// a Windows console version would sit beside it with the same operations.
#pragma once

#include <cstddef>
#include <cstdio>

// Takes the terminal: raw keyboard input, the handlers that give the
// terminal back on every way out, and the undo registered with them.
void plat_start();

// Ctrl-Z: gives the terminal back and stops the process; returns once it is
// continued (fg).
void plat_suspend();

// After a stop and continue: takes the terminal again.
void plat_retake();

enum { PLAT_RESIZED = 1, PLAT_RESUMED = 2, PLAT_SUSPEND = 4 };

// Events that came in as signals since the last call (PLAT_* bits).
int plat_take_events();

// Writes all bytes to the terminal.
void plat_write(const char *bytes, size_t n);

// The terminal's size; false when standard output is no terminal.
bool plat_term_size(int *cols, int *rows);

// Whether to use 24-bit colour: WENA_COLOR (16 or truecolor) if set, else
// what the terminal announces. Any other WENA_COLOR is reported and ignored.
bool plat_truecolor();

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

// Writes the bytes to a stream from plat_open_stream and flushes them. A
// reader that has gone makes it fail (EPIPE) rather than end the process.
bool plat_write_stream(FILE *stream, const char *bytes, size_t n);
