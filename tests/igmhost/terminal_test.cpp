// Every screen of the stand-in game and the demo world as an 80x25
// terminal (libvterm) shows it: nothing in the last column, every clear
// leaving the cursor at the top left. Colour and character set by terminal
// type, probe or option; who is on; the attached sysop console.
#include <vterm.h>

#include <memory>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

// Routes from the realm list through every screen, walked a part at a time.
const struct {
    const char* account;
    std::vector<std::vector<std::string_view>> parts;
} kRoutes[] = {
    {"Ardo",
     {// the realm list and the game's screens
      {"W>Your choice: ", "x>Your choice: ", "1>Your choice, ", "V>Your choice, ",
       "F>Your choice, ", "W>Your choice, ", "zz>Your choice, ", "Q>Your choice: "},
      // a stranger in a realm
      {"2>draws you? ", "1>[M] ", ">Your choice, "}}},
    {"Sysop",
     {// the module's news, stats and sysop menu
      {"1>Your choice, ", "1>Press Enter", ">Your Command, ", "I>Press <enter> To Continue",
       ">to continue: ", ">Your Command, "},
      {"V><ENTER>", ">Your Command, ", "zz>Your Command, ", "S>Your Command, ", "A>Your Command, ",
       "X>Your choice, "}}},
    {"Ardo",
     {{"1>Your choice, ", "1>Press Enter", ">Your Command, "},
      // the inn
      {"2>Your Command, ", "Ardo>Your Command, ", "3>Press <enter> To Continue",
       ">to continue: ", ">Your Command, "},
      // the scribe
      {"3>Your Command, ", "1>to leave it: ", ">to continue: ", ">Your Command, "},
      // the shrine
      {"4>Press <enter> To Continue", ">to continue: ", ">Your Command, "},
      // the stables, sold, then without a horse
      {"5>Your Command, ", "1>to continue: ", ">Your Command, ",
       "5>to continue: ", ">Your Command, "},
      // the well
      {"7>Lean over the rim... ", ">Your Command, ", "1>to continue: ", ">Your Command, "},
      // the ferry and the isle, then what changed
      {"1>Your Command, ", "1>to row straight back: ", ">to continue: ", ">Your Command, ",
       "X>Your choice, "},
      // the watchtower, where a caller waits
      {"1>Press Enter", ">Your Command, ", "6>keep watch on the marsh road a while."}}},
};

// libvterm's state layer, without a screen: a fault is a character put in
// the last column, or a clear of the whole screen whose next move or
// character is not at the top left.
struct Terminal {
    Terminal() {
        vterm_set_utf8(vt.get(), 1);
        callbacks.putglyph = [](VTermGlyphInfo*, VTermPos pos, void* self) {
            return static_cast<Terminal*>(self)->at(pos, pos.col == 79);
        };
        callbacks.movecursor = [](VTermPos pos, VTermPos, int, void* self) {
            return static_cast<Terminal*>(self)->at(pos, false);
        };
        callbacks.erase = [](VTermRect r, int, void* self) {
            // A partial erase after a clear leaves the clear pending.
            if (r.start_row == 0 && r.end_row == 25) static_cast<Terminal*>(self)->cleared = true;
            return 1;
        };
        // Scrolling is taken as done: no screen is kept, only the cursor.
        callbacks.scrollrect = [](VTermRect, int, int, void*) { return 1; };
        vterm_state_set_callbacks(state, &callbacks, this);
        vterm_state_reset(state, 1);
        cleared = false;
    }
    int at(VTermPos pos, bool last_column) {
        faults += last_column || (cleared && (pos.row != 0 || pos.col != 0));
        cleared = false;
        return 1;
    }

    std::unique_ptr<VTerm, decltype(&vterm_free)> vt{vterm_new(25, 80), vterm_free};
    VTermState* state = vterm_obtain_state(vt.get());
    VTermStateCallbacks callbacks{};
    bool cleared = false;
    int faults = 0;
};

