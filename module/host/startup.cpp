// Placeholder until its owner lands the real code.
#include "module/host/startup.h"
#include "module/host/module_state.h"
#include "module/userflow/user_context.h"
#include "module/userflow/main_menu.h"
#include "module/script/run_driver.h"

namespace zmb {
char* work_buffer; char* result_buffer; char* expanded_buffer;
int16_t module_number; int16_t menu_entry_count;
module_descriptor descriptor;
void append_line(const char*, const char*) {}
}
extern "C" void init__zmb_vorn(void) {}
