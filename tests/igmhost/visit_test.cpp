// Whole visits through igmhost: signing on, the game, the hand-over to Far
// Reaches, a place with a question and a reward, and the way back.
#include <linux/tcp.h>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

// PLAYER.DAT offsets the checks read.
constexpr size_t kHitPoints = 72, kGold = 112, kCharm = 124, kLevel = 130, kSex = 168, kClass = 186;

TEST(IgmhostVisit, KnownPlayerVisitsAPlaceAndComesBackChanged) {
    DemoWorld scratch;
    Server server(scratch);
    Client ardo(server.port());

    ASSERT_TRUE(sign_on(ardo, "Ardo"));
    ASSERT_TRUE(enter_far_reaches(ardo));
    EXPECT_TRUE(server.wait_for_log("(Ardo): handed over from KXPVORN to ZMB_VORN"));

    // The inn asks for a name (an /INPUT question) and checks it against the record.
    ASSERT_TRUE(enter_place(ardo, "The Lantern Inn", "(Your name, traveller)"));
    // The mead (1): one charm, 9 -> 10; the module's stats screen (V) shows
    // the record as the visit left it.
    ASSERT_TRUE(ardo.walk({"  ardo >\"Ardo! I know that name.", "(123)", "1>Charm +1, now 10.",
                           ">Please press <enter> to continue", ">used 1 of your 10 trips",
                           "V>Ardo's Stats", "Charm        : 10", ">Your Command, Ardo?"}));

    ASSERT_TRUE(ardo.say("q", "Welcome back to The Vale of Vorn!"));
    ASSERT_TRUE(ardo.expect("Charm: 9 -> 10"));
    EXPECT_EQ(ardo.rest().find("Gold in hand:"), std::string::npos) << "only changes are listed";
    ASSERT_TRUE(ardo.walk({"Charm 10", "Your choice, Ardo?"}));
    EXPECT_TRUE(server.wait_for_log("(Ardo): handed back to KXPVORN"));

    std::string record = player_record(scratch.world, "KXPVORN", 0);
    ASSERT_EQ(record.size(), 248u);
    EXPECT_EQ(field(record, kCharm), 10);
    EXPECT_EQ(field(record, kGold, 4), 1250) << "untouched fields stay";

    // The game itself still works after the round trip.
    ASSERT_TRUE(ardo.walk({"Q>You leave The Vale of Vorn.", "G>Farewell, Ardo!"}));
    EXPECT_TRUE(ardo.closed_by_server());
}

// The echo of a line and all of its answer go out in one write, even when
// the script the line starts runs for more slices than a round of the loop
// delivers: the caller receives them in one TCP segment.
TEST(IgmhostVisit, ALineAndItsWholeAnswerGoOutInOneWrite) {
    DemoWorld scratch;
    std::vector<std::string> hall(2000, ".");  // more slices than a round delivers, under 8 KB
    hall.push_back("The end of the hall.");
    write_place(scratch.world, "HALL.LOR", "The Long Hall", hall);
    Server server(scratch);
    Client ardo(server.port());
    ASSERT_TRUE(at_module_menu(ardo, "Ardo"));
    auto segments_in = [&] {
        tcp_info info{};
        socklen_t size = sizeof info;
        EXPECT_EQ(getsockopt(ardo.fd(), IPPROTO_TCP, TCP_INFO, &info, &size), 0);
        return info.tcpi_data_segs_in;
    };
    const auto before = segments_in();
    ASSERT_TRUE(enter_place(ardo, "The Long Hall", "The end of the hall."));
    ASSERT_TRUE(ardo.expect("Please press <enter> to continue: "));
    EXPECT_EQ(segments_in() - before, 1u);
}

