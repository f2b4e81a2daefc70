// The one ModuleState: zero until start-up fills it, the settings at their
// defaults until ZMBVIGMS.CNF is read.
#include "module/data/module_state.h"

namespace zmb {

ModuleState module_state;

}  // namespace zmb
