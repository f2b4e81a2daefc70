// A player handed over by the game: the hand-off file, the record, the
// ledger, the menu; and the hand-back through IGMLIST.DAT.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "server/core/host_core.h"
#include "tests/support/module_fixture.h"

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

using zmb::state::game_name;
using zmb::state::ledger_file;
using zmb::state::player_index;
using zmb::state::player_name;

constexpr const char* kNoHandOff =
    "\n  Error:  Could not find TEMP2.TMP to get player info.\n"
    "  This module cannot be run directly, K-VORN must call it.\n"
    "  K-VORN V1.22+ contains an IGM Manager internally, use it to install this!\n\n";

// Makes the module the user's current module in sub-state 0 without
// writing a hand-off file of the test host's own.
void arrive_with(Host& host, Player& p, World& world, const std::string& handoff) {
    world.write("TEMP" + std::to_string(p.channel()) + ".TMP", handoff);
    p.set_current_module(host.module_number());
    p.set_substate(0);
    EXPECT_EQ(p.type("whatever was typed"), 1);
    host.pump();
}

// ---- the arrival ----

TEST(Arrival, LoadsTheNamedRecordOfTheNamedGameAndShowsTheMenu) {
    Visit v;
    v.world.player("KXPVORN2", 6, PlayerBytes().name("Sixth").gold(6));
    v.world.player("KXPVORN2", 7, PlayerBytes().name("Seventh").gold(1234).gems(3));
    v.world.player("KXPVORN2", 8, PlayerBytes().name("Eighth").gold(8));
    Host& host = v.start();
    Player& p = host.player(5);
    const int btumil_before = host::counters().btumil;
    const int btuxnf_before = host::counters().btuxnf;

    p.hand_over("KXPVORN2", 7);
    ASSERT_TRUE(v.world.exists("TEMP5.TMP"));
    EXPECT_EQ(p.type(""), 1);
    host.pump();

    EXPECT_FALSE(v.world.exists("TEMP5.TMP"));
    EXPECT_EQ(p.area_text(game_name.at), "KXPVORN2\n");
    EXPECT_EQ(p.area_i16(player_index.at), 7);
    EXPECT_EQ(p.area_text(ledger_file.at), "ZMBVIGMS.SV2");
    EXPECT_EQ(p.area_text(player_name.at), "Seventh");
    // Record 7 is bytes 1736..1983 of the file, every opaque byte included.
    const auto file = v.world.read("KXPVORN2/PLAYER.DAT");
    ASSERT_GE(file.size(), 1984u);
    EXPECT_EQ(std::memcmp(p.area(), file.data() + 1736, 248), 0);
    EXPECT_EQ(p.record().gold(), 1234);

    EXPECT_EQ(host::counters().btumil, btumil_before + 1);
    EXPECT_EQ(host::counters().btuxnf, btuxnf_before + 1);
    EXPECT_EQ(script_file(p), "ZMBVIGMS.TXT");
    EXPECT_EQ(p.substate(), 1);
    const std::string screen = p.text();
    EXPECT_THAT(screen, HasSubstr("Far Reaches"));
    EXPECT_THAT(screen, HasSubstr("(1) Place one"));
    EXPECT_THAT(screen, EndsWith("Your Command, Seventh? : "));
}

TEST(Arrival, ChoosesTheLedgerFromTheGameNameIgnoringCase) {
    Visit v;
    Host& host = v.start();
    struct Case {
        int channel;
        const char* game;
        const char* ledger;
    };
    const Case cases[] = {{1, "KXPVORN", "ZMBVIGMS.SV1"},
                          {2, "kxpvorn2", "ZMBVIGMS.SV2"},
                          {3, "kxpvorn3", "ZMBVIGMS.SV3"},
                          {4, "MYGAME", "OOO.DAT"},
                          {6, "XKXPVORN", "ZMBVIGMS.SV1"}};
    for (const Case& c : cases) {
        Player& p = host.player(c.channel);
        p.arrive(c.game, 0);
        EXPECT_EQ(p.area_text(ledger_file.at), c.ledger) << c.game;
        EXPECT_EQ(p.substate(), 1) << c.game;
    }
    // A player of an unknown game finds no ledger made for it and no error.
    EXPECT_FALSE(v.world.exists("OOO.DAT"));
    EXPECT_THAT(host.player(4).text(), Not(HasSubstr("rror")));
    EXPECT_EQ(trips_used(host.player(4)), 0);
}

