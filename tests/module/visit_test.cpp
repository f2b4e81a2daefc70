// Whole visits: a player's road from the game's hand-over back to the game,
// two players at once, and junk typed at every point of the road.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/module_fixture.h"

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

// Place 1 of the world: a name, a pause, a question, a pause Q can end.
void the_crossroads(World& world) {
    world.script(
        "A1.LOR", "Crossroads",
        {"`2The crossroads", "A1.LOR", "`2A stranger waves.", "/INPUT:Name", "`2First part done.",
         "/PAUSE", "/LABEL", "`2Left or right?", "/CHOICE:2", "/1CHOICE", "`2You go left.",
         "/GOTO:;E", "/2CHOICE", "`2You go right.", ";E", "/ANYQUIT", "`2The road goes on."});
}

TEST(Visit, FromTheHandOverBackToTheGame) {
    Visit v;
    the_crossroads(v.world);
    const auto stored = PlayerBytes().name("Ardo").gold(500).level(3);
    v.world.player("KXPVORN", 0, stored);
    Host& host = v.start();
    Player& p = host.player(1);

    p.arrive("KXPVORN", 0);
    EXPECT_THAT(p.take_text(), EndsWith("(1) The crossroads\n    (2) Place one\n    (3) Place two\n"
                                        "    (4) Place three\n    (5) Place four\n"
                                        "    (6) Place five\n\nYour Command, Ardo? : "));
    EXPECT_THAT(p.say("1"), HasSubstr("A stranger waves."));
    EXPECT_EQ(p.substate(), 2);
    EXPECT_THAT(p.say("Ardo the Bold"), HasSubstr("First part done."));
    EXPECT_EQ(p.substate(), 5);
    EXPECT_THAT(p.say(""), HasSubstr("Left or right?"));
    EXPECT_THAT(p.say("V"), HasSubstr("Location: Crossroads"));
    EXPECT_THAT(p.say(""), HasSubstr("Left or right?"));
    const std::string right = p.say("2");
    EXPECT_THAT(right, HasSubstr("You go right."));
    EXPECT_THAT(right, Not(HasSubstr("You go left.")));
    EXPECT_EQ(p.substate(), 6);
    EXPECT_THAT(p.say(""), HasSubstr("The road goes on."));
    EXPECT_EQ(p.substate(), 7);
    EXPECT_EQ(string1(p), "Ardo the Bold");
    EXPECT_EQ(v.trips_in_ledger(), 1);

    EXPECT_THAT(p.say(""), HasSubstr("You have already used 1 of your 10 trips"));
    EXPECT_EQ(p.type("x"), 1);
    host.pump();
    EXPECT_EQ(p.current_module(), host.game_module_number());
    EXPECT_EQ(p.substate(), 32000);
    ASSERT_EQ(host.game_statuses().size(), 1u);
    EXPECT_EQ(host.game_statuses()[0], std::make_pair(1, 3));
    // The record went back to the game whole, opaque bytes and all.
    EXPECT_EQ(v.world.player_record("KXPVORN", 0), stored.bytes);
}

