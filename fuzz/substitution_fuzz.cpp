// Fuzz target: bar-code substitution. The input is a script line, then a
// line "~~", then the bytes of the current user's per-user area (the
// player's record from the game's file, the script state; zeros when short).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"
#include "include/host_interface.h"
#include "module/data/module_state.h"
#include "module/script/substitution.h"
#include "server/core/host_core.h"

FUZZ_START("substitution", init__zmb_vorn)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = fuzz::split({reinterpret_cast<const char*>(data), size});
    const std::string line(parts[0]);
    zmb::module_state.context.fill(0);
    if (parts.size() > 1)
        std::copy_n(parts[1].begin(), std::min(parts[1].size(), zmb::module_state.context.size()),
                    zmb::module_state.context.begin());
    host::select_channel(1);
    zmb::substitute_codes(line.c_str());
    return 0;
}
