// Starting scripts: the header check, the title, the offsets the run starts
// from, and what a failed start leaves behind. Scripts are started the
// ways a player starts them: /LOAD: from a running script, a place from the
// menu, and the menu itself.
#include <string>

#include "tests/support/module_fixture.h"

namespace test {
namespace {

using ::testing::HasSubstr;

constexpr const char* kSideFile = "QHYVIGMS/SIDE.LOR";

class Loader : public ScriptTest {
  protected:
    // A running script that loads SIDE.LOR as its first line.
    void load_side(std::string_view side_bytes) {
        world.write(kSideFile, side_bytes);
        start({"/LOAD:SIDE.LOR", "main 2"});
    }
};

TEST_F(Loader, TheHeaderPrefixIgnoresCaseAndTheTitleFollowsIt) {
    const std::string header = "vORN igm sCRIPT: `!Side Quest\r\n";
    const std::string body = "side 1\nside 2\n";
    load_side(header + body);
    EXPECT_EQ(slice(), "");
    EXPECT_EQ(text(state::script_title), "`!Side Quest");
    EXPECT_EQ(i32(state::line_offset), static_cast<int32_t>(header.size()));
    EXPECT_EQ(i32(state::end_offset), static_cast<int32_t>(header.size() + body.size()));
    EXPECT_EQ(p.substate(), sub::kRunning);
    EXPECT_EQ(host.pending(), 1u);
    EXPECT_EQ(run(), std::string("side 1\nside 2\n") + kEndText);
}

TEST_F(Loader, TitlesAreCutToThirtyCharactersAndMayBeEmpty) {
    load_side("Vorn IGM Script: " + std::string(40, 'T') + "\nside\n");
    slice();
    EXPECT_EQ(text(state::script_title), std::string(30, 'T'));
    run();

    load_side("Vorn IGM Script: \nside\n");
    slice();
    EXPECT_EQ(text(state::script_title), "");
    EXPECT_EQ(text(state::script_file), "QHYVIGMS\\SIDE.LOR");
}

TEST_F(Loader, AHeaderLongerThanItsRoomRunsOnAsTheFirstScriptLine) {
    // 255 characters are read as the header; the other 166 and the line end
    // are the first line the script shows.
    load_side("Vorn IGM Script: Long" + std::string(400, '=') + "\nfirst line\n");
    slice();
    EXPECT_EQ(text(state::script_title), "Long" + std::string(26, '='));
    EXPECT_EQ(run(), std::string(166, '=') + "\nfirst line\n" + kEndText);
}

TEST_F(Loader, ALoadStartsAfreshButKeepsTheReturnSubstate) {
    world.write(kSideFile, "Vorn IGM Script: Side\nside\n");
    start({"/LABEL", "/GOSUB:X", "X", "/LOAD:SIDE.LOR"}, sub::kMenuHalted);
    set_i32(state::last_amount, 55);
    slice();
    EXPECT_EQ(i32(state::loop_offset), 0);
    EXPECT_EQ(i32(state::return_offset), 0);
    EXPECT_EQ(i32(state::last_amount), 0);
    EXPECT_EQ(i16(state::skip_mode), 0);
    EXPECT_EQ(i16(state::return_substate), sub::kMenuHalted);
}

TEST_F(Loader, AMissingFileLeavesTheUserInSubstateThree) {
    start({"/LOAD:NOPE.LOR", "never"});
    EXPECT_EQ(run(), "\nScript file QHYVIGMS\\NOPE.LOR could not be found!\n\n");
    EXPECT_EQ(p.substate(), sub::kScriptMissing);
    EXPECT_EQ(host.pending(), 0u);
    EXPECT_EQ(text(state::saved_script_file), kScriptPath);
}

TEST_F(Loader, InvalidHeadersReturnTheUserWithoutRunningAnything) {
    for (const char* bad :
         {"Vorn IGM Script:no blank\nside 1\n", "", "side 1\n", "Vorn IGM\nScript: side 1\n"}) {
        world.write(kSideFile, bad);
        start({"/LOAD:SIDE.LOR", "never"});
        EXPECT_EQ(
            run(),
            "\nScript file QHYVIGMS\\SIDE.LOR Is not a valid Vorn IGM script!\n\npress enter...")
            << bad;
        EXPECT_EQ(p.substate(), sub::kAfterScript) << bad;
        EXPECT_EQ(host.pending(), 0u) << bad;
    }
}

TEST_F(Loader, AFailedLoadSavesNothingOfItsOwn) {
    world.write(kSideFile, "not a script\n");
    start({"/LABEL", "/LOAD:SIDE.LOR", "never"});
    run();
    // What the driver saved before it called the loader, untouched by it.
    EXPECT_EQ(text(state::script_file), "QHYVIGMS\\SIDE.LOR");
    EXPECT_EQ(i32(state::line_offset),
              static_cast<int32_t>(std::string(kHeader).size() +
                                   lines({"/LABEL", "/LOAD:SIDE.LOR"}).size()));
    EXPECT_EQ(i32(state::loop_offset), static_cast<int32_t>(std::string(kHeader).size() + 7));
    EXPECT_EQ(text(state::script_title), "The Cave");
}

TEST_F(Loader, AScriptFileMayBeReadOnly) {
    world.write(kSideFile, "Vorn IGM Script: Side\nside\n");
    make_read_only(world.dir() + "/" + kSideFile);
    start({"/LOAD:SIDE.LOR"});
    std::string shown;
    {
        FileChecksAsNobody nobody(world.dir());
        shown = run();
    }
    EXPECT_EQ(shown, std::string("side\n") + kEndText);
}

// ---- starting the menu and the places ----

// A world with one place, CAVE.LOR, listed in the generated menu.
TEST(PlaceFromMenu, ThePlaceRunsAndTheMenuComesBack) {
    World world;
    world.script("CAVE.LOR", "The Cave", {"`2The Cave", "CAVE.LOR", "`2Inside the cave."});
    world.player("KXPVORN", 0, PlayerBytes().name("Ardo"));
    Host host(world);
    host.register_game_entry();
    Player& p = host.player(kChannel);
    const auto area_text = [&](zmb::TextField f) { return p.area_text(f.at); };
    p.arrive();
    ASSERT_EQ(p.substate(), sub::kMenuCommand);
    EXPECT_EQ(area_text(state::script_file), "ZMBVIGMS.TXT");
    EXPECT_EQ(area_text(state::script_title), "`!Far Reaches");

    EXPECT_THAT(p.say("1"), HasSubstr("Inside the cave.\n"));
    EXPECT_EQ(p.substate(), sub::kAfterScript);
    EXPECT_EQ(area_text(state::script_title), "The Cave");

    p.set_area_text(state::saved_script_file.at, state::saved_script_file.size, "QHYVIGMS\\X");
    p.set_area_i32(state::saved_line_offset.at, 99);
    EXPECT_THAT(p.say(""), HasSubstr("Your Command, Ardo? : "));
    EXPECT_EQ(p.substate(), sub::kMenuCommand);
    EXPECT_EQ(area_text(state::script_file), "ZMBVIGMS.TXT");
    EXPECT_EQ(p.area_i16(state::return_substate.at), sub::kMenuHalted);
    EXPECT_EQ(area_text(state::saved_script_file), "");
    EXPECT_EQ(p.area_i32(state::saved_line_offset.at), 0);
}

}  // namespace
}  // namespace test
