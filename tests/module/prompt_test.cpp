// The prompt that ends every wait for a line: its parts by sub-state, the
// sysop hint only for holders of the key, and a player name that
// is shown as it is, never used as a format.
#include <string>

#include "tests/support/module_fixture.h"

namespace test {
namespace {

using ::testing::HasSubstr;

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

TEST_F(Prompt, TheCommandLineCarriesTheNameNeverAsAFormatAndTheHintForAKeyHolder) {
    EXPECT_EQ(halted_menu_prompt(), "Your Command, Ardo? : ");
    EXPECT_THAT(p.screen(),
                HasSubstr("\x1b[0;32;40mYour Command, \x1b[1;32;40mArdo\x1b[0;32;40m? : "
                          "\x1b[1;32;40m"));
    set_text(state::player_name, "%s%n%d%%");
    EXPECT_EQ(halted_menu_prompt(), "Your Command, %s%n%d%%? : ");
    // A holder of the sysop key gets the hint first.
    p.grant_key("SYSOP");
    EXPECT_EQ(halted_menu_prompt(), "Enter S for Sysop Menu...\nYour Command, %s%n%d%%? : ");
    p.set_substate(sub::kMenuCommand);
    EXPECT_EQ(p.say(""), "Enter S for Sysop Menu...\nYour Command, %s%n%d%%? : ");
}

// A question lists its answers (or the input's prompt, never as a format)
// before the command line, and an empty answer repeats that prompt without
// the sysop hint. Fewer answers and the default prompt are the interpreter's.
TEST_F(Prompt, AQuestionListsItsAnswersBeforeTheCommandLine) {
    p.grant_key("SYSOP");
    for (const auto& [line, list] : {std::pair{"/CHOICE:9", "(123456789)"},
                                     std::pair{"/INPUT:Your %s name?", "(Your %s name?)"}}) {
        start({line});
        const std::string prompt = std::string(list) + " - Your Command, Ardo? : ";
        EXPECT_EQ(slice(), prompt) << line;
        EXPECT_EQ(p.say(""), prompt) << line;
    }
}

}  // namespace
}  // namespace test