TEST(Arrival, WithoutHandOffFileShowsTheThreeLinesAndGivesTheUserUp) {
    Visit v;
    Host& host = v.start();
    Player& p = host.player(2);
    p.set_current_module(host.module_number());
    p.set_area_text(player_name.at, player_name.size, "Earlier");
    p.set_substate(0);

    EXPECT_EQ(p.type(""), 0);
    EXPECT_EQ(host.pending(), 0u);
    EXPECT_EQ(p.screen(), kNoHandOff);
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(p.area_text(player_name.at), "Earlier");  // nothing saved
}

TEST(Arrival, NameIsCutAtItsLengthAtANulAndAtTwentyCharacters) {
    Visit v;
    // The bytes after a name are not NUL in the test records, so only the
    // length stops the first one.
    v.world.player("KXPVORN", 1, PlayerBytes().name("Ardos").name_length(3));
    v.world.player("KXPVORN", 2, PlayerBytes().name(std::string("Bo\0bby", 6)));
    v.world.player("KXPVORN", 3, PlayerBytes().name("Abcdefghijklmnopqrstuvwxyz").name_length(26));
    v.world.player("KXPVORN", 4, PlayerBytes().name("Zed").name_length(0));
    Host& host = v.start();
    const char* expected[] = {"", "Ard", "Bo", "Abcdefghijklmnopqrst", ""};
    for (int index = 1; index <= 4; ++index) {
        Player& p = host.player(index);
        p.arrive("KXPVORN", index);
        EXPECT_EQ(p.area_text(player_name.at), expected[index]) << index;
    }
    EXPECT_THAT(host.player(3).text(), HasSubstr("Your Command, Abcdefghijklmnopqrst? : "));
}

TEST(Arrival, MissingRecordNeverShowsTheUserHandledBefore) {
    Visit v;
    v.world.player("KXPVORN", 0, PlayerBytes().name("Ardo").gold(777).gems(9));
    Host& host = v.start();
    Player& first = host.player(1);
    first.arrive("KXPVORN", 0);
    ASSERT_EQ(first.record().gold(), 777);

    // Past the end of the file, a negative index, and a game with no folder.
    Player& past = host.player(2);
    past.arrive("KXPVORN", 40);
    Player& negative = host.player(3);
    negative.arrive("KXPVORN", -1);
    Player& nowhere = host.player(4);
    nowhere.arrive("NOGAME", 0);
    for (Player* p : {&past, &negative, &nowhere}) {
        EXPECT_EQ(p->record().gold(), 0) << p->channel();
        EXPECT_EQ(p->record().gems(), 0) << p->channel();
        EXPECT_EQ(p->area_text(player_name.at), "") << p->channel();
        EXPECT_EQ(p->substate(), 1) << p->channel();
    }
    EXPECT_EQ(negative.area_i16(player_index.at), -1);
    EXPECT_FALSE(v.world.exists("NOGAME"));
    // The record of the player who was there is untouched.
    EXPECT_EQ(PlayerView{v.world.player_record("KXPVORN", 0).data()}.gold(), 777);
}

// The game's folder is one folder of the world: a name that climbs out or
// reaches into another folder names no player file, for the load and the
// store alike.
TEST(Arrival, GameNamesThatAreNoFolderOfTheWorldLoadAndStoreNothing) {
    Visit v;
    v.world.player("A/B", 0, PlayerBytes().name("Deep").gold(42));
    Host& host = v.start();
    Player& p = host.player(1);
    arrive_with(host, p, v.world, "A\\B\n0\n");
    EXPECT_EQ(p.record().gold(), 0);
    arrive_with(host, p, v.world, "..\n0\n");
    EXPECT_EQ(p.record().gold(), 0);
    EXPECT_EQ(PlayerView{v.world.player_record("A/B", 0).data()}.gold(), 42);
}

TEST(Arrival, DamagedHandOffFilesAreReadAsFarAsTheyGo) {
    Visit v;
    v.world.player("KXPVORN2", 0, PlayerBytes().name("Zero"));
    v.world.player("KXPVORN2", 3, PlayerBytes().name("Three"));
    Host& host = v.start();
    const struct {
        const char* rule;
        std::string handoff, game;
        int16_t index;
        const char* name;
    } cases[] = {
        {"no index line", "KXPVORN2\n", "KXPVORN2\n", 0, "Zero"},
        {"an index in words", "KXPVORN2\nthree\n", "KXPVORN2\n", 0, "Zero"},
        {"a name line without its line feed", "KXPVORN2", "KXPVORN2\n", 0, "Zero"},
        {"carriage returns", "KXPVORN2\r\n3\r\n", "KXPVORN2\n", 3, "Three"},
        // An over-long name cannot spill into the number or pass for a real game.
        {"an over-long name", "KXPVORN2" + std::string(300, 'Q') + "\n3\n", "KXPVORN2Q", 3, ""},
    };
    int channel = 0;  // a fresh channel each: nothing left over from the case before
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        Player& p = host.player(++channel);
        arrive_with(host, p, v.world, c.handoff);
        EXPECT_EQ(p.area_text(game_name.at), c.game);
        EXPECT_EQ(p.area_i16(player_index.at), c.index);
        EXPECT_EQ(p.area_text(player_name.at), c.name);
        EXPECT_EQ(p.substate(), 1);
    }

    // A number line of thousands of digits is converted, not overflowed.
    Player& long_number = host.player(6);
    arrive_with(host, long_number, v.world, "KXPVORN2\n" + std::string(5000, '9') + "\n");
    EXPECT_EQ(long_number.substate(), 1);
    EXPECT_FALSE(v.world.exists("TEMP6.TMP"));

    // An empty name names no game: no record, no ledger, still the menu.
    Player& nameless = host.player(7);
    arrive_with(host, nameless, v.world, "\n3\n");
    EXPECT_EQ(nameless.area_text(game_name.at), "\n");
    EXPECT_EQ(nameless.area_text(ledger_file.at), "OOO.DAT");
    EXPECT_EQ(nameless.area_text(player_name.at), "");
    EXPECT_EQ(nameless.substate(), 1);
}

