#include "board/layout.h"

#include "board/frame.h"
#include "board/settings.h"
#include "board/sim_state.h"
#include "board/slots.h"
#include "console/con.h"
#include "lcd/lcd.h"

void sim_layout(int input, int output, int analog)
{
    con_clear();
    paint_main_board();
    paint_p5_connector();
    paint_p8_connector();
    paint_pb_connector();
    paint_nameplate();
    if (sim.lcd_panel_shown)
        lcd_paint_panel();
    paint_input_board(input);
    paint_output_board(output);
    paint_analog_board_if_chosen(input, output, analog);
    // A file that cannot be saved costs only the next run's selection; the
    // board runs on and nothing is painted over the picture.
    settings_save(BoardSelection{input, output, analog});
    sim.layout_built = 1;
}
