// The menu of places and the waits scripts set up: commands, the daily
// trip limit, answers, pauses, the news, and the ways back to the menu.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/module_fixture.h"

using ::testing::EndsWith;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

using zmb::state::choice_count;
using zmb::state::skip_mode;

constexpr const char* kInvalid = "That isn't a valid option. Try something else.\n";
constexpr const char* kTired =
    "You are too tired to visit any more places. Come back tomorrow...\n";
constexpr const char* kPrompt = "Your Command, Ardo? : ";

// A visit in progress at the command prompt, with `used` trips today.
struct AtMenu : Visit {
    Player* p = nullptr;
    explicit AtMenu(int16_t used = 0) {
        start();
        world.ledger_record("ZMBVIGMS.SV1", 0, used, today());
        p = &host->player(1);
        p->arrive("KXPVORN", 0);
        EXPECT_EQ(p->substate(), 1);
        p->clear_screen();
    }
};

// ---- commands at the command prompt ----

TEST(MenuCommand, NumberStartsThatPlaceAndCountsTheTrip) {
    AtMenu m(2);
    Player& p = *m.p;
    EXPECT_THAT(p.say("3"), HasSubstr("You reach place 3."));
    EXPECT_EQ(script_file(p), "QHYVIGMS\\P3.LOR");
    EXPECT_EQ(m.trips_in_ledger(), 3);
    EXPECT_EQ(trips_used(p), 3);
    EXPECT_EQ(p.substate(), 7);  // the end of the place waits for a line

    EXPECT_THAT(p.say(""), HasSubstr("(5) Place five"));  // back at the menu
    EXPECT_THAT(p.say("3x"), HasSubstr("You reach place 3."));
    EXPECT_EQ(m.trips_in_ledger(), 4);
}

TEST(MenuCommand, WordsThatAreNoPlaceAreRefused) {
    AtMenu m(0);
    Player& p = *m.p;
    for (const char* line : {"0", "6", "hello", "-1", "99999", "S"}) {
        EXPECT_EQ(p.type(line), 1);
        EXPECT_EQ(p.take_text(), std::string(kInvalid) + kPrompt) << line;
        EXPECT_EQ(p.substate(), 1) << line;
    }
    EXPECT_EQ(m.trips_in_ledger(), 0);
    EXPECT_EQ(m.host->pending(), 0u);
}

TEST(MenuCommand, LeavingWorksInEitherCase) {
    Visit v;
    Host& host = v.start();
    const char* lines[] = {"q", "r", "x", "Q", "R", "X"};
    for (int ch = 0; ch < 6; ++ch) {
        Player& p = host.player(ch);
        p.arrive("KXPVORN", 0);
        EXPECT_EQ(p.type(lines[ch]), 1) << lines[ch];
        EXPECT_EQ(p.substate(), 32000) << lines[ch];
        EXPECT_EQ(p.current_module(), host.game_module_number()) << lines[ch];
    }
    host.pump();
    EXPECT_EQ(host.game_statuses().size(), 6u);
}

TEST(MenuCommand, StatsNewsAndMenuAgainInEitherCase) {
    AtMenu m(1);
    Player& p = *m.p;
    m.world.script_at("ZMB_VORN.NEW", "News", {"`2Nothing new in the valley."});

    for (const char* v : {"V", "v"}) {
        EXPECT_THAT(p.say(v), HasSubstr("Ardo's Stats..."));
        EXPECT_EQ(p.substate(), 10);
        EXPECT_THAT(p.say("anything"), HasSubstr("(1) Place one"));
        EXPECT_EQ(p.substate(), 1);
    }
    for (const char* i : {"I", "i"}) {
        EXPECT_THAT(p.say(i), HasSubstr("Nothing new in the valley."));
        EXPECT_EQ(p.substate(), 7);
        p.say("");
    }
    EXPECT_EQ(m.trips_in_ledger(), 1);  // the news costs no trip
    for (const char* again : {"?", "?"}) {
        EXPECT_THAT(p.say(again), HasSubstr("Through distant fields"));
        EXPECT_EQ(p.substate(), 1);
    }
}

