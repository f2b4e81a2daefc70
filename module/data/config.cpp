// ZMBVIGMS.CNF: the sysop key on line 1 and the trips per day on line 2.
// Reading is forgiving: control characters are removed wherever they stand
// (so CR/LF and bare LF files read alike), a line longer than 249 characters
// continues as the next line, and missing lines read as empty.
#include "module/data/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "include/host_interface.h"
#include "module/data/module_state.h"
#include "module/host/paths.h"

namespace zmb {

namespace {

constexpr int kLineLimit = 249;                                    // characters per line read
constexpr size_t kKeyLength = sizeof ModuleConfig::sysop_key - 1;  // 19

// Reads one line of at most 249 characters into line and removes every
// character below 32 from it. A line the file does not have reads as "".
void read_clean_line(std::FILE* f, char (&line)[kLineLimit + 1]) {
    if (std::fgets(line, sizeof line, f) == nullptr) {
        line[0] = '\0';
        return;
    }
    size_t kept = 0;
    for (size_t i = 0; line[i] != '\0'; ++i) {
        if (static_cast<unsigned char>(line[i]) >= 32) line[kept++] = line[i];
    }
    line[kept] = '\0';
}

}  // namespace

void set_default_config() {
    std::strcpy(module_state.config.sysop_key, "SYSOP");
    module_state.config.trips_per_day = 10;
}

// atol's value kept as a signed 16-bit number, then held within 3..30.
int16_t clamp_trips(long value) {
    const int16_t trips = static_cast<int16_t>(value);
    if (trips < 3) return 3;
    if (trips > 30) return 30;
    return trips;
}

void read_config() {
    std::FILE* f = open_file(kConfigFile, "r+t");
    if (f == nullptr) catastro("%s", "ZMBVIGMS.CNF was not found.!");

    char line[kLineLimit + 1];
    read_clean_line(f, line);
    std::strncpy(module_state.config.sysop_key, line, kKeyLength);
    module_state.config.sysop_key[kKeyLength] = '\0';

    read_clean_line(f, line);
    // strtol is atol with a defined result for out-of-range text.
    module_state.config.trips_per_day = clamp_trips(std::strtol(line, nullptr, 10));

    std::fclose(f);
}

void write_config() {
    std::FILE* f = open_file(kConfigFile, "wt");
    if (f == nullptr) catastro("%s", "ZMBVIGMS.CNF could not be opened for CNF saving!");
    std::fprintf(f, "%.*s\n", static_cast<int>(kKeyLength), module_state.config.sysop_key);
    std::fprintf(f, "%d\n", static_cast<int>(module_state.config.trips_per_day));
    std::fclose(f);
}

}  // namespace zmb
