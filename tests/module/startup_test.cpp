// Start-up of the module in a fresh or used working directory: the files it
// makes or leaves alone, what it tells the host, how it seeds rand(), and
// the fatal stops when a file it must have cannot be made.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "server/core/host_core.h"
#include "tests/support/session.h"

using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

namespace test {
namespace {

constexpr const char* kEntryDescription =
    "`0F`9ar `0R`9eaches! `7(VORN IGM Expansion by `%A`7rdo `%P`7enn)\n";

std::string list_entry(int module_number) {
    return "ZMB_VORN\n" + std::to_string(module_number) + "\n" + kEntryDescription;
}

// 2024-03-07 12:00 UTC: a fixed day for the ledger checks.
constexpr std::time_t kSomeDay = 1709812800;

TEST(StartUp, FreshFolderGetsModuleListConfigurationAndThreeLedgers) {
    World world;
    set_time(kSomeDay);
    Host host(world);
    const uint16_t day = today();

    EXPECT_EQ(world.read("IGMLIST.DAT"), list_entry(host.module_number()));
    EXPECT_EQ(world.read("ZMBVIGMS.CNF"), "SYSOP\n10\n");
    std::string fresh_ledger;  // 500 records of no trips today
    for (int i = 0; i < 500; ++i)
        fresh_ledger += std::string{0, 0, char(day & 0xFF), char(day >> 8)};
    for (const char* ledger : {"ZMBVIGMS.SV1", "ZMBVIGMS.SV2", "ZMBVIGMS.SV3"})
        EXPECT_EQ(world.read(ledger), fresh_ledger) << ledger;
    EXPECT_FALSE(world.exists("OOO.DAT"));
    EXPECT_THAT(host.console(),
                HasSubstr("Igm \"Far Reaches\" installed. Initialized Successfully"));
    EXPECT_EQ(host::user_area_size(), 724u);
}

TEST(StartUp, SecondStartAppendsAnotherEntryAndLeavesTheFilesAlone) {
    World world;
    set_time(kSomeDay);
    int first_number = 0;
    {
        Host first(world);
        first_number = first.module_number();
    }
    // Hand-made contents that a second start must not touch.
    world.write("ZMBVIGMS.CNF", "BOSS\n50\n");
    world.ledger_record("ZMBVIGMS.SV2", 7, 3, 1234);
    world.write("ZMBVIGMS.SV3", "odd length");
    const std::string sv1 = world.read("ZMBVIGMS.SV1");
    const std::string sv2 = world.read("ZMBVIGMS.SV2");

    set_time(kSomeDay + 3 * 86400);
    Host second(world);

    EXPECT_EQ(world.read("IGMLIST.DAT"),
              list_entry(first_number) + list_entry(second.module_number()));
    EXPECT_EQ(world.read("ZMBVIGMS.CNF"), "BOSS\n50\n");
    EXPECT_EQ(world.read("ZMBVIGMS.SV1"), sv1);
    EXPECT_EQ(world.read("ZMBVIGMS.SV2"), sv2);
    EXPECT_EQ(world.read("ZMBVIGMS.SV3"), "odd length");
}

TEST(StartUp, ModuleListThatCannotBeWrittenIsSkipped) {
    World world;
    world.mkdir("IGMLIST.DAT");  // neither appendable nor creatable
    Host host(world);
    EXPECT_THAT(host.console(), HasSubstr("Initialized Successfully"));
    EXPECT_EQ(world.read("ZMBVIGMS.CNF"), "SYSOP\n10\n");
    EXPECT_EQ(world.read("ZMBVIGMS.SV3").size(), 2000u);
}

// The description is the first 24 characters of the definition name; the
// module answers only input, status and finish.
TEST(StartUp, DescriptorNamesTheModuleAndFillsInputStatusAndFinishOnly) {
    World world;
    Host host(world, 8, "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234");
    const module_descriptor* d = host::module(host.module_number())->descriptor;
    EXPECT_STREQ(d->description, "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_NE(d->input, nullptr);
    EXPECT_NE(d->status, nullptr);
    EXPECT_NE(d->finish, nullptr);
    for (auto* unused : {d->logon, d->injected, d->logoff, d->hangup, d->midnight})
        EXPECT_EQ(unused, nullptr);
    EXPECT_EQ(d->delete_account, nullptr);
    d->finish();  // does nothing, and must not fail
}

TEST(StartUp, SeedsRandFromTheLow16BitsOfTheClockNeverZero) {
    for (const auto& [clock, seed] : {std::pair{0x6600ABCC, 0xABCDu}, std::pair{0x66010000, 1u}}) {
        World world;
        set_time(clock);
        Host host(world);
        EXPECT_EQ(srand_calls(), 1);
        EXPECT_EQ(last_srand_seed(), seed);
    }
}

// ---- fatal stops: the host ends with the module's own message ----

// A file that cannot be made stops the host with the module's own message;
// the files made before it are there, the ones after not.
TEST(StartUpDeath, AFileThatCannotBeCreatedStopsTheHostWithItsMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"ZMBVIGMS.TXT", "the ZMBVIGMS IGM TEXT file could not initialize!"},
        {"ZMBVIGMS.DAT", "the ZMBVIGMS IGM DATA file could not initialize!"},
        {"ZMBVIGMS.CNF", "ZMBVIGMS.CNF could not be opened for CNF saving!"},
        {"ZMBVIGMS.SV2", "The \"ZMBVIGMS.SV2\" igm save file could not initialize!"},
    };
    for (const auto& [file, message] : cases) {
        SCOPED_TRACE(file);
        World world;
        world.mkdir(file);
        EXPECT_EXIT({ Host host(world); }, ExitedWithCode(70), message);
    }
    World world;  // the child worked in the same folder
    world.mkdir("ZMBVIGMS.SV2");
    EXPECT_EXIT({ Host host(world); }, ExitedWithCode(70), "SV2");
    EXPECT_EQ(world.read("ZMBVIGMS.SV1").size(), 2000u);
    EXPECT_FALSE(world.exists("ZMBVIGMS.SV3"));
}

}  // namespace
}  // namespace test