TEST(MenuCommand, TiredPlayerReadsNoListAndSpendsNoTripButCanStillLook) {
    AtMenu m(10);
    Player& p = *m.p;
    m.world.script_at("ZMB_VORN.NEW", "News", {"`2Nothing new."});
    // Reading the place list now would stop the host.
    m.world.remove("ZMBVIGMS.DAT");
    EXPECT_EQ(p.say("1"), std::string(kTired) + kPrompt);
    EXPECT_EQ(trips_used(p), 10);
    EXPECT_EQ(m.trips_in_ledger(), 10);
    EXPECT_EQ(p.substate(), 1);

    EXPECT_THAT(p.say("I"), HasSubstr("Nothing new."));
    p.say("");
    EXPECT_THAT(p.say("V"), HasSubstr("Ardo's Stats..."));
}

TEST(MenuCommand, PlaceBeyondAShortenedListIsRefusedWithoutATrip) {
    AtMenu m(0);
    Player& p = *m.p;
    m.world.write("ZMBVIGMS.DAT", "P1.LOR\nP2.LOR\n");
    EXPECT_EQ(p.say("4"), std::string(kInvalid) + kPrompt);
    EXPECT_EQ(m.trips_in_ledger(), 0);
    EXPECT_THAT(p.say("2"), HasSubstr("You reach place 2."));
}

TEST(MenuCommandDeath, MissingPlaceListStopsTheHost) {
    AtMenu m(0);
    m.world.remove("ZMBVIGMS.DAT");
    EXPECT_EXIT(m.p->type("2"), ExitedWithCode(70), "the VORN IGM DATA file could not be used!");
}

TEST(MenuCommand, TripIsSpentEvenWhenThePlaceIsMissingAndTheNextLineLeadsBack) {
    AtMenu m(0);
    Player& p = *m.p;
    m.world.remove("QHYVIGMS/P2.LOR");
    EXPECT_EQ(p.say("2"), "\nScript file QHYVIGMS\\P2.LOR could not be found!\n\n");
    EXPECT_EQ(p.substate(), 3);
    EXPECT_EQ(script_file(p), "ZMBVIGMS.TXT");
    EXPECT_EQ(m.trips_in_ledger(), 1);
    EXPECT_THAT(p.say("anything"), HasSubstr("(1) Place one"));
    EXPECT_EQ(p.substate(), 1);
}

TEST(MenuCommand, MissingNewsLeadsBackToTheMenuWithTheNextLine) {
    AtMenu m(0);
    Player& p = *m.p;
    EXPECT_THAT(p.say("i"), HasSubstr("Script file ZMB_VORN.NEW could not be found!"));
    EXPECT_EQ(p.substate(), 3);
    EXPECT_EQ(m.trips_in_ledger(), 0);
    EXPECT_THAT(p.say(""), HasSubstr("(3) Place three"));
    EXPECT_EQ(p.substate(), 1);
    EXPECT_THAT(p.say("4"), HasSubstr("You reach place 4."));
}

TEST(MenuCommand, PlaceThatHaltsLeavesTheNextLineToTheMenu) {
    Visit v;
    v.world.script("P6.LOR", "Six", {"`2Place six", "P6.LOR", "`2A halting place.", "/HALT"});
    v.start();
    Player& p = v.host->player(1);
    p.arrive("KXPVORN", 0);
    EXPECT_THAT(p.say("6"), HasSubstr("A halting place."));
    EXPECT_EQ(p.substate(), 1);
    // The command prompt is up, but not for the menu: "1" is not a place here.
    EXPECT_THAT(p.say("1"), HasSubstr("Through distant fields"));
    EXPECT_EQ(script_file(p), "ZMBVIGMS.TXT");
    EXPECT_EQ(v.trips_in_ledger(), 1);
}

