// igmhost's server: one epoll loop on one thread serving telnet callers
// and, with --console, the terminal. Typed lines go to each user's current
// module through the host core; queued statuses are delivered between reads.
// A round costs what the sessions with work cost, not what all of them do.
#pragma once

#include <sys/epoll.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <queue>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/accounts/rule_clock.h"
#include "server/accounts/services.h"
#include "server/frontend/charset.h"
#include "server/frontend/options.h"
#include "server/frontend/script_reports.h"
#include "server/frontend/session.h"
#include "server/frontend/status_pump.h"
#include "server/frontend/telnet.h"

namespace server {

// The host core, the game and the module find their files relative to the
// working directory: this makes `world` the working directory. False with
// the reason in *error when it cannot.
bool enter_world(const std::string& world, std::string* error);

// The host core is one per process, so there is one Server at a time.
//
// Driving it:
//     auto server = Server::make(options, &error);  // in the world folder
//     server->start(charset);      // channels, game, module, listener
//     server->run();               // or run_once() in a loop of one's own
//     server->shut_down();         // farewells, channels freed
// stop() may be called from another thread (or a test) while run() waits.
class Server : private frontend::SysopDesk {
  public:
    // A server for `options` with its wake pipe; nullptr with the reason in
    // *error when the pipe cannot be made.
    static std::unique_ptr<Server> make(frontend::Options options, std::string* error);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Everything up to the first poll: channels, the game, the module, the
    // listener and the console. False when igmhost cannot run; the reason
    // is logged and written to stderr.
    bool start(frontend::Charset console_charset);

    // One round: a typed line per user, due statuses, output, then one
    // epoll_wait() (sleeping until there is something to do, at most a
    // second) and what it found. False once the server is stopping.
    bool run_once();
    // Rounds until the server stops: a stop signal, the console's goodbye,
    // the console hanging up, or stop().
    void run();
    // Asks the loop to stop and wakes it. Safe from any thread.
    void stop();
    // Says goodbye to every user, frees their channels, restores the console.
    void shut_down();

    // The write end of the wake pipe: one byte wakes the loop and stops it
    // (a signal handler writes its signal's number).
    int wake_fd() const { return wake_pipe_[1]; }
    // The listener's port once started (the one taken when --port 0).
    int port() const { return listener_.port(); }
    bool stopping() const { return stopping_; }

  private:
    using Clock = frontend::Clock;

    // What the loop keeps for a channel besides its session: the work lists
    // it is on, what epoll watches for it and its earliest queued timers.
    // A list entry is a channel number; its flag here keeps it listed once.
    struct Seat {
        uint32_t serial = 0;         // the session's; events and timers of an older one are stale
        bool ready = false;          // on ready_: typed lines or an end of input to serve
        bool settling = false;       // on settling_: a caller's terminal may have settled
        bool dirty = false;          // on dirty_: output to send or a close to finish
        bool output_waits = false;   // the terminal took less than it was sent
        bool held = false;           // its lines wait for a hand-over's statuses (off ready_)
        uint32_t events = 0;         // epoll events watched on the read descriptor
        bool write_watched = false;  // a write descriptor of its own is in the epoll set
        Clock::time_point timer_at = Clock::time_point::max();  // earliest on timers_
        Clock::time_point idle_at = Clock::time_point::max();   // earliest on idle_timers_
        // Since when output has been held back for its script (batch_output).
        Clock::time_point batch_since = Clock::time_point::max();
    };
    struct Timer {
        Clock::time_point when;
        int channel;
        uint32_t serial;
        bool operator>(const Timer& other) const { return when > other.when; }
    };
    using TimerHeap = std::priority_queue<Timer, std::vector<Timer>, std::greater<>>;

    explicit Server(frontend::Options options) : options_(std::move(options)) {}

