// Starting scripts: the header check, the title, the offsets the run starts
// from, and what a failed start leaves behind, started by /LOAD: from a
// running script (visit_test.cpp starts places from the menu).
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

TEST_F(Loader, TheHeaderPrefixIgnoresCaseAndTheTitleFollowsItInItsRoom) {
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

    // 255 characters are read as the header; the other 166 and the line end
    // are the first line the script shows. The title keeps 30 of them.
    load_side("Vorn IGM Script: Long" + std::string(400, '=') + "\nfirst line\n");
    slice();
    EXPECT_EQ(text(state::script_title), "Long" + std::string(26, '='));
    EXPECT_EQ(run(), std::string(166, '=') + "\nfirst line\n" + kEndText);

    load_side("Vorn IGM Script: \nside\n");  // an empty title
    slice();
    EXPECT_EQ(text(state::script_title), "");
}

// The file loaded is read-only and the checks are a stranger's.
TEST_F(Loader, ALoadStartsAfreshKeepsTheReturnSubstateAndNeedsOnlyToRead) {
    world.write(kSideFile, "Vorn IGM Script: Side\nside\n");
    make_read_only(world.dir() + "/" + kSideFile);
    start({"/LABEL", "/GOSUB:X", "X", "/LOAD:SIDE.LOR"}, sub::kMenuHalted);
    set_i32(state::last_amount, 55);
    FileChecksAsNobody nobody(world.dir());
    slice();
    EXPECT_EQ(i32(state::loop_offset), 0);
    EXPECT_EQ(i32(state::return_offset), 0);
    EXPECT_EQ(i32(state::last_amount), 0);
    EXPECT_EQ(i16(state::skip_mode), 0);
    EXPECT_EQ(i16(state::return_substate), sub::kMenuHalted);
    EXPECT_EQ(run(), std::string("side\n") + kEndText + "Your Command, Ardo? : ");
}

// A missing or invalid script returns the user without running anything and
// leaves what the driver saved before it called the loader untouched.
TEST_F(Loader, AFailedLoadRunsNothingAndSavesNothingOfItsOwn) {
    const std::string invalid =
        "\nScript file QHYVIGMS\\SIDE.LOR Is not a valid Vorn IGM script!\n\npress enter...";
    const struct {
        const char* bytes;  // nullptr: no file
        std::string shown;
        int substate;
    } cases[] = {
        {nullptr, "\nScript file QHYVIGMS\\SIDE.LOR could not be found!\n\n", sub::kScriptMissing},
        {"Vorn IGM Script:no blank\nside 1\n", invalid, sub::kAfterScript},
        {"", invalid, sub::kAfterScript},
        {"side 1\n", invalid, sub::kAfterScript},
        {"Vorn IGM\nScript: side 1\n", invalid, sub::kAfterScript},
    };
    for (const auto& c : cases) {
        world.remove(kSideFile);
        if (c.bytes != nullptr) world.write(kSideFile, c.bytes);
        start({"/LABEL", "/LOAD:SIDE.LOR", "never"});
        EXPECT_EQ(run(), c.shown);
        EXPECT_EQ(p.substate(), c.substate);
        EXPECT_EQ(host.pending(), 0u);
        EXPECT_EQ(text(state::saved_script_file), kScriptPath);
        EXPECT_EQ(text(state::script_file), "QHYVIGMS\\SIDE.LOR");
        EXPECT_EQ(i32(state::line_offset),
                  static_cast<int32_t>(std::string(kHeader).size() +
                                       lines({"/LABEL", "/LOAD:SIDE.LOR"}).size()));
        EXPECT_EQ(i32(state::loop_offset), static_cast<int32_t>(std::string(kHeader).size() + 7));
        EXPECT_EQ(text(state::script_title), "The Cave");
    }
}

}  // namespace
}  // namespace test