// ---- answers to questions ----

// A world where the question is place 1 itself.
struct Quiz : Visit {
    Player* p = nullptr;
    Quiz() {
        world.script("A1.LOR", "Quiz",
                     {"`2The quiz", "A1.LOR", "/LABEL", "`2Fight or flee or hide?", "/CHOICE:3",
                      "/1CHOICE", "`4You fight!", "/GOTO:;DONE", "/2CHOICE", "`2You flee!",
                      "/GOTO:;DONE", "/3CHOICE", "`2You hide!", ";DONE", "`2After the question."});
        world.script("A2.LOR", "Name",
                     {"`2The name", "A2.LOR", "/LABEL", "`2Who goes there?", "/INPUT:Name",
                      "`2Hello there."});
        start();
        p = &host->player(1);
        p->arrive("KXPVORN", 0);
        p->clear_screen();
    }
};

TEST(Answer, NumberedAnswersContinueAtTheirMarker) {
    for (const char* answer : {"1", "2", "2 please", "3"}) {
        Quiz q;
        Player& p = *q.p;
        EXPECT_THAT(p.say("1"), HasSubstr("Fight or flee or hide?"));
        ASSERT_EQ(p.substate(), 2);
        EXPECT_EQ(p.area_i32(choice_count.at), 3);
        const std::string after = p.say(answer);
        const char* expected = answer[0] == '1'   ? "You fight!"
                               : answer[0] == '2' ? "You flee!"
                                                  : "You hide!";
        EXPECT_THAT(after, HasSubstr(expected)) << answer;
        for (const char* other : {"You fight!", "You flee!", "You hide!"}) {
            if (std::string(other) != expected) {
                EXPECT_THAT(after, Not(HasSubstr(other))) << answer;
            }
        }
        EXPECT_THAT(after, HasSubstr("After the question.")) << answer;
        EXPECT_EQ(p.substate(), 7);
    }
}

TEST(Answer, OtherAnswersAreRefusedAndTheQuestionStays) {
    Quiz q;
    Player& p = *q.p;
    p.say("1");
    for (const char* answer : {"4", "22", "0", "x", "-1", "12", "2x", "02", "+1"}) {
        const std::string shown = p.say(answer);
        EXPECT_THAT(shown, HasSubstr(kInvalid)) << answer;
        EXPECT_THAT(shown, EndsWith("(123) - Your Command, Ardo? : ")) << answer;
        EXPECT_EQ(p.substate(), 2) << answer;
        EXPECT_EQ(p.area_i16(skip_mode.at), 0) << answer;
    }
    EXPECT_EQ(p.say(""), "(123) - Your Command, Ardo? : ");
    EXPECT_THAT(p.say("2"), HasSubstr("You flee!"));
}

TEST(Answer, QuestionMarkAsksAgainAndStatsResumeAtTheLabel) {
    Quiz q;
    Player& p = *q.p;
    p.say("1");
    EXPECT_THAT(p.say("?"), HasSubstr("Fight or flee or hide?"));
    EXPECT_EQ(p.substate(), 2);

    EXPECT_THAT(p.say("v"), HasSubstr("Ardo's Stats..."));
    EXPECT_EQ(p.substate(), 11);
    const std::string resumed = p.say("whatever");
    EXPECT_THAT(resumed, HasSubstr("Fight or flee or hide?"));
    EXPECT_THAT(resumed, Not(HasSubstr("The quiz")));  // from the label, not the top
    EXPECT_EQ(p.substate(), 2);
    EXPECT_THAT(p.say("3"), HasSubstr("You hide!"));
}