TEST(IgmhostVisit, NewCallerGetsAnAccountAndAPlayerRecord) {
    DemoWorld scratch;
    Server server(scratch);
    Client c(server.port());

    // Typing stops at 20 characters: the name is taken as cut.
    ASSERT_TRUE(c.walk(
        {"Name: ", "bad|name>A name is 1 to 20 letters, digits and blanks.",
         "a name that is far too long>Create a new account for a name that is far t?", "n>Name: ",
         "Wren  Ashby>Create a new account for Wren Ashby? [Y/n]", "y>Choose a password"}));
    for (const std::string& bad : {std::string(""), std::string("abc"), std::string(1000, 'p')})
        ASSERT_TRUE(c.say(bad, "A password is 4 to 64 printable characters."));
    ASSERT_TRUE(c.walk(
        {"good-one>Type it again: ", "good-two>The two passwords differ.", "Choose a password",
         "wrenashby-demo>Type it again: ", "wrenashby-demo>How old are you (1-120)?",
         "0>Please type your age in years", "121>Please type your age in years",
         "19>Welcome, Wren Ashby!", "Last on: first call", "2>Which skill draws you?",
         "7>Which skill draws you?", "2>(M)ale or (F)emale?",
         "f>Wren Ashby, level 1 Mystic (female)", "Your choice, Wren Ashby?"}));

    // The new record is the next one of KXPVORN2.
    std::string record = player_record(scratch.world, "KXPVORN2", 2);
    ASSERT_EQ(record.size(), 248u);
    EXPECT_EQ(record.substr(0, 12), std::string("\x0aWren Ashby\0", 12));  // length, name, end
    EXPECT_EQ(field(record, kHitPoints), 20);
    EXPECT_EQ(field(record, kLevel), 1);
    EXPECT_EQ(field(record, kGold, 4), 200);
    EXPECT_EQ(field(record, kSex, 1), 5);
    EXPECT_EQ(field(record, kClass, 1), 2);

    // The module finds the new record through the hand-off file.
    ASSERT_TRUE(enter_far_reaches(c));
    ASSERT_TRUE(c.walk({"V>Wren Ashby's Stats", "The Mystical Skills: 1"}));
    EXPECT_FALSE(fs::exists(scratch.world / "TEMP0.TMP"));

    EXPECT_EQ(c.text().find(password_for("Wren Ashby")), std::string::npos) << "echoed";
    EXPECT_EQ(server.log().find(password_for("Wren Ashby")), std::string::npos) << "logged";
    c.close();
    EXPECT_EQ(server.stop(), 0);

    // Only hashes are stored.
    std::string files;
    for (const char* name : {"IGMHOST.DB", "IGMHOST.DB-wal"})
        files += read_file(scratch.world / name);
    ASSERT_NE(files.find("Wren Ashby"), std::string::npos) << "the account is in the database";
    for (const char* name : {"Wren Ashby", "Ardo", "Sysop"})
        EXPECT_EQ(files.find(password_for(name)), std::string::npos) << name;
    EXPECT_NE(files.find("$argon2id$"), std::string::npos);
}

