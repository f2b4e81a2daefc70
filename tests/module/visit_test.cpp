// Whole visits from the game's hand-over: the menu, answers and pauses, the
// hand-back, junk typed anywhere, and the daily trip ledgers.
#include <cstring>
#include <vector>

#include "tests/support/session.h"

namespace test {
namespace {

// Places 1 and 2 before the five of every Visit: a crossroads (a name, a
// pause, a question, a pause Q can end) and a quiz of three answers.
void roads(World& world) {
    world.script(
        "A1.LOR", "Crossroads",
        {"`2The crossroads", "A1.LOR", "`2A stranger waves.", "/INPUT:Name", "`2First part done.",
         "/PAUSE", "/LABEL", "`2Left or right?", "/CHOICE:2", "/1CHOICE", "`2You go left.",
         "/GOTO:;E", "/2CHOICE", "`2You go right.", ";E", "/ANYQUIT", "`2The road goes on."});
    world.script("A2.LOR", "Quiz",
                 {"`2The quiz", "A2.LOR", "/LABEL", "`2Fight or flee or hide?", "/CHOICE:3",
                  "/1CHOICE", "`4You fight!", "/GOTO:;DONE", "/2CHOICE", "`2You flee!",
                  "/GOTO:;DONE", "/3CHOICE", "`2You hide!", ";DONE", "`2After the question."});
}

TEST(Visit, FromTheHandOverBackToTheGameAndBackAgain) {
    Visit v;
    roads(v.world);
    const auto stored = PlayerBytes().name("Ardo").gold(500).level(3);
    v.world.player("KXPVORN", 0, stored);
    Player& p = v.at_menu();
    EXPECT_THAT(p.say("?"), EndsWith("(1) The crossroads\n    (2) The quiz\n    (3) Place one\n"
                                     "    (4) Place two\n    (5) Place three\n"
                                     "    (6) Place four\n    (7) Place five\n\n" +
                                     kPrompt));
    EXPECT_THAT(p.say("1"), HasSubstr("A stranger waves."));
    EXPECT_EQ(p.substate(), 2);
    EXPECT_THAT(p.say("V"), HasSubstr("Ardo's Stats..."));  // the stats at an input, then back
    p.say("");
    const std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    EXPECT_THAT(p.say(forty), HasSubstr("First part done."));
    EXPECT_EQ(p.substate(), 5);
    const size_t before = p.screen().size();
    EXPECT_THAT(p.say("q"), HasSubstr("Left or right?"));  // an ordinary pause: Q is any line
    EXPECT_THAT(p.screen().substr(before),
                HasSubstr("\x1b[A" + std::string(73, ' ') + "\n\x1b[A"));  // the prompt erased
    EXPECT_THAT(p.say("V"), HasSubstr("Location: Crossroads"));
    EXPECT_THAT(p.say(""), HasSubstr("Left or right?"));
    EXPECT_THAT(p.say("2"), AllOf(HasSubstr("You go right."), Not(HasSubstr("You go left."))));
    EXPECT_EQ(p.substate(), 6);
    EXPECT_THAT(p.say("q now"), HasSubstr("The road goes on."));  // only a one-word Q stops
    EXPECT_EQ(p.substate(), 7);
    EXPECT_EQ(p.get(state::string(1)), forty.substr(0, 25));
    EXPECT_EQ(v.trips_in_ledger(), 1);

    EXPECT_THAT(p.say(""), HasSubstr("You have already used 1 of your 10 trips"));
    EXPECT_EQ(p.type("x"), 1);
    v.host->pump();
    EXPECT_EQ(p.current_module(), v.host->game_module_number());
    EXPECT_EQ(p.substate(), 32000);
    EXPECT_THAT(v.host->game_statuses(), ElementsAre(std::make_pair(1, 3)));
    // The record went back to the game whole, opaque bytes and all.
    EXPECT_EQ(v.world.player_record("KXPVORN", 0), stored.bytes);

    // A player who comes back arrives afresh, the day's trips remembered.
    p.clear_screen();
    p.arrive();
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(p.get(state::script_file), "ZMBVIGMS.TXT");
    EXPECT_THAT(p.text(), HasSubstr("You have already used 1 of your 10 trips"));
    for (const char* line : {"1", "x", "", "1"})
        p.say(line);
    ASSERT_EQ(p.substate(), 6);
    EXPECT_THAT(p.say("q"), AllOf(HasSubstr("\nScript Halted: Please press <enter> to continue: "),
                                  Not(HasSubstr("The road goes on."))));
    EXPECT_EQ(p.substate(), 7);
}

// Every hand-off file, sound or damaged, on a fresh channel right after
// Ardo (gold 777) arrived on channel 1: what lands in the per-user area. A
// record that is not there loads as zeros, never the record handled before;
// no file is made or written.
TEST(Arrival, EveryHandOffLoadsItsRecordLedgerAndMenu) {
    Visit v;
    v.world.player("KXPVORN", 0, PlayerBytes().name("Ardo").gold(777).gems(9));
    v.world.player("KXPVORN", 1, PlayerBytes().name("Ardos").name_length(3));
    v.world.player("KXPVORN", 2, PlayerBytes().name(std::string("Bo\0bby", 6)));
    v.world.player("KXPVORN", 3, PlayerBytes().name("Abcdefghijklmnopqrstuvwxyz").name_length(26));
    v.world.player("KXPVORN", 4, PlayerBytes().name("Zed").name_length(0));
    v.world.player("KXPVORN2", 0, PlayerBytes().name("Zero"));
    v.world.player("KXPVORN2", 3, PlayerBytes().name("Three"));
    v.world.player("KXPVORN2", 7, PlayerBytes().name("Seventh").gold(1234).gems(3));
    v.world.player("A/B", 0, PlayerBytes().name("Deep").gold(42));
    for (int i = 0; i < 5; ++i)
        v.world.player("KXPVORN3", i, PlayerBytes().name("Player" + std::to_string(i)).gold(9));
    const std::string short_file = v.world.read("KXPVORN3/PLAYER.DAT").substr(0, 4 * 248 + 100);
    v.world.write("KXPVORN3/PLAYER.DAT", short_file);
    v.start(32);
    const struct {
        std::string handoff, game;
        int16_t index;     // -2: not checked (a number out of range is converted)
        const char* name;  // the name as loaded; "" with a record of zeros
        const char* ledger;
    } cases[] = {
        {"KXPVORN2\n7\n", "KXPVORN2\n", 7, "Seventh", "ZMBVIGMS.SV2"},
        {"kxpvorn3\n0\n", "kxpvorn3\n", 0, "Player0", "ZMBVIGMS.SV3"},
        {"MYGAME\n0\n", "MYGAME\n", 0, "", "OOO.DAT"},
        {"XKXPVORN\n0\n", "XKXPVORN\n", 0, "", "ZMBVIGMS.SV1"},
        // Names stop at their length, a NUL and twenty characters.
        {"KXPVORN\n1\n", "KXPVORN\n", 1, "Ard", "ZMBVIGMS.SV1"},
        {"KXPVORN\n2\n", "KXPVORN\n", 2, "Bo", "ZMBVIGMS.SV1"},
        {"KXPVORN\n3\n", "KXPVORN\n", 3, "Abcdefghijklmnopqrst", "ZMBVIGMS.SV1"},
        {"KXPVORN\n4\n", "KXPVORN\n", 4, "", "ZMBVIGMS.SV1"},
        // Records that are not there.
        {"KXPVORN\n40\n", "KXPVORN\n", 40, "", "ZMBVIGMS.SV1"},
        {"KXPVORN\n-1\n", "KXPVORN\n", -1, "", "ZMBVIGMS.SV1"},
        {"KXPVORN3\n4\n", "KXPVORN3\n", 4, "", "ZMBVIGMS.SV3"},  // cut short by the file end
        {"A\\B\n0\n", "A\\B\n", 0, "", "OOO.DAT"},               // into another folder
        {"..\n0\n", "..\n", 0, "", "OOO.DAT"},
        // Damaged files are read as far as they go.
        {"KXPVORN2\n", "KXPVORN2\n", 0, "Zero", "ZMBVIGMS.SV2"},
        {"KXPVORN2\nthree\n", "KXPVORN2\n", 0, "Zero", "ZMBVIGMS.SV2"},
        {"KXPVORN2", "KXPVORN2\n", 0, "Zero", "ZMBVIGMS.SV2"},
        {"KXPVORN2\r\n3\r\n", "KXPVORN2\n", 3, "Three", "ZMBVIGMS.SV2"},
        // An over-long name spills neither into the number nor into a real game.
        {"KXPVORN2" + std::string(300, 'Q') + "\n3\n", "KXPVORN2Q", 3, "", "ZMBVIGMS.SV2"},
        {"KXPVORN2\n" + std::string(5000, '9') + "\n", "KXPVORN2\n", -2, nullptr, "ZMBVIGMS.SV2"},
        {"\n3\n", "\n", 3, "", "OOO.DAT"},  // an empty name names no game
    };
    Player& first = v.host->player(1);
    int channel = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.handoff.substr(0, 20));
        first.arrive("KXPVORN", 0);
        ASSERT_EQ(first.get(pl::gold), 777);
        Player& p = v.host->player(++channel);
        const host::Counters before = host::counters();
        v.world.write("TEMP" + std::to_string(channel) + ".TMP", c.handoff);
        p.set_current_module(v.host->module_number());
        p.set_substate(0);
        EXPECT_EQ(p.type("whatever was typed"), 1);
        v.host->pump();
        EXPECT_EQ(host::counters().btumil, before.btumil + 1);
        EXPECT_EQ(host::counters().btuxnf, before.btuxnf + 1);
        EXPECT_EQ(p.get(state::game_name), c.game);
        if (c.index != -2) {
            EXPECT_EQ(p.get(state::player_index), c.index);
        }
        if (c.name != nullptr) {
            EXPECT_EQ(p.get(state::player_name), c.name);
        }
        if (c.name != nullptr && *c.name == '\0') {
            EXPECT_EQ(p.get(pl::gems), 0);
        }
        EXPECT_EQ(p.get(state::ledger_file), c.ledger);
        EXPECT_EQ(p.substate(), 1);
        EXPECT_FALSE(v.world.exists("TEMP" + std::to_string(channel) + ".TMP"));
        EXPECT_THAT(p.text(), Not(HasSubstr("rror")));
        EXPECT_THAT(p.text(), EndsWith("Your Command, " + p.get(state::player_name) + "? : "));
    }
    // Record 7 is bytes 1736..1983 of the file, every opaque byte included.
    Player& seventh = v.host->player(2);
    EXPECT_EQ(std::memcmp(seventh.area(), v.world.read("KXPVORN2/PLAYER.DAT").data() + 1736, 248),
              0);
    EXPECT_THAT(seventh.text(), HasSubstr("(1) Place one"));
    EXPECT_EQ(seventh.get(state::script_file), "ZMBVIGMS.TXT");
    EXPECT_FALSE(v.world.exists("MYGAME") || v.world.exists("OOO.DAT"));
    EXPECT_EQ(zmb::get(v.world.player_record("A/B", 0).data(), pl::gold), 42);
    EXPECT_EQ(zmb::get(v.world.player_record("KXPVORN", 0).data(), pl::gold), 777);
    EXPECT_EQ(v.world.read("KXPVORN3/PLAYER.DAT"), short_file);
}

