// K-VORN, the stand-in door game: menus, the forest, and the road to and
// from the in-game modules.
#include "game/game.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <vector>

#include "game/colour.h"
#include "game/igm_list.h"
#include "game/player_file.h"
#include "include/host_interface.h"
#include "include/regular_file.h"
#include "server/host_api.h"

namespace game {
namespace {

namespace p = zmb::player;

struct Instance {
    std::string_view name;        // folder, IGMLIST.DAT name, hand-off file line 1
    std::string_view title;       // shown to players
    const char* description;      // host descriptor, at most 24 characters
    std::string_view list_entry;  // IGMLIST.DAT description line
};
constexpr std::array<Instance, kInstanceCount> kInstances = {{
    {"KXPVORN", "The Vale of Vorn", "K-VORN: Vale of Vorn", "`%K-VORN`7: The Vale of Vorn"},
    {"KXPVORN2", "The Ashen Coast", "K-VORN: Ashen Coast", "`%K-VORN`7: The Ashen Coast"},
    {"KXPVORN3", "The Northern Reach", "K-VORN: Northern Reach", "`%K-VORN`7: The Northern Reach"},
}};

std::array<module_descriptor, kInstanceCount> descriptors{};
std::array<int, kInstanceCount> module_numbers{};

// What the game keeps for one channel between calls.
struct Visit {
    int instance = -1;
    int index = -1;           // record number in PLAYER.DAT
    std::string player_name;  // the account name, which is the record's name
    uint8_t chosen_class = 0;
    PlayerRecord record;  // as last loaded or stored
    PlayerRecord before;  // as it was when the player left for a module
};
std::map<int, Visit> visits;

// ---- output: the game writes through the host's buffer like any module ----

void say(std::string_view text) {
    std::string rendered = render_colour_codes(text);
    prf("%s", rendered.c_str());
}
void send() {
    outprf(usrnum);
    clrmlt();
}

// ---- the player's record ----

// What a player of the class is called: "level 5 Mystic", not the skill's
// name ("The Mystical") that the class question offers.
const char* class_name(uint8_t c) {
    switch (c) {
        case kDeathKnight:
            return "Death Knight";
        case kMystical:
            return "Mystic";
        case kThieving:
            return "Thief";
        default:
            return "of no class";
    }
}

std::string number(long v) {
    return std::to_string(v);
}

void show_stats(const PlayerRecord& r) {
    say("\n`%" + r.name() + "`2, level `%" + number(r.get(p::level)) + " `2" +
        class_name(r.get(p::player_class)) + (r.get(p::sex) == kFemale ? " (female)" : " (male)") +
        "\n");
    say("`2  Hit points    `%" + number(r.get(p::hit_points)) + "`2 of `%" +
        number(r.get(p::max_hit_points)) + "`2   Forest fights `%" +
        number(r.get(p::forest_fights)) + "`2   Player fights `%" +
        number(r.get(p::player_fights)) + "\n");
    say("`2  Gold in hand  `%" + number(r.get(p::gold)) + "`2   In the bank `%" +
        number(r.get(p::bank)) + "`2   Experience `%" + number(r.get(p::experience)) + "\n");
    // Weapon and armour names run to 20 characters each: a line of their own
    // keeps the screen within 79 columns.
    say("`2  Weapon `%" + r.text(p::weapon_name) + "`2   Armour `%" + r.text(p::armour_name) +
        "\n");
    say("`2  Charm `%" + number(r.get(p::charm)) + "`2   Gems `%" + number(r.get(p::gems)) +
        "`2   Horse `%" + (r.get(p::horse) == 1 ? "yes" : "none") + "\n");
}

// The fields a visit to a module can change, for the welcome back.
struct Shown {
    std::string_view label;
    long (*value)(const PlayerRecord&);
    bool yes_no = false;  // shown as "yes" or "no", not as a number
};
constexpr std::array<Shown, 10> kChangeable = {{
    {"Hit points", [](const PlayerRecord& r) -> long { return r.get(p::hit_points); }},
    {"Forest fights", [](const PlayerRecord& r) -> long { return r.get(p::forest_fights); }},
    {"Gold in hand", [](const PlayerRecord& r) -> long { return r.get(p::gold); }},
    {"Gold in the bank", [](const PlayerRecord& r) -> long { return r.get(p::bank); }},
    {"Charm", [](const PlayerRecord& r) -> long { return r.get(p::charm); }},
    {"Gems", [](const PlayerRecord& r) -> long { return r.get(p::gems); }},
    {"Experience", [](const PlayerRecord& r) -> long { return r.get(p::experience); }},
    {"Level", [](const PlayerRecord& r) -> long { return r.get(p::level); }},
    {"Horse", [](const PlayerRecord& r) -> long { return r.get(p::horse); }, true},
    {"Max hit points", [](const PlayerRecord& r) -> long { return r.get(p::max_hit_points); }},
}};

void show_changes(const PlayerRecord& before, const PlayerRecord& after) {
    bool any = false;
    for (const Shown& s : kChangeable) {
        long was = s.value(before), now = s.value(after);
        if (was == now) continue;
        if (!any) say("`2Since you left:\n");
        any = true;
        auto shown = [&s](long v) { return s.yes_no ? std::string(v ? "yes" : "no") : number(v); };
        say("`2  " + std::string(s.label) + ": `7" + shown(was) + "`2 -> `%" + shown(now) + "\n");
    }
    if (!any) say("`2Nothing about you has changed.\n");
}

// Each instance's PLAYER.DAT and its name index, made when the games are
// registered and kept for the whole run.
std::vector<PlayerFile> player_files;

PlayerFile& player_file(const Visit& v) {
    return player_files[static_cast<size_t>(v.instance)];
}

void store(Visit& v) {
    if (!player_file(v).store(v.index, v.record)) {
        host_api::log("channel %d (%s): cannot store record %d of %s", usrnum,
                      v.player_name.c_str(), v.index, player_file(v).path().c_str());
    }
}

// ---- the in-game modules ----

// The modules of IGMLIST.DAT a player can travel to: every entry that is
// not one of the game's own and names a module this host has loaded under
// that name, each name once (the list keeps stale entries of older starts).
std::vector<IgmEntry> reachable_modules() {
    std::vector<IgmEntry> out;
    for (IgmEntry& e : read_igm_list()) {
        if (is_game_module(e.module_number)) continue;
        bool ours = false;
        for (const Instance& i : kInstances)
            ours = ours || same_name(e.name, i.name);
        std::optional<std::string> loaded_as = host_api::module_name(e.module_number);
        if (ours || !loaded_as || !same_name(*loaded_as, e.name)) continue;
        bool seen = false;
        for (const IgmEntry& o : out)
            seen = seen || same_name(o.name, e.name);
        if (!seen) out.push_back(std::move(e));
    }
    return out;
}

// Who is on, by name and where (never an address).
void show_callers() {
    say("`2Who is on:\n");
    for (const host_api::Caller& c : host_api::callers_on()) {
        char line[80];
        std::snprintf(line, sizeof line, "  %-20.20s ", c.name.c_str());
        say("`%" + std::string(line) + "`2" + c.where.substr(0, 55) + "\n");
    }
}

void show_menu(const Visit& v) {
    say("\n`0" + std::string(kInstances[v.instance].title) + "`2, the town square.\n");
    say("`2  (`%F`2)orest   (`%V`2)iew your stats   (`%W`2)ho is on   (`%Q`2)uit to the realm "
        "list\n");
    std::vector<IgmEntry> modules = reachable_modules();
    if (!modules.empty()) say("`2Other places:\n");
    for (size_t n = 0; n < modules.size(); ++n) {
        say("`2  (`%" + number(static_cast<long>(n + 1)) + "`2) " + modules[n].description +
            "`7\n");
    }
    say("`2Your choice, `%" + v.player_name + "`2? ");
}

// Writes the hand-off file and makes the module the user's current module;
// the user's next line reaches it as an arrival.
void hand_over(Visit& v, const IgmEntry& target) {
    char file_name[32];
    std::snprintf(file_name, sizeof file_name, "TEMP%d.TMP", usrnum);
    FILE* f = files::fopen_regular(file_name, "w");
    bool written =
        f != nullptr &&
        std::fprintf(f, "%s\n%d\n", std::string(kInstances[v.instance].name).c_str(), v.index) > 0;
    if (f != nullptr && std::fclose(f) != 0) written = false;
    if (!written) {
        host_api::log("channel %d: cannot write %s", usrnum, file_name);
        say("`4The road is blocked; try again later.\n");
        return;
    }
    v.before = v.record;
    usrptr->current_module = target.module_number;
    usrptr->substate = 0;
    host_api::log("channel %d (%s): handed over from %s to %s (module %d)", usrnum,
                  v.player_name.c_str(), std::string(kInstances[v.instance].name).c_str(),
                  target.name.c_str(), target.module_number);
    say("\n`2You set out for " + target.description + "`2.\n`7Press `%Enter`7 to arrive... ");
}

// ---- the forest ----

void forest(Visit& v) {
    PlayerRecord& r = v.record;
    if (r.get(p::forest_fights) <= 0) {
        say("`2You are too tired to fight any more today.\n");
        return;
    }
    r.set(p::forest_fights, static_cast<int16_t>(r.get(p::forest_fights) - 1));
    int level = r.get(p::level);
    if (std::rand() % 4 == 0) {
        int wound = 1 + std::rand() % 5;
        int hp = r.get(p::hit_points) - wound;
        r.set(p::hit_points, static_cast<int16_t>(hp < 1 ? 1 : hp));
        say("`4A grey wolf leaps from the ferns and bites you for " + number(wound) +
            " hit points!\n");
    } else {
        int gold = 10 * level + std::rand() % 20;
        int experience = 5 * level + std::rand() % 5;
        r.set(p::gold, r.get(p::gold) + gold);
        r.set(p::experience, r.get(p::experience) + experience);
        say("`2You cut down a bramble goblin and find `%" + number(gold) + "`2 gold. (`%" +
            number(experience) + "`2 experience)\n");
        // Every level wants 100 times its square in experience.
        if (level < 12 && r.get(p::experience) >= 100L * level * level) {
            r.set(p::level, static_cast<int16_t>(level + 1));
            r.set(p::max_hit_points, static_cast<int16_t>(r.get(p::max_hit_points) + 10));
            r.set(p::hit_points, r.get(p::max_hit_points));
            r.set(p::strength, static_cast<int16_t>(r.get(p::strength) + 2));
            say("`%You feel stronger: you are now level " + number(level + 1) + "!\n");
        }
    }
    store(v);
}

// ---- the routines the host calls ----

void ask_class() {
    say("`2Which skill draws you? (`%1`2) Death Knight, (`%2`2) The Mystical, (`%3`2) The "
        "Thieving: ");
}
void ask_sex() {
    say("`2Are you (`%M`2)ale or (`%F`2)emale? [M] ");
}

void create_player(Visit& v, uint8_t sex) {
    PlayerFile& file = player_file(v);
    v.record = new_player(v.player_name, v.chosen_class, sex);
    v.index = file.append(v.record);
    if (v.index < 0) {
        host_api::log("channel %d (%s): cannot add a record to %s", usrnum, v.player_name.c_str(),
                      file.path().c_str());
        say("`4The town clerk has run out of parchment. Come back later.\n");
        usrptr->current_module = 0;
        usrptr->substate = 0;
        return;
    }
    host_api::log("channel %d (%s): new player in %s (record %d)", usrnum, v.player_name.c_str(),
                  std::string(kInstances[v.instance].name).c_str(), v.index);
    say("`2The town clerk writes your name in the great book.\n");
    show_stats(v.record);
    usrptr->substate = kAtMenu;
    show_menu(v);
}

int game_input(int instance) {
    Visit& v = visits[usrnum];
    if (v.instance != instance) {  // not entered through enter(): send the user back
        usrptr->current_module = 0;
        return 1;
    }
    std::string_view word = margc > 0 ? margv[0] : "";
    switch (usrptr->substate) {
        case kAskClass:
            if (word.size() == 1 && word[0] >= '1' && word[0] <= '3') {
                v.chosen_class = static_cast<uint8_t>(word[0] - '0');
                usrptr->substate = kAskSex;
                ask_sex();
            } else {
                ask_class();
            }
            break;
        case kAskSex:
            if (word.empty() || same_name(word, "M") || same_name(word, "F")) {
                create_player(v, same_name(word, "F") ? kFemale : kMale);
            } else {
                ask_sex();
            }
            break;
        default: {
            usrptr->substate = kAtMenu;
            std::vector<IgmEntry> modules = reachable_modules();
            int choice = std::atoi(std::string(word).c_str());
            if (same_name(word, "Q")) {
                say("`2You leave " + std::string(kInstances[instance].title) + ".\n");
                usrptr->current_module = 0;
                usrptr->substate = 0;
                send();
                return 1;
            }
            if (same_name(word, "F")) {
                forest(v);
            } else if (same_name(word, "V")) {
                show_stats(v.record);
            } else if (same_name(word, "W")) {
                show_callers();
            } else if (choice >= 1 && choice <= static_cast<int>(modules.size()) &&
                       word == std::to_string(choice)) {
                hand_over(v, modules[choice - 1]);
                if (usrptr->substate == 0) break;  // on the road: no menu
            } else if (!word.empty()) {
                say("`8That is not a choice here.\n");
            }
            show_menu(v);
        }
    }
    send();
    return 1;
}

void game_status(int instance) {
    auto found = visits.find(usrnum);
    if (status != 3 || usrptr->substate != kHandedBack || found == visits.end() ||
        found->second.instance != instance) {
        dfsthn();
        return;
    }
    Visit& v = found->second;
    usrptr->substate = kAtMenu;
    host_api::end_input_limit(usrnum);  // the module's limit (btumil) ends with its visit
    host_api::log("channel %d (%s): handed back to %s", usrnum, v.player_name.c_str(),
                  std::string(kInstances[instance].name).c_str());
    say("\n`2Welcome back to `0" + std::string(kInstances[instance].title) + "`2!\n");
    if (player_file(v).load(v.index, v.record)) {
        show_changes(v.before, v.record);
    } else {
        say("`4Your record could not be read again; you carry on as you left.\n");
        v.record = v.before;
    }
    show_stats(v.record);
    show_menu(v);
    send();
}

template <int I>
int input_of() {
    return game_input(I);
}
template <int I>
void status_of() {
    game_status(I);
}
void finish() {}

constexpr std::array<int (*)(), kInstanceCount> kInputs = {&input_of<0>, &input_of<1>,
                                                           &input_of<2>};
constexpr std::array<void (*)(), kInstanceCount> kStatuses = {&status_of<0>, &status_of<1>,
                                                              &status_of<2>};

}  // namespace

bool register_games(const std::vector<std::string>& modules_to_come, std::string* error) {
    std::vector<IgmEntry> entries;
    player_files.clear();
    for (int i = 0; i < kInstanceCount; ++i) {
        std::string name(kInstances[i].name);
        PlayerFile& file = player_files.emplace_back(name);
        if (!file.create_if_missing()) {
            if (error) {
                *error = files::present_but_not_regular(file.path().c_str())
                             ? file.path() + " is not a regular file"
                             : "cannot make " + file.path();
            }
            return false;
        }
        file.build_index();
        module_descriptor& d = descriptors[i];
        stzcpy(d.description, kInstances[i].description, sizeof d.description);
        d.input = kInputs[i];
        d.status = kStatuses[i];
        d.finish = &finish;
        module_numbers[i] = host_api::add_builtin_module(&d, name);
        entries.push_back({name, module_numbers[i], std::string(kInstances[i].list_entry)});
    }
    int dropped = 0;
    if (!replace_igm_entries(entries, modules_to_come, &dropped, error)) return false;
    if (dropped > 0) {
        host_api::log("%s: dropped %d line(s) of an entry cut off at its end", kIgmListFile,
                      dropped);
    }
    return true;
}

std::string_view instance_name(int instance) {
    return kInstances[instance].name;
}
std::string_view instance_title(int instance) {
    return kInstances[instance].title;
}
int instance_module(int instance) {
    return module_numbers[instance];
}

bool is_game_module(int module_number) {
    for (int n : module_numbers) {
        if (n == module_number && n > 0) return true;
    }
    return false;
}

void enter(int channel, int instance, std::string_view player_name) {
    host_api::act_for_channel(channel);
    Visit& v = visits[channel];
    v = Visit{};
    v.instance = instance;
    v.player_name = std::string(player_name);
    usrptr->current_module = module_numbers[instance];
    say("\n`0" + std::string(kInstances[instance].title) + "\n");
    PlayerFile& file = player_file(v);
    v.index = file.find(player_name);
    if (v.index >= 0 && file.load(v.index, v.record)) {
        say("`2The gate guard nods: welcome back, `%" + v.player_name + "`2.\n");
        show_stats(v.record);
        usrptr->substate = kAtMenu;
        show_menu(v);
    } else {
        say("`2A stranger! The town clerk looks up from the great book.\n");
        usrptr->substate = kAskClass;
        ask_class();
    }
    send();
}

bool awaiting_hand_back(int channel) {
    if (channel < 0 || channel >= host_api::channel_count()) return false;
    const host_user& user = host_api::user_of(channel);
    return is_game_module(user.current_module) && user.substate == kHandedBack;
}

void take_back(int channel) {
    host_api::act_for_channel(channel);
    host_api::end_input_limit(channel);  // the module's limit (btumil) ends with its visit
    auto found = visits.find(channel);
    if (found == visits.end() || found->second.instance < 0) {
        usrptr->current_module = 0;
        usrptr->substate = 0;
        return;
    }
    Visit& v = found->second;
    usrptr->current_module = module_numbers[v.instance];
    usrptr->substate = kAtMenu;
    host_api::log("channel %d (%s): given back to %s", channel, v.player_name.c_str(),
                  std::string(kInstances[v.instance].name).c_str());
    say("\n`2You find yourself back in `0" + std::string(kInstances[v.instance].title) + "`2.\n");
    player_file(v).load(v.index, v.record);
    show_menu(v);
    send();
}

void forget(int channel) {
    visits.erase(channel);
}

}  // namespace game
