// Placeholder until its owner lands the real code.
#include "module/script/player_commands.h"
namespace zmb {
int16_t cmd_charm(const char*) { return 0; }
int16_t cmd_money(const char*) { return 0; }
int16_t cmd_exper(const char*) { return 0; }
int16_t cmd_healhits(const char*) { return 0; }
int16_t cmd_fights(const char*) { return 0; }
int16_t cmd_givehorse(const char*) { return 0; }
int16_t cmd_removehorse(const char*) { return 0; }
int16_t cmd_givegems(const char*) { return 0; }
int16_t cmd_removefight(const char*) { return 0; }
int16_t cmd_removegem(const char*) { return 0; }
int16_t cond_hasfights(const char*) { return 0; }
int16_t cond_knight(const char*) { return 0; }
int16_t cond_thief(const char*) { return 0; }
int16_t cond_mystic(const char*) { return 0; }
int16_t cond_male(const char*) { return 0; }
int16_t cond_female(const char*) { return 0; }
int16_t cond_adult(const char*) { return 0; }
int16_t cond_hascharm(const char*) { return 0; }
int16_t cond_hashorse(const char*) { return 0; }
int16_t cond_hasgems(const char*) { return 0; }
int16_t cond_level(const char*) { return 0; }
}
