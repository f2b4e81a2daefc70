// The sysop settings menu: the screen, the two values, saving and discarding.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/module_fixture.h"

using ::testing::EndsWith;
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

TEST(SysopMenu, ShowsBothValuesAndRefusesOtherWords) {
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

TEST(SysopMenu, KeyKeepsBlanksAndNineteenCharacters) {
    Visit v;
    Player& p = at_sysop_menu(v);
    const std::pair<const char*, const char*> typed[] = {
        {"my  key", "my  key"},
        {"", "my  key"},  // an empty line keeps it
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

// X saves and A discards, in either case; both return to the places.
TEST(SysopMenu, SaveWritesTheFileDiscardPutsTheFileValuesBack) {
    for (const char* leave : {"X", "x", "A", "a"}) {
        SCOPED_TRACE(leave);
        const bool save = leave[0] == 'X' || leave[0] == 'x';
        Visit v;
        Player& p = at_sysop_menu(v);
        const std::string file = v.world.read("ZMBVIGMS.CNF");
        p.say("4");
        p.say("DOOR KEY");
        p.say("5");
        p.say("15");
        EXPECT_THAT(p.say(leave), HasSubstr("(1) Place one"));
        EXPECT_EQ(p.substate(), 1);
        EXPECT_EQ(v.world.read("ZMBVIGMS.CNF"), save ? "DOOR KEY\n15\n" : file);
        const std::string menu = p.text();
        EXPECT_THAT(menu, HasSubstr(save ? "of your 15 trips" : "of your 10 trips"));
        // After a save the sysop no longer holds the key: no hint, no menu.
        EXPECT_EQ(menu.find("for Sysop Menu") != std::string::npos, !save);
        EXPECT_EQ(p.say("S").find(kInvalid) != std::string::npos, save);
    }
}

}  // namespace
}  // namespace test
