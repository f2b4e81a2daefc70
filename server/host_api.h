// What the host offers a game built into it, beyond the module interface of
// include/host_interface.h: registering itself, picking the channel it acts
// for, looking up other modules by number, ending a module's input limit,
// and the host log. The game includes this and nothing of the core.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "include/host_interface.h"

namespace host_api {

// Registers a module built into the host under `name` (the name IGMLIST.DAT
// gives it). Returns its module number.
int add_builtin_module(module_descriptor* descriptor, std::string_view name);

// The name the host knows module `number` by, or nothing when there is no
// such module.
std::optional<std::string> module_name(int number);

// Makes `channel` the user the interface's globals (usrnum, usrptr, ...)
// stand for, as before any call into a module.
void act_for_channel(int channel);

// The number of channels, and the shared user record (current module,
// sub-state) of one, without making it the current user.
int channel_count();
const host_user& user_of(int channel);

// The module's own input limit (btumil) ends: the channel's user may type
// lines as long as the host allows again.
void end_input_limit(int channel);

// A caller signed on, for "who is on": the name and where the caller is
// ("at the realm list", "in The Vale of Vorn", ...); never an address.
struct Caller {
    std::string name;
    std::string where;
};
// The callers signed on now, in channel order.
std::vector<Caller> callers_on();
// The host's front end tells where its list comes from.
void set_callers_source(std::function<std::vector<Caller>()> source);

// One stamped line in the host log.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace host_api
