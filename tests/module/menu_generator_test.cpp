// The menu of places written at start-up: ZMBVIGMS.TXT (a script) and
// ZMBVIGMS.DAT (one file name per place) from the scripts in QHYVIGMS.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/module_fixture.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace test {
namespace {

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

void write_places(World& world, int count) {
    for (int n = 1; n <= count; ++n) {
        const std::string name = two_digits("P", n) + ".LOR";
        world.script(name, "A place", {two_digits("`3Place ", n), name});
    }
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

std::string place_list(int count) {
    std::string out;
    for (int n = 1; n <= count; ++n)
        out += two_digits("P", n) + ".LOR\n";
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
// paging line, and the fifteenth starts the second page.
TEST(MenuGenerator, FirstPageHoldsFourteenPlacesThenThePagingLine) {
    const std::pair<int, std::string> cases[] = {
        {13, entries(1, 13)},
        {14, entries(1, 14) + kPageBreak},
        {15, entries(1, 14) + kPageBreak + entries(15, 15)},
    };
    for (const auto& [count, menu_lines] : cases) {
        SCOPED_TRACE(count);
        World world;
        write_places(world, count);
        Host host(world);
        EXPECT_EQ(world.read("ZMBVIGMS.TXT"), kMenuHeader + menu_lines + kMenuEnd);
        EXPECT_EQ(world.read("ZMBVIGMS.DAT"), place_list(count));
    }
}

TEST(MenuGenerator, LaterPagesHoldTwentyThreePlaces) {
    World world;
    for (int n = 1; n <= 38; ++n) {
        const std::string name = two_digits("Q", n) + ".LOR";
        world.script(name, "x", {two_digits("T", n), name});
    }
    Host host(world);
    const std::string menu = world.read("ZMBVIGMS.TXT");
    // Paging lines right after places 14 and 37, and nowhere else.
    EXPECT_THAT(menu, HasSubstr("`2T14\n" + kPageBreak + "`^    (`715`8)"));
    EXPECT_THAT(menu, HasSubstr("`2T37\n" + kPageBreak + "`^    (`738`8)"));
    size_t pages = 0;
    for (size_t at = menu.find("/ANYQUIT:"); at != std::string::npos;
         at = menu.find("/ANYQUIT:", at + 1))
        ++pages;
    EXPECT_EQ(pages, 2u);
}

TEST(MenuGenerator, SkipsFilesThatAreNotPlacesWithoutUsingANumber) {
    World world;
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
                                              "`^    (`71`8) `2`2Upper header\n"
                                              "`^    (`72`8) `2`3Lower header\n" +
                                              kMenuEnd);
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "D_OK.LOR\nG_OK.LOR\n");
}

TEST(MenuGenerator, FileNameLineLosesItsControlCharactersTitleKeepsItsOwn) {
    World world;
    world.write("QHYVIGMS/CR.LOR", "Vorn IGM Script: x\r\n`2Crlf title\r\nC\tR.LOR\r\n");
    Host host(world);
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "CR.LOR\n");
    EXPECT_EQ(world.read("ZMBVIGMS.TXT"),
              kMenuHeader + "`^    (`71`8) `2`2Crlf title\r\n" + kMenuEnd);
}

TEST(MenuGenerator, OverlongTitleIsReadInPiecesAndItsMenuLineStillEnds) {
    World world;
    const std::string title(300, 'T');
    world.write("QHYVIGMS/LONG.LOR", "Vorn IGM Script: x\n" + title + "\nLONG.LOR\n");
    world.script("OTHER.LOR", "x", {"`2Other", "OTHER.LOR"});
    Host host(world);
    // The first 249 characters are the title; the rest of that line is read
    // as the file-name line. The menu line keeps 240 of them, so that with
    // its prefix and line end it is read as one script line.
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), std::string(51, 'T') + "\nOTHER.LOR\n");
    EXPECT_EQ(world.read("ZMBVIGMS.TXT"), kMenuHeader + "`^    (`71`8) `2" + std::string(240, 'T') +
                                              "\n" + "`^    (`72`8) `2`2Other\n" + kMenuEnd);
}

TEST(MenuGenerator, PlacesComeInListingOrderAndTheMenuRunsAsAScript) {
    World world;
    world.script("ZEBRA.LOR", "x", {"`2Zebra plains", "ZEBRA.LOR", "Zebras everywhere."});
    world.script("APPLE.LOR", "x", {"`2Apple grove", "APPLE.LOR", "Apples everywhere."});
    world.player("KXPVORN", 0, PlayerBytes().name("Ardo"));
    Host host(world);
    host.register_game_entry();
    EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "APPLE.LOR\nZEBRA.LOR\n");

    Player& p = host.player(1);
    p.arrive();
    const std::string menu = p.text();
    EXPECT_THAT(menu, HasSubstr("    (1) Apple grove\n"));
    EXPECT_THAT(menu, HasSubstr("    (2) Zebra plains\n"));
    EXPECT_THAT(menu, HasSubstr("Version 1.2D... \n"));
    EXPECT_THAT(menu, Not(HasSubstr("/HALT")));
    EXPECT_THAT(p.say("2"), HasSubstr("Zebras everywhere."));
}

}  // namespace
}  // namespace test
