// STEPMT: two stepper motors on port 8, B7-B4 the left one, B3-B0 the right.
// Steps are counted from the sequence of phase patterns; each motor shows its
// phase lamps, its step count and its shaft angle (1.8 degrees a step).
#pragma once

#include <cstdint>

void paint_stepmt_board();
void show_stepper_motors(int value);
// Eight lamps at the cursor: the phase's bits 3-0, twice.
void show_phase_lamps(int phase);
// +1 for a step forward (one rotation left), -1 back, 0 for anything else.
int step_direction(uint8_t new_phase, uint8_t old_phase);
uint8_t phase_rotate_right(uint8_t p);
uint8_t phase_rotate_left(uint8_t p);

// Tenths of a degree, -3582 to +3582, of the shaft after `count` steps.
int step_angle_tenths(int count);
// The count after one step in `direction`; stays within the int.
int counted_step(int count, int direction);
