// Checks of each line on its own: the header and a place's menu lines, line
// length, substitution and colour codes, unknown commands, and whether each
// command's arguments stand where the interpreter reads them.
#include <algorithm>
#include <cctype>
#include <string>

#include "checker/checks.h"
#include "checker/language.h"

namespace checker {
namespace {

namespace kw = zmb::script;
using std::string;
using std::string_view;

bool is_8_3(string_view name) {
    const size_t dot = name.find('.');
    const auto plain = [](string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' ||
                   c == '~' || c == '!' || c == '#' || c == '$' || c == '&';
        });
    };
    if (dot == string_view::npos) return !name.empty() && name.size() <= 8 && plain(name);
    const string_view stem = name.substr(0, dot);
    const string_view extension = name.substr(dot + 1);
    return !stem.empty() && stem.size() <= 8 && !extension.empty() && extension.size() <= 3 &&
           plain(stem) && plain(extension);
}

// What a text shows: colour codes and control characters removed.
size_t visible_width(string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kw::kColourMark) {
            ++i;
            continue;
        }
        if (static_cast<unsigned char>(text[i]) >= 32) ++width;
    }
    return width;
}

size_t edit_distance(string_view a, string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The keyword nearest to the word a line begins with, or "" when none is near.
string_view nearest_keyword(string_view text) {
    size_t end = 1;
    while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])))
        ++end;
    if (end < text.size() && text[end] == ':') ++end;
    const string word = upper_case(text.substr(0, end));
    string_view best;
    size_t best_distance = word.size() <= 5 ? 2 : 3;  // what counts as near
    for (const kw::Keyword& keyword : kw::kKeywords) {
        const size_t d = edit_distance(word, keyword.text);
        if (d < best_distance) {
            best = keyword.text;
            best_distance = d;
        }
    }
    return best;
}

// ---- codes ----

void check_substitution_codes(const Script& script, const Line& line, Report& report) {
    const string_view text(line.text);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != kw::kBar) continue;
        if (i + 1 >= text.size()) break;  // dropped at the very end of the file
        const char code = text[i + 1];
        if (code == '\n' || code == '\r') {
            report.add(script, line, i, Severity::warning,
                       "'|' at the end of the line takes the line end as its code character: "
                       "the line end is lost and the next text runs on");
        } else if (!kw::is_substitution_code(code)) {
            report.add(script, line, i, Severity::warning,
                       string("unknown substitution code '|") + code + "': it shows nothing");
        }
        ++i;
    }
}

// Colour codes of a text the player sees, from position `from` of the line.
void check_colour_codes(const Script& script, const Line& line, size_t from, Report& report) {
    const string_view text(line.text);
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] != kw::kColourMark) continue;
        if (i + 1 >= text.size()) break;  // a last backquote is dropped
        const char code = text[i + 1];
        if (code == '\n' || code == '\r') {
            report.add(script, line, i, Severity::warning,
                       "'`' at the end of the line takes the line end as its code character: "
                       "the line end is lost and the next text runs on");
        } else if (!kw::is_colour_code(code)) {
            report.add(
                script, line, i, Severity::warning,
                string("unknown colour code '`") + code + "': it is dropped with its backquote");
        }
        ++i;
    }
}

// ---- arguments ----

class Arguments {
  public:
    Arguments(const Script& script, const Line& line, Report& report)
        : script_(script), line_(line), report_(report), body_(line.body()) {}

    const string& keyword() const { return keyword_; }
    void set_keyword(string_view text) { keyword_ = string(text); }

    // The argument text from `first` to the end of the line (no line end).
    string_view rest(size_t first) const {
        return first < body_.size() ? body_.substr(first) : string_view();
    }
    // True when substitution codes stand at or after `first`: the positions
    // the interpreter reads are only known once the line is expanded.
    bool expands_from(size_t first) const {
        const size_t bar = body_.find(kw::kBar);
        return bar != string_view::npos && bar >= first;
    }
    // Length the interpreter measures: the line end counts.
    size_t length() const { return line_.text.size(); }

    void warn(size_t at, string message) const {
        report_.add(script_, line_, at, Severity::warning, std::move(message));
    }

