// The lines a user types at the menu of places, at a script's questions and
// pauses, and on the way back to the menu after a script or the stats
// screen. The sub-state table (substates.cpp) picks the handler.
//
// Typed text is data throughout: it is only compared, converted to a number
// or copied into a bounded field, never used as a format.
#include "module/userflow/main_menu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "include/host_interface.h"
#include "module/data/config.h"
#include "module/data/context.h"
#include "module/data/lines.h"
#include "module/data/module_state.h"
#include "module/data/trip_ledger.h"
#include "module/host/paths.h"
#include "module/screens/colour.h"
#include "module/screens/stats_screen.h"
#include "module/script/keywords.h"
#include "module/script/loader.h"
#include "module/script/text_slices.h"
#include "module/userflow/arrival.h"
#include "module/userflow/substates.h"
#include "module/userflow/sysop_menu.h"

namespace zmb {

namespace {

constexpr const char* kPlaceList = "ZMBVIGMS.DAT";
constexpr size_t kPlaceLineChars = 249;  // ZMBVIGMS.DAT lines are read this far
constexpr size_t kAnswerChars = 25;      // an /INPUT: answer kept in STRING1
constexpr size_t kPlaceLineSize = 275;   // a place's file name, and its path, are cut to fit

constexpr const char* kInvalidOption = "`8That isn't a valid option. Try something else.\n";
constexpr const char* kTooTired =
    "`7You are too tired to visit any more places. Come back tomorrow...\n";
constexpr const char* kScriptHalted = "\n`9Script Halted: `#Please press <enter> to continue: ";

// Moves the cursor up to the pause prompt's line, blanks it and returns
// there, so the script's next text replaces the prompt.
constexpr char kEraseSequence[] =
    "`3`h\x1b[A"
    "                                                                         "
    "\n\x1b[A";
static_assert(sizeof kEraseSequence - 1 == 7 + 73 + 4);  // code, code, up; 73 blanks; down, up

// The first word of the typed line ("" for an empty line).
const char* first_word() {
    return margc > 0 ? margv[0] : "";
}
bool empty_line() {
    return margc == 0 || margv[0][0] == '\0';
}

// A word converted the way every number typed here is: leading digits
// decide ("3x" is 3), no digits give 0, kept as a signed 16-bit number.
int16_t word_number(const char* word) {
    return static_cast<int16_t>(std::strtol(word, nullptr, 10));
}

void resume_script() {
    save_user_context();
    queue_run();
    set_substate(sub::kRunning);
}

void invalid_option() {
    colour_print(kInvalidOption);
    show_substate_prompt();
    send_output();
}

using PlaceLine = char[kPlaceLineSize];

// Copies the n-th line of ZMBVIGMS.DAT into out, cut to 274 characters.
// False when the file has fewer lines (it was edited after start-up).
bool read_place_line(int n, PlaceLine& out) {
    std::FILE* file = open_file(kPlaceList, "rt");
    if (file == nullptr) catastro("%s", "the VORN IGM DATA file could not be used!");
    char line[kPlaceLineChars + 1] = {};
    bool found = true;
    for (int i = 1; i <= n && found; ++i)
        found = read_text_line(file, line, sizeof line) >= 0;
    std::fclose(file);
    if (found) std::snprintf(out, sizeof out, "%s", line);
    return found;
}

// A number from 1 to menu_entry_count: place n, if the daily limit allows.
void start_place(int n) {
    if (get(trip::trips_used) >= module_state.config.trips_per_day) {
        colour_print(kTooTired);
        show_substate_prompt();
        send_output();
        return;
    }
    PlaceLine place;
    if (!read_place_line(n, place)) {
        invalid_option();
        return;
    }
    // The place's file lies in the script directory; the line end goes with
    // the other control characters. The path is cut to the line's size.
    constexpr std::string_view kFolder = "QHYVIGMS\\";
    constexpr int kNameChars = static_cast<int>(kPlaceLineSize - 1 - kFolder.size());
    PlaceLine path;
    std::snprintf(path, sizeof path, "%s%.*s", kFolder.data(), kNameChars, place);
    std::snprintf(path, sizeof path, "%s", strip_controls(path));

    set_substate(sub::kAfterScript);
    reset_script_variables();
    set(trip::trips_used, static_cast<int16_t>(get(trip::trips_used) + 1));
    save_user_context();
    store_trip_record(get(state::player_index));
    load_script(path, "", 1);
}

// ---- main-menu commands ----
// Each handler acts on the current user's line; its result is the routine's.

// Q, R, X  - hand the player back to the game
int command_leave() {
    return return_to_game();
}

// I  - the news script; costs no trip
int command_news() {
    reset_script_variables();
    set_substate(sub::kAfterScript);
    save_user_context();
    store_trip_record(get(state::player_index));
    load_script(kNewsScript, "", 1);
    return 1;
}

// V  - the stats screen; the next line shows the menu again
int command_stats() {
    show_stats_screen();
    send_output();
    set_substate(sub::kStatsFromMenu);
    return 1;
}

// ?  - the menu of places anew
int command_menu() {
    start_menu_script();
    return 1;
}

// S  - the sysop settings menu, for a holder of the sysop key only
int command_sysop() {
    if (!haskey(module_state.config.sysop_key)) {
        invalid_option();
        return 1;
    }
    set_substate(sub::kSysopMenu);
    show_sysop_menu();
    send_output();
    return 1;
}

struct MenuCommand {
    const char* keyword;  // the whole first word, compared ignoring case
    int (*handler)();
};
// Tried in this order; the first match decides. A line matching none is a
// place number or an invalid option.
constexpr MenuCommand kMenuCommands[] = {
    {"Q", command_leave}, {"R", command_leave}, {"X", command_leave}, {"I", command_news},
    {"V", command_stats}, {"?", command_menu},  {"S", command_sysop},
};

int menu_command() {
    if (empty_line()) {
        show_substate_prompt();
        send_output();
        return 1;
    }
    const char* word = first_word();
    for (const MenuCommand& command : kMenuCommands) {
        if (sameas(word, command.keyword)) return command.handler();
    }
    const int16_t n = word_number(word);
    if (n >= 1 && n <= module_state.menu_entry_count)
        start_place(n);
    else
        invalid_option();
    return 1;
}

// ---- waits a script set up ----

// Sub-state 2: the answer to a /CHOICE: or an /INPUT: question.
void answer() {
    const char* word = first_word();
    if (empty_line()) {
        show_substate_prompt();
        send_output();
        return;
    }
    if (sameas(word, "V")) {
        show_stats_screen();
        send_output();
        set_substate(sub::kStatsFromAnswer);
        return;
    }
    if (sameas(word, "?")) {
        // Runs again from the line after the last /LABEL, which asks anew.
        set(state::line_offset, get(state::loop_offset));
        resume_script();
        return;
    }
    const int32_t choices = get(state::choice_count);
    const int16_t n = word_number(word);
    if (std::strlen(word) == 1 && n >= 1 && n <= choices) {
        char target[16];
        std::snprintf(target, sizeof target, "/%d%s", n, script::end_marker::kChoiceSuffix.data());
        set_text(state::skip_target, target);
        set(state::skip_mode, 1);
        resume_script();
        return;
    }
    if (choices == 0) {
        rstrin();
        set_text(state::string(1),
                 std::string_view(input, std::strlen(input)).substr(0, kAnswerChars));
        resume_script();
        return;
    }
    invalid_option();
}

// Sub-state 5: any line resumes the script.
void pause_ended() {
    clrmlt();
    colour_print(kEraseSequence);
    send_output();
    save_user_context();
    set_substate(sub::kRunning);
    queue_run();
}

// Sub-state 6: the one word Q stops the script, any other line resumes it.
// The player record is not stored when the script stops here.
void quit_pause_ended() {
    clrmlt();
    colour_print(kEraseSequence);
    save_user_context();
    if (margc == 1 && sameas(margv[0], "Q")) {
        colour_print(kScriptHalted);
        set_substate(get(state::return_substate));
        save_user_context();
        send_output();
        queue_run();
        return;
    }
    send_output();
    set_substate(sub::kRunning);
    queue_run();
}

bool menu_script_current() {
    return sameas(text(state::script_file), kMenuScript);
}

}  // namespace

int menu_line() {
    // A place that halted outside the menu: the user would otherwise be
    // stuck, so any line leads back to the menu of places.
    if (!menu_script_current()) return back_to_places();
    return menu_command();
}

int answer_line() {
    answer();
    return 1;
}

int pause_line() {
    pause_ended();
    return 1;
}

int quit_pause_line() {
    quit_pause_ended();
    return 1;
}

int back_to_places() {
    start_menu_script();
    return 1;
}

int ask_again() {
    set(state::line_offset, get(state::loop_offset));
    resume_script();
    return 1;
}

int ignore_line() {
    send_output();  // a script runs or the prompt is due: the line changes nothing
    return 1;
}

void reset_script_variables() {
    for (int n = 1; n <= 9; ++n)
        set(state::value(n), 0);
    for (int n = 1; n <= 3; ++n)
        set_text(state::string(n), "");
    set_text(state::saved_script_file, "");
    set(state::saved_line_offset, 0);
    set(state::saved_return_offset, 0);
    set(state::saved_loop_offset, 0);
    set(state::reward_given, 0);
}

}  // namespace zmb
