// Password hashing off the event loop: one worker thread takes jobs from a
// bounded queue and hands results back through a queue whose pipe wakes
// the loop's poll(). A full queue refuses the job at once, so callers
// typing wrong passwords can slow only themselves.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/accounts/password.h"

namespace accounts {

struct HashJob {
    enum class Kind { hash, verify };
    uint64_t ticket = 0;  // names the asker's wait; stale results are dropped
    int channel = -1;
    Kind kind = Kind::hash;
    std::string password;  // UTF-8, wiped once used
    std::string stored;    // verify: the hash to check against
};

struct HashResult {
    uint64_t ticket = 0;
    int channel = -1;
    bool ok = false;   // hash: made; verify: the password matches
    std::string hash;  // hash: the new hash; verify: a rehash at today's cost, or ""
};

class PasswordWorker {
  public:
    static constexpr size_t kQueueLimit = 32;

    PasswordWorker() = default;
    ~PasswordWorker();
    PasswordWorker(const PasswordWorker&) = delete;
    PasswordWorker& operator=(const PasswordWorker&) = delete;

    // Starts the thread; false with *error when it cannot.
    bool start(HashCost cost, std::string* error);
    // Queues a job (taking it); false, the job left as it was, when the
    // queue is full.
    bool submit(HashJob& job);
    // Readable when results wait; take_results() empties it.
    int wake_fd() const { return wake_[0]; }
    std::vector<HashResult> take_results();
    uint64_t next_ticket() { return ++last_ticket_; }

  private:
    void work();

    HashCost cost_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wanted_;
    std::deque<HashJob> jobs_;
    std::vector<HashResult> results_;
    bool stopping_ = false;
    int wake_[2] = {-1, -1};
    uint64_t last_ticket_ = 0;
};

}  // namespace accounts
