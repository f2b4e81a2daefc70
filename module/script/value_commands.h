// Value registers VAL1..VAL9 (/VAL, /IFVAL), random choices (/RANDOM:,
// /RAND:) and the reward amounts behind /MONEY: and /EXPER:.
#pragma once

#include <cstdint>

namespace zmb {

void doval(const char* line);
int16_t ifval(const char* line);
int16_t dorandom(const char* line);

int32_t money_base(int16_t level);
int32_t experience_base(int16_t level);
int32_t random_share(int32_t base, float low, float high);

}  // namespace zmb
