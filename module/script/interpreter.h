// interpret_line: one script line shown, skipped, or run as a command, and
// a result code that tells the run driver what to do next.
#pragma once

#include <cstdint>

namespace zmb {

// Result codes of interpret_line.
namespace result {
inline constexpr int16_t kGoOn = 0;
inline constexpr int16_t kPause = 1;
inline constexpr int16_t kJumped = 2;  // go on after a jump or an armed skip
inline constexpr int16_t kQuitPause = 3;
inline constexpr int16_t kEnd = 4;
inline constexpr int16_t kQuestion = 5;
inline constexpr int16_t kLoad = 6;
inline constexpr int16_t kUnload = 7;
inline constexpr int16_t kHalt = 8;
}  // namespace result

inline constexpr int16_t command_level = 15;  // what /NEEDS: compares with
inline constexpr int16_t adult_age = 18;

int16_t interpret_line(const char* line);

// Turns skip mode on with target (at most 15 characters kept); returns kJumped.
int16_t arm_skip(const char* target);

}  // namespace zmb
