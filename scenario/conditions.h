// The conditions a scenario checks and waits for, read from the registers,
// the board state and the screen model.
#pragma once

#include "scenario/script.h"

#include <string>

// Whether the condition holds now; `seen` tells what was found.
bool condition_holds(const ScenarioCondition &c, std::string &seen);
