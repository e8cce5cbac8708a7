// The whole board for one selection: frame, LCD panel if in use, the chosen
// boards; then the selection is saved to WENA.ini.
#pragma once

void sim_layout(int input, int output, int analog);

// Quits (status 1) once Q has been the next key typed for a moment without
// a poll taking it, so that Q acts within 100 ms also while the program
// pauses or paints between its polls.
void sim_quit_if_next();

// The first LCD operation of a program that has not polled yet: a whole
// first poll (layout, one waiting key, the vending step, the output
// refresh). A scenario's steps still wait for the program's own polls and
// pauses, where it types its keys.
void sim_first_poll_for_lcd();

// The poll's last step on its own: the output board repainted when PDR8 has
// changed since its last repaint. A scenario step calls it so that what it
// shows or records is the board as the poll leaves it.
void sim_refresh_output();
