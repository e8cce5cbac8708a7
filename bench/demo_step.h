// One play step of the demo game at a pace: twenty polls of three
// sim_polls, two LCD writes and a pause, then the draw of five obstacles,
// the player and the score.
#pragma once

#include "board/sim_state.h"

inline void play_step(unsigned pause_ms, int score)
{
    for (int poll = 0; poll < 20; ++poll) {
        sim_poll();
        sim_poll();
        lcd_goto(10, 1);
        lcd_putc(' ');
        lcd_goto(10, 0);
        lcd_putc('W');
        sim_poll();
        Sleep(pause_ms);
    }
    for (int slot = 0; slot < 5; ++slot) {
        lcd_goto(4 * slot + 1, slot % 2);
        lcd_putc('A');
        lcd_goto(4 * slot, slot % 2);
        lcd_putc(' ');
    }
    lcd_goto(10, 0);
    lcd_putc('W');
    lcd_goto(13, 1);
    lcd_putdec(score);
}
