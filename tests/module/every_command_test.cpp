// Every keyword of the command table in one script, run visit after visit to
// its end, and every keyword again with hostile arguments. Run under the
// sanitizers too: nothing here may read or write out of bounds or overflow.
#include <string>
#include <string_view>

#include "module/script/keywords.h"
#include "tests/support/module_fixture.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

// Visits 1 to 6 each take one of the six rewards, then run everything else
// and end at /ABORT; visit 7 jumps straight to /HALT.
constexpr std::string_view kEveryCommand =
    "/IFVAL9>=6\n/GOTO:HALTING\n/ENDVAL9\n/VAL9+1\n"
    "/IFVAL9=1\n/CHARM:1\n/ENDVAL9\n/IFVAL9=2\n/MONEY:2\n/ENDVAL9\n"
    "/IFVAL9=3\n/EXPER:3\n/ENDVAL9\n/IFVAL9=4\n/HEALHITS\n/ENDVAL9\n"
    "/IFVAL9=5\n/FIGHTS:2\n/ENDVAL9\n/IFVAL9=6\n/GIVEGEMS:3\n/ENDVAL9\n"
    "/WAIT:00\n/CLEAR\n/NEEDS:16\nneeds-block\n/ENDNEED\n"
    "/GOSUB:SUBROUTINE\n/GOTO:AFTERSUB\nSUBROUTINE\nin-subroutine\n/RETURN\nAFTERSUB\n"
    "/VAL8=0\n/LABEL\n/VAL8+1\n/IFVAL8<3\n/LOOP\n/ENDVAL8\n"
    "/RANDOM:2\n/1RANDOM\n/GOTO:;RANDOMDONE\n/2RANDOM\n;RANDOMDONE\n/RAND:6\n"
    "/STRING1 `4Hello World  \n/STRIP1\n/UCASE1\n/LCASE1\n/MCASE1\n/OCASE1\n/ALLTRIM1\n"
    "/INSIDE1 LL\n/ENDINSIDE1\n/SAMETO1 H\n/ENDSAMETO1\n/SAMEND1 D\n/ENDSAMEND1\n"
    "/SAMEAS1 STRING1\n/ENDSTRING1\n/COPY1->2\n/MID2,3\n/COPY1->3\n"
    "/GIVEHORSE\n/REMOVEHORSE\n/REMOVEFIGHT\n/REMOVEGEM\n"
    "/HASFIGHTS:1\n/ENDFIGHTS\n/KNIGHT\n/ENDCLASS\n/THIEF\n/ENDCLASS\n/MYSTIC\n/ENDCLASS\n"
    "/MALE\n/ENDSEX\n/FEMALE\n/ENDSEX\n/ADULT\n/ENDADULT\n/HASCHARM:1\n/ENDCHARM\n"
    "/HASHORSE:\n/ENDHORSE\n/HASGEMS:1\n/ENDGEMS\n/LEVEL:1\n/ENDLEVEL\n"
    "/CHOICE:2\n/1CHOICE\n/GOTO:;CHOSEN\n/2CHOICE\n;CHOSEN\n/INPUT:Say something\n"
    "/PAUSE\n/ANYQUIT\n/LOAD:SUB.LOR\nback-from-sub\nend-of-visit |*\n/ABORT\n"
    "HALTING\n/HALT\n";

// SUB.LOR, the script that /LOAD: starts.
constexpr std::string_view kLoaded = "in-the-loaded-script\n/UNLOAD\nnot-after-unload\n";

using EveryCommand = ScriptTest;

TEST_F(EveryCommand, AScriptUsingEveryCommandRunsToItsEndVisitAfterVisit) {
    const std::string both = "\n" + std::string(kEveryCommand) + std::string(kLoaded);
    for (const auto& entry : zmb::script::kKeywords)
        ASSERT_NE(both.find(std::string("\n").append(entry.text)), std::string::npos) << entry.text;
    world.write("QHYVIGMS/SUB.LOR", std::string("Vorn IGM Script: Sub\n").append(kLoaded));
    world.write("QHYVIGMS/ALL.LOR", std::string("Vorn IGM Script: All\n").append(kEveryCommand));
    p.set_record(PlayerBytes().level(3).gold(10).forest_fights(2).gems(2).charm(2).horse(1));
    p.set_age(20);
    for (int visit = 1; visit <= 6; ++visit) {
        new_visit();
        p.clear_screen();
        p.run_script("QHYVIGMS\\ALL.LOR");
        host.pump();
        // /CHOICE:2, /INPUT:, /PAUSE and /ANYQUIT wait in turn.
        const int waits[] = {sub::kAnswer, sub::kAnswer, sub::kPause, sub::kQuitPause};
        const char* typed[] = {"2", "some words", "", ""};
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(p.substate(), waits[i]) << "visit " << visit << ", wait " << i;
            p.say(typed[i]);
        }
        EXPECT_THAT(p.take_text(),
                    AllOf(HasSubstr("needs-block"), HasSubstr("in-subroutine"),
                          HasSubstr("in-the-loaded-script"), Not(HasSubstr("not-after-unload")),
                          HasSubstr("back-from-sub"),
                          HasSubstr("end-of-visit 3")));  // /LOOP ran three times
        EXPECT_EQ(p.substate(), zmb::sub::kAfterScript) << "visit " << visit;
        EXPECT_EQ(val(9), visit);
    }
    EXPECT_THAT(strs(), ElementsAre("some words", "HeLLo WoRLD", "eLL", "", "", ""));
    EXPECT_EQ(p.record().horse(), 0);

    p.run_script("QHYVIGMS\\ALL.LOR");  // visit 7: straight to /HALT, then the command prompt
    host.pump();
    EXPECT_EQ(p.substate(), zmb::sub::kMenuCommand);
}

// Each keyword with no argument, with register texts that fill the line
// past its cut, with long runs of junk and with numbers far out of range.
// /RETURN and /LOOP are left out: as the first line of a file they restart
// it for ever, which is what they are for.
TEST_F(EveryCommand, HostileArgumentsKeepEveryFieldWithinItsSize) {
    for (int n = 1; n <= 6; ++n)
        set_str(n, "|A`4|N~~~~~~~~~~~~~~~~~~~");
    for (const auto& entry : zmb::script::kKeywords) {
        const std::string_view keyword = entry.text;
        if (keyword == "/RETURN" || keyword == "/LOOP") continue;
        const std::string k(keyword);
        new_visit();
        run(k + "\n" + k + "|N|O|P|T|U|V|A|I|J|N|O|P|T|U|V\n" + k + std::string(240, '~') + "\n" +
            k + "-1,-99999999999\n" + k + "\t\x01\x1b" + std::string(240, '\x7f') + "\n");
        for (int n = 1; n <= 6; ++n)
            EXPECT_LE(str(n).size(), 25u) << keyword << " STRING" << n;
        EXPECT_LE(p.area_text(zmb::state::skip_target.at).size(), 15u) << keyword;
        EXPECT_LE(p.area_text(zmb::state::input_prompt.at).size(), 25u) << keyword;
        EXPECT_LE(p.area_text(zmb::state::script_file.at).size(), 39u) << keyword;
    }
}

}  // namespace
}  // namespace test
