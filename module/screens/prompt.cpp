// The one prompt that ends the output whenever the module waits for a line.
// The user's sub-state decides its parts: the sysop hint (menu), the answer
// list (script question), the command line, the sysop value questions.
#include "module/screens/prompt.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "module/data/config.h"
#include "module/host/module_state.h"
#include "module/screens/colour.h"
#include "module/data/context.h"

namespace zmb {

namespace {

constexpr int kLastCommandLineSubstate = 20;  // from 21 on there is no command line
constexpr int32_t kMaxAnswers = 9;

std::array<char, 256> answer_list;  // "123" or the /INPUT prompt text
// Each finished line is formatted here, not in the work buffer, which the
// renderer translates into.
std::array<char, 320> prompt_line;

// The digits 1..choice_count joined, or the pending /INPUT prompt text.
const char* build_answer_list() {
    const int32_t count = get(state::choice_count);
    if (count == 0) {
        std::snprintf(answer_list.data(), answer_list.size(), "%s", text(state::input_prompt));
        return answer_list.data();
    }
    size_t length = 0;
    answer_list[0] = '\0';
    for (int32_t n = 1; n <= count && n <= kMaxAnswers; ++n) {
        length += static_cast<size_t>(
            std::snprintf(answer_list.data() + length, answer_list.size() - length, "%d", n));
    }
    return answer_list.data();
}

}  // namespace

void show_prompt() {
    const int current = substate();
    if ((current == sub::kMenuHalted || current == sub::kMenuCommand) &&
        haskey(config.sysop_key) != 0) {
        colour_print("`2Enter `%S `2for Sysop Menu...\n");
    }
    if (current == sub::kAnswer) {
        std::snprintf(prompt_line.data(), prompt_line.size(), "`7(`&%s`7)`8 - ",
                      build_answer_list());
        colour_print(prompt_line.data());
    }
    if (current <= kLastCommandLineSubstate) {
        std::snprintf(prompt_line.data(), prompt_line.size(), "`2Your Command, `0%s`2? : `0",
                      text(state::player_name));
        colour_print(prompt_line.data());
    }
    if (current == sub::kSysopKey) colour_print("`9Key to access this menu: `3");
    if (current == sub::kSysopTrips) {
        colour_print("`9Allow how many IGM Trips per day? From 3 to 30: `3");
    }
}

}  // namespace zmb
