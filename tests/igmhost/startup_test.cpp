// igmhost's start and stop: the command line, a missing or broken module,
// database or world file, the game's IGMLIST.DAT entries, and the console
// in a real terminal.
#include <termios.h>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

TEST(IgmhostStartup, BadCommandLinesWorldsModulesAndFilesAreRefusedClearly) {
    Scratch scratch;
    write_file(scratch.root / "broken.so", "this is not a shared object\n");
    write_file(scratch.root / "damaged" / "IGMHOST.DB", std::string(4096, 'g'));
    // Every row runs on the world unless it names another (the last --world
    // counts). A pipe where igmhost would create a missing file stops it with
    // the file's name, and the pipe stays.
    const struct {
        std::vector<std::string> args;
        int status;
        const char* output;
        const char* pipe = "";
    } cases[] = {
        {{"--port", "seventy"}, 2, "bad value for --port: seventy\nusage: igmhost"},
        {{"--world", (scratch.root / "nowhere").string()}, 2, "cannot use the world folder"},
        // Standard input is a file here: no terminal for the console.
        {{"--console"}, 2, "--console needs a terminal"},
        {{"--port", "0", "--module", (scratch.root / "absent.so").string()}, 1, "cannot load"},
        {{"--port", "0", "--module", (scratch.root / "broken.so").string()}, 1, "cannot load"},
        // Garbage for a database: nobody gets an empty account list to
        // re-register the sysop's name in.
        {{"--world", (scratch.root / "damaged").string()}, 1, "IGMHOST.DB: damaged or not a"},
        {{"--port", "0"}, 1, "IGMHOST.LOCK in", "IGMHOST.LOCK"},
        {{"--port", "0"}, 1, "IGMHOST.DB is not a regular file", "IGMHOST.DB"},
        {{}, 1, "KXPVORN/PLAYER.DAT is not a regular file", "KXPVORN/PLAYER.DAT"},
        {{"--log", "PIPE.LOG"}, 1, "log PIPE.LOG is not a regular file", "PIPE.LOG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const fs::path pipe = scratch.world / c.pipe;
        if (*c.pipe) make_fifo(pipe);
        std::vector<std::string> args = {"--world", scratch.world.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto [status, out] = run_igmhost(args, "", 10);
        EXPECT_EQ(status, c.status) << out;
        EXPECT_NE(out.find(c.output), std::string::npos) << out;
        EXPECT_EQ(out.find("listening on"), std::string::npos) << out;
        if (*c.pipe) {
            EXPECT_TRUE(fs::is_fifo(pipe)) << "replaced by an empty file";
            fs::remove(pipe);
        }
    }
}

// Each start writes the games' entries, drops stale ones and keeps other
// modules' entries; the module appends its own once.
TEST(IgmhostStartup, GameEntriesAreWrittenBeforeTheModulesAndNeverGoStale) {
    Scratch scratch;
    // An old list: a stale game entry with a wrong number, another module's
    // entry, and an entry cut off after its number line.
    write_file(scratch.world / "IGMLIST.DAT",
               "KXPVORN\n9\nold game\nOTHER\n7\nsomeone else's module\nHALF\n8\n");
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        Server server(scratch);
        EXPECT_TRUE(start > 0 || server.wait_for_log("IGMLIST.DAT: dropped 2 line(s)"));
        if (start == 1) {  // and the game lists the module once
            Client c(server.port());
            ASSERT_TRUE(new_account(c, "Tess", 33));
            ASSERT_TRUE(c.walk({"3>Which skill", "3>(M)ale or (F)emale?", "m>(1) Far Reaches!"}));
            EXPECT_EQ(c.rest().find("(2)"), std::string::npos) << "a module listed twice";
        }
        EXPECT_EQ(server.stop(), 0);
        EXPECT_EQ(read_file(scratch.world / "IGMLIST.DAT"),
                  "OTHER\n7\nsomeone else's module\n"
                  "KXPVORN\n1\n`%K-VORN`7: The Vale of Vorn\n"
                  "KXPVORN2\n2\n`%K-VORN`7: The Ashen Coast\n"
                  "KXPVORN3\n3\n`%K-VORN`7: The Northern Reach\n"
                  "ZMB_VORN\n4\n`0F`9ar `0R`9eaches! `7(VORN IGM Expansion by `%A`7rdo "
                  "`%P`7enn)\n");
    }
    for (const char* game : {"KXPVORN", "KXPVORN2", "KXPVORN3"})
        EXPECT_TRUE(fs::exists(scratch.world / game / "PLAYER.DAT")) << game;
}

TEST(IgmhostConsole, SysopPlaysAndEveryWayOfStoppingRestoresTheTerminal) {
    // SIGQUIT stops igmhost as SIGTERM does; Ctrl-C (SIGINT) asks as G
    // does, and with nobody on says goodbye at once; a crash still kills it;
    // with no signal the module stops the host.
    const struct {
        int signal;
        int status;
        const char* logged;
    } endings[] = {{SIGTERM, 0, "shutdown"},
                   {SIGQUIT, 0, "stopping on signal 3"},
                   {SIGINT, 0, "(Sysop): disconnect: server shutting down"},
                   {SIGSEGV, 128 + SIGSEGV, nullptr},
                   {0, 70, "catastro: the VORN IGM DATA file could not be used!"}};
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.signal);
        DemoWorld scratch;
        Pty pty;
        tcflag_t before = pty.settings().c_lflag;
        ASSERT_TRUE(before & ICANON);
        Server server(scratch, {}, 0, &pty);
        ASSERT_TRUE(pty.walk({"Welcome, Sysop!", "G) Goodbye (stops igmhost)"}));
        EXPECT_FALSE(pty.settings().c_lflag & (ICANON | ECHO)) << "raw mode while igmhost runs";
        if (ending.signal == SIGTERM || ending.signal == 0) {
            // The sysop holds the SYSOP key through the imported ACCOUNTS.TXT.
            ASSERT_TRUE(pty.walk({"1>welcome back, Sysop.", "1>Press Enter", ">for Sysop Menu"}));
            EXPECT_TRUE(server.wait_for_log("console on channel 0"));
        }
        if (ending.signal == 0) {
            // Without its place list the module stops the host when a place is chosen.
            fs::remove(scratch.world / "ZMBVIGMS.DAT");
            pty.line("1");
        }
        EXPECT_EQ(server.stop(ending.signal), ending.status);
        EXPECT_TRUE(ending.signal != SIGINT || pty.expect("Farewell, Sysop!"));
        EXPECT_EQ(pty.settings().c_lflag, before) << "the terminal is as it was";
        if (ending.logged != nullptr) {
            EXPECT_NE(server.log().find(ending.logged), std::string::npos) << server.log();
        }
    }
}

}  // namespace
}  // namespace igmtest
