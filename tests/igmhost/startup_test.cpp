// igmhost's start and stop: the command line, a missing or broken module,
// the game's IGMLIST.DAT entries, and the console in a real terminal.
#include <stdlib.h>
#include <termios.h>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

TEST(IgmhostStartup, BadCommandLinesWorldsAndModulesAreRefusedClearly) {
    Scratch scratch;
    write_file(scratch.root() / "broken.so", "this is not a shared object\n");
    const std::string world = scratch.world().string();
    const struct {
        std::vector<std::string> args;
        int status;
        const char* output;
    } cases[] = {
        {{"--port", "seventy"}, 2, "bad value for --port: seventy"},
        {{"--port", "seventy"}, 2, "usage: igmhost"},
        {{"--world", (scratch.root() / "nowhere").string()}, 2, "cannot use the world folder"},
        // Standard input is a file here: no terminal for the console.
        {{"--world", world, "--console"}, 2, "--console needs a terminal"},
        {{"--world", world, "--port", "0", "--module", (scratch.root() / "absent.so").string()},
         1,
         "igmhost: cannot load the module"},
        {{"--world", world, "--port", "0", "--module", (scratch.root() / "broken.so").string()},
         1,
         "igmhost: cannot load the module"},
    };
    for (const auto& c : cases) {
        auto [status, out] = run_igmhost(c.args);
        EXPECT_EQ(status, c.status) << out;
        EXPECT_NE(out.find(c.output), std::string::npos) << out;
        EXPECT_EQ(out.find("listening on"), std::string::npos) << out;
    }
}

TEST(IgmhostStartup, GameEntriesAreWrittenBeforeTheModulesAndNeverGoStale) {
    Scratch scratch;
    // An old list: a stale game entry with a wrong number, another module's
    // entry, and an entry cut off after its number line.
    write_file(scratch.world() / "IGMLIST.DAT",
               "KXPVORN\n9\nold game\nOTHER\n7\nsomeone else's module\nHALF\n8\n");
    {
        Server server(scratch);
        ASSERT_GT(server.port(), 0);
        EXPECT_TRUE(server.wait_for_log("IGMLIST.DAT: dropped 2 line(s)"));
        EXPECT_EQ(server.stop(), 0);
    }
    std::string list = read_file(scratch.world() / "IGMLIST.DAT");
    EXPECT_EQ(list,
              "OTHER\n7\nsomeone else's module\n"
              "KXPVORN\n1\n`%K-VORN`7: The Vale of Vorn\n"
              "KXPVORN2\n2\n`%K-VORN`7: The Ashen Coast\n"
              "KXPVORN3\n3\n`%K-VORN`7: The Northern Reach\n"
              "ZMB_VORN\n4\n`0F`9ar `0R`9eaches! `7(VORN IGM Expansion by `%A`7rdo `%P`7enn)\n");
    for (const char* game : {"KXPVORN", "KXPVORN2", "KXPVORN3"}) {
        EXPECT_TRUE(fs::exists(scratch.world() / game / "PLAYER.DAT")) << game;
    }

    // A second start keeps one entry per game; the module appends again,
    // and the game lists it once.
    Server again(scratch);
    Client c(again.port());
    ASSERT_TRUE(c.expect("Name: "));
    ASSERT_TRUE(new_account(c, "Tess", 33));
    ASSERT_TRUE(c.say("3", "Which skill"));
    ASSERT_TRUE(c.say("3", "(M)ale or (F)emale?"));
    ASSERT_TRUE(c.say("m", "(1) Far Reaches!"));
    EXPECT_EQ(c.rest().find("(2)"), std::string::npos) << "a module listed twice";
    list = read_file(scratch.world() / "IGMLIST.DAT");
    size_t first = list.find("KXPVORN3\n");
    EXPECT_EQ(list.find("KXPVORN3\n", first + 1), std::string::npos);
}

TEST(IgmhostConsole, SysopPlaysAndEveryWayOfStoppingRestoresTheTerminal) {
    // SIGQUIT stops igmhost as SIGTERM does; a crash still kills it; with
    // no signal the module stops the host.
    const struct {
        int signal;
        int status;
        const char* logged;
    } endings[] = {{SIGTERM, 0, "shutdown"},
                   {SIGQUIT, 0, ""},
                   {SIGSEGV, 128 + SIGSEGV, ""},
                   {0, 70, "catastro: the VORN IGM DATA file could not be used!"}};
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.signal);
        Scratch scratch;
        scratch.make_demo_world();
        Pty pty;
        tcflag_t before = pty.settings().c_lflag;
        ASSERT_TRUE(before & ICANON);
        fs::path log = scratch.root() / "console.log";
        pid_t pid = pty.spawn(scratch, log);
        ASSERT_TRUE(pty.expect("Welcome, Sysop!"));
        ASSERT_TRUE(pty.expect("G) Goodbye (stops igmhost)"));
        EXPECT_FALSE(pty.settings().c_lflag & ICANON) << "raw mode while igmhost runs";
        EXPECT_FALSE(pty.settings().c_lflag & ECHO);
        if (ending.signal == SIGTERM || ending.signal == 0) {
            pty.type("1\r");
            ASSERT_TRUE(pty.expect("welcome back, Sysop."));
            pty.type("1\r");
            ASSERT_TRUE(pty.expect("Press Enter"));
            pty.type("\r");
            // The sysop holds the SYSOP key through the imported ACCOUNTS.TXT.
            ASSERT_TRUE(pty.expect("for Sysop Menu"));
            EXPECT_NE(read_file(log).find("console on channel 0"), std::string::npos);
        }
        if (ending.signal == 0) {
            // Without its place list the module stops the host when a place is chosen.
            fs::remove(scratch.world() / "ZMBVIGMS.DAT");
            pty.type("1\r");
        } else {
            kill(pid, ending.signal);
        }
        EXPECT_EQ(pty.exit_status(), ending.status);
        EXPECT_EQ(pty.settings().c_lflag, before) << "the terminal is as it was";
        EXPECT_NE(read_file(log).find(ending.logged), std::string::npos) << read_file(log);
    }
}

TEST(IgmhostConsole, SysopSetsTheFirstPasswordAtTheConsoleUnseen) {
    Scratch scratch;
    write_file(scratch.world() / "ACCOUNTS.TXT", "Sysop|40|SYSOP\n");
    Pty pty;
    fs::path log = scratch.root() / "console.log";
    tcflag_t before = pty.settings().c_lflag;
    pty.spawn(scratch, log, {"--hash-memory", kLeastHashMemory});
    ASSERT_TRUE(pty.expect("No password is set for Sysop: P sets one."));
    ASSERT_TRUE(pty.expect("P) Set your password"));
    pty.type("p\r");
    ASSERT_TRUE(pty.expect("Choose a password"));
    pty.type("first-light\r");
    ASSERT_TRUE(pty.expect("Type it again: "));
    pty.type("first-light\r");
    ASSERT_TRUE(pty.expect("Your password is changed."));
    pty.type("g\r");
    ASSERT_TRUE(pty.expect("Farewell, Sysop!"));
    EXPECT_EQ(pty.exit_status(), 0) << "goodbye at the console stops igmhost";
    EXPECT_EQ(pty.settings().c_lflag, before);
    EXPECT_EQ(pty.screen().find("first-light"), std::string::npos) << "the password was echoed";

    Server server(scratch);
    Client c(server.port());
    ASSERT_TRUE(sign_in(c, "Sysop", "first-light"));
}

}  // namespace
}  // namespace igmtest
