// The grader's private link to a scenario run: the scenario's text comes on
// one inherited descriptor, the verdict leaves on another, and a memory file
// on a third holds the latest picture of the screen, for the grader to take
// however the run ends. All are taken before main, so the program finds
// none in its environment nor at the descriptor numbers the grader used.
#pragma once

#include "console/screen.h"

#include <cstdint>
#include <string>

typedef ScreenCell ScreenGrid[SCREEN_ROWS][SCREEN_COLS];

// The picture file: two slots and which one holds the latest whole picture,
// so that a run cut short while a picture is copied leaves the one before.
struct KeptPicture {
    uint32_t latest;  // 0 before the first picture; 1 or 2: slot[latest - 1]
    uint32_t reserved;
    ScreenGrid slot[2];
};

// True when the grader passed the scenario's text; fills text.
bool verdict_link_scenario(std::string &text);

// True when the grader named descriptors that the program closed before
// the library could take them.
bool verdict_link_broken();

// Whether this is the process that took the link: a child the program
// forked neither sends a verdict nor writes pictures.
bool verdict_from_starter();

// Tells the grader the run's status and message, once: the first decision
// stands and later calls do nothing. False when the verdict could not go
// because the program closed, or reused, the descriptor it goes on.
bool verdict_send(int status, const std::string &message);

// Keeps the screen model as it is now as the run's latest picture, when a
// grader takes one: only in the process that took the link, and never once
// the verdict has gone, so that nothing the program does afterwards
// changes the picture beside it.
void verdict_keep_picture();