TEST(Answer, InputAnswerBecomesTheFirstStringCutToTwentyFiveCharacters) {
    Quiz q;
    Player& p = *q.p;
    EXPECT_THAT(p.say("2"), HasSubstr("Who goes there?"));
    EXPECT_EQ(p.area_i32(choice_count.at), 0);
    EXPECT_EQ(p.say(""), "(Name) - Your Command, Ardo? : ");
    EXPECT_THAT(p.say("?"), HasSubstr("Who goes there?"));
    EXPECT_THAT(p.say("V"), HasSubstr("Ardo's Stats..."));
    p.say("");
    EXPECT_THAT(p.say("hello  world"), HasSubstr("Hello there."));
    EXPECT_EQ(string1(p), "hello  world");

    p.say("");
    p.say("2");
    const std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    p.say(forty);
    EXPECT_EQ(string1(p), forty.substr(0, 25));
}

// ---- pauses ----

struct Pauses : Visit {
    Player* p = nullptr;
    Pauses() {
        world.script("A1.LOR", "Pause",
                     {"`2Pause", "A1.LOR", "`2Before the pause.", "/PAUSE", "`2After the pause."});
        world.script("A2.LOR", "Quit",
                     {"`2Quit", "A2.LOR", "`2Before the stop.", "/ANYQUIT", "`2Past the stop."});
        start();
        p = &host->player(1);
        p->arrive("KXPVORN", 0);
        p->clear_screen();
    }
};

const std::string kErase = "\x1b[A" + std::string(73, ' ') + "\n\x1b[A";

TEST(Pause, AnyLineGoesOnAfterErasingThePrompt) {
    Pauses s;
    Player& p = *s.p;
    EXPECT_THAT(p.say("1"), HasSubstr("Before the pause."));
    EXPECT_EQ(p.substate(), 5);
    p.clear_screen();
    p.say("q");
    EXPECT_THAT(p.screen(), HasSubstr(kErase));
    EXPECT_THAT(p.text(), HasSubstr("After the pause."));
    EXPECT_EQ(p.substate(), 7);
}

TEST(Pause, OnlyAOneWordQEndsThePauseThatQCanEnd) {
    for (const char* line : {"q", "q now"}) {
        SCOPED_TRACE(line);
        Pauses s;
        Player& p = *s.p;
        p.say("2");
        ASSERT_EQ(p.substate(), 6);
        const std::string shown = p.say(line);
        const bool stops = std::string(line) == "q";
        EXPECT_EQ(
            shown.find("\nScript Halted: Please press <enter> to continue: ") != std::string::npos,
            stops);
        EXPECT_EQ(shown.find("Past the stop.") != std::string::npos, !stops);
        EXPECT_EQ(p.substate(), 7);
        EXPECT_THAT(p.say(""), HasSubstr("(3) Place one"));
    }
}

// ---- lines typed while nothing waits for them ----

TEST(Ignored, LinesWhileTheScriptRunsOrThePromptIsDueChangeNothing) {
    AtMenu m;
    Player& p = *m.p;
    p.type("3");
    ASSERT_EQ(p.substate(), 4);
    const std::string before(reinterpret_cast<const char*>(p.area()), 724);
    EXPECT_EQ(p.type("1"), 1);
    EXPECT_EQ(p.type("q"), 1);
    EXPECT_EQ(p.substate(), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.area()), 724), before);
    EXPECT_EQ(m.trips_in_ledger(), 1);
    EXPECT_THAT(p.say(""), HasSubstr("You reach place 3."));  // the run was not disturbed

    // Back to the menu; stop when the menu has halted and the prompt is due.
    p.say("");
    p.type("?");
    while (p.substate() != 8 && m.host->pump_one()) {
    }
    ASSERT_EQ(p.substate(), 8);
    p.clear_screen();
    EXPECT_EQ(p.type("2"), 1);
    EXPECT_EQ(p.text(), "");
    m.host->pump();
    EXPECT_EQ(p.text(), kPrompt);
    EXPECT_EQ(p.substate(), 1);
    EXPECT_EQ(m.trips_in_ledger(), 1);
}

}  // namespace
}  // namespace test
