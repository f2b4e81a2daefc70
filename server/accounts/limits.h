// Limits against abuse, per caller address: connections at once, failed
// passwords (too many within a window block the address for a while), and
// new accounts per hour. Each limit of 0 means no limit. The times come
// from the rules' clock, so tests can move them.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <string>

#include "server/accounts/rule_clock.h"

namespace accounts {

struct LimitOptions {
    int per_address = 4;       // connections at once
    int failed_passwords = 5;  // within kFailWindow, then the address is blocked
    int new_accounts_per_hour = 3;
};

inline constexpr std::chrono::minutes kFailWindow{10};
inline constexpr std::chrono::minutes kBlockTime{15};

class AbuseLimits {
  public:
    explicit AbuseLimits(LimitOptions options) : options_(options) {}

    const LimitOptions& options() const { return options_; }
    // The address is blocked for failed passwords.
    bool blocked(const std::string& address, rules::Clock::time_point now);
    // Counts one failed password; true when it blocks the address now.
    bool note_failed_password(const std::string& address, rules::Clock::time_point now);
    // Another new account from this address is allowed now.
    bool may_create(const std::string& address, rules::Clock::time_point now);
    void note_created(const std::string& address, rules::Clock::time_point now);

  private:
    struct PerAddress {
        std::deque<rules::Clock::time_point> failures;  // within the window
        std::deque<rules::Clock::time_point> created;   // within the hour
        rules::Clock::time_point blocked_until{};
    };
    // Drops times that have left their window, and entries left empty.
    PerAddress& entry(const std::string& address, rules::Clock::time_point now);

    LimitOptions options_;
    std::map<std::string, PerAddress> by_address_;
};

// The host part of "1.2.3.4:5678" or "[::1]:5678".
std::string address_of(const std::string& peer);

}  // namespace accounts
