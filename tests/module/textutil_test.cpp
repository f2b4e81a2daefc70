// The exported text utilities, called the way another module of the host
// calls them: looked up by name in the loaded zmb_vorn.so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <tuple>

#include "tests/support/session.h"

namespace test {
namespace {

using TextFn = char*(const char*);

TEST(TextUtil, EachExportOnItsCases) {
    World world;
    Host host(world);
    std::string coded;
    for (int i = 0; i < 100; ++i)
        coded += "`2";
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
        std::tm tm{};  // 2024-03-07, local time
        tm.tm_year = 124, tm.tm_mon = 2, tm.tm_mday = 7;
        tm.tm_hour = clock.first, tm.tm_min = clock.second, tm.tm_isdst = -1;
        set_time(std::mktime(&tm));
        EXPECT_STREQ(make_time(), expected) << clock.first << ":" << clock.second;
        EXPECT_STREQ(make_date(), "03/07/24");
    }
}

}  // namespace
}  // namespace test
