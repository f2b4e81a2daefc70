// Arrival of a player handed over by the game, and the hand-back.
//
// The game writes "TEMP<channel>.TMP" (line 1 its module name, line 2 the
// player's record number), makes this module current with sub-state 0 and
// lets the user's next line reach the input routine. The hand-back looks the
// game's module number up in IGMLIST.DAT, whose entries are three lines each
// (name, module number, description).
#include "module/userflow/arrival.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "include/host_interface.h"
#include "module/data/context.h"
#include "module/data/lines.h"
#include "module/data/module_state.h"
#include "module/data/player_record.h"
#include "module/data/trip_ledger.h"
#include "module/host/paths.h"
#include "module/script/loader.h"

namespace zmb {

namespace {

constexpr const char* kModuleList = "IGMLIST.DAT";
constexpr size_t kGameNameChars = 8;     // the longest game module name
constexpr size_t kIndexLineChars = 49;   // the record number line is read this far
constexpr size_t kListLineChars = 499;   // IGMLIST.DAT lines
constexpr size_t kPlayerNameChars = 20;  // player_name holds at most this many
constexpr int kBackToGameStatus = 3;     // what the game receives after the hand-back

// The ledger of the player's game: each name is looked for inside the game
// module name, a later match replacing an earlier one ("KXPVORN2" contains
// "KXPVORN" too).
struct LedgerChoice {
    const char* needle;  // nullptr: the starting value
    const char* ledger;
};
constexpr LedgerChoice kLedgerChoices[] = {
    {nullptr, "OOO.DAT"},  // never created: the trips are neither read nor written
    {"KXPVORN", "ZMBVIGMS.SV1"},
    {"KXPVORN2", "ZMBVIGMS.SV2"},
    {"KXPVORN3", "ZMBVIGMS.SV3"},
};

// Shows a failure message and sends it at once: the routine's result 0 gives
// the user up, and the user should still see why.
void show_failure(const char* message) {
    prf("%s", message);
    send_output();
}

// Length of text without its line end (a line feed and a carriage return
// before it).
size_t without_line_end(const char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r'))
        --n;
    return n;
}

// Keeps the game module name as the hand-back and the ledger choice want it:
// the name and its line feed. A name line that ended the file without a line
// feed gets one. A name longer than any game's is kept cut to the field and
// without the line feed, so it can never pass for a shorter, real name.
void keep_game_name(const char* line) {
    char name[kGameNameChars + 2] = {};
    const size_t length = without_line_end(line);
    if (length <= kGameNameChars) {
        std::memcpy(name, line, length);
        name[length] = '\n';
    } else {
        std::memcpy(name, line, kGameNameChars + 1);
    }
    set_text(state::game_name, name);
}

// The display name: the record's name_length characters from offset 1,
// ending early at a NUL and never longer than the field.
void keep_player_name() {
    size_t length = get(player::name_length);
    if (length > kPlayerNameChars) length = kPlayerNameChars;
    const char* stored = reinterpret_cast<const char*>(working_copy() + player::name);
    size_t n = 0;
    while (n < length && stored[n] != '\0')
        ++n;
    set_text(state::player_name, std::string_view(stored, n));
}

void choose_ledger() {
    const char* game = text(state::game_name);
    const char* ledger = kLedgerChoices[0].ledger;
    for (const LedgerChoice& choice : kLedgerChoices) {
        if (choice.needle != nullptr && samein(choice.needle, game)) ledger = choice.ledger;
    }
    set_text(state::ledger_file, ledger);
}

}  // namespace

int arrive() {
    set_substate(sub::kMenuCommand);
    // Nothing of the user who was handled last may show through a missing
    // record or ledger.
    module_state.context.fill(0);

    char handoff[32];
    std::snprintf(handoff, sizeof handoff, "TEMP%d.TMP", usrnum);
    std::FILE* file = open_file(handoff, "rt");
    if (file == nullptr) {
        prf("\n  Error:  Could not find %s to get player info.\n", handoff);
        prf("%s", "  This module cannot be run directly, K-VORN must call it.\n");
        show_failure(
            "  K-VORN V1.22+ contains an IGM Manager internally, use it to install this!\n\n");
        return 0;
    }
    // Whole lines are read, so an over-long name line never spills into the
    // record number; a missing or non-numeric number is record 0.
    char line[kListLineChars + 1];
    if (read_text_line(file, line, sizeof line) < 0) line[0] = '\0';
    keep_game_name(line);
    long index = 0;
    if (read_text_line(file, line, kIndexLineChars + 1) >= 0)
        index = std::strtol(line, nullptr, 10);
    const auto player_index = static_cast<int16_t>(index);
    std::fclose(file);
    remove_file(handoff);
    set(state::player_index, player_index);

    // The game's directory is its name without the line feed; a name that
    // names no folder of the world (empty, "..", a separator in it) loads
    // nothing, and the store later writes nothing either. (A negative index
    // is a missing record; the record code knows.)
    char path[kPathMax];
    player_file_path(path, sizeof path);
    if (path[0] != '\0') load_player_record(player::record(), path, player_index);
    keep_player_name();
    choose_ledger();

    // The ledger code starts a player whose ledger or record is missing at
    // 0 trips today.
    save_user_context();
    load_trip_record(player_index);
    save_user_context();

    btumil(usrnum, 128);
    btuxnf(usrnum, 0, 19);
    start_menu_script();
    return 1;
}

int return_to_game() {
    std::FILE* file = open_file(kModuleList, "rt");
    if (file == nullptr) {
        show_failure("\n  Error:  IGMLIST.DAT file is missing.  Why?!\n\n");
        return 0;
    }
    const char* game = text(state::game_name);
    const size_t game_length = without_line_end(game);
    char line[kListLineChars + 1];
    // The line ends take no part in the comparison, so a list written with
    // carriage returns still finds the game; the whole name must match.
    while (read_text_line(file, line, sizeof line) >= 0) {
        const bool match =
            without_line_end(line) == game_length && same_ignoring_case(line, game, game_length);
        if (!match) {
            read_text_line(file, line, sizeof line);  // module number
            read_text_line(file, line, sizeof line);  // description
            continue;
        }
        // An entry cut off after its name gives no module number: treated as
        // no entry, never as module 0.
        if (read_text_line(file, line, sizeof line) < 0) break;
        const long number = std::strtol(line, nullptr, 10);
        set_substate(sub::kHandedBack);
        usrptr->current_module = static_cast<int32_t>(number);
        std::fclose(file);
        btuinj(usrnum, kBackToGameStatus);
        return 1;
    }
    std::fclose(file);
    prf("\n  Small error.  Couldn't find info about %s in the IGMLIST.DAT file.  Nice.\n\n", game);
    send_output();
    return 0;
}

}  // namespace zmb
