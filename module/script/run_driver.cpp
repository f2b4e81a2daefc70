// Placeholder until its owner lands the real code.
#include "module/script/run_driver.h"
namespace zmb {
int16_t slice_lines;
void module_status() {}
}
