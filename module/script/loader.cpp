// Placeholder until its owner lands the real code.
#include "module/script/loader.h"
namespace zmb {
void load_script(const char*, const char*, int16_t) {}
void start_menu_script() {}
void show_press_enter() {}
}
