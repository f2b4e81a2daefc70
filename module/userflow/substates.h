// The sub-state table: what a typed line does in each sub-state, which
// prompt the sub-state shows, and whether the working copy is loaded first.
#pragma once

namespace zmb {

// The input slot of the module descriptor: 1 handled, 0 user given up.
int module_input();

// Shows the prompt of the current user's sub-state.
void show_substate_prompt();

}  // namespace zmb