TEST(Arrival, WithoutHandOffFileShowsTheThreeLinesAndGivesTheUserUp) {
    Visit v;
    Host& host = v.start();
    Player& p = host.player(2);
    p.set_current_module(host.module_number());
    p.set(state::player_name, "Earlier");
    p.set_substate(0);
    EXPECT_EQ(p.type(""), 0);
    EXPECT_EQ(host.pending(), 0u);
    EXPECT_EQ(p.screen(),
              "\n  Error:  Could not find TEMP2.TMP to get player info.\n"
              "  This module cannot be run directly, K-VORN must call it.\n"
              "  K-VORN V1.22+ contains an IGM Manager internally, use it to install this!\n\n");
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(p.get(state::player_name), "Earlier");  // nothing saved
}

// The game named after this module's entry of IGMLIST.DAT gets the user
// back; a list or entry that is missing keeps the user and says why.
TEST(HandBack, FollowsTheModuleListOrKeepsTheUserAndSaysWhy) {
    Visit v;
    Host& host = v.start();  // IGMLIST.DAT: ZMB_VORN's entry, then KXPVORN's
    const std::string game = std::to_string(host.game_module_number());
    const struct {
        const char* arrival;
        std::string list;   // "-": no list at all
        const char* shown;  // nullptr: not checked
    } cases[] = {
        // The first of two entries wins.
        {"KXPVORN", v.world.read("IGMLIST.DAT") + "KXPVORN2\n55\nAnother\nKXPVORN\n66\nA second\n",
         ""},
        // An entry whose description reads like the game's name is skipped whole.
        {"kxpvorn3",
         "ZMB_VORN\n9\nKXPVORN3\nKXPVORN33\n44\nKXPVORN3\nKXPVORN3\n" + game + "\nThe game\n", ""},
        {"KXPVORN2", "-", "\n  Error:  IGMLIST.DAT file is missing.  Why?!\n\n"},
        {"KXPVORN2", "KXPVORN\n1\nThe game\n",
         "\n  Small error.  Couldn't find info about KXPVORN2\n in the IGMLIST.DAT file.  "
         "Nice.\n\n"},
        {"KXPVORN2", "KXPVORN2\n", nullptr},  // an entry cut off after its name
    };
    Player& p = host.player(1);
    size_t handed_back = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        v.world.remove("IGMLIST.DAT");
        if (c.list != "-") v.world.write("IGMLIST.DAT", c.list);
        p.arrive(c.arrival, 0);
        p.clear_screen();
        const bool back = c.shown != nullptr && *c.shown == '\0';
        EXPECT_EQ(p.type("q"), back ? 1 : 0);
        EXPECT_EQ(p.current_module(), back ? host.game_module_number() : host.module_number());
        host.pump();
        if (c.shown != nullptr) {
            EXPECT_EQ(p.screen(), c.shown);
        }
        if (!back) {
            EXPECT_EQ(p.substate(), 1);
        }
        EXPECT_EQ(host.game_statuses().size(), handed_back += back);
    }
}

