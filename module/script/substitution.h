// Bar codes: "|A" (the player's name), "|F" (gold), "|!" (VAL1) and the rest,
// expanded in a script line before it is interpreted.
#pragma once

namespace zmb {

// Returns the expanded line in script_buffers.expanded, where every command
// handler reads it; line must lie elsewhere. Reads the context, changes nothing.
char* substitute_codes(const char* line);

}  // namespace zmb
