// Console primitives: everything the board shows is painted by placing the
// cursor, choosing an attribute and printing code page 932 text.
#pragma once

// Positions are (column, row), 0-based; the low 16 bits of each are used.
void con_goto(int x, int y);

// Attribute = fg | fg_bright | (bg | bg_bright) << 4: bit 0 blue, bit 1 green,
// bit 2 red, bit 3 intensity. In force for all later text.
void con_set_color(int fg, int fg_bright, int bg, int bg_bright);

// Blank screen in attribute 7 (light grey on black), cursor home, attribute 7.
void con_clear();

void con_cursor_hide();
void con_cursor_show();

// printf-style text at the cursor in the current attribute. The library
// writes its own non-ASCII texts as code page 932 byte escapes with the text
// in a comment beside them, so they do not depend on any compiler's
// execution character set. Never a line break: text is placed with con_goto.
void con_print(const char *format, ...) __attribute__((format(printf, 1, 2)));

// "A5 (10100101)": the value in hex, then `width` binary digits.
void show_bits(int value, int width);

// Brings the terminal in line with the model now. The console also does it
// by itself before every pause and key check and at exit, and a change left
// waiting is sent within 40 ms; output to a term_set_sink waits for this call
// or a pause.
void con_flush();

// keep is called each time a change has reached the terminal, with the
// console held (on the program's thread or the console's own), never from a
// signal handler: a scenario run keeps the latest picture for its grader.
void con_on_picture_sent(void (*keep)());

// Keys that come before any typed ones, as if typed (tests, scripted runs).
void con_feed_keys(const char *keys, int n);

// Whether keys are read from the keyboard (standard input) at all; on by
// default. Off, the fed keys are the only ones.
void con_use_keyboard(bool on);

// Keyboard and pauses, with the console kept in step with the terminal
// (repaint after a resize or a return from Ctrl-Z).
bool con_key_waiting();
int con_read_key();

// The next key typed at the keyboard, left in place; 0 when there is none
// or fed keys come before it.
int con_next_typed_key();
void con_sleep_ms(unsigned ms);

// Around a picture painted in many calls (a board laid out, a board after
// its key): the watch sends nothing of it until it is whole, however long
// it takes to paint.
void con_frame_begin();
void con_frame_end();

// From a thread other than the program's, to end a hung program: sends the
// change still waiting, gives the terminal back, and keeps the console for
// good, so that the program's console calls wait from then on. Waits at most
// half a second for a console call in progress.
void con_take_over_for_exit();
