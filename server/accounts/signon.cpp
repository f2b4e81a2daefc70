// The sign-on, account and password-change dialogs.
#include "server/accounts/signon.h"

#include <ctime>

#include "server/accounts/rule_clock.h"
#include "server/core/host_core.h"
#include "server/frontend/accounts.h"
#include "server/frontend/log_lines.h"

namespace accounts {
namespace {

constexpr int kWrongPasswordsPerCall = 3;
constexpr const char* kSysopName = "Sysop";
constexpr const char* kSysopKey = "SYSOP";
constexpr int kSysopAge = 40;

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::string last_on_line(const Account& account) {
    if (account.last_on == 0) return "Last on: first call";
    std::time_t when = static_cast<std::time_t>(account.last_on);
    std::tm local{};
    localtime_r(&when, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", &local);
    return "Last on: " + std::string(date) + " from " + account.last_from;
}

bool console_account(AccountDb& db, Account* out, std::string* error) {
    DbStatus status = db.find(kSysopName, out);
    if (status == DbStatus::ok && !out->retired) return true;
    if (status == DbStatus::missing) {
        Account sysop;
        sysop.name = kSysopName;
        sysop.age = kSysopAge;
        sysop.keys = {kSysopKey};
        sysop.created = rules::wall_now();
        if (db.create(sysop) == DbStatus::ok && db.find(kSysopName, out) == DbStatus::ok) {
            host::log("console: made the account %s with the %s key and no password", kSysopName,
                      kSysopKey);
            return true;
        }
    }
    *error = status == DbStatus::ok ? std::string(kSysopName) + " is retired"
                                    : "no account for the console: " + db.last_error();
    return false;
}

SignOn::SignOn(SignOnContext& context, int channel, const std::string& peer, Write write)
    : context_(context),
      channel_(channel),
      address_(peer == "console" ? peer : address_of(peer)),
      write_(std::move(write)) {}

SignOn::~SignOn() {
    wipe(first_);
    wipe(job_.password);
}

void SignOn::log(const std::string& what) const {
    host::log("%s: %s", frontend::who(channel_, account_.name).c_str(), what.c_str());
}

bool SignOn::secret() const {
    return step_ == Step::new_password || step_ == Step::confirm_password ||
           step_ == Step::password || step_ == Step::current_password;
}

size_t SignOn::line_limit() const {
    if (step_ == Step::name) return frontend::kMaxNameLength;
    // One more than the longest password, so that a longer one is refused
    // instead of being cut to fit.
    if (secret()) return kMaxPasswordLength + 1;
    return 0;
}

void SignOn::ask_name() {
    wipe(first_);
    account_ = Account{};
    goal_ = Goal::sign_on;
    step_ = Step::name;
    write_("Name: ");
}

void SignOn::change_password(const Account& account, bool ask_current) {
    account_ = account;
    goal_ = Goal::change;
    if (ask_current) {
        step_ = Step::current_password;
        write_("Current password: ");
    } else {
        ask_new_password();
    }
}

SignOn::Outcome SignOn::ask_new_password() {
    wipe(first_);
    step_ = Step::new_password;
    write_("Choose a password (4 to 64 characters): ");
    return Outcome::going_on;
}

bool SignOn::busy(DbStatus status, std::function<Outcome()> again) {
    if (status == DbStatus::busy) {
        retry_ = std::move(again);
        return true;
    }
    return false;
}

SignOn::Outcome SignOn::retry() {
    auto again = std::move(retry_);
    retry_ = nullptr;
    return again ? again() : Outcome::going_on;
}

SignOn::Outcome SignOn::line(std::string_view typed) {
    switch (step_) {
        case Step::name:
            return take_name(std::string(typed));
        case Step::confirm_create: {
            std::string_view answer = trim(typed);
            if (answer.empty() || answer == "y" || answer == "Y" || answer == "yes") {
                goal_ = Goal::create;
                return ask_new_password();
            }
            if (answer == "n" || answer == "N" || answer == "no") {
                ask_name();
                return Outcome::going_on;
            }
            write_("Create a new account for " + account_.name + "? [Y/n] ");
            return Outcome::going_on;
        }
        case Step::new_password: {
            auto password = password_for_hashing(typed);
            if (!password) {
                write_("A password is 4 to 64 printable characters.\n");
                return ask_new_password();
            }
            first_ = std::move(*password);
            step_ = Step::confirm_password;
            write_("Type it again: ");
            return Outcome::going_on;
        }
        case Step::confirm_password: {
            auto again = password_for_hashing(typed);
            bool same = again && *again == first_;
            if (again) wipe(*again);
            if (!same) {
                write_("The two passwords differ.\n");
                return ask_new_password();
            }
            if (goal_ == Goal::create) {
                step_ = Step::age;
                write_("How old are you (1-120)? ");
                return Outcome::going_on;
            }
            return hash_job(HashJob::Kind::hash, std::move(first_), "");
        }
        case Step::age: {
            auto age = frontend::parse_age(typed);
            if (!age) {
                write_("Please type your age in years, from 1 to 120: ");
                return Outcome::going_on;
            }
            account_.age = *age;
            return hash_job(HashJob::Kind::hash, std::move(first_), "");
        }
        case Step::password:
        case Step::current_password:
            return take_password(typed);
        case Step::hashing:
        case Step::idle:
            break;
    }
    return Outcome::going_on;
}

SignOn::Outcome SignOn::take_name(const std::string& typed) {
    if (trim(typed).empty()) {
        ask_name();
        return Outcome::going_on;
    }
    auto name = frontend::clean_name(typed);
    if (!name) {
        write_("A name is 1 to 20 letters, digits and blanks.\n");
        ask_name();
        return Outcome::going_on;
    }
    Account found;
    DbStatus status = context_.db->find(*name, &found);
    if (busy(status, [this, typed] { return take_name(typed); })) return Outcome::going_on;
    if (status == DbStatus::failed) {
        host::log("%s: accounts: %s", frontend::who(channel_, "").c_str(),
                  context_.db->last_error().c_str());
        return hang_up("Sorry, the accounts cannot be reached just now. Please call again later.\n",
                       "account database error");
    }
    if (status == DbStatus::missing) {
        if (!context_.limits->may_create(address_, rules::now())) {
            host::log("%s: new account refused: the limit of %d an hour from %s is reached",
                      frontend::who(channel_, "").c_str(),
                      context_.limits->options().new_accounts_per_hour, address_.c_str());
            write_("No more new accounts from your address for now. Please call again later.\n");
            ask_name();
            return Outcome::going_on;
        }
        account_ = Account{};
        account_.name = *name;
        step_ = Step::confirm_create;
        write_("Create a new account for " + *name + "? [Y/n] ");
        return Outcome::going_on;
    }
    if (found.retired) {
        write_(found.name + " is retired and cannot be used.\n");
        ask_name();
        return Outcome::going_on;
    }
    if (found.hash.empty()) {
        // No password yet: an imported account, or one made for the console.
        if (!found.keys.empty()) {
            host::log("%s: refused %s: it holds access keys and has no password yet",
                      frontend::who(channel_, "").c_str(), found.name.c_str());
            write_(found.name +
                   " holds access keys and has no password yet. The sysop sets it at the "
                   "console or with `igmhost accounts passwd`.\n");
            ask_name();
            return Outcome::going_on;
        }
        if (context_.claim_imported && found.imported) {
            account_ = found;
            goal_ = Goal::claim;
            write_(found.name + " has no password yet: choose one to claim the account.\n");
            return ask_new_password();
        }
        write_(found.name + " is locked until the sysop sets its password.\n");
        ask_name();
        return Outcome::going_on;
    }
    account_ = found;
    goal_ = Goal::sign_on;
    step_ = Step::password;
    write_("Password: ");
    return Outcome::going_on;
}

SignOn::Outcome SignOn::take_password(std::string_view typed) {
    auto password = password_for_hashing(typed);
    // A password no account can have is wrong without the cost of a hash.
    if (!password) return wrong_password();
    return hash_job(HashJob::Kind::verify, std::move(*password), account_.hash);
}

SignOn::Outcome SignOn::hash_job(HashJob::Kind kind, std::string password,
                                 const std::string& stored) {
    wipe(job_.password);
    job_.ticket = ticket_ = context_.worker->next_ticket();
    job_.channel = channel_;
    job_.kind = kind;
    job_.password = std::move(password);
    job_.stored = stored;
    step_ = Step::hashing;
    return submit();
}

SignOn::Outcome SignOn::submit() {
    // A full queue: try again shortly, the caller waits like any other.
    if (!context_.worker->submit(job_)) retry_ = [this] { return submit(); };
    return Outcome::going_on;
}

SignOn::Outcome SignOn::result(const HashResult& r) {
    if (step_ != Step::hashing || r.ticket != ticket_) return Outcome::going_on;
    step_ = Step::idle;
    bool verifying = job_.kind == HashJob::Kind::verify;
    if (verifying && goal_ == Goal::sign_on) {
        return r.ok ? finish_sign_on(r.hash) : wrong_password();
    }
    if (verifying) {  // the current password, before a change
        if (r.ok) return ask_new_password();
        log("password change refused: wrong current password");
        write_("Wrong password; your password stays as it was.\n");
        return Outcome::done;
    }
    if (!r.ok) {
        log("cannot hash a password (out of memory?)");
        write_("Sorry, that did not work. Please try again later.\n");
        if (goal_ == Goal::change) return Outcome::done;
        ask_name();
        return Outcome::going_on;
    }
    switch (goal_) {
        case Goal::create:
            return finish_create(r.hash);
        case Goal::claim:
            return finish_claim(r.hash);
        case Goal::change:
            return finish_change(r.hash);
        case Goal::sign_on:
            break;
    }
    return Outcome::going_on;
}

SignOn::Outcome SignOn::wrong_password() {
    ++failures_;
    rules::Clock::time_point now = rules::now();
    host::log("%s: wrong password for %s (%d in this call)", frontend::who(channel_, "").c_str(),
              account_.name.c_str(), failures_);
    if (context_.limits->note_failed_password(address_, now)) {
        host::log("%s: %s blocked for %d minutes after %d wrong passwords",
                  frontend::who(channel_, "").c_str(), address_.c_str(),
                  static_cast<int>(kBlockTime.count()),
                  context_.limits->options().failed_passwords);
        return hang_up("Too many wrong passwords from your address. Please try again later.\n",
                       "address blocked after wrong passwords");
    }
    if (failures_ >= kWrongPasswordsPerCall) {
        return hang_up("Wrong password. That was the third; goodbye.\n", "three wrong passwords");
    }
    step_ = Step::password;
    write_("Wrong password.\nPassword: ");
    return Outcome::going_on;
}

SignOn::Outcome SignOn::finish_sign_on(const std::string& new_hash) {
    DbStatus status =
        context_.db->record_sign_on(account_.id, rules::wall_now(), address_, new_hash);
    if (busy(status, [this, new_hash] { return finish_sign_on(new_hash); })) {
        return Outcome::going_on;
    }
    if (status == DbStatus::failed) {
        log("cannot record the sign-on: " + context_.db->last_error());
    } else if (!new_hash.empty()) {
        log("password hash renewed at the current cost");
    }
    last_on_ = last_on_line(account_);
    int other = context_.holder ? context_.holder(channel_, account_.name) : -1;
    if (other >= 0) {
        context_.end_call(other, "taken over by a new call from " + address_);
        write_("Your earlier call has been ended.\n");
    }
    return Outcome::done;
}

SignOn::Outcome SignOn::finish_create(const std::string& hash) {
    Account made = account_;
    made.hash = hash;
    made.created = made.last_on = rules::wall_now();
    made.last_from = address_;
    made.calls = 1;
    DbStatus status = context_.db->create(made);
    if (busy(status, [this, hash] { return finish_create(hash); })) return Outcome::going_on;
    if (status != DbStatus::ok) {
        if (status == DbStatus::taken) {
            write_(made.name + " was taken a moment ago.\n");
        } else {
            log("cannot make the account: " + context_.db->last_error());
            write_("Sorry, new accounts cannot be made just now.\n");
        }
        ask_name();
        return Outcome::going_on;
    }
    context_.limits->note_created(address_, rules::now());
    account_ = made;
    log("new account (age " + std::to_string(made.age) + ")");
    last_on_ = last_on_line(Account{});
    return Outcome::done;
}

SignOn::Outcome SignOn::finish_claim(const std::string& hash) {
    DbStatus status = context_.db->set_password(account_.name, hash);
    if (busy(status, [this, hash] { return finish_claim(hash); })) return Outcome::going_on;
    if (status != DbStatus::ok) {
        log("cannot claim the account: " + context_.db->last_error());
        write_("Sorry, the account cannot be claimed just now.\n");
        ask_name();
        return Outcome::going_on;
    }
    log("claimed the imported account");
    return finish_sign_on("");
}

SignOn::Outcome SignOn::finish_change(const std::string& hash) {
    DbStatus status = context_.db->set_password(account_.name, hash);
    if (busy(status, [this, hash] { return finish_change(hash); })) return Outcome::going_on;
    if (status != DbStatus::ok) {
        log("cannot change the password: " + context_.db->last_error());
        write_("Sorry, the password cannot be changed just now.\n");
    } else {
        log("password changed");
        write_("Your password is changed.\n");
    }
    return Outcome::done;
}

SignOn::Outcome SignOn::hang_up(std::string farewell, std::string reason) {
    step_ = Step::idle;
    farewell_ = std::move(farewell);
    reason_ = std::move(reason);
    return Outcome::hang_up;
}

}  // namespace accounts
