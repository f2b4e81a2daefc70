// Placeholder until its owner lands the real code.
#include "module/script/value_commands.h"
namespace zmb {
void doval(const char*) {}
int16_t ifval(const char*) { return 0; }
int16_t dorandom(const char*) { return 0; }
int32_t money_base(int16_t) { return 0; }
int32_t experience_base(int16_t) { return 10; }
int32_t random_share(int32_t, float, float) { return 0; }
}
