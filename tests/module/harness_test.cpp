// The test host itself: it loads the real plug-in, runs its start-up, and
// its helpers (records, world files, screens, rand and time) do what the
// scenario tests take them to do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "module/userflow/user_context.h"
#include "server/core/host_core.h"
#include "tests/support/session.h"

using ::testing::EndsWith;
using ::testing::HasSubstr;

namespace test {
namespace {

int16_t i16_at(const std::array<uint8_t, 248>& b, size_t at) {
    return static_cast<int16_t>(b[at] | (b[at + 1] << 8));
}

TEST(Harness, LoadsTheModuleAfterTheStandInGameAndRunsItsStartUp) {
    World world;
    Host host(world);
    EXPECT_GT(host.game_module_number(), 0);
    EXPECT_GT(host.module_number(), host.game_module_number());
    EXPECT_NE(host.fn<void()>("init__zmb_vorn"), nullptr);
    EXPECT_EQ(host.fn<void()>("no_such_export"), nullptr);
    EXPECT_THAT(host.console(), HasSubstr("Initialized Successfully"));
}

TEST(Harness, EveryChannelHasANamedAdultAccountWithoutKeys) {
    World world;
    Host host(world, 3);
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_EQ(host::account(ch).name, "Player" + std::to_string(ch));
        EXPECT_EQ(host::account(ch).shared.age, 20);
        EXPECT_TRUE(host::account(ch).keys.empty());
    }
    host.player(2).grant_key("SYSOP");
    host.player(2).set_age(15);
    EXPECT_EQ(host::account(2).keys, std::vector<std::string>{"SYSOP"});
    EXPECT_EQ(host::account(2).shared.age, 15);
}

TEST(Harness, HandOverWritesTheHandOffFileAndMakesTheModuleCurrent) {
    World world;
    Host host(world);
    Player& p = host.player(5);
    p.set_substate(77);
    p.hand_over("KXPVORN2", 7);
    EXPECT_EQ(world.read("TEMP5.TMP"), "KXPVORN2\n7\n");
    EXPECT_EQ(p.current_module(), host.module_number());
    EXPECT_EQ(p.substate(), 0);
}

TEST(Harness, TheStandInGameRecordsItsStatusesAndItsListEntry) {
    World world;
    Host host(world);
    host.register_game_entry("KXPVORN3");
    EXPECT_THAT(
        world.read("IGMLIST.DAT"),
        EndsWith("KXPVORN3\n" + std::to_string(host.game_module_number()) + "\nA test game\n"));
    Player& p = host.player(4);
    p.set_current_module(host.game_module_number());
    btuinj(4, 3);
    EXPECT_EQ(host.pending(), 1u);
    EXPECT_EQ(host.pump(), 1);
    EXPECT_EQ(host.game_statuses(), (std::vector<std::pair<int, int>>{{4, 3}}));
    EXPECT_EQ(p.type("anything"), 1);  // the game keeps the user
}

TEST(Harness, RunScriptLeavesTheStateAsTheLoaderWould) {
    World world;
    Host host(world);
    world.script("cave.lor", std::string(40, 'T') + "\x01", {"one", "two"});
    Player& p = host.player(1);
    p.run_script("QHYVIGMS\\CAVE.LOR", 9);  // found although the case differs
    const std::string header = "Vorn IGM Script: " + std::string(40, 'T') + "\x01\n";
    EXPECT_EQ(p.area_i32(zmb::state::line_offset.at), static_cast<int32_t>(header.size()));
    EXPECT_EQ(p.area_i32(zmb::state::end_offset.at),
              static_cast<int32_t>(header.size() + std::string("one\ntwo\n").size()));
    EXPECT_EQ(p.area_text(zmb::state::script_title.at), std::string(30, 'T'));
    EXPECT_EQ(p.area_text(zmb::state::script_file.at), "QHYVIGMS\\CAVE.LOR");
    EXPECT_EQ(p.area_i16(zmb::state::return_substate.at), 9);
    EXPECT_EQ(p.substate(), 4);
    EXPECT_EQ(p.current_module(), host.module_number());
    EXPECT_EQ(host.pending(), 1u);
}

TEST(Harness, AreaEditsLandAtTheirOffsetsLittleEndian) {
    World world;
    Host host(world);
    Player& p = host.player(0);
    p.set_area_i32(zmb::state::value(3).at, 0x01020304);
    EXPECT_EQ(p.area()[zmb::state::value(3).at], 0x04);
    EXPECT_EQ(p.area()[zmb::state::value(3).at + 3], 0x01);
    p.set_area_i16(zmb::state::player_index.at, -2);
    EXPECT_EQ(p.area_i16(zmb::state::player_index.at), -2);
    p.set_area_text(zmb::state::string(1).at, zmb::state::kStringSize, std::string(40, 'x'));
    EXPECT_EQ(p.area_text(zmb::state::string(1).at), std::string(25, 'x'));  // stays in its field
    EXPECT_EQ(p.area_text(zmb::state::string(2).at), "");
    p.set_record(PlayerBytes().gold(1234));
    EXPECT_EQ(p.record().gold(), 1234);
}

TEST(Harness, SayReturnsOnlyTheNewTextWithoutAnsi) {
    World world;
    Host host(world);
    Player& p = host.player(2);
    p.set_current_module(host.module_number());
    p.set_substate(0);
    // No hand-off file: the module explains itself and gives the user up.
    EXPECT_EQ(p.type(""), 0);
    std::string first = p.text();
    EXPECT_THAT(first, HasSubstr("TEMP2.TMP"));
    p.set_substate(0);
    std::string again = p.say("");
    EXPECT_EQ(again, first);  // the same message once more, not both
    EXPECT_EQ(p.text(), first + first);
    EXPECT_EQ(p.take_text(), first + first);
    EXPECT_EQ(p.screen(), "");
}

// ---- helpers without the module ----

TEST(StripAnsi, RemovesControlSequencesAndKeepsTheText) {
    EXPECT_EQ(strip_ansi("\x1b[1;33mGold\x1b[0m: 5"), "Gold: 5");
    EXPECT_EQ(strip_ansi("\x1b[2J\x1b[H\x1b[Aup"), "up");
    EXPECT_EQ(strip_ansi("a\x1b"
                         "b"),
              "ab");  // a lone ESC goes on its own
    EXPECT_EQ(strip_ansi("cut \x1b[1;3"), "cut ");
    EXPECT_EQ(strip_ansi("\xfe plain \xfe\n"), "\xfe plain \xfe\n");
    EXPECT_EQ(strip_ansi("\x1b[1\nx"), "\nx");  // a broken sequence never eats a line end
}

TEST(PlayerBytesLayout, DefaultsAndOpaqueBytes) {
    PlayerBytes b;
    const auto& r = b.bytes;
    EXPECT_EQ(r[0], 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[1]), 6), "Tester");
    EXPECT_EQ(r[7], 0xA5);  // the name's tail is opaque, not a terminator
    EXPECT_EQ(i16_at(r, 72), 10);
    EXPECT_EQ(i16_at(r, 78), 20);
    EXPECT_EQ(i16_at(r, 130), 1);
    for (size_t at : {74u, 77u, 80u, 82u, 110u, 126u, 132u, 162u, 169u, 187u, 190u, 228u, 247u}) {
        EXPECT_EQ(r[at], 0xA5) << "opaque byte " << at;
    }
    EXPECT_EQ(r[112], 0);  // named fields start at zero
    EXPECT_EQ(r[83], 0);
}

