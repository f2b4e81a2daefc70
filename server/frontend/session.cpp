// Sign-on, the realm list, and routing typed lines to the current module.
#include "server/frontend/session.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>

#include "game/game.h"
#include "include/host_interface.h"
#include "server/accounts/rule_clock.h"
#include "server/core/host_core.h"
#include "server/frontend/log_lines.h"
#include "server/host_api.h"

namespace frontend {
namespace {

constexpr const char* kLogFile = "IGMHOST.LOG";
constexpr size_t kLogTailLines = 20;

}  // namespace

Session::Session(int channel, std::unique_ptr<Connection> connection,
                 accounts::SignOnContext& accounts)
    : last_input(rules::now()),
      channel_(channel),
      connection_(std::move(connection)),
      accounts_(accounts) {}

size_t Session::line_limit(size_t max_line) const {
    size_t dialog_limit = dialog_ ? dialog_->line_limit() : 0;
    if (dialog_limit > 0 && dialog_limit < max_line) return dialog_limit;
    int module_limit = host::user(channel_).input_limit;
    if (module_limit > 0 && static_cast<size_t>(module_limit) < max_line) return module_limit;
    return max_line;
}

void Session::greet() {
    write(
        "\n\x1b[1;32mFar Reaches\x1b[0;32m -- the realms of K-VORN and their far "
        "places.\x1b[0m\n\n");
    dialog_ = std::make_unique<accounts::SignOn>(accounts_, channel_, connection_->describe(),
                                                 [this](std::string_view text) { write(text); });
    stage_ = Stage::signing_on;
    dialog_->ask_name();
}

bool Session::sign_on_console(std::string* error) {
    console_ = true;
    accounts::Account account;
    if (!accounts::console_account(*accounts_.db, &account, error)) return false;
    std::string last_on = accounts::last_on_line(account);
    accounts_.db->record_sign_on(account.id, rules::wall_now(), "console", "");
    dialog_ = std::make_unique<accounts::SignOn>(accounts_, channel_, "console",
                                                 [this](std::string_view text) { write(text); });
    if (account.hash.empty())
        last_on += "\n(No password is set for " + account.name + ": P sets one.)";
    signed_on_as(account, last_on);
    return true;
}

void Session::handle_line(const std::string& line) {
    switch (stage_) {
        case Stage::signing_on:
        case Stage::changing_password:
            after_dialog(dialog_->line(line));
            break;
        case Stage::realm:
            take_realm(line);
            break;
        case Stage::playing:
            route_to_module(line);
            break;
        case Stage::sysop:
            sysop_line(line);
            break;
        case Stage::spying:
            desk_->spy(-1);
            show_sysop_screen();
            break;
        case Stage::stopping:
            stop_answer(line);
            break;
        case Stage::closing:
            break;
    }
}

void Session::hash_result(const accounts::HashResult& result) {
    if (dialog_ && (stage_ == Stage::signing_on || stage_ == Stage::changing_password)) {
        after_dialog(dialog_->result(result));
    }
}

void Session::retry() {
    if (stage_ == Stage::signing_on || stage_ == Stage::changing_password) {
        after_dialog(dialog_->retry());
    }
}

void Session::after_dialog(accounts::SignOn::Outcome outcome) {
    using Outcome = accounts::SignOn::Outcome;
    if (outcome == Outcome::hang_up) {
        close_with(dialog_->farewell(), dialog_->reason());
    } else if (outcome == Outcome::done && stage_ == Stage::signing_on) {
        signed_on_as(dialog_->account(), dialog_->last_on());
    } else if (outcome == Outcome::done) {
        account_ = dialog_->account();
        show_realms();
    }
    connection_->set_hidden(stage_ != Stage::closing && dialog_->secret());
}

void Session::signed_on_as(const accounts::Account& signed_on, const std::string& last_on) {
    account_ = signed_on;
    name_ = account_.name;
    host::Account& account = host::account(channel_);
    account.name = name_;
    account.shared.age = static_cast<uint8_t>(account_.age);
    account.keys = account_.keys;
    host::user(channel_).online = true;
    if (!account_.colour) connection_->set_colour(false);
    host::log("%s: signed on%s", who(channel_, name_).c_str(),
              account.keys.empty() ? "" : " (with access keys)");
    write("Welcome, " + name_ + "!\n" + last_on + "\n");
    show_realms();
}

void Session::show_realms() {
    stage_ = Stage::realm;
    write("\nThe realms of K-VORN:\n");
    for (int i = 0; i < game::kInstanceCount; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "  %d) %s\n", i + 1,
                      std::string(game::instance_title(i)).c_str());
        write(line);
    }
    write("  W) Who is on\n");
    if (console_ && desk_ != nullptr) write("  S) Sysop console\n");
    write(std::string("  C) Colour: ") + (connection_->colour() ? "on" : "off") + "\n");
    write(console_ ? "  P) Set your password\n  G) Goodbye (stops igmhost)\nYour choice: "
                   : "  P) Change your password\n  G) Goodbye\nYour choice: ");
}

