// The per-user swap: the working copy `context` is filled from the current
// user's per-user area at the start of a call and written back after every
// change. The area belongs to this module only while the user's current
// module is this module; after the hand-back to the game both copies stop.
#include "module/data/context.h"

#include <cstring>

namespace zmb {

namespace {

// The host record's 32-bit current module against our 16-bit number,
// widened with its sign (a negative module number never matches a positive one).
bool user_is_ours() {
    return usrptr != nullptr && vdaptr != nullptr &&
           usrptr->current_module == static_cast<int32_t>(module_state.module_number);
}

// The three blocks in their order: PlayerRecord, ScriptState, TripRecord.
struct Block {
    size_t at;
    size_t size;
};
constexpr Block kBlocks[] = {
    {kPlayerBase, kPlayerRecordSize},
    {kStateBase, kScriptStateSize},
    {kTripBase, kTripRecordSize},
};

}  // namespace

void load_user_context() {
    if (!user_is_ours()) return;
    for (const Block& b : kBlocks)
        std::memcpy(working_copy() + b.at, vdaptr + b.at, b.size);
}

void save_user_context() {
    if (!user_is_ours()) return;
    for (const Block& b : kBlocks)
        std::memcpy(vdaptr + b.at, working_copy() + b.at, b.size);
}

}  // namespace zmb
