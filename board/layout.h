// The whole board for one selection: frame, LCD panel if in use, the chosen
// boards; then the selection is saved to WENA.ini.
#pragma once

void sim_layout(int input, int output, int analog);

// Quits (status 1) once Q has been the next key typed for a moment without
// a poll taking it, so that Q acts within 100 ms also while the program
// pauses or paints between its polls.
void sim_quit_if_next();

// The first layout, made once by the first poll or the first LCD operation:
// WENA.ini (or a scenario's starting boards) read and the board laid out.
// It reads no key and runs no scenario step: those belong to the program's
// own polls.
void sim_first_layout();
