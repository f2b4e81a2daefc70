// Typed lines: how the host cleans and splits a line before a module's input
// routine sees it, and how rstrin gives the line back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/core/host_core.h"

namespace {

using Words = std::vector<std::string>;

// What the input routine saw: the words, then the line after rstrin.
struct Seen {
    int calls = 0;
    int channel = -1;
    Words words;
    std::string first_word_in_input;  // input before rstrin (up to the first NUL)
    std::string joined;               // input after rstrin
    std::string past_last_word;       // margv[margc]
};
Seen seen;
int input_result = 1;

int recording_input() {
    seen.calls++;
    seen.channel = usrnum;
    seen.words.clear();
    for (int i = 0; i < margc; ++i)
        seen.words.emplace_back(margv[i]);
    seen.past_last_word = margv[margc] ? margv[margc] : "(null)";
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
        int number = host::add_module(&reader, "READER");
        for (int ch = 0; ch < 4; ++ch)
            host::user(ch).shared.current_module = number;
        seen = Seen{};
        input_result = 1;
    }
};

TEST_F(TypedLine, SplitsAtBlanksAndRstrinGivesTheCleanedLineBack) {
    std::string many_words;
    for (int i = 0; i < host::kMaxWords + 10; ++i)
        many_words += "w ";
    std::string long_line(10000, 'x');
    long_line[5] = ' ';
    const std::string cut(host::kInputSize - 1 - 6, 'x');  // the rest of the input buffer
    const struct {
        std::string typed;
        Words words;
        std::string joined;
    } cases[] = {
        // Runs of blanks and the trailing blank are kept by rstrin.
        {"buy  3   swords ", {"buy", "3", "swords"}, "buy  3   swords "},
        // Leading blanks and control characters go.
        {"   \x1b[Ahel\tlo\x7f world\r\n", {"[Ahello", "world"}, "[Ahello world"},
        {"", {}, ""},
        {"     ", {}, ""},
        {"\r\n", {}, ""},
        {" \t ", {}, ""},
        {"caf\xe9 \xfe", {"caf\xe9", "\xfe"}, "caf\xe9 \xfe"},  // bytes above 127 stay
        {long_line, {"xxxxx", cut}, "xxxxx " + cut},
        // Words beyond the limit stay in the line.
        {many_words, Words(host::kMaxWords, "w"), many_words},
    };
    host::account(2).shared.age = 44;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 40));
        EXPECT_EQ(host::type_line(2, c.typed), 1);
        EXPECT_EQ(seen.channel, 2);  // the channel selected for the call
        EXPECT_EQ(usrptr, &host::user(2).shared);
        EXPECT_EQ(usaptr->age, 44);
        EXPECT_EQ(seen.words, c.words);
        EXPECT_EQ(seen.first_word_in_input, c.words.empty() ? "" : c.words[0]);  // split in place
        EXPECT_EQ(seen.joined, c.joined);
        EXPECT_EQ(seen.past_last_word, "");  // margv[margc] is always a valid ""
    }
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

}  // namespace
