// Rewards and condition blocks through the real module: the one-reward-per-
// visit rule, the amounts of /MONEY: and /EXPER: with rand() under the test's
// control, the limits of every field, and which players a block runs for.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/module_fixture.h"

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();

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
        const PlayerView r = p.record();
        return std::vector<int32_t>{r.charm(), r.forest_fights(), r.gems(), r.gold(),
                                    r.experience()};
    };
    for (const auto& c : cases) {
        p.set_record(PlayerBytes().level(c.level).charm(2).forest_fights(1).gems(1).gold(50));
        new_visit();
        clear_rand();
        for (int draw : c.draws)
            queue_rand({draw});
        queue_rand({6});
        const std::string second = c.line[1] == 'M' ? "/CHARM:1" : "/MONEY:3";
        EXPECT_THAT(run(std::string(c.line) + "\n/RAND:10\n" + second + "\nnot-reached\n"),
                    Not(HasSubstr("not-reached")));
        std::vector<int32_t> expected{2, 1, 1, 50, 0};
        expected[std::string("CFGME").find(c.line[1])] = c.after;
        EXPECT_EQ(fields(), expected) << c.line;
        EXPECT_EQ(i32(state::last_amount), c.amount)
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
    EXPECT_EQ(p.record().horse(), 1);
    EXPECT_EQ(p.record().hit_points(), 3);
    EXPECT_EQ(p.record().gems(), 0);  // taking one stops at 0
    EXPECT_EQ(p.record().forest_fights(), 0);
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
        EXPECT_EQ(p.record().gold(), c.gold_after) << c.gold << " " << c.bank;
        EXPECT_EQ(p.record().bank(), c.bank_after) << c.gold << " " << c.bank;
        EXPECT_EQ(i32(state::last_amount), 30);
    }
    p.set_record(PlayerBytes().level(5).experience(20));
    new_visit();
    queue_rand({25});  // 3 x 400 at 100 %, quartered: 300
    run("/EXPER:-3\n");
    EXPECT_EQ(p.record().experience(), 0);
    EXPECT_EQ(i32(state::last_amount), 300);
}

TEST_F(Rewards, AdditionsStopAtTheTopOfEachField) {
    PlayerBytes record = PlayerBytes().level(12).gold(kMax32 - 10).experience(kMax32 - 1);
    p.set_record(record.charm(32766).forest_fights(32766).gems(32767));
    queue_rand({1, 25, 25, 2, 0});  // the draws of the five rewards in turn
    for (const char* line : {"/MONEY:3", "/EXPER:3", "/CHARM:3", "/FIGHTS:3", "/GIVEGEMS:1"}) {
        new_visit();
        run(std::string(line) + "\n");
    }
    EXPECT_EQ(p.record().gold(), kMax32);
    EXPECT_EQ(p.record().experience(), kMax32);
    EXPECT_EQ(p.record().charm(), 32767);
    EXPECT_EQ(p.record().forest_fights(), 32767);
    EXPECT_EQ(p.record().gems(), 32767);
}

// ---- condition blocks ----

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

}  // namespace
}  // namespace test
