// Backquote colour codes to ANSI foreground colours.
#include "game/colour.h"

#include <array>
#include <utility>

namespace game {
namespace {

// Code character and its ANSI sequence: the dark colours as 0;3x, the bright
// ones as 1;3x, in the order of the PC palette.
constexpr std::array<std::pair<char, std::string_view>, 17> kForegrounds = {{
    {'}', "\x1b[0;30m"},
    {'1', "\x1b[0;34m"},
    {'2', "\x1b[0;32m"},
    {'3', "\x1b[0;36m"},
    {'4', "\x1b[0;31m"},
    {'5', "\x1b[0;35m"},
    {'6', "\x1b[0;33m"},
    {'7', "\x1b[0;37m"},
    {'8', "\x1b[1;30m"},
    {'9', "\x1b[1;34m"},
    {'0', "\x1b[1;32m"},
    {'!', "\x1b[1;36m"},
    {'@', "\x1b[1;31m"},
    {'#', "\x1b[1;35m"},
    {'$', "\x1b[1;33m"},
    {'%', "\x1b[1;37m"},
    {'^', "\x1b[1;37m"},
}};

}  // namespace

std::string render_colour_codes(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '`') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) break;  // a trailing backquote is dropped
        for (const auto& [code, sequence] : kForegrounds) {
            if (code == text[i]) out += sequence;
        }
    }
    return out;
}

}  // namespace game
