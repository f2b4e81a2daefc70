// Typed lines: how the host cleans and splits a line before a module's input
// routine sees it, and how rstrin gives the line back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/core/host_core.h"

namespace {

// What the input routine saw: the words, then the line after rstrin.
struct Seen {
    int calls = 0;
    int channel = -1;
    std::vector<std::string> words;
    std::string first_word_in_input;  // input before rstrin (up to the first NUL)
    std::string joined;               // input after rstrin
};
Seen seen;
int input_result = 1;

int recording_input() {
    seen.calls++;
    seen.channel = usrnum;
    seen.words.clear();
    for (int i = 0; i < margc; ++i)
        seen.words.emplace_back(margv[i]);
    seen.first_word_in_input = input;
    rstrin();
    seen.joined = input;
    return input_result;
}

module_descriptor reader = {"line reader", nullptr, recording_input, nullptr, nullptr,
                            nullptr,       nullptr, nullptr,         nullptr, nullptr};

class TypedLine : public ::testing::Test {
  protected:
    void SetUp() override {
        host::init(4);
        number_ = host::add_module(&reader, "READER");
        for (int ch = 0; ch < 4; ++ch)
            host::user(ch).shared.current_module = number_;
        seen = Seen{};
        input_result = 1;
    }
    int number_ = 0;
};

TEST_F(TypedLine, SplitsAtBlanksAndRstrinRestoresTheLineExactly) {
    EXPECT_EQ(host::type_line(2, "buy  3   swords "), 1);
    EXPECT_EQ(seen.channel, 2);
    EXPECT_EQ(seen.words, (std::vector<std::string>{"buy", "3", "swords"}));
    EXPECT_EQ(seen.first_word_in_input, "buy");  // split in place
    EXPECT_EQ(seen.joined, "buy  3   swords ");  // runs and the trailing blank kept
}

TEST_F(TypedLine, LeadingBlanksAndControlCharactersGo) {
    host::type_line(0, "   \x1b[Ahel\tlo\x7f world\r\n");
    EXPECT_EQ(seen.words, (std::vector<std::string>{"[Ahello", "world"}));
    EXPECT_EQ(seen.joined, "[Ahello world");
}

TEST_F(TypedLine, EmptyAndBlankLinesHaveNoWordsAndAnEmptyFirstWord) {
    for (const char* line : {"", "     ", "\r\n", " \t "}) {
        host::type_line(1, line);
        EXPECT_EQ(margc, 0) << '"' << line << '"';
        ASSERT_NE(margv[0], nullptr);
        EXPECT_STREQ(margv[0], "");
        EXPECT_EQ(seen.joined, "");
    }
    EXPECT_EQ(seen.calls, 4);
}

TEST_F(TypedLine, KeepsBytesAbove127) {
    host::type_line(0, "caf\xe9 \xfe");
    EXPECT_EQ(seen.words, (std::vector<std::string>{"caf\xe9", "\xfe"}));
}

TEST_F(TypedLine, AVeryLongLineIsCutToTheInputBuffer) {
    std::string line(10000, 'x');
    line[5] = ' ';
    host::type_line(0, line);
    ASSERT_EQ(seen.words.size(), 2u);
    EXPECT_EQ(seen.words[0], "xxxxx");
    EXPECT_EQ(seen.joined.size(), static_cast<size_t>(host::kInputSize - 1));
    EXPECT_EQ(seen.words[1].size(), static_cast<size_t>(host::kInputSize - 1 - 6));
}

TEST_F(TypedLine, WordsBeyondTheLimitStayInTheLine) {
    std::string line;
    for (int i = 0; i < host::kMaxWords + 10; ++i)
        line += "w ";
    host::type_line(0, line);
    EXPECT_EQ(margc, host::kMaxWords);
    EXPECT_EQ(seen.joined, line);
    EXPECT_STREQ(margv[margc], "");  // one past the last word is still a valid ""
}

TEST_F(TypedLine, ReturnsTheInputRoutinesResultOrMinusOneWithoutOne) {
    input_result = 0;
    EXPECT_EQ(host::type_line(3, "bye"), 0);
    input_result = 1;
    EXPECT_EQ(host::type_line(3, "again"), 1);
    seen.calls = 0;
    host::user(1).shared.current_module = 0;
    EXPECT_EQ(host::type_line(1, "hello"), -1);
    host::user(1).shared.current_module = 999;
    EXPECT_EQ(host::type_line(1, "hello"), -1);
    EXPECT_EQ(seen.calls, 0);
}

TEST_F(TypedLine, SelectsTheChannelForTheCall) {
    host::account(3).shared.age = 44;
    host::type_line(3, "x");
    EXPECT_EQ(usrnum, 3);
    EXPECT_EQ(usrptr, &host::user(3).shared);
    EXPECT_EQ(usaptr->age, 44);
}

}  // namespace
