// SWITCH: eight toggle switches on port 5. A set bit of PDR5 is a lever
// turned on; the digit keys flip the bits (in the poll) and this board
// repaints the levers and the PDR5 readout.
#pragma once

void paint_switch_board();
void show_switches(int value);
