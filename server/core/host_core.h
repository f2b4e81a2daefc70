// The host core: everything a module may call (host_interface.h) over many
// channels, plus the embedding API that igmhost and the test host drive:
// channels and accounts, module loading, typed lines, the status queue.
#pragma once

#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "include/host_interface.h"

namespace host {

inline constexpr int kInputSize = 1024;  // a typed line is cut to kInputSize-1 characters
inline constexpr int kMaxWords = 128;

// Per-channel user record: the two fields the interface fixes come first.
struct UserRecord {
    host_user shared;  // current_module, substate
    bool online = false;
    int input_limit = 0;  // from btumil; 0 = no limit of the module's own
    int xon = 0, xoff = 0;
};
struct Account {
    host_account shared;  // age
    std::string name;
    std::vector<std::string> keys;  // access keys, compared ignoring case
};

// A module registered with register_module; index = module number.
struct Module {
    module_descriptor* descriptor = nullptr;
    std::string name;        // "ZMB_VORN" for a loaded plug-in; set by the embedder
    void* handle = nullptr;  // dlopen handle of a loaded plug-in; never closed
};

// ---- set-up ----
void init(int channel_count);  // (re)creates the channels; keeps registered modules
int channel_count();
UserRecord& user(int channel);
Account& account(int channel);
char* user_area(int channel);  // per-user area; size = largest dclvda so far
size_t user_area_size();

// Where outprf sends a channel's output.
using OutputSink = std::function<void(int channel, std::string_view bytes)>;
void set_output_sink(OutputSink sink);

// Loads a module: dlopen(path), calls init__<name> (name = file stem unless
// given). Returns the module number it registered, or -1 with *error set.
int load_module(const std::string& path, std::string* error, const std::string& name = "");
// Registers a module built into the host (the stand-in game).
int add_module(module_descriptor* descriptor, const std::string& name);
int module_count();
const Module* module(int number);  // nullptr when out of range

// Name gmdnam returns for a definition file ("ZMB_VORN.MDF"); default: the stem.
void set_definition_name(const std::string& file, const std::string& name);

// ---- calls into modules ----
// Makes `channel` the current user (usrnum, usrptr, usaptr, vdaptr).
void select_channel(int channel);
// A typed line for a channel: control characters removed, leading blanks
// dropped, split into words; then the current module's input routine runs.
// Returns its result, or -1 when the current module has no input routine.
int type_line(int channel, std::string_view line);
// Delivers one queued status, round-robin over the channels that have
// statuses, in the order they came to have them (each channel's statuses in
// order). Returns false when nothing was due.
//
// A channel whose status call only queued its status again, sent nothing and
// left the user record and per-user area byte for byte as they were (a
// script waiting for the clock) sleeps: its status is due again once the
// clock has moved on to another second, when its user types a line, when
// output reaches it, or on wake_statuses. pending_statuses counts it.
bool deliver_next_status();
// The same, passing over the channels for which `held` is true (a front end
// holds back a channel whose caller has not taken its output yet). Returns
// the channel served, or -1 when none was.
int deliver_next_status_except(const std::function<bool(int)>& held);
// Delivers `channel`'s next status now if one is due there (queued, not
// asleep), leaving the channel's place in the round as it is: an embedder
// may so give a channel a few statuses in a row. False when none was due.
bool deliver_status_on(int channel);
// Calls the current module's status routine for `channel` with `code` now.
void call_status(int channel, int code);
void wake_statuses(int channel);  // a sleeping channel's statuses are due now
size_t sleeping_channels();
size_t pending_statuses();             // all channels
size_t pending_statuses(int channel);  // one channel
bool statuses_due(int channel);        // queued there and not asleep
void drop_statuses(int channel);       // a channel that hangs up

// Hand-over order. A module routine that changes its user's current module
// and leaves statuses queued for that user (the game handing a player over
// to a module, or a module handing the player back with its status) starts
// a hand-over. Until every status queued up to that change has been
// delivered, lines_held(channel) is true, and an embedder must not call
// type_line for the channel: the line waits, in the order typed, and
// reaches the module that the delivered statuses leave current. So a line
// typed right behind the one that leaves a module is never taken by the
// game before the game has taken the player back (and read the record the
// module stored), nor by anything else between module and game. igmhost's
// server keeps this. Lines typed while a script runs (statuses queued
// without a change of module) are not held.
bool lines_held(int channel);

// ---- clock ----
void set_clock(std::time_t t);  // fixes the host clock (today, now, ...)
void clear_clock();
std::time_t clock_now();  // whole seconds, as time() reads them
// How long until clock_now() may have moved on to the next second (the real
// clock's; a fixed clock moves only when it is set).
std::chrono::nanoseconds clock_until_next_second();

// ---- log and fatal stop ----
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));  // stamped, to stderr
void vlog(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
void set_log_sink(std::function<void(std::string_view line)> sink);  // default: stderr
void set_catastro_hook(void (*hook)());  // runs before catastro ends the process

// What the module asked for, for tests and the log.
struct Counters {
    int clrmlt = 0, btuclo = 0, btumil = 0, btuxnf = 0, dfsthn = 0, shocst = 0;
    std::string last_shocst;
    std::vector<std::string> console;  // every shocst line, "<title> <text>"
};
Counters& counters();

}  // namespace host