// ---- commands at the command prompt ----

// A tired player reads no place list and spends no trip, but the letters
// work, in either case.
TEST(Menu, CommandLettersWorkInEitherCaseForATiredPlayerToo) {
    Visit v;
    v.world.write("ZMB_VORN.NEW", "Vorn IGM Script: News\n`2Nothing new in the valley.\n");
    Player& p = v.at_menu(10);
    v.world.remove("ZMBVIGMS.DAT");  // reading the place list now would stop the host
    EXPECT_EQ(p.say("1"),
              "You are too tired to visit any more places. Come back tomorrow...\n" + kPrompt);
    const struct {
        const char* line;
        int substate;
        const char* shown;
    } cases[] = {
        {"V", 10, "Ardo's Stats..."},           {"v", 10, "Ardo's Stats..."},
        {"I", 7, "Nothing new in the valley."}, {"i", 7, "Nothing new in the valley."},
        {"?", 1, "Through distant fields"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_THAT(p.say(c.line), HasSubstr(c.shown));
        EXPECT_EQ(p.substate(), c.substate);
        if (c.substate != 1) {
            EXPECT_THAT(p.say("anything"), HasSubstr("(1) Place one"));
            EXPECT_EQ(p.substate(), 1);
        }
    }
    for (const char* line : {"q", "r", "x", "Q", "R", "X"}) {  // back to the game
        p.say(line);
        EXPECT_EQ(p.substate(), 32000) << line;
        EXPECT_EQ(p.current_module(), v.host->game_module_number()) << line;
        p.arrive();
    }
    EXPECT_EQ(v.host->game_statuses().size(), 6u);
    EXPECT_EQ(v.trips_in_ledger(), 10);  // news and stats cost no trip
}

TEST(Menu, NumberStartsThatPlaceAndCountsTheTripOtherWordsAreRefused) {
    Visit v;
    Player& p = v.at_menu(2);
    for (const char* line : {"0", "6", "hello", "-1", "99999", "S"}) {
        EXPECT_EQ(p.type(line), 1);
        EXPECT_EQ(strip_ansi(p.take()), kInvalid + kPrompt) << line;
        EXPECT_EQ(p.substate(), 1) << line;
    }
    EXPECT_EQ(v.host->pending(), 0u);
    EXPECT_EQ(v.trips_in_ledger(), 2);
    EXPECT_THAT(p.say("3"), HasSubstr("You reach place 3."));
    EXPECT_EQ(p.get(state::script_file), "QHYVIGMS\\P3.LOR");
    EXPECT_EQ(v.trips_in_ledger(), 3);
    EXPECT_EQ(p.get(zmb::trip::trips_used), 3);
    EXPECT_EQ(p.substate(), 7);  // the end of the place waits for a line
    EXPECT_EQ(p.get(state::script_title), "three");

    // Back at the menu the run starts afresh, whatever a load left saved.
    p.set(state::saved_script_file, "X");
    p.set(state::saved_line_offset, 99);
    EXPECT_THAT(p.say(""), HasSubstr("(5) Place five"));
    EXPECT_EQ(p.get(state::script_file), "ZMBVIGMS.TXT");
    EXPECT_EQ(p.get(state::script_title), "`!Far Reaches");
    EXPECT_EQ(p.get(state::return_substate), 8);
    EXPECT_EQ(p.get(state::saved_script_file), "");
    EXPECT_EQ(p.get(state::saved_line_offset), 0);
    EXPECT_THAT(p.say("3x"), HasSubstr("You reach place 3."));
    EXPECT_EQ(v.trips_in_ledger(), 4);
    p.say("");
    v.world.write("ZMBVIGMS.DAT", "P1.LOR\nP2.LOR\n");  // a list shorter than the menu
    EXPECT_EQ(p.say("4"), kInvalid + kPrompt);
    EXPECT_EQ(v.trips_in_ledger(), 4);
    EXPECT_THAT(p.say("2"), HasSubstr("You reach place 2."));
}

TEST(MenuDeath, MissingPlaceListStopsTheHost) {
    Visit v;
    Player& p = v.at_menu();
    v.world.remove("ZMBVIGMS.DAT");
    EXPECT_EXIT(p.type("2"), ExitedWithCode(70), "the VORN IGM DATA file could not be used!");
}

// A missing place still costs its trip, missing news nothing; either way
// the next line leads back to the menu.
TEST(Menu, MissingScriptsAreReportedAndTheNextLineLeadsBack) {
    const struct {
        const char* line;
        const char* shown;
        int16_t trips;
    } cases[] = {{"2", "\nScript file QHYVIGMS\\P2.LOR could not be found!\n\n", 1},
                 {"i", "\nScript file ZMB_VORN.NEW could not be found!\n\n", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Visit v;
        Player& p = v.at_menu();
        v.world.remove("QHYVIGMS/P2.LOR");
        EXPECT_EQ(p.say(c.line), c.shown);
        EXPECT_EQ(p.substate(), 3);
        EXPECT_EQ(p.get(state::script_file), "ZMBVIGMS.TXT");
        EXPECT_EQ(v.trips_in_ledger(), c.trips);
        EXPECT_THAT(p.say("anything"), HasSubstr("(1) Place one"));
        EXPECT_EQ(p.substate(), 1);
        EXPECT_THAT(p.say("4"), HasSubstr("You reach place 4."));
    }
}

// "/Halted now" is /HALT: a keyword is a prefix of the line, in any case.
TEST(Menu, PlaceThatHaltsLeavesTheNextLineToTheMenu) {
    Visit v;
    v.world.script("P6.LOR", "Six",
                   {"`2Place six", "P6.LOR", "`2A halting place.", "/Halted now", "never"});
    Player& p = v.at_menu();
    // Whatever the return sub-state of a place.
    EXPECT_THAT(p.say("6"), EndsWith("A halting place.\n" + kPrompt));
    EXPECT_EQ(p.substate(), 1);
    // The command prompt is up, but not for the menu: "1" is not a place here.
    EXPECT_THAT(p.say("1"), HasSubstr("Through distant fields"));
    EXPECT_EQ(p.get(state::script_file), "ZMBVIGMS.TXT");
    EXPECT_EQ(v.trips_in_ledger(), 1);
}

TEST(Answer, OtherAnswersAreRefusedTheQuestionStaysAndStatsResumeAtTheLabel) {
    Visit v;
    roads(v.world);
    Player& p = v.at_menu();
    p.say("2");
    for (const char* answer : {"4", "22", "0", "x", "-1", "12", "2x", "02", "+1"}) {
        EXPECT_THAT(p.say(answer), AllOf(HasSubstr(kInvalid), EndsWith("(123) - " + kPrompt)))
            << answer;
        EXPECT_EQ(p.substate(), 2) << answer;
        EXPECT_EQ(p.get(zmb::state::skip_mode), 0) << answer;
    }
    EXPECT_THAT(p.say("?"), HasSubstr("Fight or flee or hide?"));
    EXPECT_EQ(p.substate(), 2);
    EXPECT_THAT(p.say("v"), HasSubstr("Ardo's Stats..."));
    EXPECT_EQ(p.substate(), 11);
    // From the label, not the top; then the first character of the answer decides.
    EXPECT_THAT(p.say("whatever"),
                AllOf(HasSubstr("Fight or flee or hide?"), Not(HasSubstr("The quiz"))));
    EXPECT_THAT(p.say("2 please"),
                AllOf(HasSubstr("You flee!\nAfter the question."), Not(HasSubstr("You fight!"))));
    EXPECT_EQ(p.substate(), 7);
}

TEST(Ignored, LinesWhileTheScriptRunsOrThePromptIsDueChangeNothing) {
    Visit v;
    Player& p = v.at_menu();
    p.type("3");
    ASSERT_EQ(p.substate(), 4);
    const std::string before(reinterpret_cast<const char*>(p.area()), 724);
    EXPECT_EQ(p.type("1"), 1);
    EXPECT_EQ(p.type("q"), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.area()), 724), before);
    EXPECT_THAT(p.say(""), HasSubstr("You reach place 3."));  // the run was not disturbed

    // Back to the menu; stop when the menu has halted and the prompt is due.
    p.say("");
    p.type("?");
    while (p.substate() != 8 && v.host->pump_one()) {
    }
    ASSERT_EQ(p.substate(), 8);
    p.clear_screen();
    EXPECT_EQ(p.type("2"), 1);
    EXPECT_EQ(p.text(), "");
    v.host->pump();
    EXPECT_EQ(p.text(), kPrompt);
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(v.trips_in_ledger(), 1);
}

