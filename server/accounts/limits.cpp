// Per-address bookkeeping of the abuse limits.
#include "server/accounts/limits.h"

namespace accounts {

AbuseLimits::PerAddress& AbuseLimits::entry(const std::string& address,
                                            rules::Clock::time_point now) {
    // Forget addresses with nothing left to remember, so the map stays
    // as small as the set of recent troublemakers.
    for (auto it = by_address_.begin(); it != by_address_.end();) {
        PerAddress& e = it->second;
        while (!e.failures.empty() && now - e.failures.front() >= kFailWindow)
            e.failures.pop_front();
        while (!e.created.empty() && now - e.created.front() >= std::chrono::hours(1))
            e.created.pop_front();
        bool idle = e.failures.empty() && e.created.empty() && now >= e.blocked_until;
        it = idle && it->first != address ? by_address_.erase(it) : std::next(it);
    }
    return by_address_[address];
}

bool AbuseLimits::blocked(const std::string& address, rules::Clock::time_point now) {
    if (options_.failed_passwords == 0) return false;
    return now < entry(address, now).blocked_until;
}

bool AbuseLimits::note_failed_password(const std::string& address, rules::Clock::time_point now) {
    if (options_.failed_passwords == 0) return false;
    PerAddress& e = entry(address, now);
    e.failures.push_back(now);
    if (static_cast<int>(e.failures.size()) < options_.failed_passwords) return false;
    e.failures.clear();
    e.blocked_until = now + kBlockTime;
    return true;
}

bool AbuseLimits::may_create(const std::string& address, rules::Clock::time_point now) {
    if (options_.new_accounts_per_hour == 0) return true;
    return static_cast<int>(entry(address, now).created.size()) < options_.new_accounts_per_hour;
}

void AbuseLimits::note_created(const std::string& address, rules::Clock::time_point now) {
    if (options_.new_accounts_per_hour > 0) entry(address, now).created.push_back(now);
}

std::string address_of(const std::string& peer) {
    size_t colon = peer.rfind(':');
    std::string host = colon == std::string::npos ? peer : peer.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return host;
}

}  // namespace accounts
