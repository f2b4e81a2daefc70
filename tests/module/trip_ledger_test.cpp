// The daily trip ledgers as players meet them: the count read on arrival
// under the day rule, and the record written when a trip starts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "module/data/context.h"
#include "tests/support/session.h"

using ::testing::HasSubstr;

namespace test {
namespace {

constexpr std::time_t kDayOne = 1709812800;  // 2024-03-07 12:00 UTC

class TripLedger : public ::testing::Test {
  protected:
    TripLedger() {
        set_time(kDayOne);
        world.script("CAVE.LOR", "The Cave", {"`2A dark cave", "CAVE.LOR", "Drip."});
        for (int index : {0, 3, 600})
            world.player("KXPVORN", index, PlayerBytes().name("Ardo"));
        world.player("MYGAME", 0, PlayerBytes().name("Cato"));
    }
    void start() {
        host = std::make_unique<Host>(world);
        host->register_game_entry();
        today_value = today();
    }
    Player& arrive(std::string_view game, int index) {
        Player& p = host->player(1);
        p.arrive(game, index);
        return p;
    }
    std::pair<int16_t, uint16_t> area_trips(Player& p) {
        return {p.area_i16(zmb::trip::trips_used.at),
                static_cast<uint16_t>(p.area_i16(zmb::trip::trip_day.at))};
    }

    World world;
    std::unique_ptr<Host> host;
    uint16_t today_value = 0;
};

// An earlier day starts afresh and is written at once; today and a later
// day keep their count, and reading them writes nothing.
TEST_F(TripLedger, OnlyADayBeforeTodayOrAShortRecordStartsTheCountAfresh) {
    start();
    const struct {
        int day_offset;
        int16_t trips, trips_after;
    } cases[] = {{-1, 4, 0}, {0, 4, 4}, {2, 5, 5}};
    for (const auto& c : cases) {
        const auto day = static_cast<uint16_t>(today_value + c.day_offset);
        world.ledger_record("ZMBVIGMS.SV1", 3, c.trips, day);
        const std::string file = world.read("ZMBVIGMS.SV1");
        const auto expected = std::make_pair(c.trips_after, c.day_offset < 0 ? today_value : day);
        EXPECT_EQ(area_trips(arrive("KXPVORN", 3)), expected) << c.day_offset;
        EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 3), expected) << c.day_offset;
        if (c.day_offset >= 0) {
            EXPECT_EQ(world.read("ZMBVIGMS.SV1"), file) << c.day_offset;
        }
    }
    // A record cut short by the end of the file reads as no trips today.
    world.write("ZMBVIGMS.SV1", std::string("\x05\x00\x01", 3) + std::string(10, '\x07'));
    EXPECT_EQ(area_trips(arrive("KXPVORN", 3)), std::make_pair(int16_t{0}, today_value));
}

TEST_F(TripLedger, UnknownGameCountsFromZeroAndCreatesNoLedger) {
    start();
    // Leftovers of an earlier visit in the working copy must not count.
    world.ledger_record("ZMBVIGMS.SV1", 0, 9, today_value);
    Player& p = arrive("KXPVORN", 0);
    ASSERT_EQ(area_trips(p).first, 9);
    p.say("Q");
    p.arrive("MYGAME", 0);
    EXPECT_EQ(area_trips(p), std::make_pair(int16_t{0}, today_value));
    EXPECT_THAT(p.say("1"), HasSubstr("Drip."));
    EXPECT_FALSE(world.exists("OOO.DAT"));
    EXPECT_EQ(p.area_i16(zmb::trip::trips_used.at), 1);
}

TEST_F(TripLedger, IndexPastTheEndReadsZeroAndATripExtendsTheLedger) {
    start();
    Player& p = arrive("KXPVORN", 600);
    EXPECT_EQ(area_trips(p), std::make_pair(int16_t{0}, today_value));
    EXPECT_EQ(world.read("ZMBVIGMS.SV1").size(), 2000u);  // reading does not grow it

    EXPECT_THAT(p.say("1"), HasSubstr("Drip."));
    const std::string ledger = world.read("ZMBVIGMS.SV1");
    ASSERT_EQ(ledger.size(), 601u * 4);
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 600), std::make_pair(int16_t{1}, today_value));
    // The records between the old end and the new one are empty.
    EXPECT_EQ(ledger.substr(2000, 400), std::string(400, '\0'));
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 499), std::make_pair(int16_t{0}, today_value));
}

TEST_F(TripLedger, TripsStartedAcrossMidnightCountAgainstTheFirstDay) {
    std::tm tm{};  // 2024-03-07 23:59 local time
    tm.tm_year = 124, tm.tm_mon = 2, tm.tm_mday = 7, tm.tm_hour = 23, tm.tm_min = 59;
    tm.tm_isdst = -1;
    set_time(std::mktime(&tm));
    start();
    Player& p = arrive("KXPVORN", 0);
    p.say("1");         // the place
    p.say("");          // back to the menu
    advance_time(120);  // 00:01 the next day
    p.say("1");
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 0), std::make_pair(int16_t{2}, today_value));
}

}  // namespace
}  // namespace test
