// Delivers the statuses modules queue (btuinj) fairly and cheaply. The host
// core delivers round-robin over the channels with statuses, so a long or
// looping script never holds up another user (the pump gives each turn up
// to kTurn statuses in a row), and it lets a script that
// waits for the clock (/WAIT:) sleep until the next second: the loop sleeps
// meanwhile, and waiting users cost one call a second each.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

namespace frontend {

class StatusPump {
  public:
    using Clock = std::chrono::steady_clock;

    // A channel whose terminal already has this much output waiting gets
    // no statuses until it drains, so that a looping script keeps pace with
    // a slow reader instead of filling its queue.
    static constexpr size_t kHoldOutput = 64 * 1024;
    // Statuses a channel may have in a row when its turn comes.
    static constexpr int kTurn = 4;

    // Says whether a channel's statuses wait for its output to drain.
    void set_hold(std::function<bool(int channel)> held) { held_ = std::move(held); }
    // Called after each status delivered, with its channel.
    void set_delivered(std::function<void(int channel)> delivered) {
        delivered_ = std::move(delivered);
    }

    // Output reached `channel` (call from the host's output sink), or the
    // user typed: a status sleeping there is due now.
    void note_output(int channel);
    void note_input(int channel);
    // The channel's user is gone (the core has dropped its statuses).
    void forget(int) {}

    // Delivers up to `budget` statuses that are due. Returns how long the
    // caller may sleep before the next one is due: zero when more are due
    // now, nothing when none is queued for a channel that is not held and
    // none sleeps.
    std::optional<Clock::duration> run(int budget, Clock::time_point now);

  private:
    std::function<bool(int)> held_;
    std::function<void(int)> delivered_;
};

}  // namespace frontend
