// Checks of what a jump, an answer, an alternative or a block end needs: a
// later line that begins with its label or marker. The search only ever
// looks forward from the line that arms it, and the first match wins.
#include <cctype>
#include <optional>
#include <set>
#include <string>

#include "checker/checks.h"
#include "checker/language.h"

namespace checker {
namespace {

namespace kw = zmb::script;
using std::string;
using std::string_view;

// The label a /GOTO: or /GOSUB: skips to, as the interpreter cuts it.
std::optional<string> jump_label(const Line& line) {
    const size_t first = line.command() == Command::kGosub ? 7 : 6;
    const string_view body = line.body();
    if (body.find(kw::kBar) != string_view::npos) return std::nullopt;
    string label = strip_controls(slice(line.text, first, first + language::kLabelMax - 1));
    if (label.empty()) return std::nullopt;
    return label;
}

// The number of answers of a /CHOICE: (one character, 1 to 9).
int choice_count(const Line& line) {
    const char c = line.text.size() > 8 ? line.text[8] : '0';
    const int n = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : 0;
    return n < 1 ? 1 : n;
}

// The alternatives of a /RANDOM: (a count of 0 acts as 1; a negative one as its size).
int random_count(const Line& line) {
    const long n = static_cast<int16_t>(number_of(slice(line.text, 8, 11)) & 0xFFFF);
    if (n == 0) return 1;
    return static_cast<int>(n < 0 ? -n : n);
}

string what_fails(Command command) {
    return command == Command::kNeeds ? "when the level is not above 15" : "when the test fails";
}

void missing_target(const Script& script, int at, const string& target, const string& message,
                    Report& report) {
    const Line& line = script.lines[static_cast<size_t>(at)];
    if (!report.add(script, line, 0, Severity::error, message)) return;
    const int before = script.find_backward(at, target);
    if (before > 0) {
        report.add_note(script, script.lines[static_cast<size_t>(before)],
                        in_quotes(target) +
                            " stands here, before the line that looks for it; the "
                            "search only looks forward");
    }
}

// The end marker a block command arms when its test fails; none when it
// cannot fail or its marker is only known once the line is expanded.
std::optional<string> block_marker(const Line& line) {
    const string_view text(line.text);
    // Whether a substitution code stands at or before position `at`, so that
    // what the interpreter finds there is only known once the line is expanded.
    const size_t bar = line.body().find(kw::kBar);
    const auto expands_by = [bar](size_t at) { return bar != string_view::npos && bar <= at; };
    switch (line.command()) {
        case Command::kNeeds:
            if (expands_by(9) || number_of(slice(text, 7, 9)) > language::kCommandLevel)
                return std::nullopt;
            return string(kw::end_marker::kNeeds);
        case Command::kHasfights:
            return string(kw::end_marker::kFights);
        case Command::kKnight:
        case Command::kThief:
        case Command::kMystic:
            return string(kw::end_marker::kClass);
        case Command::kMale:
        case Command::kFemale:
            return string(kw::end_marker::kSex);
        case Command::kAdult:
            return string(kw::end_marker::kAdult);
        case Command::kHascharm:
            return string(kw::end_marker::kCharm);
        case Command::kHashorse:
            return string(kw::end_marker::kHorse);
        case Command::kHasgems:
            return string(kw::end_marker::kGems);
        case Command::kLevel:
            return string(kw::end_marker::kLevel);
        case Command::kIfval: {
            if (text.size() < 9 || expands_by(6)) return std::nullopt;
            const char c = text[6];
            return format_marker(kw::end_marker::kValue, c >= '1' && c <= '9' ? c - '0' : 0, "");
        }
        case Command::kSameas:
        case Command::kSameto:
        case Command::kSamend:
        case Command::kInside: {
            if (text.size() < 10 || expands_by(7)) return std::nullopt;
            const string_view prefix = line.command() == Command::kSameas   ? kw::end_marker::kSameas
                                       : line.command() == Command::kSameto ? kw::end_marker::kSameto
                                       : line.command() == Command::kSamend ? kw::end_marker::kSamend
                                                                           : kw::end_marker::kInside;
            return string(prefix) + text[7];
        }
        default:
            return std::nullopt;
    }
}

// Every end marker family, for telling a marker from a line that only begins with /END.
constexpr string_view kMarkerFamilies[] = {
    kw::end_marker::kNeeds,   kw::end_marker::kFights, kw::end_marker::kClass,  kw::end_marker::kSex,    kw::end_marker::kAdult,
    kw::end_marker::kCharm,  kw::end_marker::kHorse,  kw::end_marker::kGems,   kw::end_marker::kLevel,  "/ENDVAL",
    kw::end_marker::kSameas, kw::end_marker::kSameto, kw::end_marker::kSamend, kw::end_marker::kInside,
};

}  // namespace

// Exposed for the path checks, which follow the same targets.
std::optional<string> end_marker_of(const Line& line) {
    return block_marker(line);
}
std::optional<string> label_of(const Line& line) {
    return jump_label(line);
}
int answers_of(const Line& line) {
    return choice_count(line);
}
int alternatives_of(const Line& line) {
    return random_count(line);
}

void check_targets(const Script& script, Report& report) {
    std::set<string> armed;  // end markers and answer markers armed so far, upper case
    for (size_t i = 1; i < script.lines.size(); ++i) {
        const Line& line = script.lines[i];
        const int at = static_cast<int>(i);
        if (line.marker) {
            const string text = upper_case(line.body());
            bool opened = false;
            for (const string& marker : armed)
                if (text.rfind(marker, 0) == 0) opened = true;
            if (!opened) {
                report.add(script, line, 0, Severity::warning,
                           in_quotes(line.body()) +
                               " is no answer or alternative of any /CHOICE: or /RANDOM: before "
                               "it: nothing jumps here, and when the run reaches it, it is shown "
                               "as text");
            }
            continue;
        }
        if (!line.is_command()) continue;
        const Command command = line.command();
        if (command == Command::kGoto || command == Command::kGosub) {
            if (const auto label = jump_label(line); label && script.find_forward(at, *label) < 0) {
                missing_target(script, at, *label,
                               "label " + in_quotes(*label) +
                                   " does not appear after this line: the jump passes over the "
                                   "rest of the script, and the place ends",
                               report);
            }
        } else if (command == Command::kChoice) {
            const int n = choice_count(line);
            for (int k = 1; k <= n; ++k) {
                const string marker = format_marker("/", k, kw::end_marker::kChoiceSuffix);
                armed.insert(marker);
                if (script.find_forward(at, marker) < 0) {
                    missing_target(script, at, marker,
                                   "no " + marker + " after this /CHOICE:" + std::to_string(n) +
                                       ": answering " + std::to_string(k) +
                                       " passes over the rest of the script, and the place ends",
                                   report);
                }
            }
        } else if (command == Command::kRand &&
                   starts_with_ignoring_case(line.text, kw::kRandomChoice)) {
            const int n = random_count(line);
            for (int k = 1; k <= n && k <= 99; ++k) {
                const string marker = format_marker("/", k, kw::end_marker::kRandomSuffix);
                armed.insert(marker);
                if (script.find_forward(at, marker) < 0) {
                    missing_target(script, at, marker,
                                   "no " + marker + " after this /RANDOM: when " +
                                       std::to_string(k) +
                                       " is drawn, the rest of the script is passed over and the "
                                       "place ends",
                                   report);
                }
            }
        } else if (command == Command::kEnd) {
            const string text = upper_case(line.body());
            bool family = false;
            for (string_view f : kMarkerFamilies)
                if (text.rfind(f, 0) == 0) family = true;
            bool opened = false;
            for (const string& marker : armed)
                if (text.rfind(marker, 0) == 0) opened = true;
            if (!family) {
                report.add(script, line, 0, Severity::warning,
                           in_quotes(line.body()) +
                               " is no end marker, but begins with /END: the line does nothing");
            } else if (!opened) {
                report.add(script, line, 0, Severity::warning,
                           in_quotes(line.body()) +
                               " ends no block: no command before it opens one with this marker");
            }
        } else if (command == Command::kNeeds) {
            armed.insert(string(kw::end_marker::kNeeds));  // reached and ignored when the block runs
            if (const auto marker = block_marker(line);
                marker && script.find_forward(at, *marker) < 0) {
                missing_target(script, at, *marker,
                               "no " + in_quotes(*marker) + " after this " +
                                   upper_case(line.body()) + ": " + what_fails(command) +
                                   ", the rest of the script is passed over and the place ends",
                               report);
            }
        } else if (const auto marker = block_marker(line)) {
            armed.insert(upper_case(*marker));
            if (script.find_forward(at, *marker) < 0) {
                missing_target(script, at, *marker,
                               "no " + in_quotes(*marker) + " after this " +
                                   upper_case(line.body()) + ": " + what_fails(command) +
                                   ", the rest of the script is passed over and the place ends",
                               report);
            }
        }
    }
}

}  // namespace checker
