// The player's stats screen, with numbers grouped by thousands.
#pragma once

namespace zmb {

void show_stats_screen();

}  // namespace zmb