TEST(Junk, AnyLineAnywhereIsDataAndBreaksNothing) {
    // Format directives, colour and bar codes, control bytes and a NUL; a
    // long line; a long number (also a valid answer by its first character).
    const std::string junk_lines[] = {
        std::string("%s%n%x`1``~`%`\x01\x1b[2J\x7f\xff|N|S1\0x", 28),
        std::string(10000, '%'),
        std::string(10000, '1'),
    };
    // Each spot is reached from the command prompt by the lines said; the
    // running one by "4" typed without delivering the statuses.
    const struct {
        const char* name;
        std::vector<const char*> said;
        int substate;
    } spots[] = {
        {"menu", {}, 1},
        {"input", {"1"}, 2},
        {"pause", {"1", "x"}, 5},
        {"choice", {"1", "x", ""}, 2},
        {"quit pause", {"1", "x", "", "1"}, 6},
        {"after place", {"4"}, 7},
        {"stats", {"v"}, 10},
        {"stats at question", {"1", "x", "", "v"}, 11},
        {"missing script", {"i"}, 3},
        {"running", {}, 4},
        {"sysop menu", {"s"}, 9},
        {"sysop key", {"s", "4"}, 24},
        {"sysop trips", {"s", "5"}, 25},
    };
    for (const auto& spot : spots) {
        for (const std::string& junk : junk_lines) {
            SCOPED_TRACE(std::string(spot.name) + " <- " + junk.substr(0, 20));
            Visit v;
            roads(v.world);
            Player& p = v.at_menu(0, "SYSOP");
            for (const char* line : spot.said)
                p.say(line);
            if (spot.substate == 4) p.type("4");
            ASSERT_EQ(p.substate(), spot.substate);
            p.clear_screen();

            EXPECT_EQ(p.type(junk), 1);
            v.host->pump();
            EXPECT_THAT(p.text(), Not(HasSubstr("(null)")));
            EXPECT_EQ(p.get(state::player_name), "Ardo");
            EXPECT_LE(p.get(state::string(1)).size(), 25u);
            EXPECT_LE(v.trips_in_ledger(), 1);

            // Whatever happened, the player finds the way back to the game.
            // A: leave the sysop menu, Q: leave the menu, 1: answer a question.
            for (int i = 0; i < 8 && p.substate() != 32000; ++i) {
                const bool menu = p.substate() == 1 && p.get(state::script_file) == "ZMBVIGMS.TXT";
                p.say(p.substate() == 9 ? "a" : menu ? "q" : p.substate() == 2 ? "1" : "");
            }
            EXPECT_EQ(p.substate(), 32000);
        }
    }
}

