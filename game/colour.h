// Backquote colour codes (a backquote and one character) in the texts the
// game shows: its own screens and the module descriptions of IGMLIST.DAT.
// The game knows the sixteen foreground colours; background, blink and
// random codes, and unknown ones, are dropped.
#pragma once

#include <string>
#include <string_view>

namespace game {

std::string render_colour_codes(std::string_view text);

}  // namespace game
