// A player handed over by the game (hand-off file "TEMP%d.TMP") and the
// hand-back to the game through its IGMLIST.DAT entry.
#pragma once

namespace zmb {

// Sub-state 0: reads the hand-off file, loads the player and the trips,
// starts the menu. 1 when handled, 0 when the user is given up.
int arrive();

// Hands the user back to the game named by game_name: sub-state 32000, the
// game's module current, status 3 queued. 1 on success, 0 on failure.
int return_to_game();

}  // namespace zmb
