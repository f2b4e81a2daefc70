// Start-up in a fresh or used folder: the files made or left alone, what the
// host is told, rand()'s seed, names in any case, and the menu of places.
#include <cstdio>
#include <string>

#include "tests/support/session.h"

namespace test {
namespace {

constexpr const char* kEntryDescription =
    "`0F`9ar `0R`9eaches! `7(VORN IGM Expansion by `%A`7rdo `%P`7enn)\n";

std::string list_entry(int module_number) {
    return "ZMB_VORN\n" + std::to_string(module_number) + "\n" + kEntryDescription;
}

// 2024-03-07 12:00 UTC: a fixed day for the ledger checks.
constexpr std::time_t kSomeDay = 1709812800;

// The descriptor's description is the first 24 characters of the
// definition name; the module answers only input, status and finish.
TEST(StartUp, FreshFolderGetsModuleListConfigurationAndThreeLedgers) {
    World world;
    set_time(kSomeDay);
    Host host(world, 8, "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234");
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
    const module_descriptor* d = host::module(host.module_number())->descriptor;
    EXPECT_STREQ(d->description, "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_NE(d->input, nullptr);
    for (auto* used : {d->status, d->finish})
        EXPECT_NE(used, nullptr);
    for (auto* unused : {d->logon, d->injected, d->logoff, d->hangup, d->midnight})
        EXPECT_EQ(unused, nullptr);
    EXPECT_EQ(d->delete_account, nullptr);
    d->finish();  // does nothing, and must not fail
}

// Hand-made contents a second start must not touch, some under names in
// another case, which are the files used.
TEST(StartUp, SecondStartAppendsAnotherEntryAndLeavesTheFilesAlone) {
    World world;
    set_time(kSomeDay);
    const int first_number = Host(world).module_number();
    world.remove("ZMBVIGMS.CNF");
    world.write("zmbvigms.cnf", "BOSS\n50\n");
    world.write("igmlist.dat", world.read("IGMLIST.DAT"));
    world.remove("IGMLIST.DAT");
    world.ledger_record("ZMBVIGMS.SV2", 7, 3, 1234);
    world.remove("ZMBVIGMS.SV3");
    world.write("Zmbvigms.Sv3", "odd length");
    const std::string sv1 = world.read("ZMBVIGMS.SV1");
    const std::string sv2 = world.read("ZMBVIGMS.SV2");

    set_time(kSomeDay + 3 * 86400);
    Host second(world);
    EXPECT_EQ(world.read("igmlist.dat"),
              list_entry(first_number) + list_entry(second.module_number()));
    EXPECT_EQ(world.read("zmbvigms.cnf"), "BOSS\n50\n");
    EXPECT_EQ(world.read("ZMBVIGMS.SV1"), sv1);
    EXPECT_EQ(world.read("ZMBVIGMS.SV2"), sv2);
    EXPECT_EQ(world.read("Zmbvigms.Sv3"), "odd length");
    for (const char* name : {"ZMBVIGMS.CNF", "IGMLIST.DAT", "ZMBVIGMS.SV3"})
        EXPECT_FALSE(world.exists(name)) << name;
}

TEST(StartUp, SeedsRandFromTheLow16BitsOfTheClockNeverZero) {
    for (const auto& [clock, seed] : {std::pair{0x6600ABCC, 0xABCDu}, std::pair{0x66010000, 1u}}) {
        World world;
        set_time(clock);
        Host host(world);
        EXPECT_THAT(srand_seeds(), ElementsAre(seed));
    }
}

// The menu asks for QHYVIGMS\CAVE.LOR and KXPVORN\PLAYER.DAT; the files are
// qhyvigms/cave.lor and kxpvorn/player.dat. The places are listed by name,
// not in the order they were written, and the menu runs as a script.
TEST(Paths, PlacesAndPlayersInFoldersOfOtherCaseAreFound) {
    World world;
    // This place names a script in a sub-folder; folder and file differ in case.
    world.write("qhyvigms/gate.lor", "Vorn IGM Script: Gate\n`2The gate\nDeep\\Inner.Lor\n");
    world.write("qhyvigms/deep/INNER.lor", "Vorn IGM Script: Inner\nYou went deep.\n");
    world.write("qhyvigms/cave.lor",
                "Vorn IGM Script: The Cave\n`2A dark cave\nCAVE.LOR\nWater drips in the dark.\n");
    const PlayerBytes ardo = PlayerBytes().name("Ardo").gold(1234);
    world.write("kxpvorn/player.dat", std::string(ardo.bytes.begin(), ardo.bytes.end()));
    Host host(world);
    host.register_game_entry();
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "CAVE.LOR\nDeep\\Inner.Lor\n");

    Player& p = host.player(1);
    p.arrive();
    EXPECT_THAT(p.text(), AllOf(HasSubstr("    (1) A dark cave\n"), HasSubstr("    (2) The gate\n"),
                                HasSubstr("Version 1.2D... \n"), HasSubstr("Your Command, Ardo?"),
                                Not(HasSubstr("/HALT"))));
    EXPECT_EQ(p.get(pl::gold), 1234);
    EXPECT_THAT(p.say("1"), HasSubstr("Water drips in the dark."));
    EXPECT_EQ(p.get(zmb::state::script_title), "The Cave");
    p.say("");
    EXPECT_THAT(p.say("2"), HasSubstr("You went deep."));
}

// ---- the menu of places ----

// The nine screen lines before the first place, byte for byte.
const std::string kMenuHeader =
    "Vorn IGM Script: `!Far Reaches\n"
    "/LABEL\n"
    "\x1b[2J`0  F`9ar `0R`9eaches`8... `8Version `7|M`8... \n"
    "`0=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n"
    "`2  Through distant fields and forests you travel to a great crossroad...\n"
    "`2  It's the gateway to `0Far Reaches`2! You search the signs for new places.\n"
    "`2  For information enter `^I`2. To EXIT enter `^X`2. For STATS enter `^V`2. Good Luck!\n"
    "`0=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n"
    "`7       `6You have already used `$|L `6of your `%|R`6 trips into Far Reaches!\n"
    "`0=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n"
    "  \n";

const std::string kPageBreak = "/ANYQUIT:`9Press `3<enter> `9for more options, `3<Q> `9to stop: \n";

const std::string kMenuEnd = "  \n/HALT\n";

const std::string kEmptyMenu =
    "Vorn IGM Script: `7Far Reaches\n"
    "/LABEL\n"
    "\x1b[2J`0  F`9ar `0R`9eaches....\n"
    "`0=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n"
    "`2  Currently Undeveloped Land....\n"
    "`0=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n"
    "  \n"
    "     `6(`$X`6)`2Return to Other Places\n"
    "  \n"
    "/HALT\n";

// `prefix` and n in two digits ("P07"). Built without "literal" + string,
// which GCC 12's -Wrestrict misreads at -O2.
std::string two_digits(const char* prefix, int n) {
    char out[32];
    std::snprintf(out, sizeof out, "%s%02d", prefix, n);
    return out;
}

// The menu lines of places first..last when place n is P<nn>.LOR titled
// "`3Place <nn>": "`^    (`7<n>`8) `2`3Place <nn>".
std::string entries(int first, int last) {
    std::string out;
    for (int n = first; n <= last; ++n) {
        out.append("`^    (`7").append(std::to_string(n)).append("`8) `2");
        out.append(two_digits("`3Place ", n)).append("\n");
    }
    return out;
}

TEST(MenuGenerator, NoQualifyingScriptGivesTheEmptyMenu) {
    for (bool with_folder : {false, true}) {
        SCOPED_TRACE(with_folder ? "a folder without places" : "no folder");
        World world;
        if (with_folder) {
            world.write("QHYVIGMS/NOTES.TXT", "Vorn IGM Script: x\nTitle\nNOTES.TXT\n");
            world.write("QHYVIGMS/PLAIN.LOR", "Just some text\nTitle\nPLAIN.LOR\n");
        }
        Host host(world);
        EXPECT_EQ(world.read("ZMBVIGMS.TXT"), kEmptyMenu);
        EXPECT_TRUE(world.exists("ZMBVIGMS.DAT"));
        EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "");
    }
}

// Thirteen places fit the first page; the fourteenth is followed by the
// paging line, and the fifteenth starts the second page of 23 places.
TEST(MenuGenerator, FirstPageHoldsFourteenPlacesLaterPagesTwentyThree) {
    const std::pair<int, std::string> cases[] = {
        {13, entries(1, 13)},
        {14, entries(1, 14) + kPageBreak},
        {15, entries(1, 14) + kPageBreak + entries(15, 15)},
        {38, entries(1, 14) + kPageBreak + entries(15, 37) + kPageBreak + entries(38, 38)},
    };
    for (const auto& [count, menu_lines] : cases) {
        SCOPED_TRACE(count);
        World world;
        std::string list;  // P01.LOR, P02.LOR, ... one a line
        for (int n = 1; n <= count; ++n) {
            const std::string name = two_digits("P", n) + ".LOR";
            world.script(name, "A place", {two_digits("`3Place ", n), name});
            list += name + "\n";
        }
        Host host(world);
        EXPECT_EQ(world.read("ZMBVIGMS.TXT"), kMenuHeader + menu_lines + kMenuEnd);
        EXPECT_EQ(world.read("ZMBVIGMS.DAT"), list);
    }
}

// The file-name line loses its control characters; the title keeps its own.
TEST(MenuGenerator, SkipsFilesThatAreNotPlacesWithoutUsingANumber) {
    World world;
    world.write("QHYVIGMS/C_CR.LOR", "Vorn IGM Script: x\r\n`2Crlf title\r\nC\tR.LOR\r\n");
    world.write("QHYVIGMS/A_EMPTY.LOR", "");
    world.write("QHYVIGMS/B_NOHEAD.LOR", "Hello there\nTitle\nB_NOHEAD.LOR\n");
    world.write("QHYVIGMS/C_TWO.LOR", "Vorn IGM Script: two lines\nTitle only\n");
    world.write("QHYVIGMS/D_OK.LOR", "VORN IGM SCRIPT and more\n`2Upper header\nD_OK.LOR\n");
    world.write("QHYVIGMS/E_NOFILE.LOR", "Vorn IGM Script: x\nTitle\n\n");
    constexpr char kBinary[] = "\x00\x01\x02\xff\xfe binary\x00\n";
    world.write("QHYVIGMS/F_BIN.LOR", std::string(kBinary, sizeof kBinary - 1));
    world.write("QHYVIGMS/G_OK.LOR", "vorn igm script\n`3Lower header\nG_OK.LOR\n");
    Host host(world);
    EXPECT_EQ(world.read("ZMBVIGMS.TXT"), kMenuHeader +
                                              "`^    (`71`8) `2`2Crlf title\r\n"
                                              "`^    (`72`8) `2`2Upper header\n"
                                              "`^    (`73`8) `2`3Lower header\n" +
                                              kMenuEnd);
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "CR.LOR\nD_OK.LOR\nG_OK.LOR\n");
}

}  // namespace
}  // namespace test
