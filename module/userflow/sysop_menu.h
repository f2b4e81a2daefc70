// The sysop settings menu (sub-states 9, 24 and 25): sysop key and trips
// per day, saved with X or thrown away with A.
#pragma once

namespace zmb {

void show_sysop_menu();  // writes the menu screen and the prompt; caller sends
int sysop_input();       // handles a line in sub-states 9, 24, 25; returns 1

}  // namespace zmb
