// The one clock that igmhost's time-based rules read: idle limits, the
// failed-password window and block, new accounts per hour, and the dates
// of "Last on". Only a test build (IGMHOST_TEST_CLOCK) can move it; the
// shipped igmhost has no way to.
#pragma once

#include <chrono>
#include <ctime>

namespace rules {

using Clock = std::chrono::steady_clock;

// Now, for intervals and deadlines.
Clock::time_point now();
// Now as a calendar time, for dates shown to people and stored.
std::time_t wall_now();

}  // namespace rules
