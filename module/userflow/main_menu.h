// The lines a user types at the menu of places, at a script's questions and
// pauses, and on the way back to the menu. Each handler serves the sub-state
// the table in substates.cpp gives it and returns the input routine's
// result: 1 handled, 0 user given up.
#pragma once

namespace zmb {

int menu_line();        // a menu command or place number; outside the menu script, the menu
int answer_line();      // the answer to a /CHOICE: or /INPUT question
int pause_line();       // any line ends a /PAUSE
int quit_pause_line();  // Q ends the script at /ANYQUIT, any other line resumes it
int back_to_places();   // any line shows the menu of places anew
int ask_again();        // back from the stats screen to the script's question
int ignore_line();      // a script runs or the user is gone: the line changes nothing

// Clears the per-visit script variables before a place or the news starts.
void reset_script_variables();

}  // namespace zmb
