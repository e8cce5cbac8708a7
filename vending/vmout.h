// VMOUT, the dispensing side of the meal-ticket machine on port 8: change
// dispenser, ticket dispenser and return slot. A PDR8 byte is a command in
// its high nibble and a mask in its low nibble; the lamps it sets are on VMIN.
#pragma once

enum {
    VMCMD_CHANGE = 0,     // pay one coin of the lowest mask bit's kind; mask 0 re-arms
    VMCMD_TICKET = 1,     // drop one ticket of the lowest mask bit's product; mask 0 re-arms
    VMCMD_MENU_LAMP = 2,  // light the menu names of the mask's products
    VMCMD_LAMP3 = 3,      // lamp column 3 of the mask's products
    VMCMD_LAMP4 = 4       // lamp column 4 of the mask's products
};

void paint_vmout_board();
void vmout_apply(int value);
