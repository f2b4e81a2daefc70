// Fuzz target: the colour renderer over any text (script lines, prompts and
// names from the game's file all reach it).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"
#include "include/host_interface.h"
#include "module/screens/colour.h"

FUZZ_START("colour", init__zmb_vorn)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    zmb::colour_print(text.c_str());
    zmb::translate_colour_codes(text.c_str());
    clrmlt();
    return 0;
}
