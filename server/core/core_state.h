// State of the host core shared by its source files (not part of the API).
// One process, one thread: the core is plain module-wide storage.
#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

#include "server/core/host_core.h"

namespace host::detail {

struct Channel {
    UserRecord user;
    Account account;
    std::vector<char> area;    // per-user area, area_size bytes
    std::deque<int> statuses;  // queued by btuinj, oldest first
    // Statuses at the front of `statuses` to be delivered before the user's
    // next typed line: those queued up to a change of current module.
    size_t hand_over_statuses = 0;
    bool in_ring = false;  // listed in CoreState::ready (perhaps with nothing left)
    bool asleep = false;   // waiting for the clock's next second (see CoreState::sleepers)
    uint32_t naps = 0;     // times it fell asleep; tells a sleeper entry that is still its own
};

// A channel that fell asleep during `second`; it wakes once the clock has left it.
struct Sleeper {
    std::time_t second;
    int channel;
    uint32_t nap;  // Channel::naps when it fell asleep
};

struct CoreState {
    std::vector<Channel> channels;
    std::vector<Module> modules{Module{}};  // index 0 = no module
    size_t area_size = 0;
    std::string output;  // the one output buffer prf appends to
    OutputSink sink;
    // Channels whose statuses may be delivered, in the order they are served:
    // a channel joins at the back when its first status is queued, and goes
    // to the back again after each delivery while it has more. A channel
    // whose statuses were dropped stays listed until it comes to the front.
    std::deque<int> ready;
    size_t queued = 0;  // statuses queued over all channels, sleeping ones included
    // Sleeping channels, oldest first. Each sleeps until the second after
    // the one it fell asleep in, so the list is in waking order too (a clock
    // set back only wakes them early).
    std::deque<Sleeper> sleepers;
    size_t asleep = 0;              // channels asleep now (sleepers may hold stale entries)
    unsigned long sent = 0;         // outprf calls that sent something, to tell a silent call
    std::vector<char> area_before;  // a delivered channel's area as it was before the call
    int call_depth = 0;             // >0 while a module routine runs
    int last_registered = 0;        // module number of the latest register_module
};

CoreState& core();
// The channel, or nullptr (logged) when a module names one that does not exist.
Channel* find_channel(int channel, const char* caller);
// A registered module's descriptor, or nullptr.
module_descriptor* descriptor_of(int module_number);
// Lists a channel that has statuses and is neither listed nor asleep.
void make_ready(int channel);

}  // namespace host::detail
