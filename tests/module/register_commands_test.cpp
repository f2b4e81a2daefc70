// Registers and random choices through the real module: /VAL, /IFVAL,
// /RANDOM:, /RAND:, and the string registers' /STRING, /COPY, /MID, the
// four text tests and the reshaping commands.
#include <cstdint>
#include <limits>
#include <string>

#include "tests/support/module_fixture.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

using ValueCommands = ScriptTest;

TEST_F(ValueCommands, Arithmetic) {
    run("/VAL1=7\n/VAL1/2\n"      // 3
        "/VAL2=-7\n/VAL2/2\n"     // truncated toward zero: -3
        "/VAL3=21\n/VAL3+VAL3\n"  // 42
        "/VAL4=6\n/VAL4*-7\n"     // -42
        "/VAL5=10\n/VAL5-15\n"    // -5
        "/VAL6= +12\n"            // blanks and a sign, as atol reads them
        "/VAL7=val3\n/VAL7-1\n"   // a register name in small letters: 41
        "/VAL8=5\n/VAL8+VALx\n"   // no register x: + 0
        "/VAL9=99999999999\n");   // held to the 32-bit range
    EXPECT_THAT(vals(), ElementsAre(3, -3, 42, -42, -5, 12, 41, 5, kMax));
}

TEST_F(ValueCommands, ConvertAndMalformedLines) {
    set_str(2, "42 apples");
    set_val(1, 100);
    set_val(3, 11);
    set_val(4, 8);
    run("/VAL1+CONVERT2\n"  // a set whatever the operator: 42, not 142
        "/VAL4+CONVERT7\n"  // no register 7: nothing at all
        "/VAL0=5\n/VALx=5\n/VAL3?5\n/VAL3\n/VAL3%5\n/VAL2\n");
    EXPECT_THAT(vals(), ElementsAre(42, 0, 11, 8, 0, 0, 0, 0, 0));
}

TEST_F(ValueCommands, DivisionByZeroKeepsTheTargetAndOverflowWraps) {
    for (int n : {1, 2, 6})
        set_val(n, kMax);
    for (int n : {3, 4, 7})
        set_val(n, kMin);
    set_val(5, 9);
    run("/VAL5/0\n/VAL5/VAL9\n/VAL5/none\n"  // by zero: unchanged
        "/VAL4/-1\n"                         // the one quotient that overflows: unchanged
        "/VAL1+1\n/VAL3-1\n/VAL2*2\n/VAL7*-1\n/VAL6*65536\n/VAL8=65536\n/VAL8*65536\n");
    EXPECT_THAT(vals(), ElementsAre(kMin, -2, kMax, kMin, 9, -65536, kMin, 0, 0));
}

TEST_F(ValueCommands, IfvalComparisons) {
    set_val(1, 5);
    set_val(2, 5);
    set_val(3, -1);
    const struct {
        const char* test;
        bool holds;
    } cases[] = {
        {"/IFVAL1=5", true},    {"/IFVAL1=4", false}, {"/IFVAL1<>5", false},
        {"/IFVAL1<>4", true},   {"/IFVAL1<6", true},  {"/IFVAL1<5", false},
        {"/IFVAL1>4", true},    {"/IFVAL1>5", false}, {"/IFVAL1<=5", true},
        {"/IFVAL1<=4", false},  {"/IFVAL1>=5", true}, {"/IFVAL1>=6", false},
        {"/IFVAL1!5", false},  // no comparison character
        {"/IFVAL1=VAL2", true}, {"/IFVAL3<0", true},  {"/IFVAL1=5 and text", true},
        {"/IFVAL1", true},    // too short to test: the block runs
        {"/IFVAL1=", false},  // nine characters: compared with 0
        {"/IFVALx=0", true},  // no register: its value is 0, its marker /ENDVAL0
    };
    std::string script;
    for (const auto& c : cases) {
        const char end = c.test[6] == 'x' ? '0' : c.test[6];
        script += std::string(c.test) + "\ninside " + c.test + "\n/ENDVAL" + end + "\n";
    }
    // A skip ends at the first line beginning with its marker: an inner
    // block's end ends it, and /ENDVAL1 ends the skip of /IFVAL1.
    const std::string shown =
        run(script +
            "/IFVAL1=1\n/IFVAL1=0\nhidden-inner\n/ENDVAL1\nouter-rest\n/ENDVAL1\n"
            "/IFVAL1<0\n/ENDVAL2\nhidden-2\n/endval12 and more\nafter-12\n");
    for (const auto& c : cases) {
        const bool ran = shown.find(std::string("inside ") + c.test + "\n") != std::string::npos;
        EXPECT_EQ(ran, c.holds) << c.test;
    }
    EXPECT_THAT(shown,
                AllOf(Not(HasSubstr("hidden")), HasSubstr("outer-rest"), HasSubstr("after-12")));
}

