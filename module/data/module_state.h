// The state the module keeps for all users: what start-up learnt from the
// host, the settings, and the working copy of the current user's per-user
// area; the sub-state values, and the few host calls every flow repeats.
// One copy for all users: the host calls the module for one user at a time
// and never re-enters it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "include/host_interface.h"
#include "include/record_layout.h"
#include "module/data/config.h"

namespace zmb {

inline constexpr int kRunStatus = 240;  // the status the module queues for itself
inline constexpr const char* kVersion = "1.2D";

struct ModuleState {
    int16_t module_number = 0;         // from register_module; a user is ours while current
    int16_t menu_entry_count = 0;      // places listed in ZMBVIGMS.DAT at start-up
    ModuleConfig config{"SYSOP", 10};  // ZMBVIGMS.CNF as read, or as the sysop edits it
    std::array<uint8_t, kUserContextSize> context{};  // the current user's area, see context.h
};
extern ModuleState module_state;

// The user's place in the flow, kept by the host in usrptr->substate. What
// each one does with a typed line and which prompt it shows stands in the
// sub-state table (userflow/substates.cpp).
namespace sub {
inline constexpr int kArrival = 0;           // newly handed over by the game
inline constexpr int kMenuCommand = 1;       // waiting for a main-menu command
inline constexpr int kAnswer = 2;            // waiting for a /CHOICE: or /INPUT answer
inline constexpr int kScriptMissing = 3;     // a script could not be opened or used
inline constexpr int kRunning = 4;           // a script runs in status slices
inline constexpr int kPause = 5;             // waiting at /PAUSE
inline constexpr int kQuitPause = 6;         // waiting at /ANYQUIT (Q ends the script)
inline constexpr int kAfterScript = 7;       // return sub-state of a place or the news
inline constexpr int kMenuHalted = 8;        // return sub-state of the menu script
inline constexpr int kSysopMenu = 9;         // waiting for a sysop menu command
inline constexpr int kStatsFromMenu = 10;    // stats screen shown from the menu of places
inline constexpr int kStatsFromAnswer = 11;  // stats screen shown at a script question
inline constexpr int kSysopKey = 24;         // waiting for a new sysop key
inline constexpr int kSysopTrips = 25;       // waiting for a new number of trips per day
inline constexpr int kHandedBack = 32000;    // given back to the game
}  // namespace sub

inline int substate() {
    return usrptr->substate;
}
inline void set_substate(int value) {
    usrptr->substate = value;
}

// Sends the output buffer to the current user and empties it.
inline void send_output() {
    outprf(usrnum);
    clrmlt();
}
// Queues the module's own status for the current user: the run driver runs next.
inline void queue_run() {
    btuinj(usrnum, kRunStatus);
}

}  // namespace zmb
