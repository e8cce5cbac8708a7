// Console output captured in memory, and text helpers for reading the model.
#pragma once

#include <string>

// Sends console output to a string instead of the terminal and starts from a
// cleared model that the terminal is known to show.
void capture_start();
const std::string &captured();
void captured_reset();

// UTF-8 text of `len` cells from (x, y), wide characters once.
std::string screen_text(int x, int y, int len);

// The UTF-8 form of a u8"" literal, for comparisons.
std::string utf8(const char8_t *text);
