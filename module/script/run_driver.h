// The status routine: runs a script in slices of at most six lines per
// status 240, sends the output and queues the next slice.
#pragma once

#include <cstdint>

namespace zmb {

inline constexpr int16_t lines_per_slice = 6;
// The most of a script line read at once, line feed included: a longer line
// runs as several lines, so what writes scripts keeps its lines within it.
inline constexpr int kScriptLineChars = 257;

void module_status();  // the status slot of the module descriptor

}  // namespace zmb
