// ANALOG: four channels A-D whose voltages (0.0-5.0 V, set from the keyboard
// in the poll) are converted into the A/D result registers ADDA-ADDD and
// their mirror bank, and shown with the register readouts beside the board.
#pragma once

void paint_analog_board();
// The four voltages, then the conversion and the register readouts.
void show_analog_channels();
// The chosen channel's number (0-3) on the board.
void show_analog_channel_number();
