// Calls into modules: typed lines (parsed into input/margc/margv first) and
// the status queue. A module call never runs inside another one: btuinj
// only queues, and the embedder delivers one status at a time afterwards.
// Every step of the queue costs the same however many channels there are.
#include <cstring>

#include "server/core/core_state.h"
#include "server/core/host_core.h"

char input[host::kInputSize];
int margc = 0;
// One slot more than kMaxWords so margv[margc] is always a valid "".
char* margv[host::kMaxWords + 1];
int status = 0;

namespace host {

void detail::make_ready(int channel) {
    auto& c = core();
    Channel& ch = c.channels[static_cast<size_t>(channel)];
    if (ch.in_ring || ch.asleep || ch.statuses.empty()) return;
    ch.in_ring = true;
    c.ready.push_back(channel);
}

namespace {

char empty_word[1] = {0};
size_t input_length = 0;  // length of the line in input before it was split

bool is_control(unsigned char c) {
    return c < 32 || c == 127;
}

// Copies the cleaned line into input, then cuts it into NUL-terminated words.
void parse_line(std::string_view line) {
    size_t n = 0;
    for (unsigned char c : line) {
        if (is_control(c)) continue;
        if (n == 0 && c == ' ') continue;  // leading blanks go
        if (n + 1 >= static_cast<size_t>(kInputSize)) break;
        input[n++] = static_cast<char>(c);
    }
    input[n] = 0;
    input_length = n;

    margc = 0;
    for (auto& word : margv)
        word = empty_word;
    // Every blank becomes a terminator, so rstrin can put it back exactly.
    // Words past kMaxWords are not listed but stay in the line.
    bool in_word = false;
    for (size_t i = 0; i < n; ++i) {
        if (input[i] == ' ') {
            input[i] = 0;
            in_word = false;
        } else if (!in_word) {
            in_word = true;
            if (margc < kMaxWords) margv[margc++] = &input[i];
        }
    }
}

// Runs a module routine for the selected channel, counting the nesting so a
// misuse (a routine that calls back into the embedder) is visible in the log.
// A routine that moves its user to another module and leaves statuses
// queued for the user has started a hand-over (or a hand-back): the user's
// typed lines wait until those statuses are delivered (lines_held).
template <typename F>
auto guarded(F&& routine) {
    struct Depth {
        Depth() { detail::core().call_depth++; }
        ~Depth() { detail::core().call_depth--; }
    } depth;
    int channel = usrnum;
    int32_t module_before = usrptr->current_module;
    auto result = routine();
    detail::Channel& ch = detail::core().channels[static_cast<size_t>(channel)];
    if (ch.user.shared.current_module != module_before && !ch.statuses.empty())
        ch.hand_over_statuses = ch.statuses.size();
    return result;
}

// The host never re-enters a module: a delivery asked for while a module
// routine runs is refused (and logged), so the status waits its turn.
bool refuse_nested(const char* caller) {
    if (detail::core().call_depth == 0) return false;
    log("%s: refused inside a module routine", caller);
    return true;
}

}  // namespace

int type_line(int channel, std::string_view line) {
    if (refuse_nested("type_line")) return -1;
    select_channel(channel);
    wake_statuses(channel);  // what the line changes may be what a waiting status waits for
    parse_line(line);
    module_descriptor* d = detail::descriptor_of(usrptr->current_module);
    if (!d || !d->input) return -1;
    return guarded([d] { return d->input(); });
}

void call_status(int channel, int code) {
    if (refuse_nested("call_status")) return;
    select_channel(channel);
    status = code;
    module_descriptor* d = detail::descriptor_of(usrptr->current_module);
    if (!d || !d->status) return;
    guarded([d] {
        d->status();
        return 0;
    });
}

bool deliver_next_status() {
    return deliver_next_status_except(nullptr) >= 0;
}

namespace {

// Wakes the sleepers whose second the clock has left.
void wake_due() {
    auto& c = detail::core();
    if (c.sleepers.empty()) return;
    const std::time_t now = clock_now();
    while (!c.sleepers.empty() && c.sleepers.front().second != now) {
        const detail::Sleeper s = c.sleepers.front();
        c.sleepers.pop_front();
        detail::Channel& ch = c.channels[static_cast<size_t>(s.channel)];
        if (ch.asleep && ch.naps == s.nap) wake_statuses(s.channel);  // else woken already
    }
}

void fall_asleep(int channel) {
    auto& c = detail::core();
    detail::Channel& ch = c.channels[static_cast<size_t>(channel)];
    ch.asleep = true;
    ++ch.naps;
    ++c.asleep;
    c.sleepers.push_back({clock_now(), channel, ch.naps});
}

// Calls the status routine. A call that only queued its own status again,
// sent nothing and left the user's record and per-user area byte for byte
// as they were is waiting for the clock (a script in /WAIT:): the channel
// sleeps until the next second instead of being called again at once. A
// channel with other statuses behind this one, or in a hand-over, does not
// sleep: those are due now.
void deliver(int channel, int code) {
    auto& c = detail::core();
    detail::Channel& ch = c.channels[static_cast<size_t>(channel)];
    const bool alone = ch.statuses.empty();
    if (alone) c.area_before.assign(ch.area.begin(), ch.area.end());
    const host_user user_before = ch.user.shared;
    const unsigned long sent_before = c.sent;
    const size_t output_before = c.output.size();
    call_status(channel, code);
    const bool silent = alone && !ch.statuses.empty() && ch.hand_over_statuses == 0 &&
                        c.sent == sent_before && c.output.size() == output_before &&
                        ch.user.shared.current_module == user_before.current_module &&
                        ch.user.shared.substate == user_before.substate && ch.area == c.area_before;
    if (silent) fall_asleep(channel);
}

// Delivers the channel's oldest status; with more to come it goes to the
// back of the round (or stays where it is listed).
void deliver_front(int channel, detail::Channel& ch) {
    const int code = ch.statuses.front();
    ch.statuses.pop_front();
    --detail::core().queued;
    if (ch.hand_over_statuses > 0) --ch.hand_over_statuses;
    deliver(channel, code);
    detail::make_ready(channel);
}

}  // namespace

int deliver_next_status_except(const std::function<bool(int)>& held) {
    if (refuse_nested("deliver_next_status")) return -1;
    auto& c = detail::core();
    wake_due();
    // Every listed channel is looked at once at most; a held one goes to the
    // back, having missed its turn.
    for (size_t left = c.ready.size(); left > 0; --left) {
        const int channel = c.ready.front();
        c.ready.pop_front();
        detail::Channel& ch = c.channels[static_cast<size_t>(channel)];
        if (ch.statuses.empty() || ch.asleep) {
            ch.in_ring = false;
            continue;
        }
        if (held && held(channel)) {
            c.ready.push_back(channel);
            continue;
        }
        ch.in_ring = false;
        deliver_front(channel, ch);
        return channel;
    }
    return -1;
}

bool deliver_status_on(int channel) {
    if (refuse_nested("deliver_status_on")) return false;
    detail::Channel* ch = detail::find_channel(channel, "deliver_status_on");
    if (ch == nullptr || ch->statuses.empty() || ch->asleep) return false;
    deliver_front(channel, *ch);
    return true;
}

void wake_statuses(int channel) {
    auto& c = detail::core();
    if (channel < 0 || channel >= static_cast<int>(c.channels.size())) return;
    detail::Channel& ch = c.channels[static_cast<size_t>(channel)];
    if (!ch.asleep) return;
    ch.asleep = false;
    --c.asleep;
    detail::make_ready(channel);
}

size_t sleeping_channels() {
    return detail::core().asleep;
}

size_t pending_statuses() {
    return detail::core().queued;
}

size_t pending_statuses(int channel) {
    auto* ch = detail::find_channel(channel, "pending_statuses");
    return ch ? ch->statuses.size() : 0;
}

bool statuses_due(int channel) {
    auto* ch = detail::find_channel(channel, "statuses_due");
    return ch != nullptr && !ch->statuses.empty() && !ch->asleep;
}

void drop_statuses(int channel) {
    if (auto* ch = detail::find_channel(channel, "drop_statuses")) {
        auto& c = detail::core();
        c.queued -= ch->statuses.size();
        ch->statuses.clear();
        ch->hand_over_statuses = 0;
        if (ch->asleep) {  // its entry among the sleepers is passed over
            ch->asleep = false;
            --c.asleep;
        }
    }
}

bool lines_held(int channel) {
    auto* ch = detail::find_channel(channel, "lines_held");
    return ch != nullptr && ch->hand_over_statuses > 0;
}

}  // namespace host

extern "C" {

void rstrin(void) {
    for (size_t i = 0; i < host::input_length; ++i) {
        if (input[i] == 0) input[i] = ' ';
    }
    input[host::input_length] = 0;
}

void btuinj(int channel, int code) {
    if (auto* ch = host::detail::find_channel(channel, "btuinj")) {
        ch->statuses.push_back(code);
        ++host::detail::core().queued;
        host::detail::make_ready(channel);
    }
}

}  // extern "C"
