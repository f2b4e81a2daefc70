// Placeholder until its owner lands the real code.
#include "module/userflow/arrival.h"
namespace zmb {
int arrive() { return 1; }
int return_to_game() { return 0; }
void replace_text(const char*, const char*, char*) {}
}
