// Placeholder until its owner lands the real code.
#include "module/script/string_commands.h"
#include "module/host/host_interface.h"
namespace zmb {
void dostring(const char*) {}
void docopy(const char*) {}
void domid(const char*) {}
int16_t string_sameas(const char*) { return 0; }
}
extern "C" {
void dotrim(const char*) {}
void stripit(const char*) {}
void swapcase(const char*, int16_t) {}
int16_t string_endswith(const char*) { return 0; }
int16_t string_beginswith(const char*) { return 0; }
int16_t string_inside(const char*) { return 0; }
}
