// The sysop settings menu: the screen, the two values, saving and discarding.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/module_fixture.h"

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace test {
namespace {

const std::string kSeparator = "-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=--=-=-=-=-=-=-\n";
constexpr const char* kInvalid = "That isn't a valid option. Try something else.\n";

std::string menu_text(const std::string& key, int trips, const std::string& name = "Ardo") {
    return kSeparator + " 4)    SYSOP KEY : " + key + "\n" +
           " 5)    MAX TURNS : " + std::to_string(trips) + "\n" + kSeparator +
           " X)     SAVE and EXIT!\n" + " A)     EXIT without SAVING!\n" + kSeparator +
           "Your Command, " + name + "? : ";
}

// A sysop (holder of the key SYSOP) at the command prompt.
struct AtSysopMenu : Visit {
    Player* p = nullptr;
    AtSysopMenu() {
        start();
        p = &host->player(1);
        p->grant_key("SYSOP");
        p->arrive("KXPVORN", 0);
        EXPECT_THAT(p->text(), HasSubstr("Enter S for Sysop Menu...\nYour Command, Ardo? : "));
        p->clear_screen();
        p->say("S");
        EXPECT_EQ(p->substate(), 9);
    }
};

TEST(SysopMenu, ShowsBothValuesAndThePrompt) {
    AtSysopMenu s;
    const std::string raw = s.p->screen();
    EXPECT_THAT(raw, StartsWith("\x1b[2J"));
    EXPECT_EQ(s.p->text(), menu_text("SYSOP", 10));
    EXPECT_EQ(s.p->say("?"), menu_text("SYSOP", 10));
    EXPECT_EQ(s.p->say(""), "Your Command, Ardo? : ");
    EXPECT_EQ(s.p->substate(), 9);
}

TEST(SysopMenu, OtherWordsAreRefused) {
    AtSysopMenu s;
    for (const char* line : {"7", "45", "xx", "S", "4x", "X!"}) {
        EXPECT_EQ(s.p->say(line), std::string(kInvalid) + "Your Command, Ardo? : ") << line;
        EXPECT_EQ(s.p->substate(), 9) << line;
    }
}

TEST(SysopMenu, TripsPerDayAreClampedAndActAtOnceForEveryone) {
    AtSysopMenu s;
    Player& sysop = *s.p;
    // Another player, with 11 trips used today, is too tired at 10 per day.
    s.world.ledger_record("ZMBVIGMS.SV1", 1, 11, s.today());
    Player& other = s.host->player(2);
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
    AtSysopMenu s;
    Player& p = *s.p;
    EXPECT_EQ(p.say("4"), "Key to access this menu: ");
    EXPECT_EQ(p.substate(), 24);
    EXPECT_EQ(p.say("my  key"), menu_text("my  key", 10));
    p.say("4");
    EXPECT_EQ(p.say(""), menu_text("my  key", 10));  // an empty line keeps it
    p.say("4");
    EXPECT_EQ(p.say("ABCDEFGHIJKLMNOPQRSTUVWXY"), menu_text("ABCDEFGHIJKLMNOPQRS", 10));
    // A key is data: a conversion in it is shown, not performed.
    p.say("4");
    EXPECT_EQ(p.say("%s%n%d"), menu_text("%s%n%d", 10));
}

TEST(SysopMenu, SaveWritesTheFileAndReturnsToThePlaces) {
    for (const char* save : {"X", "x"}) {
        AtSysopMenu s;
        Player& p = *s.p;
        p.say("4");
        p.say("DOOR KEY");
        p.say("5");
        p.say("15");
        EXPECT_THAT(p.say(save), HasSubstr("(1) Place one"));
        EXPECT_EQ(p.substate(), 1);
        EXPECT_EQ(s.world.read("ZMBVIGMS.CNF"), "DOOR KEY\n15\n");
        // The sysop no longer holds the key: no hint and no menu any more.
        const std::string menu = p.text();
        EXPECT_THAT(menu, HasSubstr("You have already used 0 of your 15 trips"));
        EXPECT_THAT(menu, Not(HasSubstr("for Sysop Menu")));
        EXPECT_THAT(menu, EndsWith("\nYour Command, Ardo? : "));
        EXPECT_THAT(p.say("s"), HasSubstr(kInvalid));
    }
}

TEST(SysopMenu, DiscardPutsTheFileValuesBack) {
    for (const char* discard : {"A", "a"}) {
        AtSysopMenu s;
        Player& p = *s.p;
        const std::string file = s.world.read("ZMBVIGMS.CNF");
        p.say("4");
        p.say("OTHER");
        p.say("5");
        p.say("20");
        EXPECT_THAT(p.say(discard), HasSubstr("(1) Place one"));
        EXPECT_EQ(p.substate(), 1);
        EXPECT_EQ(s.world.read("ZMBVIGMS.CNF"), file);
        EXPECT_THAT(p.text(), HasSubstr("of your 10 trips"));
        EXPECT_EQ(p.say("S"), menu_text("SYSOP", 10));
    }
}

}  // namespace
}  // namespace test
