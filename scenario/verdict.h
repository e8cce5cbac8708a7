// The grader's private link to a scenario run: the scenario's text comes on
// one inherited descriptor, the verdict leaves on another and the picture of
// a failure on a third. All are taken before main, so the program finds
// none in its environment nor at the descriptor numbers the grader used.
#pragma once

#include <string>

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

// True when there is a grader to take a picture of the screen; then
// verdict_send_picture sends it, once, after the verdict.
bool verdict_takes_picture();
void verdict_send_picture(const std::string &page);
