// interpret_line: one script line is shown, passed over, or run as a slash
// command, and a result code tells the run driver what comes next. The
// control-flow, pause and prompt commands live here; the player, value and
// string command families are called from their slots in the table.
#include "module/script/interpreter.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "module/data/context.h"
#include "module/host/module_state.h"
#include "module/screens/colour.h"
#include "module/script/keywords.h"
#include "module/script/player_commands.h"
#include "module/script/string_commands.h"
#include "module/script/substitution.h"
#include "module/script/text_slices.h"
#include "module/script/value_commands.h"

namespace zmb {

namespace {

constexpr size_t kLabelMax = 12;        // labels and jump targets
constexpr size_t kInputPromptMax = 25;  // the prompt text of /INPUT:
constexpr int16_t kRestOfLine = 1047;   // a slice end past any line

// Pause texts are formatted here: the renderer translates into the work
// buffer, so its input must not lie there.
std::array<char, kResultSize + 2> pause_text;

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
    return arm_skip(keywords::kEndNeed.data());
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
    show_pause_text(line, keywords::kPauseText.data(), 7,
                    "`0\xFE `2Press <enter> To Continue `0\xFE ");
    return result::kPause;
}

// /ANYQUIT, /ANYQUIT:text  - waits for Enter; Q ends the script
int16_t cmd_anyquit(const char* line) {
    show_pause_text(line, keywords::kAnyquitText.data(), 9,
                    "`0\xFE `2Press <enter> To Continue or <Q> To Quit `0\xFE ");
    return result::kQuitPause;
}

// /ABORT, /ABORT:text  - ends the script; the user goes to return_substate
int16_t cmd_abort(const char* line) {
    show_pause_text(line, keywords::kAbortText.data(), 7, "\n`#Please press <enter> to continue: ");
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
    const char* prompt = sameto(keywords::kInputText.data(), line)
                             ? strip_controls(slice_text(line, 7, 31))
                             : "`&INPUT";
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

using keywords::Command;

struct Handler {
    Command command;  // the row of keywords::kTable it handles
    int16_t (*handler)(const char* line);
};

// One handler per row of the keyword table (module/script/keywords.h), in
// the table's order: the keywords and their order live there, shared with
// the script checker; the static_assert below keeps the two in step.
constexpr std::array<Handler, keywords::kTable.size()> kHandlers{{
    {Command::wait, cmd_wait},
    {Command::strip, then_go_on<stripit>},
    {Command::ucase, change_case<1>},
    {Command::lcase, change_case<2>},
    {Command::mcase, change_case<3>},
    {Command::ocase, change_case<4>},
    {Command::alltrim, then_go_on<dotrim>},
    {Command::inside, string_inside},
    {Command::sameto, string_beginswith},
    {Command::samend, string_endswith},
    {Command::needs, cmd_needs},
    {Command::clear, cmd_clear},
    {Command::return_, cmd_return},
    {Command::loop, cmd_loop},
    {Command::load, cmd_load},
    {Command::unload, cmd_unload},
    {Command::gosub, cmd_gosub},
    {Command::label, cmd_label},
    {Command::goto_, cmd_goto},
    {Command::rand, dorandom},
    {Command::charm, cmd_charm},
    {Command::money, cmd_money},
    {Command::exper, cmd_exper},
    {Command::healhits, cmd_healhits},
    {Command::fights, cmd_fights},
    {Command::givehorse, cmd_givehorse},
    {Command::removehorse, cmd_removehorse},
    {Command::givegems, cmd_givegems},
    {Command::removefight, cmd_removefight},
    {Command::removegem, cmd_removegem},
    {Command::choice, cmd_choice},
    {Command::hasfights, cond_hasfights},
    {Command::pause, cmd_pause},
    {Command::halt, cmd_halt},
    {Command::abort, cmd_abort},
    {Command::anyquit, cmd_anyquit},
    {Command::knight, cond_knight},
    {Command::thief, cond_thief},
    {Command::mystic, cond_mystic},
    {Command::male, cond_male},
    {Command::female, cond_female},
    {Command::adult, cond_adult},
    {Command::hascharm, cond_hascharm},
    {Command::hashorse, cond_hashorse},
    {Command::hasgems, cond_hasgems},
    {Command::level, cond_level},
    {Command::val, then_go_on<doval>},
    {Command::ifval, ifval},
    {Command::input, cmd_input},
    {Command::copy, then_go_on<docopy>},
    {Command::string, then_go_on<dostring>},
    {Command::mid, then_go_on<domid>},
    {Command::sameas, string_sameas},
    {Command::end, cmd_end},
}};

constexpr bool handlers_follow_table() {
    for (size_t row = 0; row < kHandlers.size(); ++row)
        if (kHandlers[row].command != keywords::kTable[row].command) return false;
    return true;
}
static_assert(handlers_follow_table(), "one handler per keyword row, in the table's order");

// Copies at most kExpandedSize-1 characters of text into the expanded
// line buffer, which from then on holds the line every handler sees.
char* keep_expanded(const char* text) {
    size_t n = 0;
    while (n + 1 < kExpandedSize && text[n] != '\0') {
        expanded_buffer[n] = text[n];
        ++n;
    }
    expanded_buffer[n] = '\0';
    return expanded_buffer;
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
    const char* expanded = std::strchr(as_read, '|') != nullptr
                               ? keep_expanded(substitute_codes(as_read))
                               : keep_expanded(as_read);

    if (get(state::skip_mode) != 0) {
        if (sameto(text(state::skip_target), expanded)) set(state::skip_mode, 0);
        return result::kGoOn;
    }
    if (first == '/') {
        // Keywords are matched in table order; the first match handles the line.
        for (size_t row = 0; row < keywords::kTable.size(); ++row) {
            if (sameto(keywords::kTable[row].text.data(), expanded))
                return kHandlers[row].handler(expanded);
        }
    } else if (expanded[0] == ';') {
        return result::kGoOn;
    }
    colour_print(expanded);
    return result::kGoOn;
}

}  // namespace zmb
