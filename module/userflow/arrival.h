// A player handed over by the game (hand-off file "TEMP%d.TMP") and the
// hand-back to the game through its IGMLIST.DAT entry.
#pragma once

#include <cstddef>
#include <cstdio>

namespace zmb {

// Sub-state 0: reads the hand-off file, loads the player and the trips,
// starts the menu. 1 when handled, 0 when the user is given up.
int arrive();

// Hands the user back to the game named by game_name: sub-state 32000, the
// game's module current, status 3 queued. 1 on success, 0 on failure.
int return_to_game();

// Replaces in place every occurrence of find (ignoring case) by replacement,
// repeating until none is left. Texts of up to 499 characters; a result is
// cut there, so text needs room for 500 bytes when replacement is the longer.
void replace_text(const char* find, const char* replacement, char* text);

// Reads one whole line: keeps at most out_size-1 characters of it (its line
// feed included when that fits), skips the rest, always terminates out.
// Returns the number of characters the line had, or -1 at the end of file.
long read_text_line(std::FILE* file, char* out, size_t out_size);

}  // namespace zmb
