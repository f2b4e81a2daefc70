// The one prompt that ends the output whenever the module waits for a line;
// what it shows depends on the sub-state.
#pragma once

namespace zmb {

void show_prompt();

}  // namespace zmb
