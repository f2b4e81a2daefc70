// The script language as the checker needs it, on top of what the module
// knows: the argument shapes of every command (which characters each reads,
// and as what). The keyword table itself, its order, the end markers and the
// code characters come from the module's own language header.
#pragma once

#include <cstddef>
#include <string_view>

namespace checker::language {

inline constexpr std::string_view kHeaderPrefix = "Vorn IGM Script: ";  // the loader's test
inline constexpr std::string_view kMenuPrefix = "Vorn IGM Script";      // the menu's looser test
inline constexpr size_t kHeaderRoom = 255;    // characters the loader reads of line 1
inline constexpr size_t kLineRoom = 257;      // characters of a script line, line end included
inline constexpr size_t kMenuLineRoom = 249;  // characters the menu reads of lines 1 to 3
inline constexpr size_t kTitleMax = 30;       // the header title kept for the stats screen
inline constexpr size_t kLabelMax = 12;
inline constexpr size_t kRegisterMax = 25;  // STRING1..6, the /INPUT: prompt
inline constexpr int kCommandLevel = 15;    // what /NEEDS: compares with
inline constexpr size_t kScreenWidth = 80;
// "`^    (`7%d`8) `2%s": the menu line before the title shows "    (NN) ".
inline constexpr size_t kMenuEntryPrefix = 9;

}  // namespace checker::language
