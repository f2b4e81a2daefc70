// The test host itself: it loads the real plug-in, runs its start-up and
// hands channels over to it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/session.h"

using ::testing::HasSubstr;

namespace test {
namespace {

TEST(Harness, LoadsTheModuleAfterTheStandInGame) {
    World world;
    Host host(world);
    EXPECT_GT(host.game_module_number(), 0);
    EXPECT_GT(host.module_number(), host.game_module_number());
    EXPECT_NE(host.fn<void()>("init__zmb_vorn"), nullptr);
    EXPECT_THAT(host.console(), HasSubstr("Initialized Successfully"));
}

}  // namespace
}  // namespace test