TEST(Visit, TwoPlayersInterleavedKeepTheirOwnState) {
    Visit v;
    the_crossroads(v.world);
    v.world.player("KXPVORN", 1, PlayerBytes().name("Bryn").gold(90));
    Host& host = v.start();
    v.world.ledger_record("ZMBVIGMS.SV1", 1, 3, v.today());
    Player& a = host.player(1);
    Player& b = host.player(2);
    a.arrive("KXPVORN", 0);
    b.arrive("KXPVORN", 1);

    // Both start the same place before either slice runs.
    a.type("1");
    b.type("1");
    host.pump();
    EXPECT_EQ(a.substate(), 2);
    EXPECT_EQ(b.substate(), 2);
    a.type("Alpha");
    b.type("Beta");
    host.pump();
    EXPECT_EQ(a.substate(), 5);
    EXPECT_EQ(b.substate(), 5);
    EXPECT_EQ(string1(a), "Alpha");
    EXPECT_EQ(string1(b), "Beta");

    a.say("");  // A reaches the question; B still waits at the pause
    EXPECT_EQ(a.substate(), 2);
    EXPECT_EQ(b.substate(), 5);
    a.clear_screen();
    b.clear_screen();
    b.type("");
    a.type("1");
    host.pump();
    EXPECT_THAT(a.text(), HasSubstr("You go left."));
    EXPECT_THAT(a.text(), Not(HasSubstr("Left or right?")));
    EXPECT_THAT(b.text(), HasSubstr("Left or right?"));
    EXPECT_THAT(b.text(), Not(HasSubstr("You go")));
    EXPECT_THAT(b.say("2"), HasSubstr("You go right."));

    EXPECT_EQ(trips_used(a), 1);
    EXPECT_EQ(trips_used(b), 4);
    EXPECT_EQ(v.world.ledger_record("ZMBVIGMS.SV1", 0).first, 1);
    EXPECT_EQ(v.world.ledger_record("ZMBVIGMS.SV1", 1).first, 4);
    EXPECT_EQ(a.record().gold(), 500);
    EXPECT_EQ(b.record().gold(), 90);
    a.say("");
    b.say("");
    a.say("");
    b.say("");
    EXPECT_THAT(a.say(""), EndsWith("Your Command, Ardo? : "));
    EXPECT_THAT(b.say(""), EndsWith("Your Command, Bryn? : "));
}

// ---- junk typed wherever the player is ----

const std::string kJunkLines[] = {
    "%s%s%s%n%n%n%x",
    "`1`2``~`%`",
    std::string("\x01\x02\x1b[2J\x7f\xff\xfe|N|S1\0x", 16),
    std::string(10000, '%'),
    std::string(10000, '9'),
    "1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9",
};

TEST(Junk, AnyLineAnywhereIsDataAndBreaksNothing) {
    // Each spot is reached from the command prompt by the lines said, then
    // (for "running") a line typed without delivering the statuses.
    const struct {
        const char* name;
        std::vector<const char*> said;
        const char* typed;
        int substate;
    } spots[] = {
        {"menu", {}, nullptr, 1},
        {"input", {"1"}, nullptr, 2},
        {"pause", {"1", "x"}, nullptr, 5},
        {"choice", {"1", "x", ""}, nullptr, 2},
        {"quit pause", {"1", "x", "", "1"}, nullptr, 6},
        {"after place", {"2"}, nullptr, 7},
        {"stats", {"v"}, nullptr, 10},
        {"stats at question", {"1", "x", "", "v"}, nullptr, 11},
        {"missing script", {"i"}, nullptr, 3},
        {"running", {}, "2", 4},
        {"sysop menu", {"s"}, nullptr, 9},
        {"sysop key", {"s", "4"}, nullptr, 24},
        {"sysop trips", {"s", "5"}, nullptr, 25},
    };
    for (const auto& spot : spots) {
        for (const std::string& junk : kJunkLines) {
            SCOPED_TRACE(std::string(spot.name) + " <- " + junk.substr(0, 20));
            Visit v;
            the_crossroads(v.world);
            Host& host = v.start();
            Player& p = host.player(1);
            p.grant_key("SYSOP");
            p.arrive("KXPVORN", 0);
            for (const char* line : spot.said)
                p.say(line);
            if (spot.typed != nullptr) p.type(spot.typed);
            ASSERT_EQ(p.substate(), spot.substate);
            p.clear_screen();

            EXPECT_EQ(p.type(junk), 1);
            host.pump();
            EXPECT_THAT(p.text(), Not(HasSubstr("(null)")));
            EXPECT_EQ(p.area_text(zmb::state::player_name.at), "Ardo");
            EXPECT_LE(string1(p).size(), 25u);
            EXPECT_LE(v.trips_in_ledger(), 1);

            // Whatever happened, the player finds the way back to the game.
            for (int i = 0; i < 8 && p.substate() != 32000; ++i) {
                if (p.substate() == 9)
                    p.say("a");
                else if (p.substate() == 1 && script_file(p) == "ZMBVIGMS.TXT")
                    p.say("q");
                else if (p.substate() == 2)
                    p.say("1");
                else
                    p.say("");
            }
            EXPECT_EQ(p.substate(), 32000);
        }
    }
}

}  // namespace
}  // namespace test
