// Starting a script: `load_script` prepares the ScriptState and queues the
// first slice; `start_menu_script` starts the generated menu of places.
#pragma once

#include <cstdint>

namespace zmb {

inline constexpr const char* kMenuScript = "ZMBVIGMS.TXT";
inline constexpr const char* kNewsScript = "ZMB_VORN.NEW";

// Prepares the ScriptState for path and queues the first slice (sub-state 4).
// keep_return != 0 records the current sub-state as return_substate.
void load_script(const char* path, const char* label, int16_t keep_return);
void start_menu_script();
void show_press_enter();

}  // namespace zmb
