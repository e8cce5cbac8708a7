// The LCD's internal operations, used by the board layout.
#pragma once

// First-use step of every LCD operation: lays the board out if no poll has
// yet, then paints the LCD panel once.
void lcd_prepare();

// Bezel and an empty character area; the LCD cursor is not touched.
void lcd_paint_panel();
