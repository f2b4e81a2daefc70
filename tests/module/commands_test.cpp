// Commands through the real module: the registers, the rewards (rand() under
// the test's control), the condition blocks and the bar codes.
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "include/host_interface.h"
#include "tests/support/session.h"

namespace test {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

using ValueCommands = ScriptTest;

// Arithmetic, CONVERT, lines that name no register or operator, division
// by zero and overflow, each script on registers set before it.
TEST_F(ValueCommands, ArithmeticConvertAndMalformedLines) {
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

    set_str(2, "42 apples");
    set_vals({100, 0, 11, 8, 0, 0, 0, 0, 0});
    run("/VAL1+CONVERT2\n"  // a set whatever the operator: 42, not 142
        "/VAL4+CONVERT7\n"  // no register 7: nothing at all
        "/VAL0=5\n/VALx=5\n/VAL3?5\n/VAL3\n/VAL3%5\n/VAL2\n");
    EXPECT_THAT(vals(), ElementsAre(42, 0, 11, 8, 0, 0, 0, 0, 0));

    set_vals({kMax, kMax, kMin, kMin, 9, kMax, kMin, 0, 0});
    run("/VAL5/0\n/VAL5/VAL9\n/VAL5/none\n"  // by zero: unchanged
        "/VAL4/-1\n"                         // the one quotient that overflows: unchanged
        "/VAL1+1\n/VAL3-1\n/VAL2*2\n/VAL7*-1\n/VAL6*65536\n/VAL8=65536\n/VAL8*65536\n");
    EXPECT_THAT(vals(), ElementsAre(kMin, -2, kMax, kMin, 9, -65536, kMin, 0, 0));
}

TEST_F(ValueCommands, IfvalComparisons) {
    set_vals({5, 5, -1});
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

using StringCommands = ScriptTest;

TEST_F(StringCommands, StringStoresTheFirst25CleanedCharacters) {
    set_strs({"keep", "", "", "", "old"});
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
    set_strs({"first", "second", "", "", "fifth"});
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
    // STRING3 stands for STRING5 in turn.
    set_strs({"yes", "Hello World", "string5 follows", "GOLD", "gold"});
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
    set_strs({"hELLO wORLD", "hello world", "MiXeD", "sky and sea", "  padded  ", "`4red `2green"});
    run("/MCASE1\n/UCASE2\n/LCASE3\n/OCASE4\n/ALLTRIM5\n/STRIP6\n"
        "/UCASE\n/UCASE0\n/LCASE7\n/ALLTRIM\n/ALLTRIM9\n/STRIPx\n");  // no register: nothing
    EXPECT_THAT(strs(), ElementsAre("Hello World", "HELLO WORLD", "mixed", "SKY aND Sea", "padded",
                                    "red green"));
}

using Rewards = ScriptTest;

// Each reward changes its own field only, by an amount drawn with rand(); a
// second reward in the visit ends the script and changes nothing.
TEST_F(Rewards, EachRewardChangesItsFieldAndASecondEndsTheScript) {
    const struct {
        int16_t level;
        const char* line;
        std::vector<int> draws;
        int32_t after, amount;  // the field's new value
    } cases[] = {
        {1, "/CHARM:-3", {}, 0, 3},  // charm 2 - 3 stops at 0
        {1, "/CHARM:2", {}, 4, 2},
        {1, "/CHARM:9", {}, 2, 0},                    // no tier, still the visit's reward
        {1, "/FIGHTS:3", {2}, 6, 5},                  // 3 + 2 rem 3
        {1, "/FIGHTS:-1", {}, 1, 0},                  // "-" is read alone: 0
        {1, "/GIVEGEMS:25", {1}, 4, 3},               // one digit: 2 + 1 rem 2
        {1, "/MONEY:1", {1, 4}, 78, 28},              // 100 x 0.29f = 28.99...
        {1, "/MONEY:2", {0, 40}, 125, 75},            // 0.9f x 100 is 89: span 40, t = 50
        {1, "/MONEY:2", {0, 39}, 183, 133},           // 150 x 0.89f = 133.49...
        {12, "/MONEY:3", {1, 25}, 9600050, 9600000},  // 3 x 800000 x 4 at 100 %
        {13, "/MONEY:1", {1, 0}, 50, 0},              // no table amount, both draws made
        // The experience share's high fraction lies below its low.
        {5, "/EXPER:1", {13}, 151, 151},  // 400; span -14: t = 38; 400 x 0.38f = 151.99...
        {5, "/EXPER:1", {14}, 100, 100},  // 14 rem -14 = 0: t = 25
        {5, "/EXPER:2", {38}, 703, 703},  // span -39: t = 88; 800 x 0.88f = 703.99...
        {0, "/EXPER:3", {25}, 30, 30},    // the base is never below 10
        {1, "/EXPER:3", {25}, 30, 30},    // 1000 / 250 = 4, raised to 10
    };
    const auto fields = [&] {
        return std::vector<int32_t>{p.get(pl::charm), p.get(pl::forest_fights), p.get(pl::gems),
                                    p.get(pl::gold), p.get(pl::experience)};
    };
    for (const auto& c : cases) {
        p.set_record(PlayerBytes().level(c.level).charm(2).forest_fights(1).gems(1).gold(50));
        new_visit();
        clear_rand();
        queue_rand(c.draws);
        queue_rand({6});
        const std::string second = c.line[1] == 'M' ? "/CHARM:1" : "/MONEY:3";
        EXPECT_THAT(run(std::string(c.line) + "\n/RAND:10\n" + second + "\nnot-reached\n"),
                    Not(HasSubstr("not-reached")));
        std::vector<int32_t> expected{2, 1, 1, 50, 0};
        expected[std::string("CFGME").find(c.line[1])] = c.after;
        EXPECT_EQ(fields(), expected) << c.line;
        EXPECT_EQ(p.get(state::last_amount), c.amount)
            << c.line << " " << ::testing::PrintToString(c.draws);
        EXPECT_EQ(val(1), 7) << c.line << ": the draws before /RAND:";
        EXPECT_EQ(p.substate(), zmb::sub::kAfterScript);
    }
}

// The horse commands do not look at the flag but set it; /REMOVEFIGHT and
// /REMOVEGEM neither look at it nor set it.
TEST_F(Rewards, TheHorseSetsTheFlagAndTakingFightsOrGemsLeavesIt) {
    p.set_record(PlayerBytes().gems(0).forest_fights(2).max_hit_points(30).hit_points(3));
    EXPECT_THAT(run("/REMOVEGEM\n/REMOVEFIGHT\n/REMOVEFIGHTS\n/REMOVEFIGHT\n/REMOVEGEMS\n"
                    "/GIVEHORSE\n/REMOVEHORSE\n/GIVEHORSE\nhorsed\n/HEALHITS\nnot-healed\n"),
                AllOf(HasSubstr("horsed"), Not(HasSubstr("not-healed"))));
    EXPECT_EQ(p.get(pl::horse), 1);
    EXPECT_EQ(p.get(pl::hit_points), 3);
    EXPECT_EQ(p.get(pl::gems), 0);  // taking one stops at 0
    EXPECT_EQ(p.get(pl::forest_fights), 0);
}

TEST_F(Rewards, LossesTakeFromGoldThenFromTheBankAndStopAtZero) {
    const struct {
        int32_t gold, bank, gold_after, bank_after;
    } cases[] = {{10, 100, 0, 80}, {10, 5, 0, 0}, {500, 5, 470, 5}};
    for (const auto& c : cases) {
        // Level 2: base 75 x 4 = 300; t = 25 + 15 = 40; 120 quartered is 30.
        p.set_record(PlayerBytes().level(2).gold(c.gold).bank(c.bank));
        new_visit();
        queue_rand({1, 15});
        run("/MONEY:-1\n");
        EXPECT_EQ(p.get(pl::gold), c.gold_after) << c.gold << " " << c.bank;
        EXPECT_EQ(p.get(pl::bank), c.bank_after) << c.gold << " " << c.bank;
        EXPECT_EQ(p.get(state::last_amount), 30);
    }
    p.set_record(PlayerBytes().level(5).experience(20));
    new_visit();
    queue_rand({25});  // 3 x 400 at 100 %, quartered: 300
    run("/EXPER:-3\n");
    EXPECT_EQ(p.get(pl::experience), 0);
    EXPECT_EQ(p.get(state::last_amount), 300);
}

TEST_F(Rewards, AdditionsStopAtTheTopOfEachField) {
    PlayerBytes record = PlayerBytes().level(12).gold(kMax - 10).experience(kMax - 1);
    p.set_record(record.charm(32766).forest_fights(32766).gems(32767));
    queue_rand({1, 25, 25, 2, 0});  // the draws of the five rewards in turn
    for (const char* line : {"/MONEY:3", "/EXPER:3", "/CHARM:3", "/FIGHTS:3", "/GIVEGEMS:1"}) {
        new_visit();
        run(std::string(line) + "\n");
    }
    EXPECT_EQ(p.get(pl::gold), kMax);
    EXPECT_EQ(p.get(pl::experience), kMax);
    EXPECT_EQ(p.get(pl::charm), 32767);
    EXPECT_EQ(p.get(pl::forest_fights), 32767);
    EXPECT_EQ(p.get(pl::gems), 32767);
}

using Conditions = ScriptTest;

TEST_F(Conditions, RunOnlyForThePlayersTheyName) {
    const struct {
        PlayerBytes record;
        uint8_t age;
        const char* test;
        const char* end;
        bool runs;
    } cases[] = {
        {PlayerBytes().level(4), 0, "/LEVEL:5", "/ENDLEVEL", false},
        {PlayerBytes().level(5), 0, "/LEVEL:5", "/ENDLEVEL", true},
        {PlayerBytes().level(5), 0, "/LEVEL:-5", "/ENDLEVEL", true},
        {PlayerBytes().level(6), 0, "/LEVEL:-5", "/ENDLEVEL", false},
        {PlayerBytes().charm(19), 0, "/HASCHARM:20", "/ENDCHARM", false},
        {PlayerBytes().charm(20), 0, "/HASCHARM:20", "/ENDCHARM", true},
        {PlayerBytes().charm(3), 0, "/HASCHARM:-3", "/ENDCHARM", true},
        {PlayerBytes().forest_fights(3), 0, "/HASFIGHTS:4", "/ENDFIGHTS", false},
        {PlayerBytes().gems(9), 0, "/HASGEMS:10", "/ENDGEMS", false},
        {PlayerBytes(), 17, "/ADULT", "/ENDADULT", false},
        {PlayerBytes(), 18, "/ADULT", "/ENDADULT", true},
        {PlayerBytes().player_class(1), 0, "/KNIGHT", "/ENDCLASS", true},
        {PlayerBytes().player_class(2), 0, "/KNIGHT", "/ENDCLASS", false},
        {PlayerBytes().player_class(2), 0, "/MYSTIC", "/ENDCLASS", true},
        {PlayerBytes().player_class(3), 0, "/THIEF", "/ENDCLASS", true},
        {PlayerBytes().player_class(0), 0, "/THIEF", "/ENDCLASS", false},
        {PlayerBytes().sex(5), 0, "/FEMALE", "/ENDSEX", true},
        {PlayerBytes().sex(6), 0, "/FEMALE", "/ENDSEX", false},
        {PlayerBytes().sex(0), 0, "/MALE", "/ENDSEX", true},
        {PlayerBytes().sex(5), 0, "/MALE", "/ENDSEX", false},
        {PlayerBytes().horse(1), 0, "/HASHORSE:", "/ENDHORSE", true},
        {PlayerBytes().horse(2), 0, "/HASHORSE:", "/ENDHORSE", false},
        // A false outer block passes over inner end markers of other kinds.
        {PlayerBytes().sex(5).player_class(1), 0, "/MALE\n/KNIGHT",
         "/ENDCLASS\ninside-the-block\n/ENDSEX", false},
    };
    for (const auto& c : cases) {
        p.set_record(c.record);
        p.set_age(c.age);
        const std::string shown =
            run(std::string(c.test) + "\ninside-the-block\n" + c.end + "\nafter-the-block\n");
        EXPECT_THAT(shown, HasSubstr("after-the-block")) << c.test;
        EXPECT_EQ(shown.find("inside-the-block") != std::string::npos, c.runs)
            << c.test << " age " << int{c.age};
    }
}

using Substitution = ScriptTest;  // Ardo: the fixture names the player

TEST_F(Substitution, EveryCodeOfTheTable) {
    PlayerBytes record = PlayerBytes().strength(17).charm(-4).experience(123456).gold(-5);
    record.bank(777).level(12).weapon("Short Sword").armour("Leather").forest_fights(9);
    p.set_record(record.hit_points(31).gems(2));
    p.set(zmb::trip::trips_used, 3);
    p.set_age(33);
    set_strs({"one", "two", "three", "four", "five", "six"});
    set_vals({11, 22, kMin, 44, 55, 66, 77, 88, 99});
    queue_rand({1});  // /FIGHTS:1 gives 1 + 1 rem 2 = 2, for |C
    // R: the trips per day of the configuration file written at start-up (10).
    EXPECT_EQ(run("/FIGHTS:1\nA=|A B=|B C=|C D=|D E=|E F=|F G=|G H=|H I=|I J=|J K=|K L=|L M=|M\n"
                  "N=|N O=|O P=|P Q=|Q R=|R T=|T U=|U V=|V W=|W X=|X\n"
                  "!=|! @=|@ #=|# $=|$ %=|% ^=|^ &=|& *=|* (=|(\nlower: |a |h |n |x\n"),
              std::string("A=Ardo B=17 C=2 D=-4 E=123456 F=-5 G=777 H=12 I=Short Sword J=Leather "
                          "K=11 L=3 M=1.2D\nN=one O=two P=three Q=33 R=10 T=four U=five V=six "
                          "W=31 X=2\n!=11 @=22 #=-2147483648 $=44 %=55 ^=66 &=77 *=88 (=99\n"
                          "lower: Ardo 12 one 2\n") +
                  kEndText);
}

TEST_F(Substitution, TextFieldsWithoutATerminatorAreCutAndLeftAsTheyWere) {
    PlayerBytes record;
    std::memset(&record.bytes[zmb::player::weapon_name.at], 'W', zmb::player::weapon_name.size);
    std::memset(&record.bytes[zmb::player::armour_name.at], 'R', zmb::player::armour_name.size);
    p.set_record(record);
    EXPECT_THAT(run("[|I] [|J]\n"),
                HasSubstr("[" + std::string(22, 'W') + "] [" + std::string(24, 'R') + "]"));
    EXPECT_EQ(p.area()[zmb::player::weapon_name.at + 22], 'W');
    EXPECT_EQ(p.area()[zmb::player::armour_name.at + 24], 'R');
}

// The date and time codes at the start of a line keep the rest of it.
TEST_F(Substitution, CodesThatInsertNothingTextNotScannedAgainDateTimeAndTheCut) {
    set_local_time(2026, 3, 4, 15, 7);
    set_str(1, "|A");
    set_vals({0, 1});
    // The scan stops once the output holds more than 240 characters: at 240
    // one more code is expanded.
    EXPECT_EQ(run("a|Sb|5c||d|sE|-F\n[|N]\n|Y is the date of today\n|z is the time\n"
                  "/IFVAL1=5\nhidden\n/ENDVAL|@\n"  // the end marker is compared after expansion
                  "x|\ny\n" +  // a bar before the line feed takes it as its code character
                  std::string(245, 'a') +
                  "|Hbbb\nNEXT\n" + std::string(240, 'c') + "|Azzz\nLAST\n"),
              "abcdEF\n[|A]\n" + std::string(ncdate(today())) +
                  " is the date of today\n3:07 PM is the time\nxy\n" + std::string(241, 'a') +
                  "NEXT\n" + std::string(240, 'c') + "ArdoLAST\n" + kEndText);
}

}  // namespace
}  // namespace test
