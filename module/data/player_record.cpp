// Placeholder until its owner lands the real code.
#include "module/data/player_record.h"
namespace zmb {
void load_player_record(uint8_t*, const char*, int16_t) {}
void store_player_record(const uint8_t*, const char*, int16_t) {}
void player_file_path(char* o, size_t) { o[0] = 0; }
void save_current_player() {}
}
