// Port readouts painted under the input and output panels by the boards
// that show a port: "PDR5 05 (00000101)".
#pragma once

void show_pdr5();
void show_pdr8();
