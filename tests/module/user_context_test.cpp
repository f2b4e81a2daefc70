// The per-user swap: several users in the module at once keep their own
// script position, registers and record, and the per-user area of a user
// who belongs to another module is never written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/data/context.h"
#include "server/core/host_core.h"
#include "tests/support/session.h"

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace test {
namespace {

using zmb::state::line_offset;
using zmb::state::script_file;

std::vector<uint8_t> area_bytes(const Player& p) {
    return std::vector<uint8_t>(p.area(), p.area() + zmb::kUserContextSize);
}

class UserContext : public ::testing::Test {
  protected:
    UserContext() {
        // Eight lines, a pause, four more: two slices before the pause.
        for (const char* x : {"A", "B"}) {
            std::string body = std::string("Vorn IGM Script: Script ").append(x) + "\n";
            for (int n = 1; n <= 12; ++n) {
                if (n == 9) body += "/PAUSE\n";
                body.append(x).append(std::to_string(n)) += "\n";
            }
            world.write(std::string("QHYVIGMS/").append(x).append(".LOR"), body);
        }
    }
    World world;
    Host host{world};
};

TEST_F(UserContext, TwoUsersInterleavedKeepTheirOwnState) {
    Player& a = host.player(1);
    Player& b = host.player(2);
    a.set_record(PlayerBytes().name("Ardo").gold(111));
    b.set_record(PlayerBytes().name("Bryn").gold(222));
    a.set_area_i32(zmb::state::value(1).at, 1001);
    b.set_area_i32(zmb::state::value(1).at, 2002);
    a.set_area_i16(zmb::trip::trips_used.at, 3);
    b.set_area_i16(zmb::trip::trips_used.at, 7);
    a.run_script("QHYVIGMS\\A.LOR");
    b.run_script("QHYVIGMS\\B.LOR");
    host.pump();  // statuses alternate between the two channels

    EXPECT_EQ(a.substate(), 5);
    EXPECT_EQ(b.substate(), 5);
    const std::string a_first = a.take_text();
    const std::string b_first = b.take_text();
    EXPECT_THAT(a_first, StartsWith("A1\nA2\nA3\nA4\nA5\nA6\nA7\nA8\n"));
    EXPECT_THAT(a_first, Not(HasSubstr("B")));
    EXPECT_THAT(b_first, StartsWith("B1\nB2\nB3\nB4\nB5\nB6\nB7\nB8\n"));
    EXPECT_THAT(b_first, Not(HasSubstr("A")));

    // Resume them in the other order.
    b.say("");
    a.say("");
    EXPECT_THAT(a.text(), HasSubstr("A9\nA10\nA11\nA12\n"));
    EXPECT_THAT(a.text(), Not(HasSubstr("B")));
    EXPECT_THAT(b.text(), HasSubstr("B9\nB10\nB11\nB12\n"));
    EXPECT_THAT(b.text(), Not(HasSubstr("A1")));

    EXPECT_EQ(a.area_text(script_file.at), "QHYVIGMS\\A.LOR");
    EXPECT_EQ(b.area_text(script_file.at), "QHYVIGMS\\B.LOR");
    EXPECT_EQ(a.record().gold(), 111);
    EXPECT_EQ(b.record().gold(), 222);
    EXPECT_EQ(a.area_i32(zmb::state::value(1).at), 1001);
    EXPECT_EQ(b.area_i32(zmb::state::value(1).at), 2002);
    EXPECT_EQ(a.area_i16(zmb::trip::trips_used.at), 3);
    EXPECT_EQ(b.area_i16(zmb::trip::trips_used.at), 7);
}

// A status that reaches the module for a user who already belongs to the
// game (current module the game's): the run driver works on whatever the
// working copy holds, but nothing is loaded from or saved into that user's area.
TEST_F(UserContext, AreaOfAUserOfAnotherModuleIsNeverWritten) {
    Player& a = host.player(1);
    Player& b = host.player(2);
    a.run_script("QHYVIGMS\\A.LOR");
    host.pump();  // a waits at the pause; the working copy is a's
    ASSERT_EQ(a.substate(), 5);

    b.set_record(PlayerBytes().name("Bryn").gold(222));
    b.set_area_text(script_file.at, script_file.size, "QHYVIGMS\\B.LOR");
    b.set_area_i32(line_offset.at, 5);
    b.set_current_module(host.game_module_number());
    b.set_substate(4);
    const std::vector<uint8_t> a_before = area_bytes(a);
    const std::vector<uint8_t> b_before = area_bytes(b);

    const host::Module* module = host::module(host.module_number());
    ASSERT_NE(module, nullptr);
    host::select_channel(2);
    status = 240;
    module->descriptor->status();

    EXPECT_EQ(area_bytes(b), b_before);
    EXPECT_EQ(area_bytes(a), a_before);
    // The run was a's working copy, not b's own script.
    EXPECT_THAT(b.text(), Not(HasSubstr("B9")));

    // a's own area still says where a stands: the lines after the pause, once.
    EXPECT_THAT(a.say(""), HasSubstr("A9\nA10\nA11\nA12\n"));
}

}  // namespace
}  // namespace test
