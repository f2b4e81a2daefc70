// What igmhost's accounts need while it serves, in one place: the world
// folder's lock, the database, the password worker and the abuse limits,
// lent to every caller's dialogs through one SignOnContext.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "server/accounts/account_db.h"
#include "server/accounts/limits.h"
#include "server/accounts/password_worker.h"
#include "server/accounts/signon.h"
#include "server/accounts/world_lock.h"

namespace accounts {

struct ServiceOptions {
    std::string world;  // for messages; the working folder is the world
    HashCost cost;
    LimitOptions limits;
    bool claim_imported = false;
};

// How long the server lets one statement wait for a lock another program
// holds before it tries again on a later turn of the loop.
inline constexpr int kServerBusyMs = 5;

class AccountServices {
  public:
    AccountServices() : limits_(LimitOptions{}) {}

    // Locks the world, opens the database, starts the worker; false with
    // *error when igmhost must not serve this world.
    bool start(const ServiceOptions& options, std::string* error);

    SignOnContext& context() { return context_; }
    AccountDb& db() { return *db_; }
    AbuseLimits& limits() { return limits_; }
    int wake_fd() const { return worker_.wake_fd(); }
    std::vector<HashResult> take_results() { return worker_.take_results(); }

  private:
    WorldLock lock_;
    std::unique_ptr<AccountDb> db_;
    PasswordWorker worker_;
    AbuseLimits limits_;
    SignOnContext context_;
};

}  // namespace accounts
