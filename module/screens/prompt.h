// The one prompt that ends the output whenever the module waits for a line.
// It is made of parts; which parts a sub-state shows stands in the sub-state
// table (userflow/substates.cpp).
#pragma once

namespace zmb {

// Prompt parts, shown in this order when set.
enum PromptPart : unsigned {
    kNoPrompt = 0,
    kSysopHint = 1u << 0,      // "Enter S for Sysop Menu...", to a holder of the sysop key
    kAnswerList = 1u << 1,     // "(123) - " or the pending /INPUT prompt
    kCommandLine = 1u << 2,    // "Your Command, <name>? : "
    kKeyQuestion = 1u << 3,    // the sysop menu asks for a new key
    kTripsQuestion = 1u << 4,  // the sysop menu asks for the trips per day
};

// Shows the parts (PromptPart values or'ed together).
void show_prompt(unsigned parts);

}  // namespace zmb
