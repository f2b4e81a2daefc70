// The account dialogs of one caller: signing on ("Name:", "Password:", or
// a new account with its password typed twice and the age), claiming an
// imported account, and changing one's password from the realm list.
// Hashing goes to the password worker; while a result is awaited, or the
// database is busy, the dialog waits and typed lines stay queued.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/accounts/account_db.h"
#include "server/accounts/limits.h"
#include "server/accounts/password_worker.h"

namespace accounts {

// What the server lends every dialog.
struct SignOnContext {
    AccountDb* db = nullptr;
    PasswordWorker* worker = nullptr;
    AbuseLimits* limits = nullptr;
    bool claim_imported = false;  // imported accounts without keys may be claimed
    // The channel other than `asking` on which `name` is signed on, or -1.
    std::function<int(int asking, std::string_view name)> holder;
    // Ends the call on `channel` at once, logging `reason`.
    std::function<void(int channel, const std::string& reason)> end_call;
};

class SignOn {
  public:
    enum class Outcome { going_on, done, hang_up };
    using Write = std::function<void(std::string_view)>;

    // `peer` is the caller's address ("1.2.3.4:5678" or "console").
    SignOn(SignOnContext& context, int channel, const std::string& peer, Write write);
    ~SignOn();
    SignOn(const SignOn&) = delete;
    SignOn& operator=(const SignOn&) = delete;

    // Starts signing on: the name prompt.
    void ask_name();
    // Starts a password change for the signed-on `account`; the console
    // is not asked for the current password.
    void change_password(const Account& account, bool ask_current);

    Outcome line(std::string_view typed);
    Outcome result(const HashResult& result);
    // Runs again the step the busy database or the full hashing queue held up.
    Outcome retry();

    // Typed lines must wait: a hash is being made or a step retried.
    bool waiting() const { return step_ == Step::hashing || retry_ != nullptr; }
    bool needs_retry() const { return retry_ != nullptr; }
    // What is typed now is a password: not echoed, never logged.
    bool secret() const;
    // The longest line to take now, or 0 for the usual limit.
    size_t line_limit() const;

    // After done: the account signed on, and its "Last on: ..." line.
    const Account& account() const { return account_; }
    const std::string& last_on() const { return last_on_; }
    // After hang_up: what to tell the caller and why the call ends.
    const std::string& farewell() const { return farewell_; }
    const std::string& reason() const { return reason_; }

  private:
    enum class Step {
        name,
        confirm_create,
        new_password,
        confirm_password,
        age,
        password,
        current_password,
        hashing,
        idle
    };
    enum class Goal { sign_on, create, claim, change };

    Outcome take_name(const std::string& name);
    Outcome take_password(std::string_view typed);
    Outcome ask_new_password();
    Outcome hash_job(HashJob::Kind kind, std::string password, const std::string& stored);
    Outcome submit();
    Outcome wrong_password();
    Outcome finish_sign_on(const std::string& new_hash);
    Outcome finish_create(const std::string& hash);
    Outcome finish_claim(const std::string& hash);
    Outcome finish_change(const std::string& hash);
    Outcome hang_up(std::string farewell, std::string reason);
    // A database step that may meet a busy database: ok and failed go on,
    // busy keeps `again` to be run by retry().
    bool busy(DbStatus status, std::function<Outcome()> again);
    void log(const std::string& what) const;

    SignOnContext& context_;
    int channel_;
    std::string address_;  // the peer without its port, or "console"
    Write write_;
    Step step_ = Step::idle;
    Goal goal_ = Goal::sign_on;
    Account account_;      // found, being made, or signed on
    std::string first_;    // the new password as first typed (UTF-8), wiped after
    HashJob job_;          // the job the full queue held back
    uint64_t ticket_ = 0;  // of the awaited hashing result
    int failures_ = 0;     // wrong passwords in this call
    std::function<Outcome()> retry_;
    std::string last_on_, farewell_, reason_;
};

// The console's account: "Sysop" when it exists, else made holding the
// SYSOP key and no password (set it from the console's realm list). False
// with *error when the database cannot give one.
bool console_account(AccountDb& db, Account* out, std::string* error);

// "Last on: 2025-03-01 14:02 from 1.2.3.4", or "Last on: first call".
std::string last_on_line(const Account& account);

}  // namespace accounts
