// Colour codes as a player receives them: display lines of a script, shown
// line end included, compared byte for byte with the ANSI sequences sent.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/session.h"

namespace test {
namespace {

// What the run driver shows when a script has ended.
const std::string kEnd =
    "\n\x1b[1;35;40mPlease press \x1b[1;33;40m<enter> \x1b[1;35;40mto continue: ";

std::string times(std::string_view piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += piece;
    return out;
}

// Expected bytes written short: "<0;32;40>" stands for ESC "[0;32;40m".
std::string sequences(std::string_view shorthand) {
    std::string out;
    for (char c : shorthand)
        out += c == '<' ? std::string("\x1b[") : c == '>' ? std::string("m") : std::string(1, c);
    return out;
}

class Colour : public ::testing::Test {
  protected:
    // Runs a script file of these bytes and returns every byte sent.
    std::string shown(std::string_view bytes) {
        world.write("QHYVIGMS/C.LOR", bytes);
        Player& p = host.player(1);
        p.clear_screen();
        p.run_script("QHYVIGMS\\C.LOR");
        host.pump();
        return p.screen();
    }

    World world;
    Host host{world};
};

// Each row: display lines and what they show, "<0;36;40>" closing a line
// that leaves a background colour set.
TEST_F(Colour, EveryCodeBecomesItsSequence) {
    const std::pair<std::string, std::string> cases[] = {
        {"`2word", "<0;32;40>word\n"},
        {"`}a`1b`2c`3d`4e`5f`6g`7h\n`8i`9j`0k`!l`@m`#n`$o`%p`^q",
         "<0;30;40>a<0;34;40>b<0;32;40>c<0;36;40>d<0;31;40>e<0;35;40>f<0;33;40>g<0;37;40>h\n"
         "<1;30;40>i<1;34;40>j<1;32;40>k<1;36;40>l<1;31;40>m<1;35;40>n<1;33;40>o<1;37;40>p"
         "<1;37;40>q\n"},
        // Background codes in both cases use the current foreground.
        {"`Aa`bb`Cc`dd`Ee`ff`Gg`hh",
         "<0;30;44>a<0;30;42>b<0;30;46>c<0;30;41>d<0;30;45>e<0;30;43>f<0;30;47>g<0;30;40>h\n"
         "<0;36;40>"},
        {"`A`2x", "<0;30;44><0;32;44>x\n<0;36;40>"},
        {"`D`$x", "<0;30;41><1;33;41>x\n<0;36;40>"},
        {"``x``", "<5>x<0><0;30;40>\n<0;36;40>"},  // blink toggles on and off
        {"```2x\n```!x", "<5><5;32;40>x\n<0;36;40><5><1;36;40>x\n<0;36;40>"},
        {"```2`Dx", "<5><5;32;40><5;32;41>x\n<0;36;40>"},
        {"```2`(x``y", "<5><5;32;40><0><0;32;40>x<0><0;32;40>y\n<0;36;40>"},
        {"`4`(", "<0;31;40><0><0;31;40>\n"},
        {"a`~b`Zc`zd`Je`*f", "abcdef\n"},  // unknown codes vanish with their backquote
        {"abc`\ndef", "abcdef\n"},         // a trailing backquote takes the line end
        {"```4`Ax\n`2y\nz", "<5><5;31;40><5;31;44>x\n<0;36;40><0;32;40>y\nz\n"},
        {"100% sure: %s %d %n %%", "100% sure: %s %d %n %%\n"},
        // 254 characters of codes grow past the 1047 the work buffer holds: the
        // output stops before the first piece that does not fit, keeping room
        // for the closing sequence.
        {times("`2", 127), times("<0;32;40>", 104)},
        {times("`A", 127), times("<0;30;44>", 103) + "<0;36;40>"},
        {times("`2", 104) + "abcdefghij", times("<0;32;40>", 104) + "abcdefg"},
        // Random codes draw foregrounds 1 to 15 and backgrounds 0 to 7.
        {"`&a`&b`&c`&d\n`ia`Ib",
         "<0;34;40>a<0;35;40>b<1;37;40>c<1;37;40>d\n<0;30;45>a<0;30;40>b\n<0;36;40>"},
    };
    queue_rand({0, 4, 14, 29, 13, 8});
    for (const auto& [lines, bytes] : cases)
        EXPECT_EQ(shown("Vorn IGM Script: Colours\n" + lines + "\n"), sequences(bytes) + kEnd)
            << lines;
    // A backquote at the very end of the file is dropped.
    EXPECT_EQ(shown("Vorn IGM Script: C\nabc`"), "abc" + kEnd);
    EXPECT_EQ(shown("Vorn IGM Script: C\n`"), kEnd);
}

// strip_ansi is the lens of every text check in these tests: it must remove
// whole sequences and nothing else, above all never a line end.
TEST(StripAnsi, RemovesControlSequencesAndKeepsTheText) {
    EXPECT_EQ(strip_ansi("\x1b[1;33mGold\x1b[0m: 5"), "Gold: 5");
    EXPECT_EQ(strip_ansi("\x1b[2J\x1b[H\x1b[Aup"), "up");
    EXPECT_EQ(strip_ansi("a\033b"), "ab");  // a lone ESC goes on its own
    EXPECT_EQ(strip_ansi("cut \x1b[1;3"), "cut ");
    EXPECT_EQ(strip_ansi("\xfe plain \xfe\n"), "\xfe plain \xfe\n");
    EXPECT_EQ(strip_ansi("\x1b[1\nx"), "\nx");  // a broken sequence never eats a line end
}

}  // namespace
}  // namespace test
