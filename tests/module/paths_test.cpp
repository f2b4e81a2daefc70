// DOS-style names on a case-sensitive file system: the module finds files
// and folders whatever the case they were made in, and creates new files
// under the names as it writes them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "module/data/context.h"
#include "tests/support/session.h"

using ::testing::HasSubstr;

namespace test {
namespace {

std::set<std::string> names_in(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST(Paths, PlacesInFoldersOfOtherCaseAreListedAndPlayed) {
    World world;
    world.write("qhyvigms/cave.lor",
                "Vorn IGM Script: The Cave\n`2A dark cave\nCAVE.LOR\nWater drips in the dark.\n");
    // This place names a script in a sub-folder; folder and file differ in case.
    world.write("qhyvigms/gate.lor", "Vorn IGM Script: Gate\n`2The gate\nDeep\\Inner.Lor\n");
    world.write("qhyvigms/deep/INNER.lor", "Vorn IGM Script: Inner\nYou went deep.\n");
    world.player("KXPVORN", 0, PlayerBytes().name("Ardo"));
    Host host(world);
    host.register_game_entry();
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "CAVE.LOR\nDeep\\Inner.Lor\n");

    // The menu asks for QHYVIGMS\CAVE.LOR; the file is qhyvigms/cave.lor.
    Player& p = host.player(1);
    p.arrive();
    EXPECT_THAT(p.text(), HasSubstr("(1) A dark cave"));
    EXPECT_THAT(p.say("1"), HasSubstr("Water drips in the dark."));
    EXPECT_EQ(p.area_text(zmb::state::script_title.at), "The Cave");
    p.say("");
    EXPECT_THAT(p.say("2"), HasSubstr("You went deep."));
}

TEST(Paths, PlayerFileInALowerCaseGameFolder) {
    World world;
    PlayerBytes ardo;
    ardo.name("Ardo").gold(1234);
    world.write("kxpvorn/player.dat",
                std::string(reinterpret_cast<const char*>(ardo.bytes.data()), ardo.bytes.size()));
    Host host(world);
    host.register_game_entry();
    Player& p = host.player(1);
    p.arrive("KXPVORN", 0);
    EXPECT_THAT(p.text(), HasSubstr("Your Command, Ardo?"));
    EXPECT_EQ(p.record().gold(), 1234);
}

// New files take the names as written; existing ones in other case are used.
TEST(Paths, FilesAreMadeUnderTheirNamesUnlessThereInAnotherCase) {
    {
        World world;
        Host host(world);
        const auto names = names_in(world.dir());
        for (const char* name : {"IGMLIST.DAT", "ZMBVIGMS.TXT", "ZMBVIGMS.DAT", "ZMBVIGMS.CNF",
                                 "ZMBVIGMS.SV1", "ZMBVIGMS.SV2", "ZMBVIGMS.SV3"})
            EXPECT_EQ(names.count(name), 1u) << name;
    }
    World world;
    world.write("zmbvigms.cnf", "BOSS\n12\n");
    world.write("igmlist.dat", "KXPVORN\n1\nThe game\n");
    world.write("Zmbvigms.Sv1", "kept");
    Host host(world);
    const auto names = names_in(world.dir());
    EXPECT_EQ(names.count("ZMBVIGMS.CNF"), 0u);
    EXPECT_EQ(names.count("IGMLIST.DAT"), 0u);
    EXPECT_EQ(names.count("ZMBVIGMS.SV1"), 0u);
    EXPECT_EQ(world.read("zmbvigms.cnf"), "BOSS\n12\n");
    EXPECT_EQ(world.read("Zmbvigms.Sv1"), "kept");
    EXPECT_THAT(world.read("igmlist.dat"), HasSubstr("KXPVORN\n1\nThe game\nZMB_VORN\n"));
}

}  // namespace
}  // namespace test
