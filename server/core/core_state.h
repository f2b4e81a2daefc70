// State of the host core shared by its source files (not part of the API).
// One process, one thread: the core is plain module-wide storage.
#pragma once

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
};

struct CoreState {
    std::vector<Channel> channels;
    std::vector<Module> modules{Module{}};  // index 0 = no module
    size_t area_size = 0;
    std::string output;  // the one output buffer prf appends to
    OutputSink sink;
    int next_status_channel = 0;  // round-robin position of deliver_next_status
    int call_depth = 0;           // >0 while a module routine runs
    int last_registered = 0;      // module number of the latest register_module
};

CoreState& core();
// The channel, or nullptr (logged) when a module names one that does not exist.
Channel* find_channel(int channel, const char* caller);
// A registered module's descriptor, or nullptr.
module_descriptor* descriptor_of(int module_number);

}  // namespace host::detail
