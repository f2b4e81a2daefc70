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

// Starts the module on `config`, brings a holder of `key` to the main menu
// and opens the settings menu; returns what that shows (ANSI removed).
std::string settings_seen_by(World& world, Host& host, std::string_view key) {
    world.player("KXPVORN", 0, PlayerBytes().name("Sysop"));
    host.register_game_entry();
    Player& p = host.player(1);
    p.grant_key(key);
    p.arrive();
    return p.say("S");
}

struct ConfigCase {
    const char* label;
    std::string file;
    std::string key;  // the key the module must accept
    int trips;
};

void PrintTo(const ConfigCase& c, std::ostream* os) {
    *os << c.label;
}

class ConfigFile : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigFile, IsReadIntoKeyAndClampedTrips) {
    const ConfigCase& c = GetParam();
    World world;
    world.write("ZMBVIGMS.CNF", c.file);
    Host host(world);
    const std::string screen = settings_seen_by(world, host, c.key);
    EXPECT_THAT(screen, HasSubstr(" 4)    SYSOP KEY : " + c.key + "\n"));
    EXPECT_THAT(screen, HasSubstr(" 5)    MAX TURNS : " + std::to_string(c.trips) + "\n"));
    // Reading never rewrites the file.
    EXPECT_EQ(world.read("ZMBVIGMS.CNF"), c.file);
}

const std::string kLongLine(300, 'K');

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigFile,
    ::testing::Values(ConfigCase{"Fifteen", "SYSOP\n15\n", "SYSOP", 15},
                      ConfigCase{"TwoIsRaisedToThree", "SYSOP\n2\n", "SYSOP", 3},
                      ConfigCase{"ThirtyOneIsCutToThirty", "SYSOP\n31\n", "SYSOP", 30},
                      ConfigCase{"NotANumberIsThree", "SYSOP\nabc\n", "SYSOP", 3},
                      ConfigCase{"NegativeIsThree", "SYSOP\n-4\n", "SYSOP", 3},
                      ConfigCase{"LeadingDigitsDecide", "SYSOP\n12 trips\n", "SYSOP", 12},
                      // The number is kept as a signed 16-bit value before the clamp.
                      ConfigCase{"SixteenBitWrapBeforeTheClamp", "SYSOP\n65551\n", "SYSOP", 15},
                      ConfigCase{"HugeNumberIsHeldInRange", "SYSOP\n99999999999999999999\n",
                                 "SYSOP", 3},
                      ConfigCase{"KeyOfTwentyFiveKeepsNineteen", "ABCDEFGHIJKLMNOPQRSTUVWXY\n12\n",
                                 "ABCDEFGHIJKLMNOPQRS", 12},
                      ConfigCase{"CarriageReturnLineEnds", "BOSS\r\n12\r\n", "BOSS", 12},
                      ConfigCase{"BlankAtTheEndOfTheKeyIsKept", "BOSS \n12\n", "BOSS ", 12},
                      ConfigCase{"ControlCharactersGoWhereverTheyStand",
                                 "B\x01O\tSS\x1b\n1\x07"
                                 "2\r\n",
                                 "BOSS", 12},
                      ConfigCase{"HighCharactersStayInTheKey", "\xe9t\xe9\n12\n", "\xe9t\xe9", 12},
                      ConfigCase{"MissingTripsLineIsThree", "BOSS\n", "BOSS", 3},
                      ConfigCase{"NoLineEndAtAll", "BOSS", "BOSS", 3},
                      // A line over 249 characters goes on as the next line: the trips line
                      // is then the rest of the key line, not the 7.
                      ConfigCase{"OverlongKeyLine", kLongLine + "\n7\n", std::string(19, 'K'), 3},
                      ConfigCase{"GarbageAfterABinaryNul",
                                 std::string("BOSS\0junk\x80\x81\n9\x00"
                                             "9\n",
                                             16),
                                 "BOSS", 9}),
    [](const ::testing::TestParamInfo<ConfigCase>& info) { return info.param.label; });

TEST(Config, MissingFileIsCreatedWithTheDefaults) {
    World world;
    Host host(world);
    EXPECT_EQ(world.read("ZMBVIGMS.CNF"), "SYSOP\n10\n");
    const std::string screen = settings_seen_by(world, host, "SYSOP");
    EXPECT_THAT(screen, HasSubstr(" 4)    SYSOP KEY : SYSOP\n"));
    EXPECT_THAT(screen, HasSubstr(" 5)    MAX TURNS : 10\n"));
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
