// The stats screen, shown with "V" from the menu or at a question: its
// lines byte for byte, the grouped numbers and the optional lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "tests/support/module_fixture.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace test {
namespace {

const std::string kRule =
    "-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n";
constexpr const char* kEnd = "\n\n<ENTER>";

std::string pad(std::string s, size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

// The numbers and texts a screen shows, already grouped, in this order.
struct Shown {
    std::string name = "Tester", title = "Far Reaches";
    std::string experience = "0", level = "1", hit_points = "10", max_hit_points = "20";
    std::string forest_fights = "0", player_fights = "0", gold = "0", bank = "0";
    std::string weapon = "", strength = "0", armour = "", defence = "0", charm = "0", gems = "0";
};

// Everything up to the skill lines, as the player reads it (colours removed).
std::string top(const Shown& s) {
    return "  " + s.name + "'s Stats...              Location: " + s.title + "\n" + kRule +
           "  Experience   : " + s.experience + "\n" + "  Level        : " + pad(s.level, 2) +
           "                  HitPoints          :(" + s.hit_points + " of " + s.max_hit_points +
           ")\n" + "  Forest Fights: " + pad(s.forest_fights, 5) +
           "               Player Fights Left : " + s.player_fights + "\n" +
           "  Gold In Hand : " + pad(s.gold, 20) + "Gold In Bank       : " + s.bank + "\n" +
           "  Weapon       : " + pad(s.weapon, 20) + "Attack Strength    : " + s.strength + "\n" +
           "  Armour       : " + pad(s.armour, 20) + "Defensive Strength : " + s.defence + "\n" +
           "  Charm        : " + pad(s.charm, 20) + "Gems               : " + s.gems + "\n\n";
}

// Arrives with `record` and shows the stats from the menu.
std::string stats_of(const PlayerBytes& record, std::string* raw = nullptr) {
    Visit v;
    v.world.player("KXPVORN", 3, record);
    Host& host = v.start();
    Player& p = host.player(1);
    p.arrive("KXPVORN", 3);
    p.clear_screen();
    const std::string shown = p.say("V");
    EXPECT_EQ(p.substate(), 10);
    if (raw != nullptr) *raw = p.screen();
    return shown;
}

TEST(StatsScreen, ShowsEveryLineWithGroupedNumbersAtEveryWidthAndSign) {
    PlayerBytes r = PlayerBytes().name("Ardo").experience(1234567).level(12).hit_points(1000);
    r.max_hit_points(1200).forest_fights(15).player_fights(3).gold(1234567).bank(999);
    r.weapon("Broad Sword").strength(25).armour("Chain Mail").defence(20).charm(7).gems(2);
    std::string raw;
    EXPECT_EQ(stats_of(r, &raw),
              top({"Ardo", "Far Reaches", "1,234,567", "12", "1,000", "1,200", "15", "3",
                   "1,234,567", "999", "Broad Sword", "25", "Chain Mail", "20", "7", "2"}) +
                  kEnd);
    // The raw bytes: clear screen first, the title in light cyan after the
    // white of its label, and the sequences of the lines passed through.
    EXPECT_THAT(raw, StartsWith("\x1b[2J"));
    EXPECT_THAT(raw, HasSubstr("Location: \x1b[1;37;40m\x1b[1;36;40mFar Reaches\n"));
    EXPECT_THAT(raw, HasSubstr("  \x1b[0;32mLevel        : \x1b[1m12                  "
                               "\x1b[0;32mHitPoints          :(\x1b[1m1,000 \x1b[0;32mof "
                               "\x1b[1m1,200\x1b[0;32m)\n"));
    EXPECT_THAT(raw, HasSubstr("\n  Forest Fights: \x1b[1m15   "));

    // Level 100 is wider than its field: the line grows by one.
    r = PlayerBytes().level(100).experience(INT32_MAX).gold(-123456).bank(INT32_MIN);
    r.hit_points(-123).max_hit_points(-32768).forest_fights(12345).charm(-1234).gems(100);
    EXPECT_EQ(stats_of(r),
              top({"Tester", "Far Reaches", "2,147,483,647", "100", "-123", "-32,768", "12,345",
                   "0", "-123,456", "-2,147,483,648", "", "0", "", "0", "-1,234", "100"}) +
                  kEnd);
}

// Skill lines only for skills the player has, the horse only for horse 1,
// the interest only for classes 1 to 3.
TEST(StatsScreen, OptionalLinesAfterTheTop) {
    const std::string interest = "  You are currently interested in ";
    const struct {
        PlayerBytes record;
        std::string lines;
    } cases[] = {
        {PlayerBytes().uses(4, 5, 6), ""},
        {PlayerBytes().skills(0, 2, 0).uses(9, 1, 9),
         "  The Mystical Skills: 2         Uses Today: (1)\n\n"},
        {PlayerBytes().skills(255, 10, 3).uses(0, 200, 1),
         "  Death Knight Skills: 255       Uses Today: (0)\n"
         "  The Mystical Skills: 10        Uses Today: (200)\n"
         "  The Thieving Skills: 3         Uses Today: (1)\n\n"},
        {PlayerBytes().horse(1), "  You have a horse.\n\n"},
        {PlayerBytes().horse(2), ""},
        {PlayerBytes().horse(257), ""},
        {PlayerBytes().player_class(1), interest + "Death Knight skills.\n"},
        {PlayerBytes().player_class(3), interest + "The Thieving skills.\n"},
        {PlayerBytes().player_class(4), ""},
        {PlayerBytes().player_class(2).horse(1).skills(0, 0, 1),
         "  The Thieving Skills: 1         Uses Today: (0)\n\n  You have a horse.\n\n" + interest +
             "The Mystical skills.\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stats_of(c.record), top(Shown{}) + c.lines + kEnd) << c.lines;
}

// Shown at a question, under the place's title with its colour code rendered.
// Names are data, never formats; names that fill their whole field without a
// terminator are cut one short of the next field, and showing them changes
// no byte of the record.
TEST(StatsScreen, NamesAndTitlesAreDataAndUnterminatedOnesAreCut) {
    PlayerBytes record = PlayerBytes().name("%s%n%x");
    for (int i = 83; i < 106; ++i)
        record.bytes[i] = "%n%s"[i % 4];
    std::fill(record.bytes.begin() + 135, record.bytes.begin() + 160, '%');
    Visit v;
    v.world.player("KXPVORN", 3, record);
    v.world.script("A1.LOR", "`4Red %s %n room",
                   {"`2Red", "A1.LOR", "/LABEL", "`2Which door?", "/CHOICE:2", "/1CHOICE"});
    Host& host = v.start();
    Player& p = host.player(1);
    p.arrive("KXPVORN", 3);
    p.say("1");
    ASSERT_EQ(p.substate(), 2);
    const std::vector<uint8_t> before(p.area(), p.area() + 248);
    p.clear_screen();
    const std::string shown = p.say("v");
    EXPECT_EQ(p.substate(), 11);
    Shown s{.name = "%s%n%x", .title = "Red %s %n room"};
    s.weapon = std::string(record.bytes.begin() + 83, record.bytes.begin() + 105);
    s.armour = std::string(24, '%');
    EXPECT_EQ(shown, top(s) + kEnd);
    EXPECT_THAT(p.screen(), HasSubstr("Location: \x1b[1;37;40m\x1b[0;31;40mRed %s %n room\n"));
    EXPECT_EQ(std::vector<uint8_t>(p.area(), p.area() + 248), before);
}

}  // namespace
}  // namespace test