// Visit's world; Ardo arrives on channel 1 with the trips the area then holds.
struct TripLedger : ::testing::Test, Visit {
    std::pair<int16_t, uint16_t> trips_on_arrival(std::string_view game, int index) {
        Player& p = host->player(1);
        p.arrive(game, index);
        return {p.get(zmb::trip::trips_used), p.get(zmb::trip::trip_day)};
    }
};

// An earlier day starts afresh and is written at once; today and a later
// day keep their count, and reading them writes nothing.
TEST_F(TripLedger, OnlyADayBeforeTodayOrAShortRecordStartsTheCountAfresh) {
    start();
    const struct {
        int day_offset;
        int16_t trips, trips_after;
    } cases[] = {{-1, 4, 0}, {0, 4, 4}, {2, 5, 5}};
    for (const auto& c : cases) {
        const auto day = static_cast<uint16_t>(today() + c.day_offset);
        world.ledger_record("ZMBVIGMS.SV1", 3, c.trips, day);
        const std::string file = world.read("ZMBVIGMS.SV1");
        const auto expected = std::make_pair(c.trips_after, c.day_offset < 0 ? today() : day);
        EXPECT_EQ(trips_on_arrival("KXPVORN", 3), expected) << c.day_offset;
        EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 3), expected) << c.day_offset;
        if (c.day_offset >= 0) {
            EXPECT_EQ(world.read("ZMBVIGMS.SV1"), file) << c.day_offset;
        }
    }
    // A record cut short by the end of the file reads as no trips today.
    world.write("ZMBVIGMS.SV1", std::string("\x05\x00\x01", 3) + std::string(10, '\x07'));
    EXPECT_EQ(trips_on_arrival("KXPVORN", 3), std::make_pair(int16_t{0}, today()));
}

