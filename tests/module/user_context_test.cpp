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

// "A9\nA10\n..." for x "A" from 9 to 10.
std::string numbered(const std::string& x, int from, int to) {
    std::string out;
    for (int n = from; n <= to; ++n)
        out += x + std::to_string(n) + "\n";
    return out;
}

class UserContext : public ::testing::Test {
  protected:
    UserContext() {
        // Eight lines, a pause, four more: two slices before the pause.
        for (const char* x : {"A", "B"})
            world.write(std::string("QHYVIGMS/") + x + ".LOR", std::string("Vorn IGM Script: ") +
                                                                   x + "\n" + numbered(x, 1, 8) +
                                                                   "/PAUSE\n" + numbered(x, 9, 12));
    }
    World world;
    Host host{world};
};

TEST_F(UserContext, TwoUsersInterleavedKeepTheirOwnState) {
    Player* users[] = {&host.player(1), &host.player(2)};
    const std::string names[] = {"A", "B"};
    for (int i : {0, 1}) {
        users[i]->set_record(PlayerBytes().name(names[i]).gold(111 * (i + 1)));
        users[i]->set_area_i32(zmb::state::value(1).at, 1001 * (i + 1));
        users[i]->set_area_i16(zmb::trip::trips_used.at, static_cast<int16_t>(3 + 4 * i));
        users[i]->run_script("QHYVIGMS\\" + names[i] + ".LOR");
    }
    host.pump();  // statuses alternate between the two channels
    for (int i : {0, 1}) {
        EXPECT_EQ(users[i]->substate(), 5);
        const std::string shown = users[i]->take_text();
        EXPECT_THAT(shown, StartsWith(numbered(names[i], 1, 8)));
        EXPECT_THAT(shown, Not(HasSubstr(names[1 - i])));
    }
    users[1]->say("");  // resumed in the other order
    users[0]->say("");
    for (int i : {0, 1}) {
        const Player& u = *users[i];
        EXPECT_THAT(u.text(), HasSubstr(numbered(names[i], 9, 12)));
        EXPECT_THAT(u.text(), Not(HasSubstr(names[1 - i] + "1")));
        EXPECT_EQ(u.area_text(script_file.at), "QHYVIGMS\\" + names[i] + ".LOR");
        EXPECT_EQ(u.record().gold(), 111 * (i + 1));
        EXPECT_EQ(u.area_i32(zmb::state::value(1).at), 1001 * (i + 1));
        EXPECT_EQ(u.area_i16(zmb::trip::trips_used.at), 3 + 4 * i);
    }
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
