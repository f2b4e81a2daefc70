// The paths one visit can take through a script, and through the scripts it
// loads: every jump, answer, alternative and block is followed both ways.
// Along each path the checker tracks what the interpreter tracks (the return
// and loop offsets, the one-level /LOAD: slot, the visit's reward flag), so
// it finds a second reward, a marker the run reaches and shows as text, and
// a return to offset 0, where the header line is read as text.
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "checker/checks.h"
#include "checker/language.h"

namespace checker {
namespace {

namespace kw = zmb::script;
using std::string;

constexpr size_t kMostStates = 200000;  // a bound no place of sensible size reaches

struct Position {
    const Script* script = nullptr;
    int line = 0;  // index into script->lines; 0 is the header at offset 0
    int ret = 0;   // where /RETURN goes: after the last /GOSUB:, else offset 0
    int loop = 0;  // where /LOOP and a "?" answer go: after the last /LABEL, else 0

    auto key() const { return std::make_tuple(script, line, ret, loop); }
};

struct State {
    Position at;
    Position slot;  // the script that ran /LOAD:; script == nullptr when none
    const Script* reward_script = nullptr;  // where the visit's reward was given
    int reward_line = -1;

    auto key() const { return std::make_tuple(at.key(), slot.key(), reward_script != nullptr); }
};

class Walk {
  public:
    Walk(const ScriptLookup& lookup, Report& report) : lookup_(lookup), report_(report) {}

    void run(const Script& entry) {
        entry_ = &entry;
        State start;
        start.at = {&entry, 1, 0, 0};
        push(start);
        while (!pending_.empty() && seen_.size() < kMostStates) {
            State state = pending_.back();
            pending_.pop_back();
            step(state);
        }
    }

  private:
    void push(const State& state) {
        if (seen_.insert(state.key()).second) pending_.push_back(state);
    }

    void go_to(State state, int line) {
        state.at.line = line;
        push(state);
    }

    // A skip armed at the current line: the run goes on after the first later
    // line that begins with target. None: the script ends (reported by the target checks).
    void skip_to(const State& state, const string& target) {
        const int found = state.at.script->find_forward(state.at.line, target);
        if (found >= 0) go_to(state, found + 1);
    }

    const Line& line_of(const State& state) const {
        return state.at.script->lines[static_cast<size_t>(state.at.line)];
    }

    void warn(const State& state, string message) {
        report_.add(*state.at.script, line_of(state), 0, Severity::warning, std::move(message));
    }

    // "?" at a question, /LOOP, /RETURN: back to an offset that may be 0.
    void back_to(const State& state, int line, const string& why_zero) {
        if (line == 0) warn(state, why_zero);
        go_to(state, line);
    }

    void reward(State state, bool checks_flag) {
        if (state.reward_script != nullptr && checks_flag) {
            const Line& here = line_of(state);
            if (state.reward_script == state.at.script && state.reward_line == state.at.line) {
                report_.add(*state.at.script, here, 0, Severity::warning,
                            "this reward can run twice in one visit (a /LOOP, a /RETURN or a '?' "
                            "answer brings the run back to it): the second time it ends the "
                            "place at once, without a word");
                return;
            }
            if (report_.add(*state.at.script, here, 0, Severity::warning,
                            "a second reward in one visit: on a path that has already given "
                            "one, this line ends the place at once, without a word")) {
                const Script& first = *state.reward_script;
                report_.add_note(first, first.lines[static_cast<size_t>(state.reward_line)],
                                 "the reward given before it on that path");
            }
            return;  // the visit ends here
        }
        if (state.reward_script == nullptr) {
            state.reward_script = state.at.script;
            state.reward_line = state.at.line;
        }
        go_to(state, state.at.line + 1);
    }

