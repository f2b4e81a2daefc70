// Each caller's terminal as igmhost adapts to it: the clear that homes the
// cursor, no colour for a terminal that cannot show it, the character set
// probe for an unknown terminal type; who is on; the game at 80 columns.
#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

// Reads until the data as received holds `needle` or the time is up.
bool wait_for_data(Client& c, std::string_view needle, double seconds = 5) {
    auto deadline = deadline_after(seconds);
    while (c.data().find(needle) == std::string::npos) {
        if (Clock::now() >= deadline) return false;
        c.read_at_most(65536, 0.1);
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

}  // namespace
}  // namespace igmtest
