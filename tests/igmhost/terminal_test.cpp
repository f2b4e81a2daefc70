// Each caller's terminal as igmhost adapts to it: the clear that homes the
// cursor, no colour for a terminal that cannot show it, the character set
// probe for an unknown terminal type; who is on; the sysop console.
#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

// Reads until the data as received holds `needle` or the time is up.
bool wait_for_data(Client& c, std::string_view needle, double seconds = 5) {
    auto deadline = deadline_after(seconds);
    while (c.data().find(needle) == std::string::npos) {
        if (Clock::now() >= deadline) return false;
        c.read_some(deadline_after(0.1));
    }
    return true;
}

struct Terminal {
    const char* type;          // answered to TERMINAL-TYPE; "" refuses it
    const char* probe_answer;  // nullptr: not probed; "": probed, never answers
    bool utf8;
    bool colour;
};
constexpr Terminal kTerminals[] = {
    {"XTERM", nullptr, true, true},
    {"ANSI", nullptr, false, true},
    {"DUMB", nullptr, true, false},
    {"NOVATERM", "\x1b[7;2R", true, true},
    {"NOVATERM", "\x1b[7;3R", false, true},
    {"NOVATERM", "", false, true},
    {"", "", false, true},
};

TEST(IgmhostTerminal, ClearHomesColourGoesAndUnknownTerminalsAreProbed) {
    Scratch scratch;
    scratch.make_demo_world();
    write_place(scratch.world(), "PAUSE.LOR", "Pause Place",
                {"/CLEAR", "`2A quiet room.", "/PAUSE"});
    Server server(scratch);
    for (const Terminal& t : kTerminals) {
        SCOPED_TRACE(std::string(t.type) + " answering " + (t.probe_answer ? t.probe_answer : "-"));
        Client c(server.port(), t.type);
        ASSERT_EQ(wait_for_data(c, "\x1b[6n", 3), t.probe_answer != nullptr);
        if (t.probe_answer != nullptr) c.send_raw(t.probe_answer);
        ASSERT_TRUE(at_module_menu(c, "Ardo"));
        c.line(place_number(c.text(), "Pause Place"));
        ASSERT_TRUE(c.expect("Press <enter> To Continue"));
        // What came after the name prompt: every clear homes the cursor,
        // and the pause's CP437 marks come in the terminal's set.
        std::string screen = c.data().substr(c.data().find("Name: "));
        EXPECT_EQ(screen.find('\x1b') != std::string::npos, t.colour);
        for (size_t at = screen.find("\x1b[2J"); at != std::string::npos;
             at = screen.find("\x1b[2J", at + 1))
            EXPECT_EQ(screen.substr(at + 4, 3), "\x1b[H");
        EXPECT_EQ(screen.find("\xE2\x96\xA0") != std::string::npos, t.utf8);
        EXPECT_EQ(screen.find('\xFE') != std::string::npos, !t.utf8);
    }
}

TEST(IgmhostTerminal, WhoIsOnNamesCallersAndWhere) {
    Scratch scratch;
    scratch.make_demo_world();
    Server server(scratch);
    Client mira(server.port()), ardo(server.port());
    ASSERT_TRUE(sign_on(mira, "Mira", 1));
    ASSERT_TRUE(sign_in(ardo, "Ardo"));

    // At the realm list: names and places, never an address.
    ASSERT_TRUE(ardo.say("W", "Who is on:"));
    ASSERT_TRUE(ardo.expect("Your choice: "));
    std::string list = ardo.text().substr(ardo.text().rfind("Who is on:"));
    EXPECT_NE(list.find("Mira                 in The Vale of Vorn"), std::string::npos) << list;
    EXPECT_NE(list.find("Ardo                 at the realm list"), std::string::npos) << list;
    EXPECT_EQ(list.find("127.0.0.1"), std::string::npos) << list;
    // In the game's menu.
    ASSERT_TRUE(mira.say("W", "Who is on:"));
    ASSERT_TRUE(mira.expect("Ardo                 at the realm list"));
}

TEST(IgmhostTerminal, SysopConsoleWatchesMessagesHangsUpAndAsksBeforeStopping) {
    Scratch scratch;
    scratch.make_demo_world();
    write_file(scratch.world() / "IGMHOST.LOG", "yesterday's last line\n");
    Pty pty;
    fs::path log = scratch.root() / "console.log";
    pty.spawn(scratch, log, {"--hash-memory", kLeastHashMemory});
    ASSERT_TRUE(pty.expect("S) Sysop console"));
    std::smatch port;
    std::string logged = read_file(log);
    ASSERT_TRUE(std::regex_search(logged, port, std::regex("listening on [0-9.]+:([0-9]+)")));
    Client ardo(std::stoi(port[1])), mira(std::stoi(port[1]));
    ASSERT_TRUE(sign_in(ardo, "Ardo"));  // channel 1
    ASSERT_TRUE(sign_in(mira, "Mira"));  // channel 2

    pty.type("s\r");
    ASSERT_TRUE(pty.expect(" 1  Ardo                 127.0.0.1:"));
    ASSERT_TRUE(pty.expect("at the realm list"));
    pty.type("m 1 Supper is ready\r");
    ASSERT_TRUE(ardo.expect("*** From the sysop: Supper is ready"));
    ASSERT_TRUE(ardo.expect("Your choice: "));  // at a prompt: shown at once, the prompt again
    pty.type("s 1\r");
    ASSERT_TRUE(pty.expect("Watching channel 1"));
    ASSERT_TRUE(ardo.say("W", "Who is on:"));
    ASSERT_TRUE(pty.expect("Who is on:"));  // what Ardo sees, on the console too
    pty.type("\r");
    ASSERT_TRUE(pty.expect("Sysop: "));
    pty.type("l\r");
    ASSERT_TRUE(pty.expect("yesterday's last line"));
    pty.type("h 2\r");
    ASSERT_TRUE(mira.expect("The sysop has ended your call."));
    EXPECT_TRUE(mira.closed_by_server());
    // G asks, and n keeps everyone on; Ctrl-C asks the same.
    pty.type("g\r");
    ASSERT_TRUE(pty.expect("Stop igmhost with 1 caller on? [y/N]"));
    pty.type("n\r");
    ASSERT_TRUE(pty.expect("igmhost keeps running."));
    ASSERT_TRUE(ardo.say("1", "Your choice, "));
    pty.type("\x03");
    ASSERT_TRUE(pty.expect("Stop igmhost with 1 caller on? [y/N]"));
    pty.type("y\r");
    EXPECT_EQ(pty.exit_status(), 0);
    EXPECT_TRUE(ardo.expect("igmhost is shutting down."));
}

TEST(IgmhostTerminal, ConsoleAttachesThroughTheWorldsOwnerOnlySocket) {
    Scratch scratch;
    scratch.make_demo_world();
    Server server(scratch, {"--hash-memory", kLeastHashMemory});
    Client ardo(server.port());
    ASSERT_TRUE(sign_in(ardo, "Ardo"));
    EXPECT_EQ(fs::status(scratch.world() / "IGMHOST.SOCK").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    auto [status, screen] =
        run_igmhost({"console", "--world", scratch.world().string()}, "s\rg\ry\r");
    EXPECT_EQ(status, 0);
    EXPECT_NE(screen.find("Ardo                 127.0.0.1:"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Stop igmhost with 1 caller on? [y/N]"), std::string::npos) << screen;
    EXPECT_TRUE(ardo.expect("igmhost is shutting down."));
    EXPECT_EQ(server.stop(), 0);  // already stopped by the console
}

}  // namespace
}  // namespace igmtest
