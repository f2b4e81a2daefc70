// The host's text helpers that modules lean on for commands and labels.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "server/core/host_core.h"

namespace {

TEST(SameFamily, EqualityIgnoresCaseButNotLength) {
    EXPECT_TRUE(sameas("KXPVORN", "kxpVorn"));
    EXPECT_TRUE(sameas("", ""));
    EXPECT_FALSE(sameas("KXPVORN", "KXPVORN2"));
    EXPECT_FALSE(sameas("KXPVORN2", "KXPVORN"));
    EXPECT_FALSE(sameas("abc", "abd"));
    EXPECT_FALSE(sameas("abc\n", "abc"));  // a line end is a character like any other
}

TEST(SameFamily, PrefixTakesThePrefixFirst) {
    EXPECT_TRUE(sameto("/go", "/GOTO:home"));
    EXPECT_TRUE(sameto("", "anything"));
    EXPECT_TRUE(sameto("vorn igm script: ", "Vorn IGM Script: The Cave"));
    EXPECT_FALSE(sameto("/GOTO:home", "/go"));  // order matters
    EXPECT_FALSE(sameto("Vorn IGM Script: ", "Vorn IGM Script:"));
}

TEST(SameFamily, SuffixTakesTheTextFirst) {
    EXPECT_TRUE(samend("CAVE.LOR", ".lor"));
    EXPECT_TRUE(samend("x", ""));
    EXPECT_TRUE(samend("abc", "ABC"));
    EXPECT_FALSE(samend(".lor", "CAVE.LOR"));  // order matters
    EXPECT_FALSE(samend("CAVE.LORD", ".lor"));
}

TEST(SameFamily, SubstringTakesTheNeedleFirst) {
    EXPECT_TRUE(samein("KXPVORN2", "kxpvorn2\n"));
    EXPECT_TRUE(samein("vorn", "KXPVORN"));
    EXPECT_TRUE(samein("N3", "kxpvorn3"));
    EXPECT_FALSE(samein("KXPVORN", "KXPVOR"));
    EXPECT_FALSE(samein("KXPVORN\n", "MYGAME\n"));
    EXPECT_FALSE(samein("kxpvorn3", "vorn"));  // order matters
    EXPECT_TRUE(samein("aab", "aaab"));        // overlapping start
}

TEST(SameFamily, NullIsTheEmptyText) {
    EXPECT_TRUE(sameas(nullptr, ""));
    EXPECT_FALSE(sameas(nullptr, "a"));
    EXPECT_TRUE(sameto(nullptr, "a"));
    EXPECT_FALSE(samein("a", nullptr));
}

TEST(TextHelpers, SkpwhtSkipsBlanksAndTabsOnly) {
    const char* s = " \t \tword";
    EXPECT_EQ(skpwht(s), s + 4);
    const char* line_end = "  \nx";
    EXPECT_EQ(skpwht(line_end), line_end + 2);  // stops at the line end
    const char* none = "x ";
    EXPECT_EQ(skpwht(none), none);
    const char* all = "   ";
    EXPECT_EQ(*skpwht(all), '\0');
}

TEST(TextHelpers, DepadRemovesTrailingBlanksInPlace) {
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
    EXPECT_EQ(std::strlen(dst), 24u);
    EXPECT_EQ(dst[25], '#');  // nothing written past n

    stzcpy(dst, "short", 25);
    EXPECT_STREQ(dst, "short");

    std::memset(dst, '#', sizeof dst);
    stzcpy(dst, "abc", 1);
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(dst[1], '#');

    std::memset(dst, '#', sizeof dst);
    stzcpy(dst, "abc", 0);
    stzcpy(dst, "abc", -5);
    EXPECT_EQ(dst[0], '#');  // n <= 0 writes nothing
}

TEST(TextHelpers, L2asGivesSignedDecimalText) {
    EXPECT_STREQ(l2as(0), "0");
    EXPECT_STREQ(l2as(-1234567), "-1234567");
    EXPECT_EQ(std::string(l2as(LONG_MAX)), std::to_string(LONG_MAX));
    EXPECT_EQ(std::string(l2as(LONG_MIN)), std::to_string(LONG_MIN));
}

}  // namespace
