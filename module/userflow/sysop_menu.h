// The sysop settings menu (sub-states 9, 24 and 25): sysop key and trips
// per day, saved with X or thrown away with A.
#pragma once

namespace zmb {

void show_sysop_menu();  // writes the menu screen and the prompt; caller sends

// Input handlers of the sub-state table; each returns 1.
int sysop_command();    // sub-state 9: a menu command
int sysop_new_key();    // sub-state 24: the new sysop key
int sysop_new_trips();  // sub-state 25: the new number of trips per day

}  // namespace zmb
