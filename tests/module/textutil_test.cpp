// The exported text utilities, called the way another module of the host
// calls them: looked up by name in the loaded zmb_vorn.so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "tests/support/session.h"

namespace test {
namespace {

using TextFn = char*(const char*);

class TextUtil : public ::testing::Test {
  protected:
    std::string call(const char* name, const std::string& text) {
        TextFn* fn = host.fn<TextFn>(name);
        if (fn == nullptr) {
            ADD_FAILURE() << name << " is not exported";
            return "";
        }
        return fn(text.c_str());
    }
    // The local time of day on 2024-03-07, as the host clock.
    static void set_clock(int hour, int minute) {
        std::tm tm{};
        tm.tm_year = 124;
        tm.tm_mon = 2;
        tm.tm_mday = 7;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_isdst = -1;
        set_time(std::mktime(&tm));
    }

    World world;
    Host host{world};
};

TEST_F(TextUtil, CaseChanges) {
    EXPECT_EQ(call("ucase", "Hello, World 42!"), "HELLO, WORLD 42!");
    EXPECT_EQ(call("lcase", "Hello, World 42!"), "hello, world 42!");
    EXPECT_EQ(call("ocase", "hello world"), "HeLLo WoRLD");
    EXPECT_EQ(call("ocase", "sky"), "SKY");
    EXPECT_EQ(call("ocase", "AEIOU aeiou 1-2"), "aeiou aeiou 1-2");
    // Only letters change; characters above 127 stay as they are.
    EXPECT_EQ(call("ucase", "\xe9t\xe9"), "\xe9T\xe9");
    EXPECT_EQ(call("lcase", "\xc9T\xc9"), "\xc9t\xc9");
}

TEST_F(TextUtil, WordCapitalsFollowOnlyABlank) {
    EXPECT_EQ(call("mcase", "hELLO wORLD"), "Hello World");
    EXPECT_EQ(call("mcase", "  ab"), "  Ab");
    EXPECT_EQ(call("mcase", "o'neil-smith"), "O'neil-smith");
    EXPECT_EQ(call("mcase", "a.b\tc-d e"), "A.b\tc-d E");
    EXPECT_EQ(call("mcase", ""), "");
}

TEST_F(TextUtil, CaseChangesShareTheWorkBuffer) {
    TextFn* ucase = host.fn<TextFn>("ucase");
    ASSERT_NE(ucase, nullptr);
    char* first = ucase("abc");
    char* second = ucase("xyz");
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "XYZ");
    // A result fed back in (it already lies in the work buffer) is safe.
    EXPECT_STREQ(host.fn<TextFn>("lcase")(second), "xyz");
}

TEST_F(TextUtil, CaseChangesSeeAtMost274Characters) {
    EXPECT_EQ(call("ucase", std::string(400, 'a')), std::string(274, 'A'));
    EXPECT_EQ(call("mcase", std::string(400, 'a')), "A" + std::string(273, 'a'));
}

TEST_F(TextUtil, RemoveColourDropsEachCodeWithItsCharacter) {
    EXPECT_EQ(call("removecolor", "`4word"), "word");
    EXPECT_EQ(call("removecolor", "a``b"), "ab");
    EXPECT_EQ(call("removecolor", "``"), "");
    EXPECT_EQ(call("removecolor", "tail`"), "tail");
    EXPECT_EQ(call("removecolor", "`2Red `%and `@white`"), "Red and white");
    EXPECT_EQ(call("removecolor", "no codes at all"), "no codes at all");
}

TEST_F(TextUtil, RemoveColourKeepsAtMost241Characters) {
    EXPECT_EQ(call("removecolor", std::string(300, 'x')), std::string(241, 'x'));
    // Codes do not count: 241 characters are kept after 100 codes.
    std::string coded;
    for (int i = 0; i < 100; ++i)
        coded += "`2";
    EXPECT_EQ(call("removecolor", coded + std::string(300, 'y')), std::string(241, 'y'));
}

TEST_F(TextUtil, AlltrimTrimsBothEndsAndTheArgumentsTailAndKeepsAtMost274) {
    auto* alltrim = host.fn<char*(char*)>("alltrim");
    ASSERT_NE(alltrim, nullptr);
    char text[] = "  abc  ";
    EXPECT_STREQ(alltrim(text), "abc");
    EXPECT_STREQ(text, "  abc");

    char tabs[] = "\t x y \t";
    EXPECT_STREQ(alltrim(tabs), "x y \t");  // only blanks are trailing padding

    char blank[] = "   ";
    EXPECT_STREQ(alltrim(blank), "");

    std::string long_text = "  " + std::string(400, 'z');  // at most 274 come back
    EXPECT_EQ(std::string(alltrim(long_text.data())), std::string(274, 'z'));
}

TEST_F(TextUtil, MakeTimeOnATwelveHourClock) {
    auto* make_time = host.fn<char*()>("make_time");
    ASSERT_NE(make_time, nullptr);
    const std::pair<std::pair<int, int>, const char*> cases[] = {
        {{0, 5}, "12:05 AM"},  {{9, 30}, "9:30 AM"}, {{11, 59}, "11:59 AM"},
        {{12, 0}, "12:00 PM"}, {{13, 7}, "1:07 PM"}, {{23, 59}, "11:59 PM"},
    };
    for (const auto& [clock, expected] : cases) {
        set_clock(clock.first, clock.second);
        EXPECT_STREQ(make_time(), expected) << clock.first << ":" << clock.second;
    }
}

TEST_F(TextUtil, MakeDateIsTheHostsDateText) {
    auto* make_date = host.fn<char*()>("make_date");
    ASSERT_NE(make_date, nullptr);
    set_clock(10, 0);
    EXPECT_STREQ(make_date(), "03/07/24");
    EXPECT_STREQ(make_date(), ncdate(today()));
}

}  // namespace
}  // namespace test
