// Fair, cheap delivery of queued statuses.
#include "server/frontend/status_pump.h"

#include "include/host_interface.h"
#include "server/core/host_core.h"

namespace frontend {

int& StatusPump::streak(int channel) {
    if (channel >= static_cast<int>(streaks_.size())) streaks_.resize(channel + 1, 0);
    return streaks_[channel];
}

void StatusPump::note_output(int channel) {
    ++outputs_;
    if (channel >= 0) streak(channel) = 0;
}

void StatusPump::note_input(int channel) {
    if (channel >= 0) streak(channel) = 0;
    resume_at_ = {};
}

void StatusPump::forget(int channel) {
    if (channel >= 0) streak(channel) = 0;
}

bool StatusPump::quiet(int channel) const {
    return channel < static_cast<int>(streaks_.size()) && streaks_[channel] >= kQuietStreak;
}

// Round-robin over the channels, passing over the channels that are held.
void StatusPump::deliver_one() {
    unsigned long before = outputs_;
    int ch = host::deliver_next_status_except([this](int channel) { return held(channel); });
    if (ch >= 0 && outputs_ == before) ++streak(ch);
}

std::optional<StatusPump::Clock::duration> StatusPump::run(int budget, Clock::time_point now) {
    for (int done = 0; done < budget; ++done) {
        if (host::pending_statuses() == 0) return std::nullopt;
        int waiting = 0;
        bool all_quiet = true;
        for (int ch = 0; ch < host::channel_count(); ++ch) {
            if (host::pending_statuses(ch) == 0 || held(ch)) continue;
            ++waiting;
            all_quiet = all_quiet && quiet(ch);
        }
        // Only held channels have statuses: their output draining (a
        // POLLOUT) or new input wakes the caller.
        if (waiting == 0) return std::nullopt;
        if (!all_quiet) {
            deliver_one();
            continue;
        }
        // Only waiting scripts are queued: one delivery each, then a pause.
        if (now < resume_at_) return resume_at_ - now;
        for (int i = 0; i < waiting; ++i)
            deliver_one();
        resume_at_ = now + kQuietDelay;
        done += waiting - 1;
    }
    return Clock::duration::zero();
}

}  // namespace frontend
