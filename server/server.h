// igmhost's server: one poll() loop on one thread serving telnet callers
// and, with --console, the terminal. Typed lines go to each user's current
// module through the host core; queued statuses are delivered between reads.
#pragma once

#include <poll.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
    // poll() (sleeping until there is something to do, at most a second)
    // and what it found. False once the server is stopping.
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
    bool descriptors_short(bool out_already);
    void accept_callers();
    // The Unix socket `igmhost console` attaches to, readable only by its owner.
    bool open_attach_socket(std::string* error);
    void accept_attached_console();
    void read_from(frontend::Session& s);
    void hang_up(int channel, const std::string& reason);
    bool hand_over_pending(int channel) const;
    int free_channel() const;  // first free caller channel, -1 when all are busy
    void greet_settled(Clock::time_point now);
    void take_lines(Clock::time_point now);
    void send_output(Clock::time_point now);
    int poll_timeout(Clock::time_point now, std::optional<Clock::duration> status_wait);
    // True when the loop is to stop (Ctrl-C at the console only asks).
    bool take_wake_bytes();

    // The console's sysop screen (frontend::SysopDesk).
    int callers_on() override;
    std::string callers_table() override;
    bool message(int channel, const std::string& text) override;
    bool hang_up_caller(int channel) override;
    bool spy(int channel) override;
    frontend::Session* caller(int channel);  // a telnet caller's session, or nullptr

    frontend::Options options_;
    int wake_pipe_[2] = {-1, -1};
    frontend::Listener listener_;
    std::vector<std::unique_ptr<frontend::Session>> sessions_;
    frontend::StatusPump pump_;
    accounts::AccountServices accounts_;
    frontend::ScriptFailureWatch script_failures_;
    std::atomic<bool> stopping_ = false;
    bool descriptors_short_ = false;  // callers wait: too few descriptors free
    std::vector<pollfd> fds_;         // this round's poll set, kept for its capacity
    std::vector<int> channel_of_;     // channel of each fds_ entry after the fixed ones
    int attach_fd_ = -1;              // listening Unix socket for `igmhost console`
    int spied_ = -1;                  // the channel whose output the console also shows
};

}  // namespace server
