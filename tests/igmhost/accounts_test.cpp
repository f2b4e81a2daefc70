// Accounts end to end over real TCP: imported ones, passwords, account
// tools against a running server and one server per world, the abuse
// limits under a moved clock.
#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

// Imported accounts have no password: the import skips malformed lines,
// happens once and is logged; one without a key is locked unless the sysop
// lets it be claimed, and a claim sets the password that is asked from then
// on; one with a key is never claimed over the network, and the sysop sets
// the first password at the console, unseen.
TEST(IgmhostAccounts, ImportedNamesWithoutTheirPasswordAreNotTaken) {
    Scratch scratch;
    write_file(scratch.world / "ACCOUNTS.TXT",
               "# a note\nSysop|40|SYSOP\nArdo|34|\nno age here\n\nZed|not a number|\n"
               "Warden|50|WIZARD\n");
    {
        Pty pty;
        Server server(scratch, {}, 0, &pty);
        EXPECT_TRUE(server.wait_for_log(
            "imported 3 accounts from ACCOUNTS.TXT (2 malformed lines skipped: 4, 6)"));
        ASSERT_TRUE(pty.walk({"No password is set for Sysop: P sets one.", "P) Set your password",
                              "p>Choose a password", "first-light>Type it again: ",
                              "first-light>Your password is changed."}));
        EXPECT_EQ(pty.data().find("first-light"), std::string::npos) << "the password was echoed";
        Client c(server.port());
        ASSERT_TRUE(c.walk({"Name: ", "Ardo>Ardo is locked until the sysop sets its password."}));
        EXPECT_EQ(c.text().find("Welcome"), std::string::npos);
        EXPECT_EQ(server.stop(), 0);
    }
    EXPECT_FALSE(fs::exists(scratch.world / "ACCOUNTS.TXT"));
    EXPECT_TRUE(fs::exists(scratch.world / "ACCOUNTS.TXT.imported"));
    Server server(scratch, {"--claim-imported"});
    EXPECT_EQ(server.log().find("imported"), std::string::npos);
    Client warden(server.port()), ardo(server.port()), sysop(server.port());
    ASSERT_TRUE(warden.walk({"Name: ", "warden>holds access keys and has no password"}));
    ASSERT_TRUE(ardo.walk({"Name: ", "ardo>Ardo has no password yet: choose one",
                           "ardo-demo>Type it again: ", "ardo-demo>Welcome, Ardo!"}));
    EXPECT_TRUE(server.wait_for_log("(Ardo): claimed the imported account"));
    ardo.close();
    EXPECT_EQ(warden.text().find("Welcome"), std::string::npos);
    Client again(server.port());
    ASSERT_TRUE(sign_in(again, "Ardo"));
    ASSERT_TRUE(sign_in(sysop, "Sysop", "first-light"));
}

TEST(IgmhostAccounts, ChangedPasswordTakesOverAnOpenCallAndCharsetsDoNotMatter) {
    DemoWorld scratch;
    Server server(scratch);
    Client first(server.port());
    ASSERT_TRUE(sign_in(first, "Mira"));
    ASSERT_TRUE(first.walk({"P>Current password: ", "wrong-one>your password stays as it was",
                            "p>Current password: ", "mira-demo>Choose a password",
                            "moonlit-path>Type it again: ",
                            "moonlit-path>Your password is changed.", "1>welcome back, Mira."}));
    // The new password, in another case of the name, takes over the call.
    Client second(server.port());
    ASSERT_TRUE(sign_in(second, "MIRA", "moonlit-path"));
    EXPECT_NE(second.text().find("Your earlier call has been ended."), std::string::npos);
    EXPECT_NE(second.text().find(" from 127.0.0.1"), std::string::npos) << "the last call";
    ASSERT_TRUE(first.expect("signed on again elsewhere"));
    EXPECT_TRUE(first.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("disconnect: taken over by a new call from 127.0.0.1"));
    ASSERT_TRUE(second.say("1", "welcome back, Mira."));

    // The same password typed on a UTF-8 and on a CP437 terminal matches.
    Client utf8(server.port(), "XTERM");
    ASSERT_TRUE(new_account(utf8, "Elodie", 30, "caf\xC3\xA9-au-lait"));
    utf8.close();
    Client cp437(server.port(), "ANSI");
    ASSERT_TRUE(sign_in(cp437, "Elodie", "caf\x82-au-lait"));
}