    // A number read from first..last: missing, not a number, or longer than the field.
    // Returns the number the interpreter reads.
    long number(size_t first, size_t last, string_view what) const {
        const string_view arg = rest(first);
        const size_t width = last - first + 1;
        const string_view field = arg.substr(0, std::min(width, arg.size()));
        const long value = number_of(field);
        if (expands_from(first)) return value;
        if (arg.empty()) {
            warn(first, "no " + string(what) + " after " + keyword_ + ": it reads as 0");
        } else if (!has_digits_at_start(field)) {
            warn(first, in_quotes(arg) + " is no number: " + keyword_ + " reads it as 0");
        } else if (arg.size() > width && arg.find_first_not_of(' ', width) != string_view::npos) {
            warn(first, "only " + std::to_string(width) + " character" + (width == 1 ? "" : "s") +
                            " after " + keyword_ + " are read: " + in_quotes(arg) +
                            " is taken as " + std::to_string(value));
        }
        return value;
    }

    // A register digit at `at`: '1' to `highest`.
    bool register_digit(size_t at, int highest, string_view effect) const {
        if (expands_from(at)) return true;
        const char c = at < body_.size() ? body_[at] : '\0';
        if (c >= '1' && c <= '0' + highest) return true;
        warn(at, string(highest == 9 ? "VAL" : "STRING") + " register digit " +
                     (c == '\0' ? string("missing") : in_quotes(string(1, c))) + " is not 1 to " +
                     std::to_string(highest) + ": " + string(effect));
        return false;
    }

    // Text after a command that reads nothing there.
    void nothing_after(size_t at, string_view hint = "") const {
        const string_view arg = rest(at);
        if (arg.find_first_not_of(" \t") == string_view::npos) return;
        warn(at, keyword_ + " reads nothing after it: " + in_quotes(arg) + " is ignored" +
                     (hint.empty() ? "" : "; " + string(hint)));
    }

    // A text field first..last that keeps at most its width.
    void text_field(size_t first, size_t last, string_view what) const {
        const string_view arg = rest(first);
        const size_t width = last - first + 1;
        if (!expands_from(first) && arg.size() > width) {
            warn(first + width, string(what) + " keeps " + std::to_string(width) +
                                    " characters: " + in_quotes(arg.substr(width)) + " is cut off");
        }
    }

  private:
    const Script& script_;
    const Line& line_;
    Report& report_;
    string_view body_;
    string keyword_;
};

void check_reward_amount(const Arguments& args, long value, bool negative_allowed) {
    const bool ok =
        negative_allowed ? (value != 0 && value >= -3 && value <= 3) : (value >= 1 && value <= 3);
    if (!ok) {
        args.warn(args.keyword().size(),
                  args.keyword() + " with " + std::to_string(value) +
                      " changes nothing but uses up the visit's one reward (amounts are 1 to 3" +
                      (negative_allowed ? ", -1 to -3 for a loss)" : ")"));
    }
}

// /FIGHTS: and /GIVEGEMS: read one character.
void check_one_digit_reward(const Arguments& args, size_t at) {
    const string_view arg = args.rest(at);
    if (args.expands_from(at)) return;
    if (!arg.empty() && arg[0] == '-') {
        args.warn(at, args.keyword() +
                          " has no loss form: one character is read, '-', which is 0; the "
                          "visit's reward is used up for nothing");
        return;
    }
    if (arg.size() > 1 && std::isdigit(static_cast<unsigned char>(arg[1]))) {
        args.warn(at, "only one character after " + args.keyword() + " is read: " + in_quotes(arg) +
                          " is taken as " + std::to_string(number_of(arg.substr(0, 1))));
    }
    check_reward_amount(args, number_of(arg.substr(0, 1)), false);
}

void check_label(const Arguments& args, size_t first) {
    const string label = strip_controls(args.rest(first));
    if (label.empty()) {
        args.warn(first, args.keyword() +
                             " with no label: the very next line ends the jump and is passed over");
    } else if (label.size() > language::kLabelMax) {
        args.warn(first + language::kLabelMax,
                  "label " + in_quotes(label) + " is longer than 12 characters: only " +
                      in_quotes(label.substr(0, language::kLabelMax)) + " is searched for");
    }
}

// /VAL and /IFVAL operands: VALn, CONVERTn (only /VAL), or a number.
void check_operand(const Arguments& args, size_t first, size_t last, bool convert_allowed,
                   char operation) {
    if (args.expands_from(first)) return;
    const string_view operand = slice(args.rest(first), 0, last - first);
    if (starts_with_ignoring_case(operand, "VAL") && operand.size() >= 4) {
        args.register_digit(first + 3, 9, "the operand reads as 0");
        return;
    }
    if (starts_with_ignoring_case(operand, "CONVERT") && operand.size() >= 8) {
        if (convert_allowed)
            args.register_digit(first + 7, 6, "the line does nothing");
        else
            args.warn(first, "CONVERT works only in /VAL: here it reads as 0");
        return;
    }
    if (operand.empty() || !has_digits_at_start(operand)) {
        args.warn(first, "operand " + in_quotes(operand) +
                             " is no number, VALn or CONVERTn: it reads as 0");
        return;
    }
    if (operation == '/' && number_of(operand) == 0)
        args.warn(first, "division by 0: the register is left as it was");
}

