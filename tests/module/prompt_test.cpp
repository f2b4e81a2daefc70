// The prompt that ends every wait for a line: its parts by sub-state, the
// sysop hint only for holders of the configured key, and a player name that
// is shown as it is, never used as a format.
#include <string>

#include "tests/support/module_fixture.h"

namespace test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

class Prompt : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        set_text(state::script_file, "ZMBVIGMS.TXT");  // the menu is the current script
    }
    // The menu script has halted: sub-state 8 and the status that shows the prompt.
    std::string halted_menu_prompt() {
        p.set_substate(sub::kMenuHalted);
        return status(zmb::kRunStatus);
    }
};

TEST_F(Prompt, TheCommandLineCarriesThePlayersName) {
    EXPECT_EQ(halted_menu_prompt(), "Your Command, Ardo? : ");
    EXPECT_THAT(p.screen(),
                HasSubstr("\x1b[0;32;40mYour Command, \x1b[1;32;40mArdo\x1b[0;32;40m? : "
                          "\x1b[1;32;40m"));
}

TEST_F(Prompt, AHolderOfTheSysopKeyGetsTheHintFirst) {
    p.grant_key("SYSOP");
    EXPECT_EQ(halted_menu_prompt(), "Enter S for Sysop Menu...\nYour Command, Ardo? : ");
    p.set_substate(sub::kMenuCommand);
    EXPECT_EQ(p.say(""), "Enter S for Sysop Menu...\nYour Command, Ardo? : ");
}

TEST_F(Prompt, ThePlayersNameIsNeverAFormat) {
    set_text(state::player_name, "%s%n%d%%");
    EXPECT_EQ(halted_menu_prompt(), "Your Command, %s%n%d%%? : ");
}

TEST_F(Prompt, AQuestionListsItsAnswersBeforeTheCommandLine) {
    for (const auto& [line, list] :
         {std::pair{"/CHOICE:1", "(1)"}, std::pair{"/CHOICE:3", "(123)"},
          std::pair{"/CHOICE:9", "(123456789)"}, std::pair{"/INPUT", "(INPUT)"},
          std::pair{"/INPUT:Your %s name?", "(Your %s name?)"}}) {
        start({line});
        EXPECT_EQ(slice(), std::string(list) + " - Your Command, Ardo? : ") << line;
    }
}

TEST_F(Prompt, AnEmptyAnswerRepeatsTheQuestionsPromptWithoutTheSysopHint) {
    p.grant_key("SYSOP");
    start({"/CHOICE:2"});
    slice();
    EXPECT_EQ(p.say(""), "(12) - Your Command, Ardo? : ");
    EXPECT_EQ(p.say("7"),
              "That isn't a valid option. Try something else.\n(12) - Your Command, Ardo? : ");
}

// A configured key other than the default decides who sees the hint.
TEST(ConfiguredKey, OnlyTheConfiguredKeyShowsTheHint) {
    test::World world;
    world.write("ZMBVIGMS.CNF", "WIZARD\n10\n");
    test::Host host(world);
    test::Player& p = host.player(kChannel);
    p.set_current_module(host.module_number());
    p.set_area_text(state::player_name.at, state::player_name.size, "Mage");
    p.set_area_text(state::script_file.at, state::script_file.size, "ZMBVIGMS.TXT");
    p.grant_key("SYSOP");
    p.set_substate(sub::kMenuCommand);
    EXPECT_EQ(p.say(""), "Your Command, Mage? : ");
    p.grant_key("wizard");
    EXPECT_EQ(p.say(""), "Enter S for Sysop Menu...\nYour Command, Mage? : ");
}

// ---- the sysop settings menu ----

TEST_F(Prompt, TheSysopMenuGetsNoHintAndItsQuestionsNoCommandLine) {
    p.grant_key("SYSOP");
    p.set_substate(sub::kSysopMenu);
    EXPECT_EQ(p.say(""), "Your Command, Ardo? : ");

    const std::string key_question = p.say("4");
    EXPECT_EQ(p.substate(), sub::kSysopKey);
    EXPECT_THAT(key_question, EndsWith("Key to access this menu: "));
    EXPECT_THAT(key_question, Not(HasSubstr("Your Command")));
    EXPECT_THAT(p.screen(), EndsWith("Key to access this menu: \x1b[0;36;40m"));

    p.say("");
    const std::string trips_question = p.say("5");
    EXPECT_EQ(p.substate(), sub::kSysopTrips);
    EXPECT_THAT(trips_question, EndsWith("Allow how many IGM Trips per day? From 3 to 30: "));
    EXPECT_THAT(trips_question, Not(HasSubstr("Your Command")));
}

}  // namespace
}  // namespace test
