// The stand-in game's index of player names: it answers like a walk of
// PLAYER.DAT would (first record of a name, ignoring case) as the file
// changes through the game and behind its back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "game/player_file.h"
#include "tests/support/shared.h"

namespace {

TEST(PlayerIndex, FollowsNewPlayersRenamesAndAFileChangedBehindItsBack) {
    const std::string world = test::make_scratch_dir("player-index");
    game::PlayerFile file(world + "/KXPVORN");
    ASSERT_TRUE(file.create_if_missing());
    for (const char* name : {"Ardo", "Mira", "ARDO"})
        ASSERT_GE(file.append(game::new_player(name, game::kMystical, game::kMale)), 0);
    file.build_index();
    auto write_behind = [&](const char* name) {
        FILE* f = std::fopen(file.path().c_str(), "ab");
        auto r = game::new_player(name, game::kThieving, game::kFemale);
        std::fwrite(r.bytes.data(), 1, r.bytes.size(), f);
        std::fclose(f);
    };

    using Finds = std::vector<std::pair<const char*, int>>;
    const std::vector<std::pair<std::function<void()>, Finds>> steps = {
        {[] {}, {{"ardo", 0}, {"Mira", 1}, {"Zed", -1}}},
        {[&] { file.append(game::new_player("Zed", game::kThieving, game::kMale)); },
         {{"zed", 3}, {"Mira", 1}}},
        {[&] { write_behind("Nox"); }, {{"NOX", 4}}},
        {[&] {
             auto r = game::new_player("Wren", game::kMystical, game::kFemale);
             file.store(1, r);
         },
         {{"wren", 1}, {"Mira", -1}}},
        {[&] { std::filesystem::resize_file(file.path(), 2 * game::kRecordSize); },
         {{"Zed", -1}, {"Wren", 1}, {"Ardo", 0}}},
        {[&] { write_behind("Mira"); }, {{"mira", 2}}},
    };
    for (size_t step = 0; step < steps.size(); ++step) {
        steps[step].first();
        for (auto [name, index] : steps[step].second)
            EXPECT_EQ(file.find(name), index) << "step " << step << ": " << name;
    }
    std::filesystem::remove_all(world);
}

}  // namespace
