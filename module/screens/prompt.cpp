// Placeholder until its owner lands the real code.
#include "module/screens/prompt.h"
namespace zmb {
void show_prompt() {}
}