TEST(PlayerBytesLayout, SettersWriteLittleEndianAtTheirOffsets) {
    PlayerBytes b;
    b.gold(0x01020304).experience(-2).charm(-300).name("Ardo").horse(1).skills(1, 2, 3);
    const auto& r = b.bytes;
    EXPECT_EQ(r[112], 0x04);
    EXPECT_EQ(r[115], 0x01);
    EXPECT_EQ(r[164], 0xFE);
    EXPECT_EQ(r[167], 0xFF);
    EXPECT_EQ(i16_at(r, 124), -300);
    EXPECT_EQ(r[0], 4);
    EXPECT_EQ(r[5], 0xA5);  // the longer old name is gone
    EXPECT_EQ(i16_at(r, 188), 1);
    EXPECT_EQ(r[222], 1);
    EXPECT_EQ(r[224], 3);
    PlayerView v{r.data()};
    EXPECT_EQ(v.gold(), 0x01020304);
    EXPECT_EQ(v.experience(), -2);
    EXPECT_EQ(v.charm(), -300);
    EXPECT_EQ(v.horse(), 1);
    b.weapon(std::string(30, 'w'));
    EXPECT_EQ(r[83 + 22], 0);  // cut inside its 23-byte field
    EXPECT_EQ(r[106], 0);      // forest fights untouched
}