// Feeds `data` a line at a time; stops at the first line with a fault.
void expect_fits_80x25(std::string_view data) {
    Terminal terminal;
    for (size_t at = 0, end; at < data.size(); at = end) {
        end = std::min(data.find('\n', at), data.size() - 1) + 1;
        vterm_input_write(terminal.vt.get(), data.data() + at, end - at);
        ASSERT_EQ(terminal.faults, 0) << "reaches column 80, or a clear does not leave the "
                                         "cursor at the top left: "
                                      << strip_ansi(data.substr(at, end - at));
    }
    VTermPos cursor;  // where a clear at the very end leaves it
    vterm_state_get_cursorpos(terminal.state, &cursor);
    terminal.at(cursor, false);
    EXPECT_EQ(terminal.faults, 0) << "the last clear leaves the cursor where it was";
}

TEST(IgmhostScreens, EveryGameScreenAndDemoPlaceFits80x25AndStartsAtTheTop) {
    DemoWorld scratch;
    Server server(scratch);
    for (const auto& route : kRoutes) {
        Client c(server.port(), "XTERM");
        ASSERT_TRUE(sign_in(c, route.account));
        for (const auto& part : route.parts)
            ASSERT_TRUE(c.walk(part, 10));
        expect_fits_80x25(c.data());
    }
}

struct Kind {
    const char* type;          // answered to TERMINAL-TYPE; "" refuses it
    const char* probe_answer;  // nullptr: not probed; "": probed, never answers
    bool utf8, colour;
    const char* logged;  // how igmhost settled it
    std::vector<std::string> options = {};
};
const Kind kKinds[] = {
    {"XTERM-256COLOR", nullptr, true, true, "terminal type XTERM-256COLOR, utf8"},
    {"ANSI", nullptr, false, true, "terminal type ANSI, cp437"},
    {"DUMB", nullptr, true, false, "terminal type DUMB, utf8, no colour"},
    {"NOVATERM", "\x1b[7;2R", true, true, "probe: cursor at column 2, utf8"},
    {"NOVATERM", "\x1b[7;3R", false, true, "probe: cursor at column 3, cp437"},
    {"NOVATERM", "", false, true, "probe: no answer, cp437"},
    {"", "", false, true, "probe: no answer, cp437"},
    {"XTERM", nullptr, false, true, "forced, cp437", {"--charset", "cp437"}},
};

TEST(IgmhostTerminal, ColourAndCharacterSetFollowTheTerminalAndTypedTextComesBackInIt) {
    DemoWorld scratch;
    write_place(scratch.world, "PAUSE.LOR", "Pause Place",
                {"/CLEAR", "`2A quiet room.", "/PAUSE", "/INPUT:Say something", "`2You said: |N"});
    for (const Kind& t : kKinds) {
        SCOPED_TRACE(t.logged);
        Server server(scratch, t.options);
        Client c(server.port(), t.type);
        // An unknown terminal is probed before the name is asked.
        const char* probe = "\x1b[6n";
        for (auto until = deadline_after(3); c.data().find(probe) == std::string::npos &&
                                             c.text().find("Name: ") == std::string::npos;)
            ASSERT_TRUE(c.read_some(until));
        if (t.probe_answer != nullptr) c.send_raw(t.probe_answer);
        ASSERT_TRUE(at_module_menu(c, "Ardo"));
        ASSERT_TRUE(enter_place(c, "Pause Place", "Press <enter> To Continue"));
        EXPECT_EQ(c.data().find(probe) != std::string::npos, t.probe_answer != nullptr);
        EXPECT_TRUE(server.wait_for_log(t.logged));
        // What came after the name prompt: the pause's CP437 mark comes in
        // the terminal's set.
        std::string screen = c.data().substr(c.data().find("Name: "));
        EXPECT_EQ(screen.find('\x1b') != std::string::npos, t.colour);
        expect_fits_80x25(screen);
        EXPECT_EQ(screen.find("\xE2\x96\xA0") != std::string::npos, t.utf8);
        EXPECT_EQ(screen.find('\xFE') != std::string::npos, !t.utf8);
        // Typed text reaches the module as CP437 and comes back in the terminal's set.
        const std::string typed = t.utf8 ? "caf\xC3\xA9 \xE2\x96\xA0" : "caf\x82 \xFE";
        ASSERT_TRUE(c.walk({">(Say something)", typed + ">You said: " + typed}));
    }
}

