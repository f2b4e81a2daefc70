// One channel's user from connection to hang-up: the sign-on (the account
// dialogs of server/accounts), the list of realms (the three instances of
// the game), and then every typed line routed to the user's current module
// through the host core.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/accounts/signon.h"
#include "server/frontend/connection.h"

namespace frontend {

using Clock = std::chrono::steady_clock;

// What the console's sysop screen asks of the server.
class SysopDesk {
  public:
    virtual ~SysopDesk() = default;
    virtual int callers_on() = 0;  // telnet callers connected
    // One line a caller: channel, name, address, where, idle, connected for.
    virtual std::string callers_table() = 0;
    // A line to one caller, or to every caller for channel -1; false when
    // there is no such caller.
    virtual bool message(int channel, const std::string& text) = 0;
    virtual bool hang_up_caller(int channel) = 0;
    // The console shows what `channel` is sent until spy(-1).
    virtual bool spy(int channel) = 0;
};

class Session {
  public:
    enum class Stage {
        signing_on,
        realm,
        changing_password,
        playing,
        sysop,     // the console's sysop screen
        spying,    // the console watches a caller; a line ends it
        stopping,  // the console is asked whether igmhost is to stop
        closing
    };

    Session(int channel, std::unique_ptr<Connection> connection, accounts::SignOnContext& accounts);

    // A telnet caller: the greeting and the name prompt.
    void greet();
    // The console: signed on at once, without a password, as the sysop
    // (accounts::console_account). False with *error when it cannot be.
    bool sign_on_console(std::string* error);

    // Greeted (or signed on at the console): typed lines may be handled.
    bool greeted() const { return dialog_ != nullptr; }
    // The console's sysop screen works through `desk`.
    void set_desk(SysopDesk* desk) { desk_ = desk; }
    // Ctrl-C at the console: asks whether igmhost is to stop.
    void ask_stop();
    // Handles one typed line according to the stage.
    void handle_line(const std::string& line);
    // Typed lines must wait (a password is being checked): do not hand any.
    bool waiting() const { return dialog_ && dialog_->waiting(); }
    // A password hash this session may be waiting for.
    void hash_result(const accounts::HashResult& result);
    // A step the busy database held up: run it again now.
    bool needs_retry() const { return dialog_ && dialog_->needs_retry(); }
    void retry();
    // Sends `text` and then closes the connection, logging `reason`.
    void close_with(std::string_view text, std::string reason);

    int channel() const { return channel_; }
    Connection& connection() { return *connection_; }
    Stage stage() const { return stage_; }
    const std::string& name() const { return name_; }
    bool signed_on() const { return stage_ != Stage::signing_on && stage_ != Stage::closing; }
    Clock::time_point connected_at = Clock::now();
    bool is_console() const { return console_; }
    // Where a signed-on user is, for "who is on": "at the realm list", "in
    // The Vale of Vorn", "in ZMB_VORN (from The Vale of Vorn)".
    std::string where() const;
    // The console's user said goodbye: igmhost is to stop.
    bool wants_server_stop() const { return stop_server_; }
    const std::string& close_reason() const { return close_reason_; }

    Clock::time_point last_input;  // for the idle timeout (rules::now())
    bool idle_warned = false;      // told that the idle cut is a minute away
    size_t typed_seen = 0;         // typed_bytes() of the connection at the last look
    bool terminal_type_logged = false;
    Clock::time_point close_deadline;  // while closing: give up flushing then

    // The longest line the user may type now: --max-line, or the module's
    // btumil limit when that is smaller.
    size_t line_limit(size_t max_line) const;

  private:
    void after_dialog(accounts::SignOn::Outcome outcome);
    void signed_on_as(const accounts::Account& account, const std::string& last_on);
    void show_realms();
    void take_realm(std::string_view typed);
    void route_to_module(const std::string& line);
    void show_callers();
    void show_sysop_screen();
    void sysop_line(std::string_view typed);
    void stop_answer(std::string_view typed);
    void write(std::string_view text) { connection_->write_text(text); }

    int channel_;
    std::unique_ptr<Connection> connection_;
    accounts::SignOnContext& accounts_;
    std::unique_ptr<accounts::SignOn> dialog_;  // sign-on and password change
    accounts::Account account_;                 // once signed on
    Stage stage_ = Stage::signing_on;
    std::string name_;  // signed on
    bool console_ = false;
    int realm_ = -1;  // the game instance entered last
    SysopDesk* desk_ = nullptr;
    Stage before_stop_ = Stage::realm;  // where the stop question came from
    bool stop_server_ = false;
    std::string close_reason_;
};

// Frees a channel whose user is gone: its queued statuses are dropped, its
// host user record, account and per-user area reset, the game forgets it,
// and a hand-off file left for it is removed. Whatever the modules stored
// in their files stays.
void release_channel(int channel);

}  // namespace frontend