TEST(IgmhostAccounts, ToolsWorkWhileTheServerRuns) {
    DemoWorld scratch;
    Server server(scratch);
    std::string world = scratch.world.string();
    struct Step {
        std::vector<std::string> args;
        std::string input;
        int status;
        const char* output;
    } steps[] = {
        {{"passwd", "Brannoc", "--hash-memory", "8"}, "iron-gate\n", 0, "password set for Brannoc"},
        {{"passwd", "Nobody"}, "iron-gate\n", 1, "no account named Nobody"},
        {{"passwd", "Brannoc"}, "ab\n", 1, "a password is 4 to 64"},
        {{"grant", "brannoc", "wizard"}, "", 0, ""},
        {{"revoke", "Sysop", "SYSOP"}, "", 0, ""},
        {{"delete", "Old Teg"}, "", 0, "the name stays retired"},
        {{"grant", "Nobody", "X"}, "", 1, "no account named Nobody"},
        {{"list"}, "", 0, "Brannoc               52  WIZARD"},
        {{"frobnicate"}, "", 2, "usage: igmhost accounts"},
        {{"--help"}, "", 0, "igmhost backup DIR"},
        {{"list", "--world", world + "/nowhere"}, "", 2, "cannot use the world folder"},
    };
    for (Step& s : steps) {
        SCOPED_TRACE(s.args[0]);
        s.args.insert(s.args.begin(), {"accounts", "--world", world});  // a later one wins
        auto [status, out] = run_igmhost(s.args, s.input);
        EXPECT_EQ(status, s.status) << out;
        EXPECT_NE(out.find(s.output), std::string::npos) << out;
    }
    // One server per world, and the demo world is not remade under it.
    auto [status, out] = run_igmhost({"--world", world, "--port", "0"});
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("in use by another igmhost (pid " + std::to_string(server.pid()) + ")"),
              std::string::npos)
        << out;
    std::string remake =
        std::string(ZMB_SOURCE_DIR) + "/tools/make-demo-world '" + world + "' 2>&1";
    EXPECT_NE(std::system(remake.c_str()), 0) << "a served world is remade";
    EXPECT_TRUE(fs::exists(scratch.world / "IGMHOST.DB"));

    // The running server sees each change at the next sign-on.
    Client brannoc(server.port());
    ASSERT_TRUE(sign_in(brannoc, "Brannoc", "iron-gate"));
    EXPECT_TRUE(server.wait_for_log("(Brannoc): signed on (with access keys)"));
    Client teg(server.port());
    ASSERT_TRUE(teg.walk({"Name: ", "old teg>Old Teg is retired and cannot be used."}));

    // A backup while the server runs is a world of its own.
    fs::path copy = scratch.root / "copy";
    std::tie(status, out) = run_igmhost({"backup", copy.string(), "--world", world});
    ASSERT_EQ(status, 0) << out;
    EXPECT_TRUE(fs::exists(copy / "KXPVORN" / "PLAYER.DAT"));
    std::tie(status, out) = run_igmhost({"accounts", "list", "--world", copy.string()});
    EXPECT_NE(out.find("Brannoc               52  WIZARD"), std::string::npos) << out;
}

TEST(IgmhostLimits, CallsAtOnceAndNewAccountsPerAddressAreCapped) {
    DemoWorld scratch;
    Server server(scratch, {"--max-per-address", "2", "--max-new-accounts", "1", "--idle-signon",
                            "0", "--idle", "0"});
    Client c(server.port());
    ASSERT_TRUE(new_account(c, "Pell", 22));
    Client d(server.port());
    ASSERT_TRUE(d.expect("Name: "));
    Client third(server.port());
    ASSERT_TRUE(third.expect("no more than 2 calls at once from one address"));
    EXPECT_TRUE(third.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("refused: 2 calls from 127.0.0.1 already"));
    ASSERT_TRUE(d.say("Quill", "No more new accounts from your address for now."));
    EXPECT_TRUE(server.wait_for_log("new account refused: the limit of 1 an hour"));
    scratch.set_clock(61 * 60);
    ASSERT_TRUE(new_account(d, "Quill", 23));
    // A call that ends frees its place.
    c.close();
    ASSERT_TRUE(server.wait_for_log("channel 0 (Pell): disconnect: carrier lost"));
    EXPECT_TRUE(Client(server.port()).expect("Name: "));
}

// Idle: a warning a minute ahead. Wrong passwords: three end a call, four block the address.
TEST(IgmhostLimits, IdleCallersAndWrongPasswordsAreCutOffForAWhile) {
    DemoWorld scratch;
    Server server(scratch, {"--idle", "300", "--idle-signon", "30", "--max-failed-passwords", "4"});
    Client before(server.port()), after(server.port());
    ASSERT_TRUE(before.expect("Name: "));
    ASSERT_TRUE(sign_in(after, "Ardo"));
    scratch.set_clock(31);
    ASSERT_TRUE(before.expect("You have been idle too long. Goodbye!", 3));
    EXPECT_TRUE(before.closed_by_server());
    EXPECT_EQ(after.rest().find("signed off"), std::string::npos);

    scratch.set_clock(241);
    const char* warning = "You will be signed off in 60 seconds unless you type something.";
    ASSERT_TRUE(after.expect(warning, 3));
    // Typing starts the count again: at 301 no cut, at 481 a second warning.
    ASSERT_TRUE(after.say("x", "Please choose 1, 2, 3, W, C, P or G."));
    scratch.set_clock(481);
    ASSERT_TRUE(after.expect(warning, 3));
    EXPECT_EQ(after.rest().find("Goodbye"), std::string::npos);
    scratch.set_clock(542);
    ASSERT_TRUE(after.expect("You have been idle too long. Goodbye!", 3));
    EXPECT_TRUE(server.wait_for_log("(Ardo): disconnect: idle timeout"));

    Client first(server.port());
    ASSERT_TRUE(first.walk({"Name: ", "Ardo>Password: ", "not-ardo>Wrong password.", "Password: ",
                            "not-ardo>Wrong password.", "Password: ", "not-ardo>goodbye"}));
    EXPECT_TRUE(first.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("disconnect: three wrong passwords"));
    Client second(server.port());
    ASSERT_TRUE(second.walk(
        {"Name: ", "Mira>Password: ", "nope>Too many wrong passwords from your address."}));
    EXPECT_TRUE(second.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("127.0.0.1 blocked for 15 minutes after 4 wrong passwords"));
    Client refused(server.port());
    ASSERT_TRUE(refused.expect("Please try again later."));
    EXPECT_TRUE(refused.closed_by_server());

    scratch.set_clock(542 + 14 * 60);
    EXPECT_TRUE(Client(server.port()).closed_by_server());
    scratch.set_clock(542 + 15 * 60 + 1);
    Client later(server.port());
    ASSERT_TRUE(sign_in(later, "Ardo"));
}

}  // namespace
}  // namespace igmtest
