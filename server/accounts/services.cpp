// Starting the account services of a running igmhost.
#include "server/accounts/services.h"

#include "server/core/host_core.h"
#include "server/frontend/accounts.h"

namespace accounts {

bool AccountServices::start(const ServiceOptions& options, std::string* error) {
    if (!lock_.take(kLockFile, options.world, error)) return false;
    db_ = AccountDb::open(
        kDatabaseFile, frontend::kAccountsFile, kServerBusyMs,
        [](const std::string& note) { host::log("accounts: %s", note.c_str()); }, error);
    if (!db_) return false;
    if (!worker_.start(options.cost, error)) return false;
    limits_ = AbuseLimits(options.limits);
    context_.db = db_.get();
    context_.worker = &worker_;
    context_.limits = &limits_;
    context_.claim_imported = options.claim_imported;
    return true;
}

}  // namespace accounts
