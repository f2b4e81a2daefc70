// Start-up writes the menu of places: ZMBVIGMS.TXT (a script) and
// ZMBVIGMS.DAT (one script file name per place) from QHYVIGMS\*.lor.
#pragma once

#include <cstdint>

namespace zmb {

int16_t build_menu_script();  // returns the number of places

}  // namespace zmb
