// The small host the module's fuzz targets share, each input in a world put back as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fuzz {

// What the host's catastro throws: the fatal stop of one input, not of the fuzzer.
struct Catastro {};

// The pieces of text between separators ("a\n~~\nb" -> a, b; "" -> one empty piece).
std::vector<std::string_view> split(std::string_view text, std::string_view separator = "\n~~\n");

// Makes a fresh world under the temporary directory (a stand-in game KXPVORN with one player,
// its IGMLIST.DAT entry, a hand-off file for channel 1 and the `places` scripts in QHYVIGMS)
// and starts the module in it: the one linked into the target (its init__zmb_vorn) or, when
// that is null, the plug-in at `plugin_path`, whose data is recorded after its start-up.
void start(std::string_view target, void (*linked_init)(), const char* plugin_path = nullptr,
           const std::vector<std::pair<std::string, std::string>>& places = {});
// A target's libFuzzer start-up: start() with these arguments.
#define FUZZ_START(...)                                  \
    extern "C" int LLVMFuzzerInitialize(int*, char***) { \
        fuzz::start(__VA_ARGS__);                        \
        return 0;                                        \
    }
// One input's stay in the world: puts back the host's channels, the world (what was added
// goes, every file is as it was), the random numbers and a loaded plug-in's data as they were
// after start-up, then runs `steps` in the world until they end or a catastro stops them.
void in_world(const std::function<void()>& steps);
void write_file(const std::string& relative, std::string_view bytes);  // in the world

// Channel 1: hand-over (module current, sub-state 0) and the arrival, an empty line; then
// typed lines, each with the statuses it causes, a bounded number of them.
void arrive();
void type(std::string_view line);

}  // namespace fuzz
