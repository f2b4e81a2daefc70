// The sysop settings: ZMBVIGMS.CNF as the module reads it at start-up, the
// settings menu that shows the key and the trips per day, takes new ones,
// and saves or discards them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/module_fixture.h"

using ::testing::EndsWith;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace test {
namespace {

const std::string kSeparator = "-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=--=-=-=-=-=-=-\n";
constexpr const char* kInvalid = "That isn't a valid option. Try something else.\n";

std::string menu_text(const std::string& key, int trips) {
    return kSeparator + " 4)    SYSOP KEY : " + key + "\n" +
           " 5)    MAX TURNS : " + std::to_string(trips) + "\n" + kSeparator +
           " X)     SAVE and EXIT!\n" + " A)     EXIT without SAVING!\n" + kSeparator +
           "Your Command, Ardo? : ";
}

// A holder of the key SYSOP in the settings menu.
Player& at_sysop_menu(Visit& v) {
    Player& p = v.at_menu(0, "SYSOP");
    p.say("S");
    EXPECT_EQ(p.substate(), 9);
    return p;
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
        Visit v;
        v.world.write("ZMBVIGMS.CNF", c.file);
        Player& p = v.at_menu(0, c.key);
        EXPECT_THAT(p.say("?"), EndsWith("Enter S for Sysop Menu...\nYour Command, Ardo? : "));
        EXPECT_EQ(p.say("S"), menu_text(c.key, c.trips)) << c.file;
        EXPECT_EQ(v.world.read("ZMBVIGMS.CNF"), c.file);  // reading never rewrites the file
    }
}

// A settings file gone when the menu rereads it, or a folder where a save
// would write it, stops the host.
TEST(ConfigDeath, AMissingOrUnwritableFileStopsTheHost) {
    for (const auto& [typed, message] :
         {std::pair{"A", "ZMBVIGMS.CNF was not found.!"},
          std::pair{"X", "ZMBVIGMS.CNF could not be opened for CNF saving!"}}) {
        Visit v;
        Player& p = at_sysop_menu(v);
        v.world.remove("ZMBVIGMS.CNF");
        if (typed[0] == 'X') v.world.mkdir("ZMBVIGMS.CNF");
        EXPECT_EXIT(p.say(typed), ExitedWithCode(70), message);
    }
}

TEST(SysopMenu, ShowsBothValuesTakesAKeyAndRefusesOtherWords) {
    Visit v;
    Player& p = at_sysop_menu(v);
    EXPECT_THAT(p.screen(), StartsWith("\x1b[2J"));
    EXPECT_EQ(p.text(), menu_text("SYSOP", 10));
    EXPECT_EQ(p.say("?"), menu_text("SYSOP", 10));
    EXPECT_EQ(p.say(""), "Your Command, Ardo? : ");  // no sysop hint here
    for (const char* line : {"7", "45", "xx", "S", "4x", "X!"}) {
        EXPECT_EQ(p.say(line), std::string(kInvalid) + "Your Command, Ardo? : ") << line;
        EXPECT_EQ(p.substate(), 9) << line;
    }
    // A key keeps blanks and 19 characters; an empty line keeps the key.
    const std::pair<const char*, const char*> typed[] = {
        {"my  key", "my  key"},
        {"", "my  key"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY", "ABCDEFGHIJKLMNOPQRS"},
        {"%s%n%d", "%s%n%d"},  // a key is data, never a format
    };
    for (const auto& [line, key] : typed) {
        EXPECT_EQ(p.say("4"), "Key to access this menu: ");
        EXPECT_THAT(p.screen(), EndsWith("Key to access this menu: \x1b[0;36;40m"));
        EXPECT_EQ(p.substate(), 24);
        EXPECT_EQ(p.say(line), menu_text(key, 10)) << line;
    }
}

TEST(SysopMenu, TripsPerDayAreClampedAndActAtOnceForEveryone) {
    Visit v;
    Player& sysop = at_sysop_menu(v);
    // Another player, with 11 trips used today, is too tired at 10 per day.
    v.world.ledger_record("ZMBVIGMS.SV1", 1, 11, v.today());
    Player& other = v.host->player(2);
    other.arrive("KXPVORN", 1);
    EXPECT_THAT(other.say("1"), HasSubstr("too tired"));

    EXPECT_EQ(sysop.say("5"), "Allow how many IGM Trips per day? From 3 to 30: ");
    EXPECT_EQ(sysop.substate(), 25);
    EXPECT_EQ(sysop.say("12"), menu_text("SYSOP", 12));
    EXPECT_EQ(sysop.substate(), 9);
    EXPECT_THAT(other.say("1"), HasSubstr("You reach place 1."));

    const std::pair<const char*, int> typed[] = {{"2", 3}, {"45", 30}, {"123", 12}, {"9x", 9},
                                                 {"", 9},  {"abc", 3}, {"-4", 3},   {"30", 30},
                                                 {"3", 3}, {" 7", 7}};
    for (const auto& [line, trips] : typed) {
        sysop.say("5");
        EXPECT_EQ(sysop.say(line), menu_text("SYSOP", trips)) << "'" << line << "'";
    }
}

// X saves the settings in force as two lines and A puts the file's values
// back, in either case; both return to the places.
TEST(SysopMenu, SaveWritesTheFileDiscardPutsTheFileValuesBack) {
    for (const char* leave : {"X", "x", "A", "a"}) {
        const bool save = leave[0] == 'X' || leave[0] == 'x';
        Visit v;
        Player& p = at_sysop_menu(v);
        const std::string file = v.world.read("ZMBVIGMS.CNF");
        p.say("4");
        p.say("DOOR KEY");
        p.say("5");
        p.say("15");
        EXPECT_THAT(p.say(leave), HasSubstr("(1) Place one")) << leave;
        EXPECT_EQ(p.substate(), 1);
        EXPECT_EQ(v.world.read("ZMBVIGMS.CNF"), save ? "DOOR KEY\n15\n" : file) << leave;
        const std::string menu = p.text();
        EXPECT_THAT(menu, HasSubstr(save ? "of your 15 trips" : "of your 10 trips")) << leave;
        // After a save the sysop no longer holds the key: no hint, no menu.
        EXPECT_EQ(menu.find("for Sysop Menu") != std::string::npos, !save) << leave;
        EXPECT_EQ(p.say("S").find(kInvalid) != std::string::npos, save) << leave;
    }
}

}  // namespace
}  // namespace test