void check_val(const Arguments& args) {
    if (args.length() < 7) {
        args.warn(0, "/VAL needs a register, an operator and an operand: the line does nothing");
        return;
    }
    if (!args.register_digit(4, 9, "the line does nothing")) return;
    const char operation = args.rest(5).empty() ? '\0' : args.rest(5)[0];
    if (string_view("=+-*/").find(operation) == string_view::npos || operation == '\0') {
        args.warn(5, "operator " + in_quotes(string(1, operation)) +
                         " is none of = + - * /: the line does nothing");
        return;
    }
    check_operand(args, 6, 50, true, operation);
}

void check_ifval(const Arguments& args) {
    if (args.length() < 9) {
        args.warn(0, "/IFVAL is too short to test anything: the lines after it always run");
        return;
    }
    args.register_digit(6, 9, "the value tested is 0 and the block ends at /ENDVAL0");
    const string_view comparison = args.rest(7);
    const char c = comparison.empty() ? '\0' : comparison[0];
    if (c != '=' && c != '<' && c != '>') {
        args.warn(7, "no comparison (= < > <= >= <>) after the register: the test always fails");
        return;
    }
    const bool two = comparison.size() > 1 && c != '=' &&
                     (comparison[1] == '=' || (c == '<' && comparison[1] == '>'));
    check_operand(args, two ? 9 : 8, 18, false, '\0');
}

void check_rand(const Arguments& args, const Line& line) {
    if (starts_with_ignoring_case(line.text, kw::kRandomChoice)) {
        args.number(8, 11, "count");
        return;
    }
    if (starts_with_ignoring_case(line.text, kw::kRandomNumber)) {
        args.number(6, 15, "count");
        return;
    }
    args.warn(0, in_quotes(line.body()) +
                     " is neither /RANDOM: nor /RAND:, but begins with /RAND: it does nothing");
}

void check_string_test(const Arguments& args) {
    if (args.length() < 10) {
        args.warn(0, args.keyword() + " is too short to test anything: the lines after it run");
        return;
    }
    args.register_digit(7, 6, "it compares with an empty text");
    args.text_field(9, 33, "the operand");
}

void check_mid(const Arguments& args) {
    if (args.expands_from(4)) return;
    const string_view operand = slice(args.rest(4), 0, 29);
    size_t comma = 1;
    if (operand.size() > 1 && std::isdigit(static_cast<unsigned char>(operand[1]))) comma = 2;
    if (operand.size() <= comma || operand[comma] != ',') {
        args.warn(4, "/MID needs a start of one or two digits, a comma and a length: " +
                         in_quotes(operand) + " does nothing");
    }
}

void check_pause_like(const Arguments& args, const Line& line, string_view colon_form,
                      size_t text_at, Report& report, const Script& script) {
    if (starts_with_ignoring_case(line.text, colon_form)) {
        check_colour_codes(script, line, text_at, report);
        return;
    }
    args.nothing_after(args.keyword().size(),
                       "write " + string(colon_form) + "text to show a text of your own");
}

