// PLAYER.DAT belongs to the game: the module reads the one record of the
// player who arrives and writes exactly that record back, every opaque byte
// as read, and never creates, grows or half-reads the file.
#include <cstring>
#include <string>

#include "tests/support/module_fixture.h"

namespace test {
namespace {

constexpr int kRecords = 5;

test::PlayerBytes numbered_record(int index) {
    return test::PlayerBytes()
        .name("Player" + std::to_string(index))
        .gold(1000 + index)
        .experience(index * 7)
        .player_class(static_cast<uint8_t>(index));
}

// Five records in KXPVORN/PLAYER.DAT; the player in the per-user area holds
// record `index` with its gold changed, and a one-line script ends (which
// writes the record back).
class StoreRecord : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        for (int i = 0; i < kRecords; ++i)
            world.player("KXPVORN", i, numbered_record(i));
        original = world.read("KXPVORN/PLAYER.DAT");
    }
    void finish_script_as(int16_t index, std::string_view game_line = "KXPVORN\n") {
        test::PlayerBytes changed = numbered_record(index < 0 ? 0 : index);
        changed.gold(424242);
        p.set_record(changed);
        set_i16(state::player_index, index);
        set_text(state::game_name, game_line);
        start({"done"});
        run();
    }
    std::string original;
};

// Index 0 owns bytes 0..247 and index 3 bytes 744..991; nothing else moves.
TEST_F(StoreRecord, OnlyThePlayersOwnRecordIsWrittenOpaqueBytesIncluded) {
    for (int16_t index : {0, 3}) {
        world.write("KXPVORN/PLAYER.DAT", original);
        finish_script_as(index);
        const size_t at = static_cast<size_t>(index) * 248;
        const std::string now = world.read("KXPVORN/PLAYER.DAT");
        ASSERT_EQ(now.size(), original.size());
        EXPECT_EQ(now.substr(0, at), original.substr(0, at)) << index;
        EXPECT_EQ(now.substr(at + 248), original.substr(at + 248)) << index;
        test::PlayerBytes expected = numbered_record(index);
        expected.gold(424242);
        EXPECT_EQ(world.player_record("KXPVORN", index), expected.bytes) << index;
    }
}

TEST_F(StoreRecord, TheGameNameLosesItsLineEnd) {
    for (const char* game_line : {"KXPVORN2\n", "KXPVORN2\r\n", "KXPVORN2"}) {
        world.player("KXPVORN2", 1, numbered_record(1));
        finish_script_as(1, game_line);
        EXPECT_EQ(test::PlayerView{world.player_record("KXPVORN2", 1).data()}.gold(), 424242)
            << game_line;
    }
    EXPECT_EQ(world.read("KXPVORN/PLAYER.DAT"), original);
}

TEST_F(StoreRecord, ANegativeIndexOrARecordPastTheEndWritesNothing) {
    for (int16_t index : {int16_t{-1}, int16_t{kRecords}}) {
        finish_script_as(index);
        EXPECT_EQ(world.read("KXPVORN/PLAYER.DAT"), original) << index;
    }
}

// ---- loading on arrival ----

TEST(LoadRecord, ARecordCutShortByTheFileEndIsNotHalfRead) {
    World world;
    for (int i = 0; i < kRecords; ++i)
        world.player("KXPVORN", i, numbered_record(i));
    Host host(world);
    std::string data = world.read("KXPVORN/PLAYER.DAT");
    data.resize(4 * 248 + 100);
    world.write("KXPVORN/PLAYER.DAT", data);
    Player& p = host.player(kChannel);
    p.arrive("KXPVORN", 4);
    EXPECT_NE(std::memcmp(p.area(), numbered_record(4).bytes.data(), 248), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.area()), 100).find("Player4"),
              std::string::npos);
}

}  // namespace
}  // namespace test