TEST(WorldFolder, IsTheWorkingDirectoryAndGoesAway) {
    std::string before = std::filesystem::current_path();
    std::string dir;
    {
        World world;
        dir = world.dir();
        EXPECT_EQ(std::filesystem::current_path(), dir);
        world.script("A.LOR", "Title", {"line 1", "/HALT"});
        EXPECT_EQ(world.read("QHYVIGMS/A.LOR"), "Vorn IGM Script: Title\nline 1\n/HALT\n");
        world.append("X/Y.TXT", "ab");
        world.append("X/Y.TXT", "c");
        EXPECT_EQ(world.read("X/Y.TXT"), "abc");
        world.remove("X");
        EXPECT_FALSE(world.exists("X/Y.TXT"));
        EXPECT_EQ(world.read("missing"), "");
    }
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST(WorldFolder, PlayerRecordsAndLedgersGrowTheirFiles) {
    World world;
    world.player("KXPVORN2", 2, PlayerBytes().gold(77));
    EXPECT_EQ(world.read("KXPVORN2/PLAYER.DAT").size(), 3u * 248);
    EXPECT_EQ(world.read("KXPVORN2/PLAYER.DAT")[0], '\0');  // records before are zero
    EXPECT_EQ(PlayerView{world.player_record("KXPVORN2", 2).data()}.gold(), 77);
    EXPECT_EQ(world.player_record("KXPVORN2", 9)[0], 0);  // past the end: zeros
    world.player("KXPVORN2", 0, PlayerBytes().gold(5));
    EXPECT_EQ(world.read("KXPVORN2/PLAYER.DAT").size(), 3u * 248);  // not shortened
    EXPECT_EQ(PlayerView{world.player_record("KXPVORN2", 2).data()}.gold(), 77);

    world.ledger_record("ZMBVIGMS.SV1", 3, -1, 65535);
    EXPECT_EQ(world.read("ZMBVIGMS.SV1").size(), 16u);
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 3), (std::pair<int16_t, uint16_t>{-1, 65535}));
    EXPECT_EQ(world.ledger_record("ZMBVIGMS.SV1", 0), (std::pair<int16_t, uint16_t>{0, 0}));
}

TEST(RandomAndTime, QueuedValuesComeFirstThenTheFixedGenerator) {
    World world;
    queue_rand({5, 0, RAND_MAX});
    EXPECT_EQ(std::rand(), 5);
    EXPECT_EQ(std::rand(), 0);
    EXPECT_EQ(std::rand(), RAND_MAX);
    int distinct = 0, previous = -1;
    for (int i = 0; i < 50; ++i) {
        int v = std::rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, RAND_MAX);
        distinct += v != previous;
        previous = v;
    }
    EXPECT_GT(distinct, 40);
    queue_rand({1, 2});
    clear_rand();
    EXPECT_NE(std::rand(), 1);
}

TEST(RandomAndTime, SrandIsRecordedAndDoesNotReseed) {
    World world;
    std::srand(99);
    int a = std::rand();
    std::srand(99);
    int b = std::rand();
    EXPECT_EQ(last_srand_seed(), 99u);
    EXPECT_EQ(srand_calls(), 2);
    EXPECT_NE(a, b);  // the generator goes on: the module's seed never changes what tests get
}

TEST(RandomAndTime, TimeIsTheTestTimeAndTheHostClockFollows) {
    World world;
    set_time(1700000000);
    time_t out = 0;
    EXPECT_EQ(std::time(&out), 1700000000);
    EXPECT_EQ(out, 1700000000);
    uint16_t day = today();
    advance_time(86400);
    EXPECT_EQ(std::time(nullptr), 1700086400);
    EXPECT_EQ(today(), day + 1);
    reset_random_and_time();
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    EXPECT_LE(std::labs(std::time(nullptr) - ts.tv_sec), 2);
    EXPECT_LE(std::labs(host::clock_now() - ts.tv_sec), 2);
}

}  // namespace
}  // namespace test
