// Colour codes against the ANSI bytes sent, and the exported text utilities
// looked up by name in the loaded zmb_vorn.so.
#include <string>
#include <tuple>

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

using Colour = ScriptTest;

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
    const auto shown = [&](std::string_view body) {  // every byte the script sends
        start(body);
        host.pump();
        return p.take();
    };
    queue_rand({0, 4, 14, 29, 13, 8});
    for (const auto& [lines, bytes] : cases)
        EXPECT_EQ(shown(lines + "\n"), sequences(bytes) + kEnd) << lines;
    // A backquote at the very end of the file is dropped.
    EXPECT_EQ(shown("abc`"), "abc" + kEnd);
    EXPECT_EQ(shown("`"), kEnd);
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

using TextFn = char*(const char*);

TEST(TextUtil, EachExportOnItsCases) {
    World world;
    Host host(world);
    const std::string coded = times("`2", 100);
    const struct {
        const char* fn;
        std::string in, out;
    } cases[] = {
        // Only letters change; characters above 127 stay as they are.
        {"ucase", "Hello, World 42! \xe9t\xe9", "HELLO, WORLD 42! \xe9T\xe9"},
        {"lcase", "Hello, World 42! \xc9T\xc9", "hello, world 42! \xc9t\xc9"},
        {"ocase", "hello world sky", "HeLLo WoRLD SKY"},
        {"ocase", "AEIOU aeiou 1-2", "aeiou aeiou 1-2"},
        // Word capitals follow only a blank.
        {"mcase", "  hELLO wORLD o'neil-smith a.b\tc-d e", "  Hello World O'neil-smith A.b\tc-d E"},
        {"mcase", "", ""},
        {"ucase", std::string(400, 'a'), std::string(274, 'A')},
        {"mcase", std::string(400, 'a'), std::string("A").append(273, 'a')},
        // Each colour code goes with its character; at most 241 are kept,
        // codes not counted.
        {"removecolor", "`2Red ``and `@white`", "Red and white"},
        {"removecolor", std::string(300, 'x'), std::string(241, 'x')},
        {"removecolor", coded + std::string(300, 'y'), std::string(241, 'y')},
    };
    for (const auto& c : cases) {
        TextFn* fn = host.fn<TextFn>(c.fn);
        ASSERT_NE(fn, nullptr) << c.fn << " is not exported";
        EXPECT_EQ(fn(c.in.c_str()), c.out) << c.fn << "(" << c.in.substr(0, 30) << ")";
    }

    // The case changes share one work buffer; a result fed back in is safe.
    TextFn* ucase = host.fn<TextFn>("ucase");
    char* first = ucase("abc");
    char* second = ucase("xyz");
    EXPECT_EQ(first, second);
    EXPECT_STREQ(host.fn<TextFn>("lcase")(second), "xyz");

    // alltrim trims both ends, the argument's tail too, and keeps at most 274.
    auto* alltrim = host.fn<char*(char*)>("alltrim");
    ASSERT_NE(alltrim, nullptr);
    const std::string long_text = "  " + std::string(400, 'z');
    const std::tuple<std::string, std::string, std::string> trims[] = {
        {"  abc  ", "abc", "  abc"},
        {"\t x y \t", "x y \t", "\t x y \t"},  // only blanks are trailing padding
        {"   ", "", ""},
        {long_text, std::string(274, 'z'), long_text},
    };
    for (auto [text, result, left] : trims) {
        EXPECT_EQ(std::string(alltrim(text.data())), result);
        EXPECT_EQ(text.c_str(), left);
    }

    // make_time on a twelve-hour clock, make_date as the host writes it.
    auto* make_time = host.fn<char*()>("make_time");
    auto* make_date = host.fn<char*()>("make_date");
    ASSERT_NE(make_time, nullptr);
    ASSERT_NE(make_date, nullptr);
    const std::pair<std::pair<int, int>, const char*> clocks[] = {
        {{0, 5}, "12:05 AM"},  {{9, 30}, "9:30 AM"}, {{11, 59}, "11:59 AM"},
        {{12, 0}, "12:00 PM"}, {{13, 7}, "1:07 PM"}, {{23, 59}, "11:59 PM"},
    };
    for (const auto& [clock, expected] : clocks) {
        set_local_time(2024, 3, 7, clock.first, clock.second);
        EXPECT_STREQ(make_time(), expected) << clock.first << ":" << clock.second;
        EXPECT_STREQ(make_date(), "03/07/24");
    }
}

}  // namespace
}  // namespace test
