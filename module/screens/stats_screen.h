// The player's stats screen, with numbers grouped by thousands.
#pragma once

#include <cstdint>

namespace zmb {

void show_stats_screen();
char* format_thousands(int32_t value);  // result in the result buffer

}  // namespace zmb
