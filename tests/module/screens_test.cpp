// The stats screen ("V" from the menu or at a question), and the sysop
// settings: ZMBVIGMS.CNF as read at start-up and the menu that changes them.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "tests/support/session.h"

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

// Arrives with `record` and shows the stats from the menu: every byte sent.
std::string stats_of(const PlayerBytes& record) {
    Visit v;
    v.world.player("KXPVORN", 0, record);
    Player& p = v.at_menu();
    p.say("V");
    EXPECT_EQ(p.substate(), 10);
    return p.screen();
}

// Every line with grouped numbers at every width and sign (level 100 is
// wider than its field: the line grows by one); skill lines only for skills
// the player has, the horse only for horse 1, the interest only for classes
// 1 to 3.
TEST(StatsScreen, ShowsEveryLineGroupedNumbersAndTheOptionalLines) {
    PlayerBytes ardo = PlayerBytes().name("Ardo").experience(1234567).level(12).hit_points(1000);
    ardo.max_hit_points(1200).forest_fights(15).player_fights(3).gold(1234567).bank(999);
    ardo.weapon("Broad Sword").strength(25).armour("Chain Mail").defence(20).charm(7).gems(2);
    PlayerBytes wide = PlayerBytes().level(100).experience(INT32_MAX).gold(-123456);
    wide.bank(INT32_MIN).hit_points(-123).max_hit_points(-32768).forest_fights(12345);
    const std::string interest = "  You are currently interested in ";
    const struct {
        PlayerBytes record;
        Shown top;
        std::string lines;
    } cases[] = {
        {ardo,
         {"Ardo", "Far Reaches", "1,234,567", "12", "1,000", "1,200", "15", "3", "1,234,567", "999",
          "Broad Sword", "25", "Chain Mail", "20", "7", "2"},
         ""},
        {wide.charm(-1234).gems(100),
         {"Tester", "Far Reaches", "2,147,483,647", "100", "-123", "-32,768", "12,345", "0",
          "-123,456", "-2,147,483,648", "", "0", "", "0", "-1,234", "100"},
         ""},
        {PlayerBytes().uses(4, 5, 6), {}, ""},
        {PlayerBytes().skills(0, 2, 0).uses(9, 1, 9),
         {},
         "  The Mystical Skills: 2         Uses Today: (1)\n\n"},
        {PlayerBytes().skills(255, 10, 3).uses(0, 200, 1),
         {},
         "  Death Knight Skills: 255       Uses Today: (0)\n"
         "  The Mystical Skills: 10        Uses Today: (200)\n"
         "  The Thieving Skills: 3         Uses Today: (1)\n\n"},
        {PlayerBytes().horse(1), {}, "  You have a horse.\n\n"},
        {PlayerBytes().horse(2), {}, ""},
        {PlayerBytes().horse(257), {}, ""},
        {PlayerBytes().player_class(1), {}, interest + "Death Knight skills.\n"},
        {PlayerBytes().player_class(3), {}, interest + "The Thieving skills.\n"},
        {PlayerBytes().player_class(4), {}, ""},
        {PlayerBytes().player_class(2).horse(1).skills(0, 0, 1),
         {},
         "  The Thieving Skills: 1         Uses Today: (0)\n\n  You have a horse.\n\n" + interest +
             "The Mystical skills.\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(strip_ansi(stats_of(c.record)), top(c.top) + c.lines + kEnd)
            << c.top.level << c.lines;

    // The raw bytes: clear screen first, the title in light cyan after the
    // white of its label, and the sequences of the lines passed through.
    const std::string raw = stats_of(ardo);
    EXPECT_THAT(raw, StartsWith("\x1b[2J"));
    EXPECT_THAT(raw, HasSubstr("Location: \x1b[1;37;40m\x1b[1;36;40mFar Reaches\n"));
    EXPECT_THAT(raw, HasSubstr("  \x1b[0;32mLevel        : \x1b[1m12                  "
                               "\x1b[0;32mHitPoints          :(\x1b[1m1,000 \x1b[0;32mof "
                               "\x1b[1m1,200\x1b[0;32m)\n"));
    EXPECT_THAT(raw, HasSubstr("\n  Forest Fights: \x1b[1m15   "));
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
    v.world.player("KXPVORN", 0, record);
    v.world.script("A1.LOR", "`4Red %s %n room",
                   {"`2Red", "A1.LOR", "/LABEL", "`2Which door?", "/CHOICE:2", "/1CHOICE"});
    Player& p = v.at_menu();
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

// ---- the sysop settings ----

const std::string kSeparator = "-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=--=-=-=-=-=-=-\n";

std::string menu_text(const std::string& key, int trips) {
    return kSeparator + " 4)    SYSOP KEY : " + key + "\n" +
           " 5)    MAX TURNS : " + std::to_string(trips) + "\n" + kSeparator +
           " X)     SAVE and EXIT!\n" + " A)     EXIT without SAVING!\n" + kSeparator + kPrompt;
}

TEST(Config, IsReadIntoKeyAndClampedTrips) {
    const struct {
        std::string file, key;  // the key the module must accept
        int trips;
    } cases[] = {
        {"SYSOP\n15\n", "SYSOP", 15},
        {"SYSOP\n2\n", "SYSOP", 3},
        {"SYSOP\n31\n", "SYSOP", 30},
        {"SYSOP\nabc\n", "SYSOP", 3},
        {"SYSOP\n-4\n", "SYSOP", 3},
        {"SYSOP\n12 trips\n", "SYSOP", 12},
        {"SYSOP\n65551\n", "SYSOP", 15},  // held as a signed 16-bit value before the clamp
        {"SYSOP\n99999999999999999999\n", "SYSOP", 3},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY\n12\n", "ABCDEFGHIJKLMNOPQRS", 12},
        {"BOSS\r\n12\r\n", "BOSS", 12},
        {"BOSS \n12\n", "BOSS ", 12},
        {"B\x01O\tSS\x1b\n1\a2\r\n", "BOSS", 12},  // control characters go wherever they stand
        {"\xe9t\xe9\n12\n", "\xe9t\xe9", 12},
        {"BOSS\n", "BOSS", 3},
        {"BOSS", "BOSS", 3},
        // A line over 249 characters goes on as the next: the trips line is its rest, not the 7.
        {std::string(300, 'K') + "\n7\n", std::string(19, 'K'), 3},
        {std::string("BOSS\0junk\x80\x81\n9\09\n", 16), "BOSS", 9},
    };
    for (const auto& c : cases) {
        Visit v;
        v.world.write("ZMBVIGMS.CNF", c.file);
        Player& p = v.at_menu(0, c.key);
        EXPECT_EQ(p.say("S"), menu_text(c.key, c.trips)) << c.file;
        EXPECT_EQ(v.world.read("ZMBVIGMS.CNF"), c.file);  // reading never rewrites the file
    }
}

TEST(SysopMenu, ShowsBothValuesTakesAKeyAndRefusesOtherWords) {
    Visit v;
    Player& p = v.at_sysop_menu();
    EXPECT_THAT(p.screen(), StartsWith("\x1b[2J"));
    EXPECT_EQ(p.text(), menu_text("SYSOP", 10));
    EXPECT_EQ(p.say("?"), menu_text("SYSOP", 10));
    EXPECT_EQ(p.say(""), kPrompt);  // no sysop hint here
    for (const char* line : {"7", "45", "xx", "S", "4x", "X!"}) {
        EXPECT_EQ(p.say(line), kInvalid + kPrompt) << line;
        EXPECT_EQ(p.substate(), 9) << line;
    }
    // A key keeps blanks and 19 characters; an empty line keeps the key.
    const std::pair<const char*, const char*> typed[] = {
        {"my  key", "my  key"},
        {"", "my  key"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY", "ABCDEFGHIJKLMNOPQRS"},
        {"%s%n%d", "%s%n%d"},  // a key is data, never a format
    };
    for (const auto& [line, key] : typed) {
        EXPECT_EQ(p.say("4"), "Key to access this menu: ");
        EXPECT_THAT(p.screen(), EndsWith("Key to access this menu: \x1b[0;36;40m"));
        EXPECT_EQ(p.substate(), 24);
        EXPECT_EQ(p.say(line), menu_text(key, 10)) << line;
    }
}

TEST(SysopMenu, TripsPerDayAreClampedAndActAtOnceForEveryone) {
    Visit v;
    Player& sysop = v.at_sysop_menu();
    // Another player, with 11 trips used today, is too tired at 10 per day.
    v.world.ledger_record("ZMBVIGMS.SV1", 1, 11, v.today());
    Player& other = v.host->player(2);
    other.arrive("KXPVORN", 1);
    EXPECT_THAT(other.say("1"), HasSubstr("too tired"));

    EXPECT_EQ(sysop.say("5"), "Allow how many IGM Trips per day? From 3 to 30: ");
    EXPECT_EQ(sysop.substate(), 25);
    EXPECT_EQ(sysop.say("12"), menu_text("SYSOP", 12));
    EXPECT_EQ(sysop.substate(), 9);
    EXPECT_THAT(other.say("1"), HasSubstr("You reach place 1."));

    const std::pair<const char*, int> typed[] = {{"2", 3}, {"45", 30}, {"123", 12}, {"9x", 9},
                                                 {"", 9},  {"abc", 3}, {"-4", 3},   {"30", 30},
                                                 {"3", 3}, {" 7", 7}};
    for (const auto& [line, trips] : typed) {
        sysop.say("5");
        EXPECT_EQ(sysop.say(line), menu_text("SYSOP", trips)) << "'" << line << "'";
    }
}

// X saves the settings in force as two lines and A puts the file's values
// back, in either case; both return to the places.
TEST(SysopMenu, SaveWritesTheFileDiscardPutsTheFileValuesBack) {
    for (const char* leave : {"X", "x", "A", "a"}) {
        const bool save = leave[0] == 'X' || leave[0] == 'x';
        Visit v;
        Player& p = v.at_sysop_menu();
        const std::string file = v.world.read("ZMBVIGMS.CNF");
        for (const char* line : {"4", "DOOR KEY", "5", "15"})
            p.say(line);
        EXPECT_THAT(p.say(leave), HasSubstr("(1) Place one")) << leave;
        EXPECT_EQ(p.substate(), 1);
        EXPECT_EQ(v.world.read("ZMBVIGMS.CNF"), save ? "DOOR KEY\n15\n" : file) << leave;
        const std::string menu = p.text();
        EXPECT_THAT(menu, HasSubstr(save ? "of your 15 trips" : "of your 10 trips")) << leave;
        // After a save the sysop no longer holds the key: no hint, no menu.
        EXPECT_EQ(menu.find("for Sysop Menu") != std::string::npos, !save) << leave;
        EXPECT_EQ(p.say("S").find(kInvalid) != std::string::npos, save) << leave;
    }
}

}  // namespace
}  // namespace test
