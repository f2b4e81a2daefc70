// DOS-style names on a case-sensitive file system: the module finds files
// and folders whatever the case they were made in, and creates new files
// under the names as it writes them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "module/data/context.h"
#include "tests/support/session.h"

using ::testing::HasSubstr;

namespace test {
namespace {

// The menu asks for QHYVIGMS\CAVE.LOR and KXPVORN\PLAYER.DAT; the files are
// qhyvigms/cave.lor and kxpvorn/player.dat.
TEST(Paths, PlacesAndPlayersInFoldersOfOtherCaseAreFound) {
    World world;
    world.write("qhyvigms/cave.lor",
                "Vorn IGM Script: The Cave\n`2A dark cave\nCAVE.LOR\nWater drips in the dark.\n");
    // This place names a script in a sub-folder; folder and file differ in case.
    world.write("qhyvigms/gate.lor", "Vorn IGM Script: Gate\n`2The gate\nDeep\\Inner.Lor\n");
    world.write("qhyvigms/deep/INNER.lor", "Vorn IGM Script: Inner\nYou went deep.\n");
    const PlayerBytes ardo = PlayerBytes().name("Ardo").gold(1234);
    world.write("kxpvorn/player.dat", std::string(ardo.bytes.begin(), ardo.bytes.end()));
    Host host(world);
    host.register_game_entry();
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "CAVE.LOR\nDeep\\Inner.Lor\n");

    Player& p = host.player(1);
    p.arrive();
    EXPECT_THAT(p.text(), HasSubstr("(1) A dark cave"));
    EXPECT_THAT(p.text(), HasSubstr("Your Command, Ardo?"));
    EXPECT_EQ(p.record().gold(), 1234);
    EXPECT_THAT(p.say("1"), HasSubstr("Water drips in the dark."));
    EXPECT_EQ(p.area_text(zmb::state::script_title.at), "The Cave");
    p.say("");
    EXPECT_THAT(p.say("2"), HasSubstr("You went deep."));
}

// New files take the names as written (the start-up tests read the others
// by their exact names); existing ones in other case are used.
TEST(Paths, FilesAreMadeUnderTheirNamesUnlessThereInAnotherCase) {
    {
        World world;
        Host host(world);
        EXPECT_TRUE(world.exists("ZMBVIGMS.TXT") && world.exists("ZMBVIGMS.DAT"));
    }
    World world;
    world.write("zmbvigms.cnf", "BOSS\n12\n");
    world.write("igmlist.dat", "KXPVORN\n1\nThe game\n");
    world.write("Zmbvigms.Sv1", "kept");
    Host host(world);
    for (const char* name : {"ZMBVIGMS.CNF", "IGMLIST.DAT", "ZMBVIGMS.SV1"})
        EXPECT_FALSE(world.exists(name)) << name;
    EXPECT_EQ(world.read("zmbvigms.cnf"), "BOSS\n12\n");
    EXPECT_EQ(world.read("Zmbvigms.Sv1"), "kept");
    EXPECT_THAT(world.read("igmlist.dat"), HasSubstr("KXPVORN\n1\nThe game\nZMB_VORN\n"));
}

}  // namespace
}  // namespace test
