// The sysop settings menu: the sysop key and the trips per day, edited in
// the module-wide configuration itself (so a typed value acts for every user
// at once), written to ZMBVIGMS.CNF with X or put back from it with A.
//
// Sub-states: 9 the menu waits for a command, 24 a new key is typed,
// 25 a new number of trips is typed.
#include "module/userflow/sysop_menu.h"

#include <cstdio>
#include <cstdlib>

#include "include/host_interface.h"
#include "module/data/config.h"
#include "module/data/module_state.h"
#include "module/screens/colour.h"
#include "module/script/loader.h"
#include "module/userflow/substates.h"

namespace zmb {

namespace {

constexpr const char* kSeparator = "`0-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=--=-=-=-=-=-=-\n";
constexpr const char* kInvalidOption = "`8That isn't a valid option. Try something else.\n";
constexpr size_t kTripsChars = 2;  // only the first two typed characters count

bool empty_line() {
    return margc == 0 || margv[0][0] == '\0';
}

void show_and_send_prompt() {
    show_substate_prompt();
    send_output();
}

void back_to_menu() {
    set_substate(sub::kSysopMenu);
    show_sysop_menu();
    send_output();
}

// ---- commands of sub-state 9 ----

// X  - keep the settings in the file, then the menu of places
void command_save() {
    write_config();
    start_menu_script();
}

// A  - put the file's settings back, then the menu of places
void command_discard() {
    read_config();
    start_menu_script();
}

// ?  - the menu anew
void command_show() {
    show_sysop_menu();
    send_output();
}

// 4  - ask for a new sysop key
void command_key() {
    set_substate(sub::kSysopKey);
    show_and_send_prompt();
}

// 5  - ask for a new number of trips per day
void command_trips() {
    set_substate(sub::kSysopTrips);
    show_and_send_prompt();
}

struct SysopCommand {
    const char* keyword;  // the whole first word, compared ignoring case
    void (*handler)();
};
// Tried in this order; the first match decides.
constexpr SysopCommand kSysopCommands[] = {
    {"?", command_show}, {"X", command_save},  {"A", command_discard},
    {"4", command_key},  {"5", command_trips},
};

}  // namespace

int sysop_command() {
    if (empty_line()) {
        show_and_send_prompt();
        return 1;
    }
    for (const SysopCommand& command : kSysopCommands) {
        if (sameas(margv[0], command.keyword)) {
            command.handler();
            return 1;
        }
    }
    colour_print(kInvalidOption);
    show_and_send_prompt();
    return 1;
}

// The line as typed, blanks included, becomes the key (cut to what the
// field holds); an empty line keeps the key.
int sysop_new_key() {
    if (!empty_line()) {
        rstrin();
        std::snprintf(module_state.config.sysop_key, sizeof module_state.config.sysop_key, "%s",
                      input);
    }
    back_to_menu();
    return 1;
}

// The first two characters typed, as a number clamped to the allowed range
// ("123" is 12, "9x" is 9, "abc" is 3); an empty line keeps it.
int sysop_new_trips() {
    if (!empty_line()) {
        rstrin();
        char digits[kTripsChars + 1];
        std::snprintf(digits, sizeof digits, "%s", input);
        module_state.config.trips_per_day =
            clamp_trips(static_cast<int16_t>(std::strtol(digits, nullptr, 10)));
    }
    back_to_menu();
    return 1;
}

void show_sysop_menu() {
    char line[64];
    colour_print("\x1b[2J");
    colour_print(kSeparator);
    std::snprintf(line, sizeof line, "`3 4) `2   SYSOP KEY `8: `7%s\n",
                  module_state.config.sysop_key);
    colour_print(line);
    std::snprintf(line, sizeof line, "`3 5) `2   MAX TURNS `8: `7%d\n",
                  module_state.config.trips_per_day);
    colour_print(line);
    colour_print(kSeparator);
    colour_print("`3 X) `2    SAVE and EXIT!\n");
    colour_print("`3 A) `2    EXIT without SAVING!\n");
    colour_print(kSeparator);
    show_substate_prompt();
}

}  // namespace zmb