// The console attached through the world's owner-only socket, in a
// terminal: the callers, messages, watching, the log, hanging up, and a
// stop that asks first.
TEST(IgmhostTerminal, WhoIsOnAndTheAttachedConsoleWatchesMessagesHangsUpAndAsksBeforeStopping) {
    DemoWorld scratch;
    write_file(scratch.world / "IGMHOST.LOG", "yesterday's last line\n");
    Server server(scratch, {"--log", "IGMHOST.LOG"});
    EXPECT_EQ(fs::status(scratch.world / "IGMHOST.SOCK").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    Pty pty;
    const pid_t console = spawn({IGMHOST_PATH, "console", "--world", scratch.world.string()},
                                pty.slave(), scratch.root / "console.out");
    ASSERT_TRUE(pty.expect("S) Sysop console"));
    Client ardo(server.port()), mira(server.port());
    ASSERT_TRUE(sign_in(ardo, "Ardo"));  // channel 1
    ASSERT_TRUE(sign_on(mira, "Mira"));  // channel 2

    // Who is on, at the realm list and in the game: names and places, never an address.
    ASSERT_TRUE(ardo.say("W", "Who is on:") && ardo.expect("Your choice: "));
    std::string list = ardo.text().substr(ardo.text().rfind("Who is on:"));
    EXPECT_NE(list.find("Mira                 in The Vale of Vorn"), std::string::npos) << list;
    EXPECT_NE(list.find("Ardo                 at the realm list"), std::string::npos) << list;
    EXPECT_EQ(list.find("127.0.0.1"), std::string::npos) << list;
    ASSERT_TRUE(mira.walk({"W>Who is on:", "Ardo                 at the realm list"}));

    ASSERT_TRUE(pty.walk({"s> 1  Ardo                 127.0.0.1:", "at the realm list"}));
    pty.line("m 1 Supper is ready");  // Ardo at a prompt: shown at once, the prompt again
    ASSERT_TRUE(ardo.walk({"*** From the sysop: Supper is ready", "Your choice: "}));
    ASSERT_TRUE(pty.say("s 1", "Watching channel 1"));
    ASSERT_TRUE(ardo.say("W", "Who is on:"));  // what Ardo sees, on the console too
    ASSERT_TRUE(pty.walk({"Who is on:", ">Sysop: ", "l>yesterday's last line"}));
    pty.line("h 2");
    ASSERT_TRUE(mira.expect("The sysop has ended your call."));
    EXPECT_TRUE(mira.closed_by_server());
    // Ctrl-C asks as G does, and n keeps everyone on.
    pty.keys("\x03");
    ASSERT_TRUE(pty.walk({"Stop igmhost with 1 caller on? [y/N]", "n>igmhost keeps running."}));
    ASSERT_TRUE(ardo.say("1", "Your choice, "));
    ASSERT_TRUE(pty.say("g", "Stop igmhost with 1 caller on? [y/N]"));
    pty.line("y");
    EXPECT_TRUE(ardo.expect("igmhost is shutting down. Farewell!"));
    EXPECT_TRUE(ardo.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("(Ardo): disconnect: server shutting down"));
    EXPECT_EQ(server.stop(0), 0);
    EXPECT_EQ(reap(console, 5), 0);
}

}  // namespace
}  // namespace igmtest
