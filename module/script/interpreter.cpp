// interpret_line: one script line is shown, passed over, or run as a slash
// command, and a result code tells the run driver what comes next. The
// control-flow, pause and prompt commands live here; the player, value and
// string command families are called from their slots in the handler table.
// The keywords themselves, in their order, are in keywords.h.
#include "module/script/interpreter.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "module/data/context.h"
#include "module/data/module_state.h"
#include "module/screens/colour.h"
#include "module/script/keywords.h"
#include "module/script/player_commands.h"
#include "module/script/script_buffers.h"
#include "module/script/string_commands.h"
#include "module/script/substitution.h"
#include "module/script/text_slices.h"
#include "module/script/value_commands.h"

namespace zmb {

namespace {

constexpr size_t kLabelMax = 12;        // labels and jump targets
constexpr size_t kInputPromptMax = 25;  // the prompt text of /INPUT:
constexpr int16_t kRestOfLine = 1047;   // a slice end past any line

long number_at(const char* line, int16_t first, int16_t last) {
    return std::atol(slice_text(line, first, last));
}

// Shows the text after a colon form ("/PAUSE:text", at `text_at`) followed
// by one blank, or the command's default text.
void show_pause_text(const char* line, const char* colon_form, int16_t text_at,
                     const char* default_text) {
    if (!sameto(colon_form, line)) {
        colour_print(default_text);
        return;
    }
    std::array<char, kExpandedSize + 2> pause_text;
    std::snprintf(pause_text.data(), pause_text.size(), "%s ",
                  strip_controls(slice_text(line, text_at, kRestOfLine)));
    colour_print(pause_text.data());
}

// Jump labels: the characters after the colon, control characters removed
// (so the line end drops out and trailing blanks stay), at most 12.
int16_t skip_to_label(const char* line, int16_t first) {
    std::array<char, kLabelMax + 1> label{};
    const std::string_view found(
        strip_controls(slice_text(line, first, static_cast<int16_t>(first + kLabelMax - 1))));
    const size_t length = found.copy(label.data(), kLabelMax);
    label[length] = '\0';
    return arm_skip(label.data());
}

// ---- control flow ----

// /WAIT:nn  - the run goes on once time() reaches now + nn seconds (two characters)
int16_t cmd_wait(const char* line) {
    const long seconds = number_at(line, 6, 7);
    set(state::wait_until, static_cast<int32_t>(std::time(nullptr) + seconds));
    return result::kGoOn;
}

// /NEEDS:nnn  - the block up to /ENDNEED runs only for a level above command_level
int16_t cmd_needs(const char* line) {
    if (number_at(line, 7, 9) > command_level) return result::kGoOn;
    return arm_skip(script::end_marker::kNeeds.data());
}

// /CLEAR  - clears the user's screen
int16_t cmd_clear(const char*) {
    btuclo(usrnum);
    prf("%s", "\x1b[2J");
    return result::kGoOn;
}

// /RETURN  - back to the line after the last /GOSUB: (the file start before any)
int16_t cmd_return(const char*) {
    set(state::line_offset, get(state::return_offset));
    return result::kJumped;
}

// /LOOP  - back to the line after the last /LABEL (the file start before any)
int16_t cmd_loop(const char*) {
    set(state::line_offset, get(state::loop_offset));
    return result::kJumped;
}

// /LOAD:file  - remembers this script in the one saved slot and switches to QHYVIGMS\file
int16_t cmd_load(const char* line) {
    set_text(state::saved_script_file, text(state::script_file));
    set(state::saved_line_offset, get(state::line_offset));
    set(state::saved_return_offset, get(state::return_offset));
    set(state::saved_loop_offset, get(state::loop_offset));
    set(state::saved_end_offset, get(state::end_offset));
    std::array<char, state::script_file.size> path{};
    std::snprintf(path.data(), path.size(), "QHYVIGMS\\%s",
                  strip_controls(slice_text(line, 6, 17)));
    set_text(state::script_file, path.data());
    return result::kLoad;
}

// /UNLOAD  - back to the script that ran /LOAD:; ignored when none did
int16_t cmd_unload(const char*) {
    return get(state::saved_line_offset) < 1 ? result::kGoOn : result::kUnload;
}

// /GOSUB:label  - remembers the next line for /RETURN, then skips forward to label
int16_t cmd_gosub(const char* line) {
    set(state::return_offset, get(state::line_offset));
    return skip_to_label(line, 7);
}

// /LABEL  - the place /LOOP and a "?" answer come back to: the next line
int16_t cmd_label(const char*) {
    set(state::loop_offset, get(state::line_offset));
    return result::kGoOn;
}

// /GOTO:label  - skip forward to the next line that begins with label
int16_t cmd_goto(const char* line) {
    return skip_to_label(line, 6);
}

// /END...  - every end marker reached outside skip mode does nothing
int16_t cmd_end(const char*) {
    return result::kGoOn;
}

// ---- pauses and questions ----

// /PAUSE, /PAUSE:text  - waits for Enter
int16_t cmd_pause(const char* line) {
    show_pause_text(line, "/PAUSE:", 7, "`0\xFE `2Press <enter> To Continue `0\xFE ");
    return result::kPause;
}

// /ANYQUIT, /ANYQUIT:text  - waits for Enter; Q ends the script
int16_t cmd_anyquit(const char* line) {
    show_pause_text(line, "/ANYQUIT:", 9,
                    "`0\xFE `2Press <enter> To Continue or <Q> To Quit `0\xFE ");
    return result::kQuitPause;
}

// /ABORT, /ABORT:text  - ends the script; the user goes to return_substate
int16_t cmd_abort(const char* line) {
    show_pause_text(line, "/ABORT:", 7, "\n`#Please press <enter> to continue: ");
    return result::kEnd;
}

// /HALT  - stops the script; the command prompt follows
int16_t cmd_halt(const char*) {
    return result::kHalt;
}

// /CHOICE:n  - asks for one of the answers 1..n (one character, 1 to 9)
int16_t cmd_choice(const char* line) {
    long count = number_at(line, 8, 8);
    if (count < 1) count = 1;
    if (count > 9) count = 9;
    set(state::choice_count, static_cast<int32_t>(count));
    return result::kQuestion;
}

// /INPUT, /INPUT:prompt  - asks for a line of text, which becomes STRING1
int16_t cmd_input(const char* line) {
    const char* prompt =
        sameto("/INPUT:", line) ? strip_controls(slice_text(line, 7, 31)) : "`&INPUT";
    set_text(state::input_prompt, std::string_view(prompt).substr(0, kInputPromptMax));
    set(state::choice_count, 0);
    return result::kQuestion;
}

// ---- slots of the string, value and player command families ----

// /STRIP /ALLTRIM /VAL /COPY /STRING /MID  - a family operation edits its registers; go on
template <void (*operation)(const char*)>
int16_t then_go_on(const char* line) {
    operation(line);
    return result::kGoOn;
}

// /UCASEn /LCASEn /MCASEn /OCASEn  - STRINGn upper, lower, word capitals, consonants upper
template <int16_t selector>
int16_t change_case(const char* line) {
    swapcase(line, selector);
    return result::kGoOn;
}

using Handler = int16_t (*)(const char* line);

// The handler of each command; a command added to keywords.h without one
// here is a -Wswitch warning.
constexpr Handler handler_of(script::Command command) {
    using script::Command;
    switch (command) {
        case Command::kWait:
            return cmd_wait;
        case Command::kStrip:
            return then_go_on<stripit>;
        case Command::kUcase:
            return change_case<1>;
        case Command::kLcase:
            return change_case<2>;
        case Command::kMcase:
            return change_case<3>;
        case Command::kOcase:
            return change_case<4>;
        case Command::kAlltrim:
            return then_go_on<dotrim>;
        case Command::kInside:
            return string_inside;
        case Command::kSameto:
            return string_beginswith;
        case Command::kSamend:
            return string_endswith;
        case Command::kNeeds:
            return cmd_needs;
        case Command::kClear:
            return cmd_clear;
        case Command::kReturn:
            return cmd_return;
        case Command::kLoop:
            return cmd_loop;
        case Command::kLoad:
            return cmd_load;
        case Command::kUnload:
            return cmd_unload;
        case Command::kGosub:
            return cmd_gosub;
        case Command::kLabel:
            return cmd_label;
        case Command::kGoto:
            return cmd_goto;
        case Command::kRand:
            return dorandom;
        case Command::kCharm:
            return cmd_charm;
        case Command::kMoney:
            return cmd_money;
        case Command::kExper:
            return cmd_exper;
        case Command::kHealhits:
            return cmd_healhits;
        case Command::kFights:
            return cmd_fights;
        case Command::kGivehorse:
            return cmd_givehorse;
        case Command::kRemovehorse:
            return cmd_removehorse;
        case Command::kGivegems:
            return cmd_givegems;
        case Command::kRemovefight:
            return cmd_removefight;
        case Command::kRemovegem:
            return cmd_removegem;
        case Command::kChoice:
            return cmd_choice;
        case Command::kHasfights:
            return cond_hasfights;
        case Command::kPause:
            return cmd_pause;
        case Command::kHalt:
            return cmd_halt;
        case Command::kAbort:
            return cmd_abort;
        case Command::kAnyquit:
            return cmd_anyquit;
        case Command::kKnight:
            return cond_knight;
        case Command::kThief:
            return cond_thief;
        case Command::kMystic:
            return cond_mystic;
        case Command::kMale:
            return cond_male;
        case Command::kFemale:
            return cond_female;
        case Command::kAdult:
            return cond_adult;
        case Command::kHascharm:
            return cond_hascharm;
        case Command::kHashorse:
            return cond_hashorse;
        case Command::kHasgems:
            return cond_hasgems;
        case Command::kLevel:
            return cond_level;
        case Command::kVal:
            return then_go_on<doval>;
        case Command::kIfval:
            return ifval;
        case Command::kInput:
            return cmd_input;
        case Command::kCopy:
            return then_go_on<docopy>;
        case Command::kString:
            return then_go_on<dostring>;
        case Command::kMid:
            return then_go_on<domid>;
        case Command::kSameas:
            return string_sameas;
        case Command::kEnd:
            return cmd_end;
    }
    return cmd_end;
}

// The handlers in keyword order, so a match indexes its handler directly.
constexpr auto kHandlers = [] {
    std::array<Handler, script::kKeywords.size()> handlers{};
    for (size_t i = 0; i < handlers.size(); ++i)
        handlers[i] = handler_of(script::kKeywords[i].command);
    return handlers;
}();

// Copies at most kExpandedSize-1 characters of a line without bar codes
// into the expansion buffer, which holds the line every handler sees.
char* keep_expanded(const char* text) {
    char* out = script_buffers.expanded;
    size_t n = 0;
    while (n + 1 < kExpandedSize && text[n] != '\0') {
        out[n] = text[n];
        ++n;
    }
    out[n] = '\0';
    return out;
}

}  // namespace

int16_t arm_skip(const char* target) {
    set_text(state::skip_target, target);
    set(state::skip_mode, 1);
    return result::kJumped;
}

// Whether a line is a command is decided on its text as read: only a line
// written with a leading "/" is one. Substitution comes first, so otherwise
// a display line such as "|N" would run whatever the player typed at /INPUT
// ("/MONEY:3") as a command; such a line is shown instead. Skip mode and the
// comment test (";") look at the expanded text.
int16_t interpret_line(const char* line) {
    const char* as_read = skpwht(line);
    const char first = as_read[0];
    const char* expanded = std::strchr(as_read, script::kBar) != nullptr ? substitute_codes(as_read)
                                                                         : keep_expanded(as_read);

    if (get(state::skip_mode) != 0) {
        if (sameto(text(state::skip_target), expanded)) set(state::skip_mode, 0);
        return result::kGoOn;
    }
    if (first == script::kCommandMark) {
        for (size_t i = 0; i < script::kKeywords.size(); ++i) {
            if (sameto(script::kKeywords[i].text.data(), expanded)) return kHandlers[i](expanded);
        }
    } else if (expanded[0] == script::kCommentMark) {
        return result::kGoOn;
    }
    colour_print(expanded);
    return result::kGoOn;
}

}  // namespace zmb
