// One channel's user from connection to hang-up: the sign-on ("Name: ",
// the age of a new name), the list of realms (the three instances of the
// game), and then every typed line routed to the user's current module
// through the host core.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/frontend/connection.h"

namespace frontend {

using Clock = std::chrono::steady_clock;

class Session {
  public:
    enum class Stage { name, age, realm, playing, closing };

    // `in_use(name)` tells whether another channel has that name signed on.
    Session(int channel, std::unique_ptr<Connection> connection,
            std::function<bool(std::string_view)> in_use);

    // A telnet caller: the greeting and the name prompt.
    void greet();
    // The console: signed on at once as the sysop ("Sysop" of ACCOUNTS.TXT,
    // or a built-in one holding the SYSOP key when the file has none).
    void sign_on_console();

    // Handles one typed line according to the stage.
    void handle_line(const std::string& line);
    // Sends `text` and then closes the connection, logging `reason`.
    void close_with(std::string_view text, std::string reason);

    int channel() const { return channel_; }
    Connection& connection() { return *connection_; }
    Stage stage() const { return stage_; }
    const std::string& name() const { return name_; }
    bool signed_on() const { return stage_ == Stage::realm || stage_ == Stage::playing; }
    bool is_console() const { return console_; }
    // The console's user said goodbye: igmhost is to stop.
    bool wants_server_stop() const { return stop_server_; }
    const std::string& close_reason() const { return close_reason_; }

    Clock::time_point last_input;  // for the idle timeout
    size_t typed_seen = 0;         // typed_bytes() of the connection at the last look
    bool terminal_type_logged = false;
    Clock::time_point close_deadline;  // while closing: give up flushing then

    // The longest line the user may type now: --max-line, or the module's
    // btumil limit when that is smaller.
    size_t line_limit(size_t max_line) const;

  private:
    void ask_name();
    void take_name(std::string_view typed);
    void take_age(std::string_view typed);
    void signed_on_as(std::string name, int age, std::vector<std::string> keys);
    void show_realms();
    void take_realm(std::string_view typed);
    void route_to_module(const std::string& line);
    void write(std::string_view text) { connection_->write_text(text); }

    int channel_;
    std::unique_ptr<Connection> connection_;
    std::function<bool(std::string_view)> in_use_;
    Stage stage_ = Stage::name;
    std::string name_;  // signed on, or the new name being asked for its age
    bool console_ = false;
    bool stop_server_ = false;
    std::string close_reason_;
};

// Frees a channel whose user is gone: its queued statuses are dropped, its
// host user record, account and per-user area reset, the game forgets it,
// and a hand-off file left for it is removed. Whatever the modules stored
// in their files stays.
void release_channel(int channel);

}  // namespace frontend
