// The settings file WENA.ini in the current directory: one line
// "input,output,analog" with the board kinds last laid out.
#pragma once

#include "board/sim_state.h"

#include <cstddef>

// Reads "%d,%d,%d" from text: fields up to the first mismatch are taken,
// the others are left alone. A number outside int's range is a mismatch.
// Gives the number of fields taken.
int settings_parse(const char *text, size_t len, BoardSelection *selection);

// Loads WENA.ini into selection; a missing or unreadable file changes nothing.
void settings_load(BoardSelection *selection);

// Replaces WENA.ini as a whole: a new file renamed over the old one, so the
// file is never empty or half-written. False when it could not be saved.
bool settings_save(const BoardSelection &selection);