// ---- the hand-back ----

TEST(HandBack, FindsTheGameAfterThisModulesEntryAndTheFirstOfTwoWins) {
    Visit v;
    Host& host = v.start();  // IGMLIST.DAT: ZMB_VORN's entry, then KXPVORN's
    v.world.append("IGMLIST.DAT", "KXPVORN2\n55\nAnother game\nKXPVORN\n66\nA second entry\n");
    const std::string list = v.world.read("IGMLIST.DAT");
    ASSERT_EQ(list.find("ZMB_VORN\n"), 0u);

    Player& p = host.player(1);
    p.arrive("KXPVORN", 0);
    p.clear_screen();
    EXPECT_EQ(p.type("q"), 1);
    EXPECT_EQ(p.substate(), 32000);
    EXPECT_EQ(p.current_module(), host.game_module_number());
    host.pump();
    ASSERT_EQ(host.game_statuses().size(), 1u);
    EXPECT_EQ(host.game_statuses()[0], std::make_pair(1, 3));
    EXPECT_EQ(p.text(), "");
}

TEST(HandBack, GameOnlyInALaterEntryNameIsNotTakenForAnotherName) {
    Visit v;
    Host& host = v.start();
    // An entry whose description reads like the game's name is skipped whole.
    v.world.write("IGMLIST.DAT", "ZMB_VORN\n9\nKXPVORN3\nKXPVORN33\n44\nKXPVORN3\nKXPVORN3\n" +
                                     std::to_string(host.game_module_number()) + "\nThe game\n");
    Player& p = host.player(1);
    p.arrive("kxpvorn3", 0);
    EXPECT_EQ(p.type("X"), 1);
    EXPECT_EQ(p.current_module(), host.game_module_number());
}

TEST(HandBack, MissingListOrEntryKeepsTheUserAndSaysWhy) {
    Visit v;
    Host& host = v.start();
    Player& p = host.player(1);
    p.arrive("KXPVORN2", 0);  // the list names only KXPVORN
    p.clear_screen();
    EXPECT_EQ(p.type("Q"), 0);
    EXPECT_EQ(p.screen(),
              "\n  Small error.  Couldn't find info about KXPVORN2\n in the IGMLIST.DAT file.  "
              "Nice.\n\n");
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(p.current_module(), host.module_number());

    v.world.remove("IGMLIST.DAT");
    p.clear_screen();
    EXPECT_EQ(p.type("R"), 0);
    EXPECT_EQ(p.screen(), "\n  Error:  IGMLIST.DAT file is missing.  Why?!\n\n");
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(p.current_module(), host.module_number());
    EXPECT_TRUE(host.game_statuses().empty());

    // An entry cut off after its name gives no module number.
    v.world.write("IGMLIST.DAT", "KXPVORN2\n");
    EXPECT_EQ(p.type("X"), 0);
    EXPECT_EQ(p.current_module(), host.module_number());
}

TEST(HandBack, PlayerWhoComesBackArrivesAfresh) {
    Visit v;
    Host& host = v.start();
    Player& p = host.player(1);
    p.arrive("KXPVORN", 0);
    p.say("2");
    ASSERT_EQ(trips_used(p), 1);
    p.say("");  // the end of the place
    EXPECT_EQ(p.type("Q"), 1);

    p.clear_screen();
    p.arrive("KXPVORN", 0);
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(script_file(p), "ZMBVIGMS.TXT");
    EXPECT_EQ(trips_used(p), 1);
    EXPECT_THAT(p.text(), HasSubstr("You have already used 1 of your 10 trips"));
}

}  // namespace
}  // namespace test
