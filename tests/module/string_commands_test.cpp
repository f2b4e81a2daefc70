// String registers through the real module: /STRING, /COPY, /MID, the four
// text tests and the reshaping commands.
#include <string>

#include "tests/support/module_fixture.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

using StringCommands = ScriptTest;

TEST_F(StringCommands, StringStoresTheFirst25CleanedCharacters) {
    set_str(1, "keep");
    set_str(5, "old");
    run("/STRING1\n"                                           // too short: nothing
        "/STRING2 0123456789abcdefghijKLMNOPQRSTUVWXYZ!!!!\n"  // 40 characters
        "/STRING3   two blanks each side  \n"
        "/string4-text with a control \x01 character\n"  // cut first, then cleaned
        "/STRING5 \n"                                    // ten characters: empty
        "/STRING7 xyz\n/STRING0 xyz\n");
    EXPECT_THAT(strs(), ElementsAre("keep", "0123456789abcdefghijKLMNO", "  two blanks each side  ",
                                    "text with a control  cha", "", ""));
}

TEST_F(StringCommands, CopyNeedsTwoRegisterDigits) {
    set_str(1, "first");
    set_str(2, "second");
    set_str(5, "fifth");
    run("/COPY1->3\n/COPY2  2\n/COPY0->5\n/COPY1->7\n/COPY5xx4\n/COPY1-\n");
    EXPECT_THAT(strs(), ElementsAre("first", "second", "first", "fifth", "fifth", ""));
}

TEST_F(StringCommands, MidCutsStringOneFromA1BasedStart) {
    // Each result is copied away before STRING1 is set again.
    run("/STRING1 ABCDEFGH\n/MID3,4\n/COPY1->2\n"                     // CDEF
        "/STRING1 ABCDEFGH\n/MID0,3\n/COPY1->3\n"                     // start 0: AB
        "/STRING1 ABCDEFGHIJKLM\n/MID12,2\n/COPY1->4\n"               // the last two
        "/STRING1 ABCDEFGHIJKLMNOPQRSTUVWXY\n/MID2,123\n/COPY1->5\n"  // length 12
        "/STRING1 ABCDEFGH\n/MID2,0\n/COPY1->6\n"                     // nothing
        "/STRING1 ABCDEFGH\n/MID123,2\n/MID3-4\n/MID\n");             // no comma: no change
    EXPECT_THAT(strs(), ElementsAre("ABCDEFGH", "CDEF", "AB", "LM", "BCDEFGHIJKLM", ""));
}

TEST_F(StringCommands, TextTestsRunTheirBlockOnlyWhenTheyHold) {
    set_str(1, "yes");
    set_str(2, "Hello World");
    const std::string shown = run(
        "/SAMEAS1 YES\nsame-yes\n/ENDSTRING1\n/SAMEAS1 yes \nsame-no\n/ENDSTRING1\n"  // blank kept
        "/SAMETO2 hello\nbegins-yes\n/ENDSAMETO2\n/SAMETO2 world\nbegins-no\n/ENDSAMETO2\n"
        "/SAMEND2 WORLD\nends-yes\n/ENDSAMEND2\n/SAMEND2 hello\nends-no\n/ENDSAMEND2\n"
        "/INSIDE2 lo wo\ninside-yes\n/ENDINSIDE2\n/INSIDE2 low\ninside-no\n/ENDINSIDE2\n"
        "/INSIDE1\nshort-yes\n/ENDINSIDE1\n"  // shorter than ten characters: runs
        "finished\n");
    EXPECT_THAT(shown, AllOf(HasSubstr("same-yes"), HasSubstr("begins-yes"), HasSubstr("ends-yes"),
                             HasSubstr("inside-yes"), HasSubstr("short-yes"), HasSubstr("finished"),
                             Not(HasSubstr("-no"))));
}

TEST_F(StringCommands, EachTestSkipsToItsOwnMarkerAndRegisterCharacter) {
    set_str(1, "GOLD");
    set_str(2, "string5 follows");  // so STRING2 stands for STRING5 in turn
    set_str(5, "gold");
    const std::string shown =
        run("/SAMEAS1 STRING2\nnamed-register\n/ENDSTRING1\n"
            "/SAMETO1 x\n/ENDSAMEND1\n/ENDSAMETO2\n/ENDSTRING1\nhidden-1\n/ENDSAMETO1\nshown-1\n"
            // register character 9 names no register: the text tested is empty
            "/INSIDE9 a\n/ENDINSIDE1\nhidden-2\n/ENDINSIDE9\nshown-2\n");
    EXPECT_THAT(shown, AllOf(HasSubstr("named-register"), Not(HasSubstr("hidden")),
                             HasSubstr("shown-1"), HasSubstr("shown-2")));
}

TEST_F(StringCommands, ReshapingCommandsApplyTheTextUtilities) {
    set_str(1, "hELLO wORLD");
    set_str(2, "hello world");
    set_str(3, "MiXeD");
    set_str(4, "sky and sea");
    set_str(5, "  padded  ");
    set_str(6, "`4red `2green");
    run("/MCASE1\n/UCASE2\n/LCASE3\n/OCASE4\n/ALLTRIM5\n/STRIP6\n"
        "/UCASE\n/UCASE0\n/LCASE7\n/ALLTRIM\n/ALLTRIM9\n/STRIPx\n");  // no register: nothing
    EXPECT_THAT(strs(), ElementsAre("Hello World", "HELLO WORLD", "mixed", "SKY aND Sea", "padded",
                                    "red green"));
}

}  // namespace
}  // namespace test
