// The boards plugged onto the three slots, reached by kind number. The
// layout paints the chosen board of each slot; the poll redraws the board
// on screen. A kind with no board built paints nothing and leaves its slot
// empty (kind 0 on screen).
#pragma once

void paint_input_board(int kind);
void paint_output_board(int kind);
void paint_analog_board_if_chosen(int input, int output, int analog);

// Redraws after the poll changed PDR5 with a digit or space key.
void show_input_board(int value);
// A coin or button (0-7) or the take-out (8) on the vending machine's coin board.
void vending_input_event(int index);
// Repaints the stock figures while a vending machine board is on screen.
void show_vending_stock();
// Redraws the analog board after a voltage or channel key.
void show_analog_board();
// Shows a new PDR8 on the output board on screen.
void show_output_board(int value);