void check_arguments(const Script& script, const Line& line, Report& report) {
    Arguments args(script, line, report);
    const kw::Keyword& keyword = kw::kKeywords[static_cast<size_t>(line.keyword)];
    args.set_keyword(keyword.text);
    const size_t after = keyword.text.size();
    switch (keyword.command) {
        case Command::kWait: {
            const string_view arg = args.rest(6);
            if (!args.expands_from(6) && has_digits_at_start(arg) && number_of(arg) > 99) {
                args.warn(6, "/WAIT: reads two characters: " + in_quotes(arg) + " waits " +
                                 std::to_string(number_of(arg.substr(0, 2))) +
                                 " seconds, and 99 is the longest wait");
            } else {
                args.number(6, 7, "number of seconds");
            }
            break;
        }
        case Command::kStrip:
        case Command::kUcase:
        case Command::kLcase:
        case Command::kMcase:
        case Command::kOcase:
            args.register_digit(6, 6, "the line does nothing");
            break;
        case Command::kAlltrim:
            args.register_digit(8, 6, "the line does nothing");
            break;
        case Command::kInside:
        case Command::kSameto:
        case Command::kSamend:
        case Command::kSameas:
            check_string_test(args);
            break;
        case Command::kNeeds:
            args.number(7, 9, "command level");
            break;
        case Command::kLoad: {
            const string name = strip_controls(args.rest(6));
            if (!args.expands_from(6) && name.size() > language::kLabelMax) {
                args.warn(6 + language::kLabelMax,
                          "/LOAD: reads 12 characters of the file name: " + in_quotes(name) +
                              " is taken as " + in_quotes(name.substr(0, language::kLabelMax)));
            }
            break;
        }
        case Command::kGosub:
            check_label(args, 7);
            break;
        case Command::kGoto:
            check_label(args, 6);
            break;
        case Command::kRand:
            check_rand(args, line);
            break;
        case Command::kCharm:
        case Command::kMoney:
        case Command::kExper: {
            const long value = args.number(7, 8, "amount");
            if (!args.expands_from(7)) check_reward_amount(args, value, true);
            break;
        }
        case Command::kFights:
            check_one_digit_reward(args, 8);
            break;
        case Command::kGivegems:
            check_one_digit_reward(args, 10);
            break;
        case Command::kChoice: {
            const string_view arg = args.rest(8);
            if (args.expands_from(8)) break;
            if (arg.empty() || arg[0] < '1' || arg[0] > '9') {
                args.warn(8, "/CHOICE: reads one digit, 1 to 9: " +
                                 (arg.empty() ? string("nothing") : in_quotes(arg)) +
                                 " asks for 1 answer");
            } else if (arg.size() > 1 && std::isdigit(static_cast<unsigned char>(arg[1]))) {
                args.warn(8, "/CHOICE: reads one digit: " + in_quotes(arg) + " asks for " +
                                 string(1, arg[0]) + " answer" + (arg[0] == '1' ? "" : "s"));
            }
            break;
        }
        case Command::kHasfights:
            args.number(11, 12, "number of fights");
            break;
        case Command::kHascharm:
            args.number(10, 12, "charm");
            break;
        case Command::kHasgems:
            args.number(9, 11, "number of gems");
            break;
        case Command::kLevel:
            args.number(7, 9, "level");
            break;
        case Command::kPause:
            check_pause_like(args, line, kw::kPauseText, 7, report, script);
            break;
        case Command::kAbort:
            check_pause_like(args, line, kw::kAbortText, 7, report, script);
            break;
        case Command::kAnyquit:
            check_pause_like(args, line, kw::kAnyquitText, 9, report, script);
            break;
        case Command::kInput:
            if (starts_with_ignoring_case(line.text, kw::kInputText)) {
                args.text_field(7, 31, "the /INPUT: prompt");
                check_colour_codes(script, line, 7, report);
            } else {
                args.nothing_after(after, "write /INPUT:prompt for a prompt of your own");
            }
            break;
        case Command::kVal:
            check_val(args);
            break;
        case Command::kIfval:
            check_ifval(args);
            break;
        case Command::kCopy:
            if (args.length() < 9) {
                args.warn(0,
                          "/COPY needs a source digit, two characters and a destination "
                          "digit (/COPY1TO2): the line does nothing");
            } else if (args.register_digit(5, 6, "the line does nothing")) {
                args.register_digit(8, 6, "the line does nothing");
            }
            break;
        case Command::kString:
            if (args.length() < 10) {
                args.warn(0,
                          "/STRING needs a register digit, one character and a text "
                          "(/STRING1 text): the line does nothing");
            } else if (args.register_digit(7, 6, "the line does nothing")) {
                args.text_field(9, 33, "a string register");
                check_colour_codes(script, line, 9, report);
            }
            break;
        case Command::kMid:
            check_mid(args);
            break;
        case Command::kHashorse:
            args.nothing_after(after);
            break;
        case Command::kClear:
        case Command::kReturn:
        case Command::kLoop:
        case Command::kUnload:
        case Command::kLabel:
        case Command::kHealhits:
        case Command::kGivehorse:
        case Command::kRemovehorse:
        case Command::kRemovefight:
        case Command::kRemovegem:
        case Command::kHalt:
        case Command::kKnight:
        case Command::kThief:
        case Command::kMystic:
        case Command::kMale:
        case Command::kFemale:
        case Command::kAdult:
            args.nothing_after(after);
            break;
        case Command::kEnd:
            break;  // end markers: check_targets
    }
}

}  // namespace