void Session::take_realm(std::string_view typed) {
    while (!typed.empty() && typed.front() == ' ')
        typed.remove_prefix(1);
    while (!typed.empty() && typed.back() == ' ')
        typed.remove_suffix(1);
    if (typed.size() == 1 && typed[0] >= '1' && typed[0] < '1' + game::kInstanceCount) {
        int instance = typed[0] - '1';
        stage_ = Stage::playing;
        realm_ = instance;
        host::log("%s: enters %s", who(channel_, name_).c_str(),
                  std::string(game::instance_name(instance)).c_str());
        game::enter(channel_, instance, name_);
        if (host::user(channel_).shared.current_module == 0) show_realms();
        return;
    }
    if (typed == "P" || typed == "p") {
        stage_ = Stage::changing_password;
        dialog_->change_password(account_, !console_);
        connection_->set_hidden(dialog_->secret());
        return;
    }
    if (typed == "W" || typed == "w") {
        show_callers();
        show_realms();
        return;
    }
    if (typed == "C" || typed == "c") {
        // Kept with the account, for every later call.
        account_.colour = !connection_->colour();
        connection_->set_colour(account_.colour);
        if (accounts_.db->set_colour(account_.id, account_.colour) != accounts::DbStatus::ok)
            host::log("%s: cannot store the colour choice", who(channel_, name_).c_str());
        show_realms();
        return;
    }
    if (console_ && desk_ != nullptr && (typed == "S" || typed == "s")) {
        show_sysop_screen();
        return;
    }
    if (console_ && (typed == "G" || typed == "g" || typed == "Q" || typed == "q")) {
        ask_stop();
        return;
    }
    if (typed == "G" || typed == "g" || typed == "Q" || typed == "q") {
        close_with("Farewell, " + name_ + "!\n", "said goodbye");
        return;
    }
    if (!typed.empty()) write("Please choose 1, 2, 3, W, C, P or G.\n");
    show_realms();
}

void Session::route_to_module(const std::string& line) {
    int result = host::type_line(channel_, line);
    host_user& user = host::user(channel_).shared;
    bool in_module = user.current_module != 0 && !game::is_game_module(user.current_module);
    if (result <= 0 && in_module) {
        // The module gave the user up: show what it had to say, then the
        // game takes the player back.
        host::select_channel(channel_);
        outprf(channel_);
        clrmlt();
        host::log("%s: given up by module %d", who(channel_, name_).c_str(), user.current_module);
        game::take_back(channel_);
    }
    if (user.current_module == 0) show_realms();
}

namespace {

// The last `count` lines of the log file in the world folder (the log of
// igmhost run with --console on a terminal), or a line saying where it is.
std::string log_tail(size_t count) {
    std::ifstream in(kLogFile);
    if (!in) return "The log goes to standard error, not to " + std::string(kLogFile) + ".\n";
    std::deque<std::string> last;
    for (std::string line; std::getline(in, line);) {
        last.push_back(printable(line, 79));
        if (last.size() > count) last.pop_front();
    }
    std::string text;
    for (const std::string& line : last)
        text += line + "\n";
    return text;
}

}  // namespace

void Session::ask_stop() {
    if (stage_ == Stage::stopping || stage_ == Stage::closing) return;
    int callers = desk_ != nullptr ? desk_->callers_on() : 0;
    if (callers == 0) {
        stop_server_ = true;
        close_with("Farewell, " + name_ + "!\n", "said goodbye");
        return;
    }
    if (stage_ == Stage::spying) desk_->spy(-1);
    before_stop_ = stage_ == Stage::spying ? Stage::sysop : stage_;
    stage_ = Stage::stopping;
    write("\nStop igmhost with " + std::to_string(callers) + " caller" + (callers == 1 ? "" : "s") +
          " on? [y/N] ");
}

