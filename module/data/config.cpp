// Placeholder until its owner lands the real code.
#include "module/data/config.h"
namespace zmb {
ModuleConfig config{"SYSOP", 10};
void set_default_config() {}
void read_config() {}
void write_config() {}
int16_t clamp_trips(long v) { return static_cast<int16_t>(v); }
}
