// Moving one 248-byte PlayerRecord between the game's PLAYER.DAT and memory.
// The field layout is in module/data/context.h. A missing file
// makes both operations do nothing; nothing is reported to the caller.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zmb {

void load_player_record(uint8_t* record, const char* path, int16_t index);
void store_player_record(const uint8_t* record, const char* path, int16_t index);

// "%s\PLAYER.DAT" built from the current context's game_name without line feeds.
void player_file_path(char* out, size_t out_size);

// Writes the working PlayerRecord back to its place in PLAYER.DAT.
void save_current_player();

}  // namespace zmb
