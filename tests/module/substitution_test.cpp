// Bar codes through the real module: every code of the table, the cut after
// 240 characters, codes that insert nothing, the date and time codes at the
// start of a line, and lines whose expansion only looks like a command.
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "include/host_interface.h"
#include "tests/support/module_fixture.h"

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

using Substitution = ScriptTest;  // Ardo: the fixture names the player

TEST_F(Substitution, EveryCodeOfTheTable) {
    PlayerBytes record = PlayerBytes().strength(17).charm(-4).experience(123456).gold(-5);
    record.bank(777).level(12).weapon("Short Sword").armour("Leather").forest_fights(9);
    p.set_record(record.hit_points(31).gems(2));
    p.set_area_i16(zmb::trip::trips_used.at, 3);
    p.set_age(33);
    const char* texts[] = {"one", "two", "three", "four", "five", "six"};
    for (int n = 1; n <= 6; ++n)
        set_str(n, texts[n - 1]);
    for (int n = 1; n <= 9; ++n)
        set_val(n, n * 11);
    set_val(3, std::numeric_limits<int32_t>::min());
    queue_rand({1});  // /FIGHTS:1 gives 1 + 1 rem 2 = 2, for |C
    const std::string shown =
        run("/FIGHTS:1\nA=|A B=|B C=|C D=|D E=|E F=|F G=|G H=|H I=|I J=|J K=|K L=|L M=|M\n"
            "N=|N O=|O P=|P Q=|Q R=|R T=|T U=|U V=|V W=|W X=|X\n"
            "!=|! @=|@ #=|# $=|$ %=|% ^=|^ &=|& *=|* (=|(\nlower: |a |h |n |x\n");
    EXPECT_THAT(shown, HasSubstr("A=Ardo B=17 C=2 D=-4 E=123456 F=-5 G=777 H=12 I=Short Sword "
                                 "J=Leather K=11 L=3 M=1.2D\n"));
    // R: the trips per day of the configuration file written at start-up (10).
    EXPECT_THAT(shown, HasSubstr("N=one O=two P=three Q=33 R=10 T=four U=five V=six W=31 X=2\n"));
    EXPECT_THAT(shown, HasSubstr("!=11 @=22 #=-2147483648 $=44 %=55 ^=66 &=77 *=88 (=99\n"));
    EXPECT_THAT(shown, HasSubstr("lower: Ardo 12 one 2\n"));
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

// The date and time codes at the start of a line keep the rest of it; the
// scan stops once the output holds more than 240 characters.
TEST_F(Substitution, CodesThatInsertNothingTextNotScannedAgainDateTimeAndTheCut) {
    std::tm local{};  // 4 March 2026, 15:07 local time
    local.tm_year = 126, local.tm_mon = 2, local.tm_mday = 4, local.tm_hour = 15, local.tm_min = 7;
    local.tm_isdst = -1;
    set_time(std::mktime(&local));
    set_str(1, "|A");
    set_val(2, 1);
    const std::string shown =
        run("a|Sb|5c||d|sE|-F\n[|N]\n|Y is the date of today\n|z is the time\n"
            "/IFVAL1=5\nhidden\n/ENDVAL|@\n"  // the end marker is compared after expansion
            "x|\ny\n" +  // a bar before the line feed takes it as its code character
            std::string(245, 'a') +
            "|Hbbb\nNEXT\n" + std::string(240, 'c') + "|Azzz\nLAST\n");
    EXPECT_THAT(shown, AllOf(HasSubstr("abcdEF\n[|A]\n"), Not(HasSubstr("hidden")),
                             HasSubstr("\nxy\n"), HasSubstr("3:07 PM is the time\n")));
    EXPECT_THAT(shown, HasSubstr(std::string(ncdate(today())) + " is the date of today\n"));
    EXPECT_THAT(shown, HasSubstr(std::string(241, 'a') + "NEXT"));
    EXPECT_THAT(shown, Not(HasSubstr(std::string(242, 'a'))));
    EXPECT_THAT(shown, HasSubstr(std::string(240, 'c') + "ArdoLAST"));  // 240: one more code
}

}  // namespace
}  // namespace test
