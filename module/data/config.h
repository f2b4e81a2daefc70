// The module's two settings, kept in the text file ZMBVIGMS.CNF:
// line 1 the sysop key, line 2 the trips per day (clamped to 3..30).
#pragma once

#include <cstdint>

namespace zmb {

struct ModuleConfig {
    char sysop_key[20];     // at most 19 characters
    int16_t trips_per_day;  // 3..30 once read from the file
};

inline constexpr const char* kConfigFile = "ZMBVIGMS.CNF";

void set_default_config();        // "SYSOP", 10 trips
void read_config();               // catastro when the file cannot be opened
void write_config();              // catastro when the file cannot be written
int16_t clamp_trips(long value);  // the 3..30 rule of the file and the sysop menu

}  // namespace zmb
