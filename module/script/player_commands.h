// Rewards that change the PlayerRecord (one per visit) and the condition
// blocks that test the player. Each takes the line as the interpreter holds
// it (leading white space skipped, substituted) and returns a result code.
#pragma once

#include <cstdint>

namespace zmb {

int16_t cmd_charm(const char* line);
int16_t cmd_money(const char* line);
int16_t cmd_exper(const char* line);
int16_t cmd_healhits(const char* line);
int16_t cmd_fights(const char* line);
int16_t cmd_givehorse(const char* line);
int16_t cmd_removehorse(const char* line);
int16_t cmd_givegems(const char* line);
int16_t cmd_removefight(const char* line);
int16_t cmd_removegem(const char* line);

int16_t cond_hasfights(const char* line);
int16_t cond_knight(const char* line);
int16_t cond_thief(const char* line);
int16_t cond_mystic(const char* line);
int16_t cond_male(const char* line);
int16_t cond_female(const char* line);
int16_t cond_adult(const char* line);
int16_t cond_hascharm(const char* line);
int16_t cond_hashorse(const char* line);
int16_t cond_hasgems(const char* line);
int16_t cond_level(const char* line);

}  // namespace zmb