// An index past the end of the ledger or a game without one reads no trips,
// whatever the visit before left in the working copy; a trip extends the
// ledger, and an unknown game's trip creates none.
TEST_F(TripLedger, PastTheEndOrUnknownGameCountsFromZero) {
    start();
    world.ledger_record("ZMBVIGMS.SV1", 0, 9, today());
    ASSERT_EQ(trips_on_arrival("KXPVORN", 0).first, 9);
    Player& p = host->player(1);
    p.say("Q");
    EXPECT_EQ(trips_on_arrival("KXPVORN", 600), std::make_pair(int16_t{0}, today()));
    EXPECT_EQ(world.read("ZMBVIGMS.SV1").size(), 2000u);  // reading does not grow it
    EXPECT_THAT(p.say("1"), HasSubstr("You reach place 1."));
    const std::string ledger = world.read("ZMBVIGMS.SV1");
    ASSERT_EQ(ledger.size(), 601u * 4);
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 600), std::make_pair(int16_t{1}, today()));
    // The records between the old end and the new one are empty.
    EXPECT_EQ(ledger.substr(2000, 400), std::string(400, '\0'));
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 499), std::make_pair(int16_t{0}, today()));

    p.say("");
    p.say("Q");
    EXPECT_EQ(trips_on_arrival("MYGAME", 0), std::make_pair(int16_t{0}, today()));
    EXPECT_THAT(p.say("1"), HasSubstr("You reach place 1."));
    EXPECT_FALSE(world.exists("OOO.DAT"));
    EXPECT_EQ(p.get(zmb::trip::trips_used), 1);
}

TEST_F(TripLedger, TripsStartedAcrossMidnightCountAgainstTheFirstDay) {
    set_local_time(2024, 3, 7, 23, 59);
    start();
    const uint16_t first_day = today();
    trips_on_arrival("KXPVORN", 0);
    Player& p = host->player(1);
    p.say("1");         // the place
    p.say("");          // back to the menu
    advance_time(120);  // 00:01 the next day
    p.say("1");
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 0), std::make_pair(int16_t{2}, first_day));
}

}  // namespace
}  // namespace test
