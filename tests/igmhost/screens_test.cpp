// Every screen of the stand-in game and of the demo world (the module's
// menu, news, stats, sysop menu and places) as an 80x25 xterm-type
// terminal shows it: the bytes a caller receives are run through libvterm,
// and no character lands in the last column (the next would wrap) and
// every clear leaves the cursor at the top left.
#include <vterm.h>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

struct Step {
    const char* typed;
    const char* awaited;
};
struct Route {
    const char* what;
    const char* account;
    std::vector<Step> steps;  // from the realm list
};

std::vector<Step> in_far_reaches(std::vector<Step> steps) {
    steps.insert(steps.begin(),
                 {{"1", "Your choice, "}, {"1", "Press Enter"}, {"", "Your Command, "}});
    return steps;
}

const Route kRoutes[] = {
    {"the realm list and the game's screens",
     "Ardo",
     {{"W", "Your choice: "},
      {"x", "Your choice: "},
      {"1", "Your choice, "},
      {"V", "Your choice, "},
      {"F", "Your choice, "},
      {"W", "Your choice, "},
      {"zz", "Your choice, "},
      {"Q", "Your choice: "}}},
    {"a stranger in a realm", "Ardo", {{"2", "draws you? "}, {"1", "[M] "}, {"", "Your choice, "}}},
    {"the module's news, stats and the way back", "Ardo",
     in_far_reaches({{"I", "Press <enter> To Continue"},
                     {"", "to continue: "},
                     {"", "Your Command, "},
                     {"V", "<ENTER>"},
                     {"", "Your Command, "},
                     {"zz", "Your Command, "},
                     {"X", "Your choice, "}})},
    {"the module's sysop menu", "Sysop",
     in_far_reaches({{"S", "Your Command, "}, {"A", "Your Command, "}})},
    {"the ferry and the isle, then what changed", "Ardo",
     in_far_reaches({{"1", "Your Command, "},
                     {"1", "to row straight back: "},
                     {"", "to continue: "},
                     {"", "Your Command, "},
                     {"X", "Your choice, "}})},
    {"the inn", "Ardo",
     in_far_reaches({{"2", "Your Command, "},
                     {"Ardo", "Your Command, "},
                     {"3", "Press <enter> To Continue"},
                     {"", "to continue: "},
                     {"", "Your Command, "}})},
    {"the scribe", "Ardo",
     in_far_reaches({{"3", "Your Command, "},
                     {"1", "to leave it: "},
                     {"", "to continue: "},
                     {"", "Your Command, "}})},
    {"the shrine", "Ardo",
     in_far_reaches(
         {{"4", "Press <enter> To Continue"}, {"", "to continue: "}, {"", "Your Command, "}})},
    {"the stables, sold, then without a horse", "Ardo",
     in_far_reaches({{"5", "Your Command, "},
                     {"1", "to continue: "},
                     {"", "Your Command, "},
                     {"5", "to continue: "},
                     {"", "Your Command, "}})},
    {"the watchtower, where a caller waits", "Ardo",
     in_far_reaches({{"6", "keep watch on the marsh road a while."}})},
    {"the well", "Ardo",
     in_far_reaches({{"7", "Lean over the rim... "},
                     {"", "Your Command, "},
                     {"1", "to continue: "},
                     {"", "Your Command, "}})},
};

// libvterm's state layer, without a screen: the cursor, and a count of the
// characters put in the last column.
class Terminal {
  public:
    Terminal() : vt_(vterm_new(25, 80)) {
        vterm_set_utf8(vt_, 1);
        state_ = vterm_obtain_state(vt_);
        callbacks_.putglyph = [](VTermGlyphInfo*, VTermPos pos, void* self) {
            static_cast<Terminal*>(self)->last_column += pos.col == 79;
            return 1;
        };
        // Scrolling is taken as done: no screen is kept, only the cursor.
        callbacks_.scrollrect = [](VTermRect, int, int, void*) { return 1; };
        vterm_state_set_callbacks(state_, &callbacks_, this);
        vterm_state_reset(state_, 1);
    }
    ~Terminal() { vterm_free(vt_); }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void feed(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }
    bool at_top_left() const {
        VTermPos at;
        vterm_state_get_cursorpos(state_, &at);
        return at.row == 0 && at.col == 0;
    }
    int last_column = 0;

  private:
    VTerm* vt_;
    VTermState* state_;
    VTermStateCallbacks callbacks_{};
};

// Feeds `data` a line at a time, and a clear with the CSI sequences right
// after it on its own, checking each piece; stops at the first fault.
void expect_fits_80x25(std::string_view data) {
    Terminal terminal;
    for (size_t at = 0; at < data.size();) {
        size_t end = std::min(data.find('\n', at), data.size() - 1) + 1;
        size_t clear = data.find("\x1b[2J", at);
        bool clears = clear < end;
        if (clears) {
            end = clear + 4;
            while (end + 1 < data.size() && data[end] == '\x1b' && data[end + 1] == '[') {
                end += 2;
                while (end < data.size() && (data[end] < '@' || data[end] > '~'))
                    ++end;
                end = std::min(end + 1, data.size());
            }
        }
        int before = terminal.last_column;
        terminal.feed(data.substr(at, end - at));
        ASSERT_EQ(terminal.last_column, before)
            << "reaches column 80: " << strip_ansi(data.substr(at, end - at));
        if (clears) {
            ASSERT_TRUE(terminal.at_top_left())
                << "not at the top after the clear before: " << strip_ansi(data.substr(end, 160));
        }
        at = end;
    }
}

TEST(IgmhostScreens, EveryGameScreenAndDemoPlaceFits80x25AndStartsAtTheTop) {
    Scratch scratch;
    scratch.make_demo_world();
    Server server(scratch);
    for (const Route& route : kRoutes) {
        SCOPED_TRACE(route.what);
        Client c(server.port(), "XTERM");
        ASSERT_TRUE(sign_in(c, route.account));
        for (const Step& step : route.steps)
            ASSERT_TRUE(c.say(step.typed, step.awaited, 10)) << "after typing " << step.typed;
        expect_fits_80x25(c.data());
    }
}

}  // namespace
}  // namespace igmtest
