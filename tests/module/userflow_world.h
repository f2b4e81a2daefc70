// A small world for whole-visit scenarios: five places P1.LOR..P5.LOR on
// the menu (in that order), the player Ardo at record 0 of KXPVORN, a fixed
// clock and the stand-in game's IGMLIST.DAT entry.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "module/data/context.h"
#include "tests/support/session.h"

namespace test {

inline constexpr std::time_t kClock = 1700000000;  // a fixed mid-November day

// Place n shows "You reach place n." and ends.
inline void five_places(World& world) {
    world.script("P1.LOR", "One", {"`2Place one", "P1.LOR", "`2You reach place 1."});
    world.script("P2.LOR", "Two", {"`2Place two", "P2.LOR", "`2You reach place 2."});
    world.script("P3.LOR", "Three", {"`2Place three", "P3.LOR", "`2You reach place 3."});
    world.script("P4.LOR", "Four", {"`2Place four", "P4.LOR", "`2You reach place 4."});
    world.script("P5.LOR", "Five", {"`2Place five", "P5.LOR", "`2You reach place 5."});
}

struct Visit {
    World world;
    std::unique_ptr<Host> host;

    Visit() {
        set_time(kClock);
        five_places(world);
        world.player("KXPVORN", 0, PlayerBytes().name("Ardo").gold(500));
    }
    // Loads the module (its start-up writes the menu and the ledgers) and
    // registers the game's entry after the module's own.
    Host& start() {
        host = std::make_unique<Host>(world);
        host->register_game_entry("KXPVORN");
        return *host;
    }
    // The day value the module uses today: a fresh ledger holds it.
    uint16_t today() const { return world.ledger_record("ZMBVIGMS.SV3", 499).second; }
    int16_t trips_in_ledger(int index = 0) const {
        return world.ledger_record("ZMBVIGMS.SV1", index).first;
    }
};

inline int16_t trips_used(const Player& p) {
    return p.area_i16(zmb::trip::trips_used.at);
}
inline std::string script_file(const Player& p) {
    return p.area_text(zmb::state::script_file.at);
}
inline std::string string1(const Player& p) {
    return p.area_text(zmb::state::string(1).at);
}

// Counts the occurrences of needle in text.
inline int count_of(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

}  // namespace test
