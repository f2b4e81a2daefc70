// The input routine: every line a user in the module types, dispatched on
// the user's sub-state (main-menu commands, answers, pauses, returns).
#pragma once

namespace zmb {

// The input slot of the module descriptor: 1 handled, 0 user given up.
int module_input();

// Clears the per-visit script variables before a place or the news starts.
void reset_script_variables();

}  // namespace zmb
