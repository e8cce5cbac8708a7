// Between the POSIX key source and the pauses: a pause keeps reading the
// terminal, so that keys never pile up in the terminal's own queue.
#pragma once

// Reads what the key source holds now, without waiting.
void keyboard_drain();

// The descriptor a pause watches for keys, or -1 when there is none.
int keyboard_wait_fd();

// Forgets the keys held and what standard input was found to be, for a
// process that has just put another file in its place.
void keyboard_forget();
