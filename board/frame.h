// The fixed frame of the board: the main board with its chip, the three
// port connectors with their key markers, and the nameplate. Also the panel
// painters the boards use for their title bar and body.
#pragma once

void paint_main_board();
void paint_p5_connector();
void paint_p8_connector();
void paint_pb_connector();
void paint_nameplate();

// Title " name" in 20 columns and an empty body; name is at most 19 characters.
void paint_input_panel(const char *name);
void paint_output_panel(const char *name);

// Spaces over columns x to x + width - 1 of rows top to bottom.
void paint_area(int x, int top, int width, int bottom);

// Text, or a number with "%d", at (x, y) in the attribute in force.
void print_at(int x, int y, const char *text);
void print_number_at(int x, int y, int n);

// The attribute that marks the key operating a thing: white on bright red.
void use_key_marker_colour();