// /RANDOM: jumps to the drawn alternative; /RAND: puts a number from 1 to
// its count in VAL1.
TEST_F(ValueCommands, RandomAndRand) {
    queue_rand({4, 7, 8, 5, 20, 7, 9, 5000, 30000, 4});
    const std::string shown =
        run("/RANDOM:3\n/1RANDOM\nhidden-a\n/2RANDOM\n3-gives-2\n"  // 4 rem 3 + 1
            "/RANDOM:0\n/2RANDOM\nhidden-b\n/1RANDOM\n0-gives-1\n"
            "/RANDOM:\n/2RANDOM\nhidden-c\n/1RANDOM\nnone-gives-1\n"
            "/random:-3\n/1RANDOM\n/2RANDOM\nhidden-d\n/3RANDOM\nminus-3-gives-3\n"  // 5 rem -3
            "/RAND:-6\n/VAL2=VAL1\n"     // 20 rem -6 + 1 = 3
            "/RAND:0\n/VAL3=VAL1\n"      // a count of 0 acts as 1
            "/RAND:\n/VAL4=VAL1\n"       // so does a missing one
            "/RAND:70000\n/VAL5=VAL1\n"  // low 16 bits 4464: 5000 rem 4464 + 1
            "/RAND:40000\n/VAL6=VAL1\n"  // low 16 bits -25536: 30000 rem -25536 + 1
            "/RANDOMIZE\n/RANDY\n"       // neither draws
            "/RAND:10\n");               // the queued 4
    EXPECT_THAT(shown,
                AllOf(Not(HasSubstr("hidden")), HasSubstr("3-gives-2"), HasSubstr("0-gives-1"),
                      HasSubstr("none-gives-1"), HasSubstr("minus-3-gives-3")));
    EXPECT_THAT(vals(), ElementsAre(5, 3, 1, 1, 537, 4465, 0, 0, 0));
}

// ---- string registers ----

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

// The four text tests run their block only when they hold, and each skips
// to its own marker and register character.
TEST_F(StringCommands, TextTests) {
    set_str(1, "yes");
    set_str(2, "Hello World");
    set_str(3, "string5 follows");  // so STRING3 stands for STRING5 in turn
    set_str(4, "GOLD");
    set_str(5, "gold");
    const std::string shown = run(
        "/SAMEAS1 YES\nsame-yes\n/ENDSTRING1\n/SAMEAS1 yes \nsame-no\n/ENDSTRING1\n"  // blank kept
        "/SAMETO2 hello\nbegins-yes\n/ENDSAMETO2\n/SAMETO2 world\nbegins-no\n/ENDSAMETO2\n"
        "/SAMEND2 WORLD\nends-yes\n/ENDSAMEND2\n/SAMEND2 hello\nends-no\n/ENDSAMEND2\n"
        "/INSIDE2 lo wo\ninside-yes\n/ENDINSIDE2\n/INSIDE2 low\ninside-no\n/ENDINSIDE2\n"
        "/INSIDE1\nshort-yes\n/ENDINSIDE1\n"  // shorter than ten characters: runs
        "/SAMEAS4 STRING3\nnamed-register\n/ENDSTRING4\n"
        "/SAMETO4 x\n/ENDSAMEND4\n/ENDSAMETO3\n/ENDSTRING4\nhidden-no\n/ENDSAMETO4\nshown-1\n"
        // register character 9 names no register: the text tested is empty
        "/INSIDE9 a\n/ENDINSIDE4\nhidden-no\n/ENDINSIDE9\nshown-2\n");
    EXPECT_THAT(shown,
                AllOf(HasSubstr("same-yes"), HasSubstr("begins-yes"), HasSubstr("ends-yes"),
                      HasSubstr("inside-yes"), HasSubstr("short-yes"), Not(HasSubstr("-no")),
                      HasSubstr("named-register"), HasSubstr("shown-1"), HasSubstr("shown-2")));
}

TEST_F(StringCommands, ReshapingCommandsApplyTheTextUtilities) {
    const char* texts[] = {"hELLO wORLD", "hello world", "MiXeD",
                           "sky and sea", "  padded  ",  "`4red `2green"};
    for (int n = 1; n <= 6; ++n)
        set_str(n, texts[n - 1]);
    run("/MCASE1\n/UCASE2\n/LCASE3\n/OCASE4\n/ALLTRIM5\n/STRIP6\n"
        "/UCASE\n/UCASE0\n/LCASE7\n/ALLTRIM\n/ALLTRIM9\n/STRIPx\n");  // no register: nothing
    EXPECT_THAT(strs(), ElementsAre("Hello World", "HELLO WORLD", "mixed", "SKY aND Sea", "padded",
                                    "red green"));
}

}  // namespace
}  // namespace test
