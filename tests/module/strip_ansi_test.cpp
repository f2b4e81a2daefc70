// strip_ansi is the lens of every text check in these tests: it must remove
// whole sequences and nothing else, above all never a line end.
#include <gtest/gtest.h>

#include "tests/support/session.h"

namespace test {
namespace {

TEST(StripAnsi, RemovesControlSequencesAndKeepsTheText) {
    EXPECT_EQ(strip_ansi("\x1b[1;33mGold\x1b[0m: 5"), "Gold: 5");
    EXPECT_EQ(strip_ansi("\x1b[2J\x1b[H\x1b[Aup"), "up");
    EXPECT_EQ(strip_ansi("a\x1b"
                         "b"),
              "ab");  // a lone ESC goes on its own
    EXPECT_EQ(strip_ansi("cut \x1b[1;3"), "cut ");
    EXPECT_EQ(strip_ansi("\xfe plain \xfe\n"), "\xfe plain \xfe\n");
    EXPECT_EQ(strip_ansi("\x1b[1\nx"), "\nx");  // a broken sequence never eats a line end
}

}  // namespace
}  // namespace test
