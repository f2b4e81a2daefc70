// Sign-on, the realm list, and routing typed lines to the current module.
#include "server/frontend/session.h"

#include <cstdio>
#include <cstring>

#include "game/game.h"
#include "include/host_interface.h"
#include "server/core/host_core.h"
#include "server/frontend/accounts.h"
#include "server/frontend/log_lines.h"

namespace frontend {
namespace {

constexpr const char* kSysopName = "Sysop";
constexpr const char* kSysopKey = "SYSOP";
constexpr int kSysopAge = 40;

}  // namespace

Session::Session(int channel, std::unique_ptr<Connection> connection,
                 std::function<bool(std::string_view)> in_use)
    : last_input(Clock::now()),
      channel_(channel),
      connection_(std::move(connection)),
      in_use_(std::move(in_use)) {}

size_t Session::line_limit(size_t max_line) const {
    int module_limit = host::user(channel_).input_limit;
    if (module_limit > 0 && static_cast<size_t>(module_limit) < max_line) return module_limit;
    return max_line;
}

void Session::greet() {
    write(
        "\n\x1b[1;32mFar Reaches\x1b[0;32m -- the realms of K-VORN and their far "
        "places.\x1b[0m\n\n");
    ask_name();
}

void Session::ask_name() {
    stage_ = Stage::name;
    write("Name: ");
}

void Session::sign_on_console() {
    console_ = true;
    if (auto account = find_account(kSysopName)) {
        signed_on_as(account->name, account->age, account->keys);
    } else {
        host::log("console: %s has no %s; the console signs on with the %s key", kAccountsFile,
                  kSysopName, kSysopKey);
        signed_on_as(kSysopName, kSysopAge, {kSysopKey});
    }
}

void Session::handle_line(const std::string& line) {
    switch (stage_) {
        case Stage::name:
            take_name(line);
            break;
        case Stage::age:
            take_age(line);
            break;
        case Stage::realm:
            take_realm(line);
            break;
        case Stage::playing:
            route_to_module(line);
            break;
        case Stage::closing:
            break;
    }
}

void Session::take_name(std::string_view typed) {
    if (typed.find_first_not_of(' ') == std::string_view::npos) {
        ask_name();
        return;
    }
    auto name = clean_name(typed);
    if (!name) {
        write("A name is 1 to 20 letters, digits and blanks.\n");
        ask_name();
        return;
    }
    if (in_use_(*name)) {
        write(*name + " is already signed on.\n");
        ask_name();
        return;
    }
    if (auto account = find_account(*name)) {
        signed_on_as(account->name, account->age, account->keys);
        return;
    }
    name_ = *name;
    stage_ = Stage::age;
    write("A new name! How old are you (1-120)? ");
}

void Session::take_age(std::string_view typed) {
    auto age = parse_age(typed);
    if (!age) {
        write("Please type your age in years, from 1 to 120: ");
        return;
    }
    // Someone else may have taken the name while this user thought.
    if (find_account(name_) || in_use_(name_)) {
        write(name_ + " was taken a moment ago.\n");
        ask_name();
        return;
    }
    std::string error;
    if (!add_account({name_, *age, {}}, &error)) {
        host::log("%s: %s", who(channel_, name_).c_str(), error.c_str());
        write("Sorry, new accounts cannot be made just now.\n");
        ask_name();
        return;
    }
    host::log("%s: new account (age %d)", who(channel_, name_).c_str(), *age);
    signed_on_as(name_, *age, {});
}

void Session::signed_on_as(std::string name, int age, std::vector<std::string> keys) {
    name_ = std::move(name);
    host::Account& account = host::account(channel_);
    account.name = name_;
    account.shared.age = static_cast<uint8_t>(age);
    account.keys = std::move(keys);
    host::user(channel_).online = true;
    host::log("%s: signed on%s", who(channel_, name_).c_str(),
              account.keys.empty() ? "" : " (with access keys)");
    write("Welcome, " + name_ + "!\n");
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
    write(console_ ? "  G) Goodbye (stops igmhost)\nYour choice: " : "  G) Goodbye\nYour choice: ");
}

void Session::take_realm(std::string_view typed) {
    while (!typed.empty() && typed.front() == ' ')
        typed.remove_prefix(1);
    while (!typed.empty() && typed.back() == ' ')
        typed.remove_suffix(1);
    if (typed.size() == 1 && typed[0] >= '1' && typed[0] < '1' + game::kInstanceCount) {
        int instance = typed[0] - '1';
        stage_ = Stage::playing;
        host::log("%s: enters %s", who(channel_, name_).c_str(),
                  std::string(game::instance_name(instance)).c_str());
        game::enter(channel_, instance, name_);
        if (host::user(channel_).shared.current_module == 0) show_realms();
        return;
    }
    if (typed == "G" || typed == "g" || typed == "Q" || typed == "q") {
        if (console_) stop_server_ = true;
        close_with("Farewell, " + name_ + "!\n", "said goodbye");
        return;
    }
    if (!typed.empty()) write("Please choose 1, 2, 3 or G.\n");
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

void Session::close_with(std::string_view text, std::string reason) {
    if (stage_ == Stage::closing) return;
    write(text);
    stage_ = Stage::closing;
    close_reason_ = std::move(reason);
    close_deadline = Clock::now() + std::chrono::seconds(2);
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
