// Terminal output: brings an xterm-compatible terminal in line with the screen
// model, sending only what changes what the terminal shows, in one write.
#pragma once

#include <cstddef>

// Output goes to the sink instead of the terminal (tests, benchmarks, runs
// with no terminal). Null gives the terminal back.
using TermSink = void (*)(const char *bytes, size_t n, void *context);
void term_set_sink(TermSink sink, void *context);
bool term_has_sink();

// 24-bit colour with the classic console palette, or the 16 ANSI colours.
void term_set_truecolor(bool on);

// Cells beyond the terminal's size are not sent, so a small terminal never
// scrolls or wraps the picture.
void term_set_size(int cols, int rows);

// The notice a terminal smaller than the board gets over its top row: the
// columns it covers (0 when the board fits) and its text.
int term_notice(const char **text);
// The first column from lo that a change of row y may write: the notice
// keeps its cells.
int term_beside_notice(int y, int lo);

// Whether the terminal's erase fills the screen in the background colour in
// force (terminfo's bce); if not, a clear is followed by blanks written out.
void term_set_background_erase(bool on);

// Forgets what the terminal shows and takes it over: autowrap off.
void term_begin();

// Sends what differs between the model and the terminal: changed cells by the
// shortest cursor moves, runs of blanks as one erase where the terminal
// erases in the background colour, then the cursor and its visibility.
void term_flush();

// The model was cleared: the next flush erases the terminal if that makes it
// shorter than sending the difference.
void term_clear();

// Paints the whole model again on a terminal whose content is unknown.
void term_repaint();

// Bytes handed to the terminal or sink since the process started.
unsigned long long term_bytes_written();
