// The small host the module's fuzz targets share: a scratch world made fresh
// for every input, the host core with the module started in it, a player on
// channel 1 who is handed over and types, and a catastro that returns here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// What the host's catastro throws: the fatal stop of one input, not of the fuzzer.
struct Catastro {};

// Splits a fuzz input into the parts between lines "~~" ("a\n~~\nb" -> a, b).
std::vector<std::string_view> split_parts(std::string_view data);
// Splits text into lines at each LF (a last line without one counts too).
std::vector<std::string_view> split_lines(std::string_view text);

// Makes a fresh folder under the temporary directory and writes a world into it: a stand-in game
// KXPVORN with one player, its IGMLIST.DAT entry, a hand-off file for channel 1, and the given
// place scripts in QHYVIGMS (name, text).
void make_world(std::string_view target,
                const std::vector<std::pair<std::string, std::string>>& places);
void write_file(const std::string& relative, std::string_view bytes);  // in the world
// Records the world as it is now; restore_world puts it back (removes what
// was added, rewrites every recorded file), so each input starts alike.
void remember_world();
void restore_world();

// Starts the module: the plug-in at `plugin_path` (dlopen; its writable data
// is recorded after its start-up), or one linked into the target (its
// init__zmb_vorn). The world is then remembered.
void start_module(const std::string& plugin_path);
void start_module(void (*linked_init)());
// One input's stay in the world: puts back the host's channels, the world,
// the random numbers and, for a loaded plug-in, the module's own data as they
// were after start-up, and works in the world until it ends (the fuzzer's
// paths are relative to the directory it started in).
class InWorld {
  public:
    InWorld();
    ~InWorld();
    InWorld(const InWorld&) = delete;
    InWorld& operator=(const InWorld&) = delete;
};

// Channel 1: hand-over (module current, sub-state 0), then a typed line and
// the statuses it causes, a bounded number of them. A Catastro escapes.
void hand_over();
void type(std::string_view line);

}  // namespace fuzz
