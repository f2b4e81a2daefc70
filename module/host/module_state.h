// Module-wide working storage set up at start-up, the sub-state values, and
// the few host calls every flow repeats. One copy for all users: the host
// calls the module for one user at a time and never re-enters it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "include/host_interface.h"

namespace zmb {

inline constexpr int kRunStatus = 240;  // the status the module queues for itself
inline constexpr const char* kVersion = "1.2D";

// Scratch blocks, allocated once with alcmem and never freed.
inline constexpr size_t kWorkSize = 1048;     // text helpers build their results here
inline constexpr size_t kResultSize = 275;    // the script line being run; some helper results
inline constexpr size_t kExpandedSize = 275;  // a script line after substitution
extern char* work_buffer;
extern char* result_buffer;
extern char* expanded_buffer;

extern int16_t module_number;     // from register_module
extern int16_t menu_entry_count;  // places listed in ZMBVIGMS.DAT
extern module_descriptor descriptor;

// The user's place in the flow, kept by the host in usrptr->substate.
namespace sub {
inline constexpr int kArrival = 0;         // newly handed over by the game
inline constexpr int kMenuCommand = 1;     // waiting for a main-menu command
inline constexpr int kAnswer = 2;          // waiting for a /CHOICE: or /INPUT answer
inline constexpr int kScriptMissing = 3;   // a script could not be opened or used
inline constexpr int kRunning = 4;         // a script runs in status slices
inline constexpr int kPause = 5;           // waiting at /PAUSE
inline constexpr int kQuitPause = 6;       // waiting at /ANYQUIT (Q ends the script)
inline constexpr int kAfterScript = 7;     // return sub-state of a place or the news
inline constexpr int kMenuHalted = 8;      // return sub-state of the menu script
inline constexpr int kSysopMenu = 9;
inline constexpr int kStatsFromMenu = 10;
inline constexpr int kStatsFromAnswer = 11;
inline constexpr int kSysopKey = 24;
inline constexpr int kSysopTrips = 25;
inline constexpr int kHandedBack = 32000;
}  // namespace sub

inline int substate() { return usrptr->substate; }
inline void set_substate(int value) { usrptr->substate = value; }

// Sends the output buffer to the current user and empties it.
inline void send_output() {
    outprf(usrnum);
    clrmlt();
}
// Queues the module's own status for the current user: the run driver runs next.
inline void queue_run() { btuinj(usrnum, kRunStatus); }

}  // namespace zmb
