// The simulator's own state beside the registers: which boards are chosen
// and on screen, the analog voltages, the LCD cursor and a few flags.
// One static record for the whole process; every field starts at zero.
#pragma once

#include <wena.h>

// Board kinds. They are stored in WENA.ini, so their values never change.
enum { IN_NONE = 0, IN_SWITCH = 1, IN_PSHSWITCH = 2, IN_VMIN = 3 };
enum {
    OUT_NONE = 0,
    OUT_LED = 11,
    OUT_SEG7D = 12,
    OUT_SEG7 = 13,
    OUT_DCMT = 14,
    OUT_STEPMT = 15,
    OUT_VMOUT = 16
};
enum { ANALOG_NONE = 0, ANALOG_ON = 21 };

// The boards the user chose, as saved in WENA.ini.
struct BoardSelection {
    int input;
    int output;
    int analog;
};

struct SimState {
    int input_kind;          // input board on screen; set by its painter, 0 when none
    int output_kind;         // output board on screen; set by its painter, 0 when none
    int analog_kind;         // ANALOG_ON while the analog board is on screen
    int analog_channel;      // channel 0-3 (A-D) the + and - keys act on
    float analog_volts[4];   // channel voltages, kept within 0.0-5.0
    int lcd_col;             // LCD cursor column 0-15; 16 when the line is full
    int lcd_row;             // LCD cursor row 0-1
    int lcd_panel_shown;     // the LCD panel has been painted at least once
    char lcd_utf8[4];        // bytes of a UTF-8 character lcd_putc has begun
    int lcd_utf8_have;       // how many of them came
    int layout_built;        // the board has been laid out at least once
    bool pausing;            // a board's own pause inside a poll (a falling coin)
    int last_pdr8;           // PDR8 value the output refresh last ran for
    int last_push_image;     // PDR5 image the push-switch board last drew; never reset
    BoardSelection selection;
    // Stepper motor board: step counts and the phases last shown, kept across
    // layouts. lo is the motor on B3-B0, hi the one on B7-B4 (shifted down).
    int step_count_lo;
    int step_count_hi;
    uint8_t last_phase_lo;
    uint8_t last_phase_hi;
};

extern SimState sim;
