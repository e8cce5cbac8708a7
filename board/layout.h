// The whole board for one selection: frame, LCD panel if in use, the chosen
// boards; then the selection is saved to WENA.ini.
#pragma once

void sim_layout(int input, int output, int analog);
