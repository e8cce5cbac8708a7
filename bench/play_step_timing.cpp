// The demo's play step at its pace (6 ms pauses, 120 ms nominal), drawn on
// the terminal the program was started on, for the POSIX and the Windows
// build alike, so that the two can be set side by side in one CI run.
// Standard output may be a file: the picture goes to the terminal (the
// console) itself, the figure to standard error.
#include "bench/on_terminal.h"

#include "bench/demo_step.h"

#include <chrono>
#include <cstdio>

constexpr int PAUSE_MS = 6, STEPS = 25;

static double now_ms()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int main()
{
    if (!draw_on_the_terminal()) {
        fprintf(stderr, "play step: no terminal to draw on\n");
        return 2;
    }
    ScratchDir scratch("wena-play-step-timing");
    lcd_cursor_off();
    play_step(PAUSE_MS, 0);  // the first draw of everything is no step
    double started = now_ms();
    for (int step = 0; step < STEPS; ++step)
        play_step(PAUSE_MS, step);
    double step_ms = (now_ms() - started) / STEPS;
    fprintf(stderr, "play step: %.1f ms (nominal %d ms, %d steps)\n", step_ms, 20 * PAUSE_MS, STEPS);
    return 0;
}