// Three callers at once, each with their own state: the sysop's menu, the
// module's line limit, a wait that holds up nobody else, and a module
// that gives its user up. The checker's findings are logged once at
// start-up, and scripts missing in play with the caller's name.
TEST(IgmhostVisit, ThreeUsersAtOnceKeepTheirOwnState) {
    DemoWorld scratch;
    write_place(scratch.world, "BROKEN.LOR", "A Broken Place", {"/CLEAR", "/GOTO:;NOWHERE"});
    // Line 3 names a file that is not there: choosing the place cannot find it.
    write_file(scratch.world / "QHYVIGMS" / "GATE.LOR",
               "Vorn IGM Script: The Gate\nThe Gate\nGONE.LOR\n/CLEAR\n");
    fs::remove(scratch.world / "ZMB_VORN.NEW");
    Server server(scratch);
    const char* finding = "script QHYVIGMS\\BROKEN.LOR:5: error: label ';NOWHERE' does not appear";
    EXPECT_EQ(occurrences(server.log(), finding), 1u) << server.log();
    Client sysop(server.port()), ardo(server.port()), mira(server.port());
    ASSERT_TRUE(at_module_menu(sysop, "sysop"));
    ASSERT_TRUE(at_module_menu(ardo, "Ardo"));
    ASSERT_TRUE(at_module_menu(mira, "Mira"));
    EXPECT_NE(sysop.text().find("Enter S for Sysop Menu"), std::string::npos);
    EXPECT_EQ(ardo.text().find("Enter S for Sysop Menu"), std::string::npos);
    ASSERT_TRUE(sysop.walk({"S>SYSOP KEY : SYSOP", "A>Your Command, "}));
    ASSERT_TRUE(enter_place(sysop, "The Gate", "could not be found!"));
    EXPECT_TRUE(server.wait_for_log("(Sysop): script QHYVIGMS\\GONE.LOR not found"));
    ASSERT_TRUE(sysop.walk({">Your Command, ", "I>could not be found!"}));  // the news
    EXPECT_TRUE(server.wait_for_log("(Sysop): script ZMB_VORN.NEW not found"));
    ASSERT_TRUE(ardo.say("S", "That isn't a valid option."));
    // In the module, typed lines are cut at the module's own limit (128).
    auto hashes_echoed = [](Client& c, std::string_view reply) {
        size_t before = c.text().size();
        EXPECT_TRUE(c.say(std::string(200, '#'), reply));
        std::string echoed = c.text().substr(before);
        return std::count(echoed.begin(), echoed.end(), '#');
    };
    EXPECT_EQ(hashes_echoed(ardo, "That isn't a valid option."), 128);

    // Ardo kneels at the shrine, which makes him wait three seconds; what
    // comes before the wait is not held back for it.
    auto kneeled = Clock::now();
    ASSERT_TRUE(enter_place(ardo, "The Moonlit Shrine", "You wait..."));
    EXPECT_LT(Clock::now() - kneeled, std::chrono::seconds(2)) << "held back for the /WAIT:";
    // Meanwhile Mira is served at once: she asks for ale, but her account says 16.
    auto asked = Clock::now();
    ASSERT_TRUE(enter_place(mira, "The Lantern Inn", "Sit, lass,", 2));
    ASSERT_TRUE(mira.walk({"Lark>\"Lark, is it?\"", "2>\"Not at 16, little one.\""}));
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2)) << "Mira waited for Ardo's /WAIT:";
    // Ardo's wait ends on its own, and the shrine knows his level.
    ASSERT_TRUE(ardo.walk({"the stones answer", "veteran of level 5"}, 6));
    EXPECT_EQ(ardo.text().find("Lark"), std::string::npos);
    EXPECT_EQ(mira.text().find("veteran"), std::string::npos);
    ASSERT_TRUE(ardo.walk({">to continue: ", ">Your Command, "}));

    // Without its module list the module cannot hand Ardo back, says so
    // and gives him up; the game takes him in all the same.
    fs::remove(scratch.world / "IGMLIST.DAT");
    ASSERT_TRUE(ardo.walk({"x>IGMLIST.DAT file is missing.",
                           "You find yourself back in The Vale of Vorn.", "Your choice, Ardo?"}));
    EXPECT_TRUE(server.wait_for_log("(Ardo): given back to KXPVORN"));
    ASSERT_TRUE(ardo.say("V", "Ardo, level 5 Mystic (male)"));
    // Back in the game, the module's limit is gone.
    EXPECT_EQ(hashes_echoed(ardo, "That is not a choice here."), 200);

    // A stop by signal says farewell to everyone still on.
    EXPECT_EQ(server.stop(SIGTERM), 0);
    for (Client* c : {&sysop, &ardo, &mira}) {
        EXPECT_TRUE(c->expect("igmhost is shutting down. Farewell!"));
        EXPECT_TRUE(c->closed_by_server());
    }
    EXPECT_TRUE(server.wait_for_log("(Mira): disconnect: server shutting down"));
}

}  // namespace
}  // namespace igmtest
