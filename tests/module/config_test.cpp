// ZMBVIGMS.CNF as the module reads it at start-up, seen the way a sysop
// sees it: the settings menu shows the key it accepted and the trips per day.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/session.h"

using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

namespace test {
namespace {

// Starts the module, brings a holder of `key` to the main menu and opens the
// settings menu; returns all shown since arrival (ANSI removed).
std::string settings_seen_by(World& world, Host& host, std::string_view key) {
    world.player("KXPVORN", 0, PlayerBytes().name("Sysop"));
    host.register_game_entry();
    Player& p = host.player(1);
    p.grant_key(key);
    p.arrive();
    p.say("S");
    return p.text();
}

TEST(Config, IsReadIntoKeyAndClampedTrips) {
    const struct {
        std::string file, key;  // the key the module must accept
        int trips;
    } cases[] = {
        {"SYSOP\n15\n", "SYSOP", 15},
        {"SYSOP\n2\n", "SYSOP", 3},
        {"SYSOP\n31\n", "SYSOP", 30},
        {"SYSOP\nabc\n", "SYSOP", 3},
        {"SYSOP\n-4\n", "SYSOP", 3},
        {"SYSOP\n12 trips\n", "SYSOP", 12},
        {"SYSOP\n65551\n", "SYSOP", 15},  // held as a signed 16-bit value before the clamp
        {"SYSOP\n99999999999999999999\n", "SYSOP", 3},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY\n12\n", "ABCDEFGHIJKLMNOPQRS", 12},
        {"BOSS\r\n12\r\n", "BOSS", 12},
        {"BOSS \n12\n", "BOSS ", 12},
        {"B\x01O\tSS\x1b\n1\a2\r\n", "BOSS", 12},  // control characters go wherever they stand
        {"\xe9t\xe9\n12\n", "\xe9t\xe9", 12},
        {"BOSS\n", "BOSS", 3},
        {"BOSS", "BOSS", 3},
        // A line over 249 characters goes on as the next: the trips line is its rest, not the 7.
        {std::string(300, 'K') + "\n7\n", std::string(19, 'K'), 3},
        {std::string("BOSS\0junk\x80\x81\n9\09\n", 16), "BOSS", 9},
    };
    for (const auto& c : cases) {
        World world;
        world.write("ZMBVIGMS.CNF", c.file);
        Host host(world);
        const std::string screen = settings_seen_by(world, host, c.key);
        EXPECT_THAT(screen, HasSubstr("Enter S for Sysop Menu...\n")) << c.file;  // the hint too
        EXPECT_THAT(screen, HasSubstr(" 4)    SYSOP KEY : " + c.key + "\n")) << c.file;
        EXPECT_THAT(screen, HasSubstr(" 5)    MAX TURNS : " + std::to_string(c.trips) + "\n"));
        EXPECT_EQ(world.read("ZMBVIGMS.CNF"), c.file);  // reading never rewrites the file
    }
}

TEST(Config, SavingWritesTheSettingsInForceAsTwoLines) {
    World world;
    world.write("ZMBVIGMS.CNF", "BOSS\r\n50\r\n");
    Host host(world);
    settings_seen_by(world, host, "BOSS");
    host.player(1).say("X");
    EXPECT_EQ(world.read("ZMBVIGMS.CNF"), "BOSS\n30\n");
}

// A settings file gone when the menu rereads it, or a folder where a save
// would write it, stops the host.
TEST(ConfigDeath, AMissingOrUnwritableFileStopsTheHost) {
    for (const auto& [typed, message] :
         {std::pair{"A", "ZMBVIGMS.CNF was not found.!"},
          std::pair{"X", "ZMBVIGMS.CNF could not be opened for CNF saving!"}}) {
        World world;
        Host host(world);
        settings_seen_by(world, host, "SYSOP");
        world.remove("ZMBVIGMS.CNF");
        if (typed[0] == 'X') world.mkdir("ZMBVIGMS.CNF");
        EXPECT_EXIT(host.player(1).say(typed), ExitedWithCode(70), message);
    }
}

}  // namespace
}  // namespace test