void check_header(const Script& script, Report& report) {
    if (script.bytes.empty()) {
        report.add_file(
            script, Severity::error,
            "empty file: a script begins with the header line 'Vorn IGM Script: TITLE'");
        return;
    }
    const Line& header = script.lines[0];
    if (!script.valid_header) {
        const bool menu_accepts =
            starts_with_ignoring_case(header.piece->text, language::kMenuPrefix);
        report.add(script, header, 0, Severity::error,
                   menu_accepts && script.role == Role::place
                       ? "the header must begin with 'Vorn IGM Script: ' (colon and blank): the "
                         "menu lists this place, but the module refuses to start it"
                       : "the header must begin with 'Vorn IGM Script: ': the module refuses to "
                         "start this script");
        return;
    }
    if (script.lines.size() > 1 && script.lines[1].piece->line == 1) {
        report.add(script, script.lines[1], 0, Severity::warning,
                   "the header line is longer than 255 characters: the rest of it runs as the "
                   "first script line");
    }
    const string title = strip_controls(
        slice(header.piece->text, language::kHeaderPrefix.size(), language::kHeaderRoom));
    if (title.size() > language::kTitleMax) {
        report.add(script, header, language::kHeaderPrefix.size() + language::kTitleMax,
                   Severity::warning,
                   "the title is " + std::to_string(title.size()) +
                       " characters long: the stats screen shows only its first 30, " +
                       in_quotes(title.substr(0, language::kTitleMax)));
    }
    check_colour_codes(script, header, language::kHeaderPrefix.size(), report);
}

void check_lines(const Script& script, Report& report) {
    for (size_t i = 1; i < script.lines.size(); ++i) {
        const Line& line = script.lines[i];
        if (line.piece->column > 1 && i > 1) {
            report.add(script, line, 0, Severity::warning,
                       "line " + std::to_string(line.piece->line) +
                           " is longer than 256 characters: from column " +
                           std::to_string(line.piece->column) +
                           " on it is read and run as a line of its own");
        }
        if (line.is_comment()) continue;
        check_substitution_codes(script, line, report);
        if (!line.is_slash()) {
            check_colour_codes(script, line, 0, report);
        } else if (line.is_command()) {
            check_arguments(script, line, report);
        } else if (line.marker) {
            check_colour_codes(script, line, 0, report);
        } else {
            const string_view near = nearest_keyword(line.text);
            string word(line.body().substr(0, line.body().find_first_of(" \t")));
            report.add(script, line, 0, Severity::warning,
                       "unknown command " + in_quotes(word) + ": the line is shown as text" +
                           (near.empty() ? "" : "; did you mean '" + string(near) + "'?"));
            check_colour_codes(script, line, 0, report);
        }
    }
}

// Checks of the three lines the menu reads, for a script in the script folder.
void check_menu_lines(const Script& script, Report& report) {
    const auto lines = menu_header_lines(script.bytes);
    const string own_name = script.path.filename().string();
    const string listed = strip_controls(lines[2]);
    if (!starts_with_ignoring_case(lines[0], language::kMenuPrefix) || lines[1].empty() ||
        listed.empty()) {
        return;  // not a menu entry: a side trip or a script nothing lists
    }
    if (!is_8_3(own_name)) {
        report.add_file(script, Severity::error,
                        "the file name " + in_quotes(own_name) +
                            " is not an 8.3 name: the menu never lists it");
    }
    if (script.lines.size() > 2) {
        const Line& name_line = script.lines[2];
        if (!is_8_3(listed)) {
            report.add(script, name_line, 0, Severity::error,
                       "line 3 names the place's file, " + in_quotes(listed) +
                           ", which is not an 8.3 name: choosing the place shows 'could not be "
                           "found'");
        } else if (upper_case(listed) != upper_case(own_name)) {
            report.add(script, name_line, 0, Severity::error,
                       "line 3 names " + in_quotes(listed) + ", but this file is " +
                           in_quotes(own_name) + ": choosing the place starts " +
                           in_quotes(listed));
        }
        const size_t width = visible_width(lines[1]);
        if (language::kMenuEntryPrefix + width >= language::kScreenWidth) {
            report.add(script, script.lines[1], 0, Severity::warning,
                       "the menu title is " + std::to_string(width) +
                           " characters wide: with its number in front it does not fit one "
                           "80-column menu line (at most " +
                           std::to_string(language::kScreenWidth - 1 - language::kMenuEntryPrefix) +
                           ")");
        }
        check_colour_codes(script, script.lines[1], 0, report);
        if (script.lines.size() > 3 &&
            !(script.lines[3].is_command() && script.lines[3].command() == Command::kClear)) {
            report.add(script, name_line, 0, Severity::warning,
                       "the file-name line runs as a display line: the player sees " +
                           in_quotes(listed) + " unless line 4 is /CLEAR");
        }
    }
}

}  // namespace checker
