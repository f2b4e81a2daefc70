// K-VORN, the stand-in door game: three instances ("KXPVORN", "KXPVORN2",
// "KXPVORN3"), each a module in the host's module table with its own
// folder and PLAYER.DAT. A player signs on, picks an instance, gets a
// record (made on the first visit), fights in the forest, and travels to
// the in-game modules listed in IGMLIST.DAT through the hand-off file
// "TEMP<channel>.TMP". A module hands the player back by making the game
// the current module again with sub-state 32000 and queueing status 3.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace game {

inline constexpr int kInstanceCount = 3;
// The game's own sub-states (the host keeps them per user, as for any module).
inline constexpr int kAskClass = 1;
inline constexpr int kAskSex = 2;
inline constexpr int kAtMenu = 3;
inline constexpr int kHandedBack = 32000;  // set by the module that hands back

// Registers the three instances with the host and writes their IGMLIST.DAT
// entries; must run before any in-game module is loaded. The entries of
// `modules_to_come` (names of the modules about to be loaded, which append
// their own entries as they start) are cleared too, so stale ones of
// earlier runs never pile up. Makes each instance's folder and PLAYER.DAT
// when missing. False, with the reason in *error, when the world cannot be
// set up (such as a PLAYER.DAT that is not a regular file).
bool register_games(const std::vector<std::string>& modules_to_come, std::string* error);

std::string_view instance_name(int instance);   // "KXPVORN", ...
std::string_view instance_title(int instance);  // "The Vale of Vorn", ...
int instance_module(int instance);              // host module number
bool is_game_module(int module_number);

// The signed-on user of `channel` walks into an instance: the game becomes
// the user's current module, and the game greets the player (asking a new
// player for class and sex) and shows its menu.
void enter(int channel, int instance, std::string_view player_name);

// The user's in-game module gave the user up (its input routine returned
// 0): the user is back at the game's menu of the instance they came from.
void take_back(int channel);

// A module has handed the player of `channel` back (the game is the current
// module, in sub-state kHandedBack) and the game has not yet taken the
// player back: until it has, the game takes none of the player's lines.
bool awaiting_hand_back(int channel);

// The channel hung up: forget what the game kept for it.
void forget(int channel);

}  // namespace game
