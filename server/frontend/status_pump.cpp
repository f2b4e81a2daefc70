// Fair, cheap delivery of queued statuses: the host core keeps the order
// and the sleeping channels; the pump adds the hold on slow readers and
// tells the loop when the next status is due.
#include "server/frontend/status_pump.h"

#include "server/core/host_core.h"

namespace frontend {

void StatusPump::note_output(int channel) {
    host::wake_statuses(channel);
}

void StatusPump::note_input(int channel) {
    host::wake_statuses(channel);
}

std::optional<StatusPump::Clock::duration> StatusPump::run(int budget, Clock::time_point) {
    for (int done = 0; done < budget;) {
        if (const int channel = host::deliver_next_status_except(held_); channel >= 0) {
            if (delivered_) delivered_(channel);
            // The rest of the channel's turn: its script runs on while its
            // files and area are fresh, and its output goes out together.
            for (int turn = 1; ++done < budget && turn < kTurn; ++turn) {
                if ((held_ && held_(channel)) || !host::deliver_status_on(channel)) break;
                if (delivered_) delivered_(channel);
            }
            continue;
        }
        // Nothing due: a held channel waits for its output to drain (the
        // loop hears of that), a sleeping one for the clock's next second.
        if (host::sleeping_channels() == 0) return std::nullopt;
        return host::clock_until_next_second();
    }
    return Clock::duration::zero();
}

}  // namespace frontend