void Session::stop_answer(std::string_view typed) {
    if (typed == "Y" || typed == "y") {
        stop_server_ = true;
        close_with("Farewell, " + name_ + "!\n", "stopped igmhost");
        return;
    }
    stage_ = before_stop_;
    write("igmhost keeps running.\n");
    if (stage_ == Stage::realm) show_realms();
    if (stage_ == Stage::sysop) show_sysop_screen();
}

void Session::show_sysop_screen() {
    stage_ = Stage::sysop;
    write("\nSysop console:\n" + desk_->callers_table() +
          "  W) Who is on   L) Log tail   S n) Spy on channel n   H n) Hang up channel n\n"
          "  M n text) Message (M * text: to all)   G) Stop igmhost   Q) Realm list\n"
          "Sysop: ");
}

// One command of the sysop screen: a letter, then a channel, then text.
void Session::sysop_line(std::string_view typed) {
    while (!typed.empty() && typed.front() == ' ')
        typed.remove_prefix(1);
    char key = typed.empty() ? ' ' : static_cast<char>(std::toupper(typed[0]));
    std::string_view rest = typed.substr(typed.empty() ? 0 : 1);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    int channel = -1;
    bool everyone = !rest.empty() && rest.front() == '*';
    size_t digits = 0;
    while (digits < rest.size() && digits < 4 && rest[digits] >= '0' && rest[digits] <= '9')
        channel = (channel < 0 ? 0 : channel * 10) + (rest[digits++] - '0');
    std::string_view text = rest.substr(everyone ? 1 : digits);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (key == 'Q') {
        show_realms();
        return;
    }
    if (key == 'G') {
        ask_stop();
        return;
    }
    if (key == 'L') {
        write(log_tail(kLogTailLines));
        show_sysop_screen();
        return;
    }
    if (key == 'S' && desk_->spy(channel)) {
        stage_ = Stage::spying;
        write("Watching channel " + std::to_string(channel) + "; Enter ends.\n");
        return;
    }
    if (key == 'M' && !text.empty() && desk_->message(everyone ? -1 : channel, std::string(text)))
        write("Sent.\n");
    else if (key == 'H' && desk_->hang_up_caller(channel))
        write("Hung up channel " + std::to_string(channel) + ".\n");
    else if (key != 'W' && key != ' ')
        write("No such caller or command.\n");
    show_sysop_screen();
}

std::string Session::where() const {
    if (stage_ == Stage::sysop || stage_ == Stage::spying) return "at the sysop console";
    if (stage_ != Stage::playing) return "at the realm list";
    std::string realm = realm_ >= 0 ? std::string(game::instance_title(realm_)) : "a realm";
    int module = host::user(channel_).shared.current_module;
    if (module == 0 || game::is_game_module(module)) return "in " + realm;
    const host::Module* m = host::module(module);
    return "in " + (m != nullptr ? m->name : std::string("a module")) + " (from " + realm + ")";
}

void Session::show_callers() {
    std::vector<host_api::Caller> callers = host_api::callers_on();
    write("\nWho is on:\n");
    for (const host_api::Caller& c : callers) {
        char line[80];
        std::snprintf(line, sizeof line, "  %-20.20s %.55s\n", c.name.c_str(), c.where.c_str());
        write(line);
    }
}

void Session::close_with(std::string_view text, std::string reason) {
    if (stage_ == Stage::closing) return;
    write(text);
    stage_ = Stage::closing;
    close_reason_ = std::move(reason);
    close_deadline = Clock::now() + std::chrono::seconds(2);
    connection_->set_hidden(false);
}

void release_channel(int channel) {
    host::drop_statuses(channel);
    host::UserRecord& user = host::user(channel);
    user.shared.current_module = 0;
    user.shared.substate = 0;
    user.online = false;
    user.input_limit = 0;
    user.xon = user.xoff = 0;
    host::Account& account = host::account(channel);
    account.name.clear();
    account.keys.clear();
    account.shared.age = 0;
    if (char* area = host::user_area(channel)) std::memset(area, 0, host::user_area_size());
    game::forget(channel);
    char hand_off[32];
    std::snprintf(hand_off, sizeof hand_off, "TEMP%d.TMP", channel);
    std::remove(hand_off);
}

}  // namespace frontend
