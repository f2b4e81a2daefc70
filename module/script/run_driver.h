// The status routine: runs a script in slices of at most six lines per
// status 240, sends the output and queues the next slice.
#pragma once

#include <cstdint>

namespace zmb {

inline constexpr int16_t lines_per_slice = 6;

void module_status();  // the status slot of the module descriptor

}  // namespace zmb
