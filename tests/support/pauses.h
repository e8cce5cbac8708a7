// Pauses in the tests take no time. Sleep is defined here for the whole test
// program, in place of the library's: it returns at once and notes where the
// falling coins and tickets ("●", "■") stand on the screen at each pause.
#pragma once

#include <string>

// One entry per pause since the last reset, entries separated by blanks:
// "x,y" of the falling item on screen ("8,5 8,6 8,7"), several joined by
// "+", "-" for none.
const std::string &pause_trace();
// Milliseconds of all pauses since the last reset.
unsigned long long paused_ms();
void pauses_reset();
