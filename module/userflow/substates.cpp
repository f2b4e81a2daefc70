// The sub-state table and the input routine that dispatches on it. Every
// line a user in the module types arrives at module_input and goes to the
// handler of the user's sub-state; every prompt shows the parts its
// sub-state's row names. A new sub-state is one row here.
#include "module/userflow/substates.h"

#include <array>

#include "module/data/context.h"
#include "module/data/module_state.h"
#include "module/screens/prompt.h"
#include "module/userflow/arrival.h"
#include "module/userflow/main_menu.h"
#include "module/userflow/sysop_menu.h"

namespace zmb {

namespace {

enum class Context {
    kFresh,   // the handler starts the working copy itself (a new arrival)
    kLoaded,  // the working copy is loaded from the user's per-user area first
};

struct Substate {
    int value;        // usrptr->substate
    int (*input)();   // what a typed line does; 1 handled, 0 user given up
    unsigned prompt;  // PromptPart values shown when the module waits here
    Context context;  // how the working copy stands when input runs
};

constexpr unsigned kMenuPrompt = kSysopHint | kCommandLine;
constexpr unsigned kAnswerPrompt = kAnswerList | kCommandLine;

constexpr std::array<Substate, 15> kSubstates{{
    {sub::kArrival, arrive, kCommandLine, Context::kFresh},
    {sub::kMenuCommand, menu_line, kMenuPrompt, Context::kLoaded},
    {sub::kAnswer, answer_line, kAnswerPrompt, Context::kLoaded},
    {sub::kScriptMissing, back_to_places, kCommandLine, Context::kLoaded},
    {sub::kRunning, ignore_line, kCommandLine, Context::kLoaded},
    {sub::kPause, pause_line, kCommandLine, Context::kLoaded},
    {sub::kQuitPause, quit_pause_line, kCommandLine, Context::kLoaded},
    {sub::kAfterScript, back_to_places, kCommandLine, Context::kLoaded},
    {sub::kMenuHalted, ignore_line, kMenuPrompt, Context::kLoaded},
    {sub::kSysopMenu, sysop_command, kCommandLine, Context::kLoaded},
    {sub::kStatsFromMenu, back_to_places, kCommandLine, Context::kLoaded},
    {sub::kStatsFromAnswer, ask_again, kCommandLine, Context::kLoaded},
    {sub::kSysopKey, sysop_new_key, kKeyQuestion, Context::kLoaded},
    {sub::kSysopTrips, sysop_new_trips, kTripsQuestion, Context::kLoaded},
    {sub::kHandedBack, ignore_line, kNoPrompt, Context::kLoaded},
}};

// A sub-state the table does not know (the host's own, or a stale value)
// ignores the line and shows no prompt.
constexpr Substate kUnknown{-1, ignore_line, kNoPrompt, Context::kLoaded};

const Substate& row_of(int value) {
    for (const Substate& row : kSubstates) {
        if (row.value == value) return row;
    }
    return kUnknown;
}

}  // namespace

int module_input() {
    const Substate& row = row_of(substate());
    if (row.context == Context::kLoaded) load_user_context();
    return row.input();
}

void show_substate_prompt() {
    show_prompt(row_of(substate()).prompt);
}

}  // namespace zmb
