// The whole board for one selection: frame, LCD panel if in use, the chosen
// boards; then the selection is saved to WENA.ini.
#pragma once

void sim_layout(int input, int output, int analog);

// The first layout, made once by the first poll or the first LCD operation:
// WENA.ini (or a scenario's starting boards) read and the board laid out.
// It reads no key and runs no scenario step: those belong to the program's
// own polls.
void sim_first_layout();
