#include "boards/output/stepper_motors.h"

#include "board/frame.h"
#include "board/readouts.h"
#include "board/sim_state.h"
#include "console/con.h"

// Counts wrap at a whole number of turns, so the angle never jumps.
enum { COUNT_LIMIT = 2000000000, STEPS_PER_TURN = 200 };

void paint_stepmt_board()
{
    paint_output_panel("STEPMT");
    for (int j = 0; j < 2; ++j) {
        int x = 60 + 10 * j;
        con_set_color(6, 0, 7, 0);
        con_goto(x, 3);
        con_print("||||||||");
        con_set_color(0, 0, 7, 0);
        con_goto(63 + 10 * j, 4);
        con_print("  ");
        con_set_color(0, 0, 7, 8);
        paint_area(x, 5, 8, 5);
        con_set_color(0, 0, 2, 0);
        paint_area(x, 6, 8, 7);
        con_set_color(0, 0, 7, 8);
        paint_area(x, 8, 8, 8);
    }
    show_stepper_motors(0);
    sim.output_kind = OUT_STEPMT;
}

uint8_t phase_rotate_right(uint8_t p) { return (uint8_t)((p & 1) << 3 | p >> 1); }

uint8_t phase_rotate_left(uint8_t p) { return (uint8_t)((p << 1 | (p & 8) >> 3) & 0x0F); }

int step_direction(uint8_t new_phase, uint8_t old_phase)
{
    if (new_phase == old_phase)
        return 0;
    if (new_phase == phase_rotate_right(old_phase))
        return -1;
    if (new_phase == phase_rotate_left(old_phase))
        return +1;
    return 0;
}

// Reducing to a part of a turn first keeps count * 18 far from overflowing;
// truncating division gives a negative count a negative angle.
int step_angle_tenths(int count) { return count % STEPS_PER_TURN * 18 % 3600; }

int counted_step(int count, int direction)
{
    if (direction > 0 && count >= COUNT_LIMIT - 1)
        return -COUNT_LIMIT;
    if (direction < 0 && count <= -COUNT_LIMIT)
        return COUNT_LIMIT - 1;
    return count + direction;
}

// "%+6dstp" while it fits the motor's nine columns, so that a large count
// never runs into the other motor's readout or out of the panel.
static void print_step_count(int count)
{
    if (count >= -99999 && count <= 99999)
        con_print("%+6dstp", count);
    else if (count >= -99999999 && count <= 99999999)
        con_print("%+9d", count);
    else
        con_print("%+9.2e", (double)count);
}

void show_phase_lamps(int phase)
{
    int pattern = phase | phase << 4;
    for (int bit = 7; bit >= 0; --bit) {
        con_set_color(pattern >> bit & 1 ? 0 : 6, 0, 7, 0);
        con_print("|");
    }
}

static void show_motor(int x, int phase, uint8_t &last_phase, int &count)
{
    con_set_color(6, 8, 6, 0);
    int direction = step_direction((uint8_t)phase, last_phase);
    if (direction == 0)
        return;
    count = counted_step(count, direction);
    con_goto(x, 9);
    print_step_count(count);
    con_goto(x, 10);
    con_print("%+6.1f\xDF", step_angle_tenths(count) * 0.1);  // %+6.1fﾟ
    con_goto(x, 3);
    show_phase_lamps(phase);
}

void show_stepper_motors(int value)
{
    int hi = value >> 4 & 0x0F, lo = value & 0x0F;
    show_motor(70, lo, sim.last_phase_lo, sim.step_count_lo);
    show_motor(60, hi, sim.last_phase_hi, sim.step_count_hi);
    sim.last_phase_hi = (uint8_t)hi;
    sim.last_phase_lo = (uint8_t)lo;
    show_pdr8();
}
