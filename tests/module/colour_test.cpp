// Colour codes as a player receives them: display lines of a script, shown
// line end included, compared byte for byte with the ANSI sequences sent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/session.h"

namespace test {
namespace {

// What the run driver shows when a script has ended.
const std::string kEnd =
    "\n\x1b[1;35;40mPlease press \x1b[1;33;40m<enter> \x1b[1;35;40mto continue: ";
const std::string kClose = "\x1b[0;36;40m";

std::string times(std::string_view piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += piece;
    return out;
}

class Colour : public ::testing::Test {
  protected:
    // Runs a script of these display lines and returns every byte sent.
    std::string shown(const std::vector<std::string>& lines) {
        std::string body = "Vorn IGM Script: Colours\n";
        for (const std::string& line : lines)
            body += line + "\n";
        return shown_file(body);
    }
    // The same for a script file written byte for byte.
    std::string shown_file(std::string_view bytes) {
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

TEST_F(Colour, EveryCodeBecomesItsSequence) {
    const struct {
        const char* rule;
        std::vector<std::string> lines;
        std::string bytes;
    } cases[] = {
        {"a foreground code then a word has no closing sequence",
         {"`2word"},
         "\x1b[0;32;40mword\n" + kEnd},
        {"every foreground code is on black",
         {"`}a`1b`2c`3d`4e`5f`6g`7h", "`8i`9j`0k`!l`@m`#n`$o`%p`^q"},
         "\x1b[0;30;40ma\x1b[0;34;40mb\x1b[0;32;40mc\x1b[0;36;40md"
         "\x1b[0;31;40me\x1b[0;35;40mf\x1b[0;33;40mg\x1b[0;37;40mh\n"
         "\x1b[1;30;40mi\x1b[1;34;40mj\x1b[1;32;40mk\x1b[1;36;40ml"
         "\x1b[1;31;40mm\x1b[1;35;40mn\x1b[1;33;40mo\x1b[1;37;40mp\x1b[1;37;40mq\n" +
             kEnd},
        {"background codes in both cases use the current foreground",
         {"`Aa`bb`Cc`dd`Ee`ff`Gg`hh"},
         "\x1b[0;30;44ma\x1b[0;30;42mb\x1b[0;30;46mc\x1b[0;30;41md"
         "\x1b[0;30;45me\x1b[0;30;43mf\x1b[0;30;47mg\x1b[0;30;40mh\n" +
             kClose + kEnd},
        {"background then foreground starts from foreground zero",
         {"`A`2x"},
         "\x1b[0;30;44m\x1b[0;32;44mx\n" + kClose + kEnd},
        {"bright foreground on a coloured background",
         {"`D`$x"},
         "\x1b[0;30;41m\x1b[1;33;41mx\n" + kClose + kEnd},
        {"blink toggles on and off", {"``x``"}, "\x1b[5mx\x1b[0m\x1b[0;30;40m\n" + kClose + kEnd},
        {"blink gives dark foregrounds attribute 5 but not bright ones",
         {"```2x", "```!x"},
         "\x1b[5m\x1b[5;32;40mx\n" + kClose + "\x1b[5m\x1b[1;36;40mx\n" + kClose + kEnd},
        {"blink carries into background codes",
         {"```2`Dx"},
         "\x1b[5m\x1b[5;32;40m\x1b[5;32;41mx\n" + kClose + kEnd},
        {"reset clears the attribute but leaves the toggle on",
         {"```2`(x``y"},
         "\x1b[5m\x1b[5;32;40m\x1b[0m\x1b[0;32;40mx\x1b[0m\x1b[0;32;40my\n" + kClose + kEnd},
        {"reset after a foreground needs no closing sequence",
         {"`4`("},
         "\x1b[0;31;40m\x1b[0m\x1b[0;31;40m\n" + kEnd},
        {"percent and caret are the same white",
         {"`%a`^a"},
         "\x1b[1;37;40ma\x1b[1;37;40ma\n" + kEnd},
        {"unknown codes vanish with their backquote", {"a`~b`Zc`zd`Je`*f"}, "abcdef\n" + kEnd},
        {"a trailing backquote takes the line end as its code", {"abc`", "def"}, "abcdef\n" + kEnd},
        {"each line starts afresh from black on black",
         {"```4`Ax", "`2y", "z"},
         "\x1b[5m\x1b[5;31;40m\x1b[5;31;44mx\n" + kClose + "\x1b[0;32;40my\n" + "z\n" + kEnd},
        {"percent signs in text are shown as they stand",
         {"100% sure: %s %d %n %%"},
         "100% sure: %s %d %n %%\n" + kEnd},
        // A 254-character line of codes grows past the 1047 characters the
        // work buffer holds; the output stops before the first piece that
        // does not fit, keeping room for the closing sequence.
        {"an overlong translation stops at a code boundary",
         {times("`2", 127)},
         times("\x1b[0;32;40m", 104) + kEnd},
        {"an overlong translation keeps room for its closing sequence",
         {times("`A", 127)},
         times("\x1b[0;30;44m", 103) + kClose + kEnd},
        {"an overlong translation fills the last characters with plain text",
         {times("`2", 104) + "abcdefghij"},
         times("\x1b[0;32;40m", 104) + "abcdefg" + kEnd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(shown(c.lines), c.bytes);
    }
}

TEST_F(Colour, BackquoteAtTheEndOfTheFileIsDropped) {
    EXPECT_EQ(shown_file("Vorn IGM Script: C\nabc`"), "abc" + kEnd);
    EXPECT_EQ(shown_file("Vorn IGM Script: C\n`"), kEnd);
}

TEST_F(Colour, RandomCodesDrawForegroundOneToFifteenAndBackgroundZeroToSeven) {
    queue_rand({0, 4, 14, 29});
    EXPECT_EQ(shown({"`&a`&b`&c`&d"}),
              "\x1b[0;34;40ma\x1b[0;35;40mb\x1b[1;37;40mc\x1b[1;37;40md\n" + kEnd);
    queue_rand({13, 8});
    EXPECT_EQ(shown({"`ia`Ib"}), "\x1b[0;30;45ma\x1b[0;30;40mb\n" + kClose + kEnd);
}

}  // namespace
}  // namespace test
