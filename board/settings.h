// The settings file WENA.ini in the current directory: one line
// "input,output,analog" with the board kinds last laid out.
#pragma once

#include "board/sim_state.h"

#include <cstddef>

// Reads "%d,%d,%d" from text: fields up to the first mismatch are taken,
// the others are left alone. A number outside int's range is a mismatch.
// Gives the number of fields taken.
int settings_parse(const char *text, size_t len, BoardSelection *selection);

// Loads WENA.ini into selection; a missing or unreadable file changes
// nothing. A file that is there but could not be read, is not a regular file
// (never opened so that it could block) or is not writable is kept: later
// saves leave it as it is.
void settings_load(BoardSelection *selection);

// Replaces WENA.ini as a whole: a new file renamed over the old one, so the
// file is never empty or half-written. False when it was not saved: it could
// not be, the file is kept, or saving is off.
bool settings_save(const BoardSelection &selection);

// From now on nothing is saved: scripted runs leave the user's file alone.
void settings_saving_off();
