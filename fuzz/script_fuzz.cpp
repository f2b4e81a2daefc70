// Fuzz target: a script run through the real plug-in. The input is the text
// of a place script, then a line "~~", then the lines the player types once
// the place has started (a last "~~" part and anything after it is ignored).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"

constexpr size_t kMaxTypedLines = 32;
constexpr const char* kPlaceHeader = "Vorn IGM Script: Fuzz\nThe fuzzed place\nFUZZ.LOR\n";

FUZZ_START("script", nullptr, ZMB_MODULE_PATH, {{"FUZZ.LOR", kPlaceHeader}})

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = fuzz::split({reinterpret_cast<const char*>(data), size});
    fuzz::in_world([&] {
        fuzz::write_file("QHYVIGMS/FUZZ.LOR", std::string(kPlaceHeader).append(parts[0]));
        fuzz::arrive();   // the menu of places
        fuzz::type("1");  // the one place
        if (parts.size() < 2) return;
        auto lines = fuzz::split(parts[1], "\n");  // each ended by LF or by the end of the part
        if (lines.back().empty()) lines.pop_back();
        for (size_t i = 0; i < lines.size() && i < kMaxTypedLines; ++i)
            fuzz::type(lines[i]);
    });
    return 0;
}
