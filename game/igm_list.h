// IGMLIST.DAT, the list of modules shared by the game and its in-game
// modules: entries of three lines, "NAME\n<module number>\n<description>\n",
// each appended by its module when it starts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace game {

inline constexpr const char* kIgmListFile = "IGMLIST.DAT";

struct IgmEntry {
    std::string name;
    int module_number = 0;
    std::string description;
};

// Every whole entry, in file order (carriage returns dropped; an entry cut
// off at the end of the file is left out). Anything but a regular file is
// read as no list at all.
std::vector<IgmEntry> read_igm_list();

// Removes every entry named like one of `entries` or of `also_remove`
// (ignoring case), keeps the others exactly as they are, then appends
// `entries`. The game
// registers afresh at each start, so a stale module number of its own can
// never be found first. An entry cut off at the end of the file is dropped
// (*dropped_lines tells how many lines): left in place it would shift every
// entry after it by a line for the readers, which take lines three by three.
bool replace_igm_entries(const std::vector<IgmEntry>& entries,
                         const std::vector<std::string>& also_remove, int* dropped_lines,
                         std::string* error);

bool same_name(std::string_view a, std::string_view b);  // ignoring case

}  // namespace game
