// The one prompt that ends the output whenever the module waits for a line:
// the sysop hint (menu), the answer list (script question), the command
// line, the sysop value questions, each shown when its part is asked for.
#include "module/screens/prompt.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "module/data/context.h"
#include "module/data/module_state.h"
#include "module/screens/colour.h"

namespace zmb {

namespace {

constexpr int32_t kMaxAnswers = 9;

using AnswerList = std::array<char, 256>;

// The digits 1..choice_count joined, or the pending /INPUT prompt text.
const char* build_answer_list(AnswerList& list) {
    const int32_t count = get(state::choice_count);
    if (count == 0) {
        std::snprintf(list.data(), list.size(), "%s", text(state::input_prompt));
        return list.data();
    }
    size_t length = 0;
    list[0] = '\0';
    for (int32_t n = 1; n <= count && n <= kMaxAnswers; ++n) {
        length +=
            static_cast<size_t>(std::snprintf(list.data() + length, list.size() - length, "%d", n));
    }
    return list.data();
}

}  // namespace

void show_prompt(unsigned parts) {
    std::array<char, 320> line;
    if ((parts & kSysopHint) != 0 && haskey(module_state.config.sysop_key) != 0) {
        colour_print("`2Enter `%S `2for Sysop Menu...\n");
    }
    if ((parts & kAnswerList) != 0) {
        AnswerList answers;
        std::snprintf(line.data(), line.size(), "`7(`&%s`7)`8 - ", build_answer_list(answers));
        colour_print(line.data());
    }
    if ((parts & kCommandLine) != 0) {
        std::snprintf(line.data(), line.size(), "`2Your Command, `0%s`2? : `0",
                      text(state::player_name));
        colour_print(line.data());
    }
    if ((parts & kKeyQuestion) != 0) colour_print("`9Key to access this menu: `3");
    if ((parts & kTripsQuestion) != 0) {
        colour_print("`9Allow how many IGM Trips per day? From 3 to 30: `3");
    }
}

}  // namespace zmb
