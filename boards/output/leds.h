// LED: eight lamps on port 8, one per bit, bit 7 on the left. Each lamp is
// one column wide and two rows high, lit bright red while its bit of PDR8 is 1.
#pragma once

void paint_led_board();
void show_leds(int value);
