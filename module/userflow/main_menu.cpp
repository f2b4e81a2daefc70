// Placeholder until its owner lands the real code.
#include "module/userflow/main_menu.h"
namespace zmb {
int module_input() { return 1; }
void reset_script_variables() {}
}
