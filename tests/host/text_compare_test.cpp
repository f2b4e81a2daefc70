// The host's text helpers that modules lean on for commands and labels.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "server/core/host_core.h"

namespace {

TEST(SameFamily, CompareIgnoringCaseWithTheirArgumentsInTheirOwnOrder) {
    using Compare = int (*)(const char*, const char*);
    const struct {
        const char* name;
        Compare compare;
        const char* a;
        const char* b;
        bool expected;
    } cases[] = {
        {"sameas", sameas, "KXPVORN", "kxpVorn", true},
        {"sameas", sameas, "", "", true},
        {"sameas", sameas, "KXPVORN", "KXPVORN2", false},
        {"sameas", sameas, "KXPVORN2", "KXPVORN", false},
        {"sameas", sameas, "abc", "abd", false},
        {"sameas", sameas, "abc\n", "abc", false},  // a line end is a character like any other
        {"sameas", sameas, nullptr, "", true},      // null is the empty text
        {"sameas", sameas, nullptr, "a", false},
        // sameto(prefix, text)
        {"sameto", sameto, "/go", "/GOTO:home", true},
        {"sameto", sameto, "", "anything", true},
        {"sameto", sameto, "vorn igm script: ", "Vorn IGM Script: The Cave", true},
        {"sameto", sameto, "/GOTO:home", "/go", false},
        {"sameto", sameto, "Vorn IGM Script: ", "Vorn IGM Script:", false},
        {"sameto", sameto, nullptr, "a", true},
        // samend(text, suffix)
        {"samend", samend, "CAVE.LOR", ".lor", true},
        {"samend", samend, "x", "", true},
        {"samend", samend, "abc", "ABC", true},
        {"samend", samend, ".lor", "CAVE.LOR", false},
        {"samend", samend, "CAVE.LORD", ".lor", false},
        // samein(needle, haystack)
        {"samein", samein, "KXPVORN2", "kxpvorn2\n", true},
        {"samein", samein, "vorn", "KXPVORN", true},
        {"samein", samein, "N3", "kxpvorn3", true},
        {"samein", samein, "aab", "aaab", true},  // overlapping start
        {"samein", samein, "KXPVORN", "KXPVOR", false},
        {"samein", samein, "KXPVORN\n", "MYGAME\n", false},
        {"samein", samein, "kxpvorn3", "vorn", false},
        {"samein", samein, "a", nullptr, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.compare(c.a, c.b) != 0, c.expected)
            << c.name << "(" << (c.a ? c.a : "null") << ", " << (c.b ? c.b : "null") << ")";
    }
}

TEST(TextHelpers, SkpwhtSkipsBlanksAndTabsOnlyAndDepadTrailingBlanksOnly) {
    const char* s = " \t \tword";
    EXPECT_EQ(skpwht(s), s + 4);
    const char* line_end = "  \nx";
    EXPECT_EQ(skpwht(line_end), line_end + 2);  // stops at the line end
    EXPECT_EQ(skpwht(s + 4), s + 4);
    EXPECT_EQ(*skpwht("   "), '\0');

    char a[] = "gold   ";
    EXPECT_EQ(depad(a), a);
    EXPECT_STREQ(a, "gold");
    char b[] = "  two words \t ";
    depad(b);
    EXPECT_STREQ(b, "  two words \t");  // only blanks, and only at the end
    char c[] = "    ";
    depad(c);
    EXPECT_STREQ(c, "");
}

TEST(TextHelpers, StzcpyCopiesAtMostNMinusOneAndTerminates) {
    char dst[32];
    std::memset(dst, '#', sizeof dst);
    EXPECT_EQ(stzcpy(dst, "A module name of thirty chars!", 25), dst);
    EXPECT_STREQ(dst, "A module name of thirty ");
    EXPECT_EQ(dst[25], '#');  // nothing written past n
    stzcpy(dst, "short", 25);
    EXPECT_STREQ(dst, "short");

    std::memset(dst, '#', sizeof dst);
    stzcpy(dst, "abc", 1);
    EXPECT_EQ(std::string(dst, 2), std::string("\0#", 2));
    std::memset(dst, '#', sizeof dst);
    stzcpy(dst, "abc", 0);
    stzcpy(dst, "abc", -5);
    EXPECT_EQ(dst[0], '#');  // n <= 0 writes nothing
}

TEST(TextHelpers, L2asGivesSignedDecimalText) {
    for (long n : {0L, -1234567L, LONG_MAX, LONG_MIN})
        EXPECT_EQ(std::string(l2as(n)), std::to_string(n));
}

}  // namespace
