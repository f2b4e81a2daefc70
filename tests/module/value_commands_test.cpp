// Value registers, random choices and the reward amounts through the real
// module: /VAL, /IFVAL, /RANDOM:, /RAND:, and the gold and experience
// amounts of /MONEY: and /EXPER: with rand() under the test's control.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

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
    const std::string shown = run(script + "the-end\n");
    for (const auto& c : cases) {
        const bool ran = shown.find(std::string("inside ") + c.test + "\n") != std::string::npos;
        EXPECT_EQ(ran, c.holds) << c.test;
    }
    EXPECT_THAT(shown, HasSubstr("the-end"));
}

TEST_F(ValueCommands, IfvalSkipEndsAtTheFirstLineBeginningWithItsMarker) {
    const std::string shown =
        run("/IFVAL1=1\n/IFVAL1=0\nhidden-inner\n"
            "/ENDVAL1\nouter-rest\n/ENDVAL1\n"  // the inner block's end ends the skip
            "/IFVAL1>0\n/ENDVAL2\nhidden-2\n/endval12 and more\nafter-12\n");
    EXPECT_THAT(shown,
                AllOf(Not(HasSubstr("hidden")), HasSubstr("outer-rest"), HasSubstr("after-12")));
}

TEST_F(ValueCommands, RandomJumpsToTheDrawnAlternative) {
    queue_rand({4, 7, 8, 5});
    const std::string shown =
        run("/RANDOM:3\n/1RANDOM\nhidden-a\n/2RANDOM\n3-gives-2\n"  // 4 rem 3 + 1
            "/RANDOM:0\n/2RANDOM\nhidden-b\n/1RANDOM\n0-gives-1\n"
            "/RANDOM:\n/2RANDOM\nhidden-c\n/1RANDOM\nnone-gives-1\n"
            "/random:-3\n/1RANDOM\n/2RANDOM\nhidden-d\n/3RANDOM\nminus-3-gives-3\n");  // 5 rem -3
    EXPECT_THAT(shown,
                AllOf(Not(HasSubstr("hidden")), HasSubstr("3-gives-2"), HasSubstr("0-gives-1"),
                      HasSubstr("none-gives-1"), HasSubstr("minus-3-gives-3")));
}

TEST_F(ValueCommands, RandPutsANumberFrom1ToTheCountInVal1) {
    queue_rand({20, 7, 9, 5000, 30000, 4});
    run("/RAND:-6\n/VAL2=VAL1\n"     // 20 rem -6 + 1 = 3
        "/RAND:0\n/VAL3=VAL1\n"      // a count of 0 acts as 1
        "/RAND:\n/VAL4=VAL1\n"       // so does a missing one
        "/RAND:70000\n/VAL5=VAL1\n"  // low 16 bits 4464: 5000 rem 4464 + 1
        "/RAND:40000\n/VAL6=VAL1\n"  // low 16 bits -25536: 30000 rem -25536 + 1
        "/RANDOMIZE\n/RANDY\n"       // neither draws
        "/RAND:10\n");               // the queued 4
    EXPECT_THAT(vals(), ElementsAre(5, 3, 1, 1, 537, 4465, 0, 0, 0));
}

// ---- the amounts of /MONEY: and /EXPER: ----

using RewardAmounts = ScriptTest;

// Single-precision shares; the experience share's high fraction lies below its low.
TEST_F(RewardAmounts, MoneyAndExperienceShares) {
    const struct {
        int16_t level;
        const char* line;
        std::vector<int> draws;
        int32_t amount;
    } cases[] = {
        {1, "/MONEY:1", {1, 4}, 28},         // 100 x 0.29f = 28.99...
        {1, "/MONEY:2", {0, 40}, 75},        // 0.9f x 100 is 89: span 40, t = 50
        {1, "/MONEY:2", {0, 39}, 133},       // 150 x 0.89f = 133.49...
        {12, "/MONEY:3", {1, 25}, 9600000},  // 3 x 800000 x 4 at 100 %
        {13, "/MONEY:1", {1, 0}, 0},         // no table amount, both draws made
        {5, "/EXPER:1", {13}, 151},          // 400; span -14: t = 38; 400 x 0.38f = 151.99...
        {5, "/EXPER:1", {14}, 100},          // 14 rem -14 = 0: t = 25
        {5, "/EXPER:2", {38}, 703},          // span -39: t = 88; 800 x 0.88f = 703.99...
        {0, "/EXPER:3", {25}, 30},           // the base is never below 10
        {1, "/EXPER:3", {25}, 30},           // 1000 / 250 = 4, raised to 10
    };
    for (const auto& c : cases) {
        p.set_record(PlayerBytes().level(c.level).gold(50).experience(0));
        new_visit();
        for (int draw : c.draws)
            queue_rand({draw});
        queue_rand({6});
        run(std::string(c.line) + "\n/RAND:10\n");
        const bool money = c.line[1] == 'M';
        EXPECT_EQ(i32(state::last_amount), c.amount) << c.line << " " << c.draws.back();
        EXPECT_EQ(p.record().gold(), 50 + (money ? c.amount : 0)) << c.line;
        EXPECT_EQ(p.record().experience(), money ? 0 : c.amount) << c.line;
        EXPECT_EQ(val(1), 7) << "the next draw reaches /RAND:";
    }
}

}  // namespace
}  // namespace test
