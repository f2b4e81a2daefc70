// Calls into modules: typed lines (parsed into input/margc/margv first) and
// the status queue. A module call never runs inside another one: btuinj
// only queues, and the embedder delivers one status at a time afterwards.
#include <cstring>

#include "server/core/core_state.h"
#include "server/core/host_core.h"

char input[host::kInputSize];
int margc = 0;
// One slot more than kMaxWords so margv[margc] is always a valid "".
char* margv[host::kMaxWords + 1];
int status = 0;

namespace host {
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

int deliver_next_status_except(const std::function<bool(int)>& held) {
    if (refuse_nested("deliver_next_status")) return -1;
    auto& c = detail::core();
    int count = static_cast<int>(c.channels.size());
    for (int step = 0; step < count; ++step) {
        int ch = (c.next_status_channel + step) % count;
        auto& queue = c.channels[static_cast<size_t>(ch)].statuses;
        if (queue.empty() || (held && held(ch))) continue;
        int code = queue.front();
        queue.pop_front();
        auto& waiting = c.channels[static_cast<size_t>(ch)].hand_over_statuses;
        if (waiting > 0) --waiting;
        // The next delivery starts with the channel after this one.
        c.next_status_channel = (ch + 1) % count;
        call_status(ch, code);
        return ch;
    }
    return -1;
}

size_t pending_statuses() {
    size_t total = 0;
    for (const auto& ch : detail::core().channels)
        total += ch.statuses.size();
    return total;
}

size_t pending_statuses(int channel) {
    auto* ch = detail::find_channel(channel, "pending_statuses");
    return ch ? ch->statuses.size() : 0;
}

void drop_statuses(int channel) {
    if (auto* ch = detail::find_channel(channel, "drop_statuses")) {
        ch->statuses.clear();
        ch->hand_over_statuses = 0;
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
    if (auto* ch = host::detail::find_channel(channel, "btuinj")) ch->statuses.push_back(code);
}

}  // extern "C"
