// The byte layouts pinned from outside the module: every offset below is a
// literal, written and read here byte by byte with shifts, never through
// the layout header the module and the other tests share. A field the
// module read and wrote at one wrong offset would pass every round trip;
// here it shows the wrong value or leaves the wrong bytes.
#include <cstring>
#include <string>

#include "tests/support/session.h"

namespace test {
namespace {

constexpr size_t kRecord = 248;  // PLAYER.DAT record; ScriptState follows it in the area
constexpr size_t kState = 248;   // ScriptState at 248..719 of the per-user area
constexpr size_t kTrip = 720;    // TripRecord at 720..723

void put16(std::string& b, size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
void put32(std::string& b, size_t at, unsigned v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
unsigned get16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<unsigned>(static_cast<uint8_t>(b[at + 1]))
                                             << 8;
}
unsigned get32(const std::string& b, size_t at) {
    return get16(b, at) | get16(b, at + 2) << 16;
}
std::string text_at(const std::string& b, size_t at) {
    return std::string(b.c_str() + at);
}

// Record 1 of PLAYER.DAT: every named field set, every other byte 0xA5.
std::string offsets_record() {
    std::string r(kRecord, '\xA5');
    r[0] = 7;
    std::memcpy(&r[1], "Offsets", 7);
    put16(r, 72, 31);                          // hit points
    put16(r, 78, 40);                          // most hit points
    std::memcpy(&r[83], "Short Sword\0", 12);  // weapon
    put16(r, 106, 9);                          // forest fights
    put16(r, 108, 3);                          // player fights
    put32(r, 112, 70000);                      // gold
    put32(r, 116, 777);                        // bank
    put16(r, 120, 6);                          // defence
    put16(r, 122, 17);                         // strength
    put16(r, 124, 300);                        // charm
    put16(r, 130, 12);                         // level
    std::memcpy(&r[135], "Leather\0", 8);      // armour
    put16(r, 160, 5);                          // gems
    put32(r, 164, 123456);                     // experience
    r[168] = 5;                                // female
    r[186] = 3;                                // thief
    put16(r, 188, 1);                          // has a horse
    return r;
}

TEST(RecordOffsets, PlayerScriptStateAndTripRecordStandAtTheirBytes) {
    World world;
    set_time(1700000000);
    const std::string neighbour(kRecord, '\x5A');
    world.write("KXPVORN/PLAYER.DAT", neighbour + offsets_record() + neighbour);
    world.script(
        "A1.LOR", "Check",
        {"`2Check", "A1.LOR", "[|A] B=|B D=|D E=|E F=|F G=|G H=|H I=|I J=|J K=|K W=|W X=|X",
         "/FEMALE\nis-female\n/ENDSEX\n/THIEF\nis-thief\n/ENDCLASS",
         "/HASHORSE:\nhas-horse\n/ENDHORSE\n/KNIGHT\nis-knight\n/ENDCLASS\n/PAUSE",
         "V2=|@ S3=|P L=|L\n/VAL1=4242\n/STRING1 written",
         "/REMOVEGEM\n/REMOVEFIGHT\n/CHARM:2\n/REMOVEHORSE"});
    Host host(world);
    host.register_game_entry();
    // Two trips used today by record 1: bytes 4..7 of the ledger.
    std::string ledger = world.read("ZMBVIGMS.SV1");
    ASSERT_GE(ledger.size(), 8u);
    put16(ledger, 4, 2);
    put16(ledger, 6, today());
    world.write("ZMBVIGMS.SV1", ledger);

    Player& p = host.player(1);
    p.arrive("KXPVORN", 1);
    std::string shown = p.say("1");
    ASSERT_EQ(p.substate(), 5) << "at the pause";
    // Registers set behind the module's back, read by the rest of the script.
    char* area = host::user_area(1);
    std::string preset(area, 724);
    put32(preset, kState + 120, 77);                           // VAL2
    std::memcpy(&preset[kState + 152 + 2 * 26], "preset", 7);  // STRING3
    std::memcpy(area, preset.data(), preset.size());
    shown += p.say("");
    EXPECT_THAT(shown, AllOf(HasSubstr("[Offsets] B=17 D=300 E=123456 F=70000 G=777 H=12 I=Short "
                                       "Sword J=Leather K=9 W=31 X=5\nis-female\nis-thief\n"
                                       "has-horse\n"),
                             HasSubstr("V2=77 S3=preset L=3\n"), Not(HasSubstr("is-knight"))));
    ASSERT_EQ(p.substate(), 7);

    const std::string now(area, 724);
    EXPECT_EQ(get16(now, kState + 0), 7u);  // return sub-state
    EXPECT_EQ(text_at(now, kState + 2), "QHYVIGMS\\A1.LOR");
    EXPECT_EQ(text_at(now, kState + 42), "Check");
    EXPECT_EQ(get32(now, kState + 74), 2u);  // the last reward's amount
    EXPECT_EQ(get32(now, kState + 116), 4242u);
    EXPECT_EQ(text_at(now, kState + 152), "written");
    EXPECT_EQ(get16(now, kState + 378), 1u);  // a reward was given
    EXPECT_EQ(get16(now, kState + 380), 1u);  // record index
    EXPECT_EQ(text_at(now, kState + 382), "KXPVORN\n");
    EXPECT_EQ(text_at(now, kState + 392), "Offsets");
    EXPECT_EQ(text_at(now, kState + 413), "ZMBVIGMS.SV1");
    EXPECT_EQ(get16(now, kTrip), 3u);
    EXPECT_EQ(get16(now, kTrip + 2), static_cast<unsigned>(today()));

    put16(ledger, 4, 3);  // the trip started; no other byte of the ledger moves
    EXPECT_EQ(world.read("ZMBVIGMS.SV1"), ledger);

    // The record went back to bytes 248..495 with the four changes only.
    std::string expected = offsets_record();
    put16(expected, 106, 8);    // one forest fight fewer
    put16(expected, 124, 302);  // charm + 2
    put16(expected, 160, 4);    // one gem fewer
    put16(expected, 188, 0);    // the horse gone
    EXPECT_EQ(world.read("KXPVORN/PLAYER.DAT"), neighbour + expected + neighbour);
}

}  // namespace
}  // namespace test
