// Delivers the statuses modules queue (btuinj) fairly and cheaply. The host
// core delivers round-robin over the channels, so a long or looping script
// never holds up another user. What stays is the cost of a script that
// waits (/WAIT: re-queues its status every call without showing anything):
// once a channel's deliveries have produced no output many times in a row,
// and no channel with work queued does better, deliveries pause for a
// moment and the server sleeps in poll() meanwhile.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace frontend {

class StatusPump {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kQuietStreak = 20;  // silent deliveries before a channel may wait
    static constexpr std::chrono::milliseconds kQuietDelay{100};

    // A channel whose terminal already has this much output waiting gets
    // no statuses until it drains, so that a looping script keeps pace with
    // a slow reader instead of filling its queue.
    static constexpr size_t kHoldOutput = 64 * 1024;

    // Says whether a channel's statuses wait for its output to drain.
    void set_hold(std::function<bool(int channel)> held) { held_ = std::move(held); }

    // Output reached `channel` (call from the host's output sink).
    void note_output(int channel);
    // The user typed: whatever their channel does next is worth doing now.
    void note_input(int channel);
    void forget(int channel);

    // Delivers up to `budget` statuses that are due. Returns how long the
    // caller may sleep before the next one is due: zero when more are due
    // now, nothing when none is queued for a channel that is not held.
    std::optional<Clock::duration> run(int budget, Clock::time_point now);

  private:
    bool quiet(int channel) const;
    bool held(int channel) const { return held_ && held_(channel); }
    void deliver_one();
    int& streak(int channel);

    std::vector<int> streaks_;   // silent deliveries in a row, per channel
    unsigned long outputs_ = 0;  // output events so far, to tell a silent delivery
    Clock::time_point resume_at_{};
    std::function<bool(int)> held_;
};

}  // namespace frontend