    int first_telnet_channel() const { return options_.console ? 1 : 0; }
    frontend::Session* session(int channel) {
        return channel >= 0 && channel < static_cast<int>(sessions_.size())
                   ? sessions_[channel].get()
                   : nullptr;
    }
    // The channel other than `asking` on which `name` is signed on, or -1.
    int name_holder(int asking, std::string_view name);
    int idle_limit(const frontend::Session& s) const;
    void check_idle(frontend::Session& s, rules::Clock::time_point now);
    void take_hash_results();
    bool refused_by_limits(int fd, const std::string& peer);
    void add_session(int channel, std::unique_ptr<frontend::Connection> connection);
    // Forgets the session on `channel` and frees the channel.
    void remove_session(int channel);
    bool descriptors_short(bool out_already);
    void accept_callers();
    // The Unix socket `igmhost console` attaches to, readable only by its owner.
    bool open_attach_socket(std::string* error);
    void accept_attached_console();
    void read_from(frontend::Session& s);
    void hang_up(int channel, const std::string& reason);
    bool hand_over_pending(int channel) const;
    bool can_take_line(frontend::Session& s) const;
    int take_free_channel();  // the lowest free caller channel, -1 when all are busy
    void greet_settled(Clock::time_point now);
    void take_lines();
    void send_output(Clock::time_point now);
    bool batch_output(frontend::Session& s, Clock::time_point now);
    void run_timers();
    int wait_timeout(Clock::time_point now, std::optional<Clock::duration> status_wait);
    void handle_event(const epoll_event& event);
    void note_slow_round(Clock::time_point started,
                         std::initializer_list<std::pair<const char*, Clock::time_point>> parts);
    // True when the loop is to stop (Ctrl-C at the console only asks).
    bool take_wake_bytes();

    // -- the work lists, the timers and the epoll set --
    void status_delivered(int channel);
    void mark_ready(int channel);
    void mark_settling(int channel);
    void mark_dirty(int channel);
    // Whatever a call into a session may have changed: its output, its lines,
    // a retry the busy database asked for, its idle limit, what epoll watches.
    void after_call(frontend::Session& s);
    void set_timer(int channel, Clock::time_point when);
    void set_idle_timer(frontend::Session& s);
    void watch_events(frontend::Session& s);
    bool watch(int fd, uint32_t events, uint64_t token);

    // The console's sysop screen (frontend::SysopDesk).
    int callers_on() override;
    std::string callers_table() override;
    bool message(int channel, const std::string& text) override;
    bool hang_up_caller(int channel) override;
    bool spy(int channel) override;
    frontend::Session* caller(int channel);  // a telnet caller's session, or nullptr

    frontend::Options options_;
    int wake_pipe_[2] = {-1, -1};
    int epoll_fd_ = -1;
    frontend::Listener listener_;
    std::vector<std::unique_ptr<frontend::Session>> sessions_;
    std::vector<Seat> seats_;  // one per channel
    uint32_t last_serial_ = 0;
    // Free caller channels, lowest first.
    std::priority_queue<int, std::vector<int>, std::greater<>> free_channels_;
    std::unordered_map<std::string, int> calls_from_;  // telnet callers per address
    std::vector<int> ready_, settling_, dirty_;        // the work lists
    std::vector<int> work_;                            // the list being worked through
    TimerHeap timers_;       // settle deadlines, close deadlines, retries (steady clock)
    TimerHeap idle_timers_;  // idle warnings and cuts (the rules' clock)
    std::vector<epoll_event> events_ = std::vector<epoll_event>(256);
    frontend::StatusPump pump_;
    accounts::AccountServices accounts_;
    frontend::ScriptFailureWatch script_failures_;
    std::atomic<bool> stopping_ = false;
    bool descriptors_short_ = false;  // callers wait: too few descriptors free
    int attach_fd_ = -1;              // listening Unix socket for `igmhost console`
    int spied_ = -1;                  // the channel whose output the console also shows
};

}  // namespace server
