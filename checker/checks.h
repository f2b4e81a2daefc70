// The checks, in three groups: each line on its own (codes, commands and
// their argument positions, lengths), the targets of jumps, answers and
// blocks (found by the forward search), and the paths a visit can take
// (rewards, markers run as text, returns to the header).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "checker/script.h"

namespace checker {

// The header, and for a place its title and file-name lines.
void check_header(const Script& script, Report& report);
// The title and file-name lines of a script in the script folder, when the
// menu lists it.
void check_menu_lines(const Script& script, Report& report);
// Every line: length, codes, commands and their arguments.
void check_lines(const Script& script, Report& report);
// Every jump, answer, alternative and block: does its target come after it?
void check_targets(const Script& script, Report& report);

// What the path checks share with the target checks: the label of a jump,
// the end marker a block arms, the answers of /CHOICE:, the alternatives of
// /RANDOM: (each as the interpreter reads it).
std::optional<std::string> label_of(const Line& line);
std::optional<std::string> end_marker_of(const Line& line);
int answers_of(const Line& line);
int alternatives_of(const Line& line);

// Finds a script that /LOAD: names, in the folder of the script that loads
// it; nullptr when there is none or it cannot be used.
using ScriptLookup = std::function<const Script*(const Script& from, std::string_view name)>;
// /LOAD: lines: the file must be in the script folder and be a valid script.
void check_loads(const Script& script, const ScriptLookup& lookup, Report& report);
// The paths of one visit that starts at the first line of `script`.
void check_paths(const Script& script, const ScriptLookup& lookup, Report& report);

}  // namespace checker