    void step(const State& state) {
        const Script& script = *state.at.script;
        if (state.at.line >= static_cast<int>(script.lines.size())) return;  // the end
        const Line& line = line_of(state);
        const int next = state.at.line + 1;
        if (state.at.line == 0 || !line.is_command()) {
            if (line.marker) {
                warn(state, "the run reaches " + strip_controls(line.body()) +
                                " without a jump and shows it as text: end the branch above "
                                "it with a /GOTO:");
            }
            go_to(state, next);
            return;
        }
        switch (line.command()) {
            case Command::kLabel: {
                State after = state;
                after.at.loop = next;
                go_to(after, next);
                return;
            }
            case Command::kLoop:
                back_to(state, state.at.loop,
                        "/LOOP before any /LABEL goes back to the start of the file: the header "
                        "line is shown as text and the script runs again");
                return;
            case Command::kReturn:
                back_to(state, state.at.ret,
                        "/RETURN before any /GOSUB: goes back to the start of the file: the "
                        "header line is shown as text and the script runs again");
                return;
            case Command::kGosub: {
                State after = state;
                after.at.ret = next;
                if (const auto label = label_of(line)) skip_to(after, *label);
                return;
            }
            case Command::kGoto:
                if (const auto label = label_of(line)) skip_to(state, *label);
                return;
            case Command::kChoice:
                for (int k = 1; k <= answers_of(line); ++k)
                    skip_to(state, format_marker("/", k, kw::end_marker::kChoiceSuffix));
                question(state);
                return;
            case Command::kInput:
                question(state);
                go_to(state, next);
                return;
            case Command::kRand:
                if (starts_with_ignoring_case(line.text, kw::kRandomChoice)) {
                    for (int k = 1; k <= alternatives_of(line) && k <= 99; ++k)
                        skip_to(state, format_marker("/", k, kw::end_marker::kRandomSuffix));
                } else {
                    go_to(state, next);
                }
                return;
            case Command::kCharm:
            case Command::kMoney:
            case Command::kExper:
            case Command::kHealhits:
            case Command::kFights:
            case Command::kGivegems:
                reward(state, true);
                return;
            case Command::kGivehorse:
            case Command::kRemovehorse:
                reward(state, false);
                return;
            case Command::kAbort:
            case Command::kHalt:
                return;
            case Command::kLoad:
                load(state);
                return;
            case Command::kUnload:
                unload(state);
                return;
            default:
                break;
        }
        // The rest go on, and the block commands may also skip to their end marker.
        const auto marker = end_marker_of(line);
        const bool always_fails =
            line.command() == Command::kNeeds ||
            (line.command() == Command::kIfval && line.text.size() > 7 && line.text[7] != '=' &&
             line.text[7] != '<' && line.text[7] != '>');
        if (marker) skip_to(state, *marker);
        if (!marker || !always_fails) go_to(state, next);
    }

    void question(const State& state) {
        if (state.at.loop == 0) {
            warn(state,
                 "no /LABEL before this question: a '?' answer goes back to the start of the "
                 "file, shows the header line as text and runs the script again");
        }
        go_to(state, state.at.loop);
    }

    void load(const State& state) {
        const Line& line = line_of(state);
        if (line.body().find(kw::kBar) != std::string_view::npos) return;
        const string name = strip_controls(slice(line.text, 6, 17));
        const Script* loaded = lookup_(*state.at.script, name);
        if (loaded == nullptr || !loaded->valid_header) return;  // check_loads reports it
        State after = state;
        after.slot = state.at;
        after.slot.line = state.at.line + 1;
        after.at = {loaded, 1, 0, 0};
        push(after);
    }

    void unload(const State& state) {
        if (state.slot.script == nullptr) {
            // Nothing is loaded: the line does nothing, unless the walk began
            // in a side trip, whose caller is not known here.
            if (state.at.script != entry_ || entry_->role != Role::side_trip)
                go_to(state, state.at.line + 1);
            return;
        }
        State back = state;
        back.at = state.slot;
        back.slot = Position{};
        push(back);
    }

    const ScriptLookup& lookup_;
    Report& report_;
    const Script* entry_ = nullptr;
    std::set<decltype(State{}.key())> seen_;
    std::vector<State> pending_;
};

}  // namespace

void check_paths(const Script& script, const ScriptLookup& lookup, Report& report) {
    if (!script.valid_header) return;
    Walk(lookup, report).run(script);
}

void check_loads(const Script& script, const ScriptLookup& lookup, Report& report) {
    for (size_t i = 1; i < script.lines.size(); ++i) {
        const Line& line = script.lines[i];
        if (!line.is_command() || line.command() != Command::kLoad) continue;
        if (line.body().find(kw::kBar) != std::string_view::npos) continue;
        const string name = strip_controls(slice(line.text, 6, 17));
        if (name.empty()) {
            report.add(script, line, 6, Severity::error,
                       "/LOAD: names no file: the player sees 'could not be found'");
            continue;
        }
        const Script* loaded = lookup(script, name);
        if (loaded == nullptr || !loaded->readable) {
            const bool elsewhere = fs::exists(script.folder.parent_path() / name);
            report.add(script, line, 6, Severity::error,
                       "'" + name + "' is not in the script folder: /LOAD: shows the player '" +
                           "could not be found'" +
                           (elsewhere ? " (it lies in the world folder, but /LOAD: looks only in "
                                        "QHYVIGMS)"
                                      : ""));
        } else if (!loaded->valid_header) {
            report.add(script, line, 6, Severity::error,
                       "'" + name + "' is no valid script (its first line is not 'Vorn IGM " +
                           "Script: ...'): /LOAD: shows the player 'Is not a valid Vorn IGM " +
                           "script!'");
        }
    }
}

}  // namespace checker
