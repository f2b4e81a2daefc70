// The hashing thread and its two queues.
#include "server/accounts/password_worker.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace accounts {

PasswordWorker::~PasswordWorker() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            for (HashJob& job : jobs_)
                wipe(job.password);
        }
        wanted_.notify_one();
        thread_.join();
    }
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

bool PasswordWorker::start(HashCost cost, std::string* error) {
    cost_ = cost;
    if (!init_hashing()) {
        *error = "libsodium cannot start";
        return false;
    }
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    thread_ = std::thread([this] { work(); });
    return true;
}

bool PasswordWorker::submit(HashJob& job) {
    std::lock_guard lock(mutex_);
    if (jobs_.size() >= kQueueLimit) return false;
    jobs_.push_back(std::move(job));
    wanted_.notify_one();
    return true;
}

std::vector<HashResult> PasswordWorker::take_results() {
    char drain[64];
    while (read(wake_[0], drain, sizeof drain) > 0) {
    }
    std::lock_guard lock(mutex_);
    std::vector<HashResult> out;
    out.swap(results_);
    return out;
}

void PasswordWorker::work() {
    for (;;) {
        HashJob job;
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        HashResult result{job.ticket, job.channel, false, ""};
        if (job.kind == HashJob::Kind::hash) {
            result.hash = hash_password(job.password, cost_);
            result.ok = !result.hash.empty();
        } else {
            result.ok = password_matches(job.password, job.stored);
            if (result.ok && needs_rehash(job.stored, cost_)) {
                result.hash = hash_password(job.password, cost_);
            }
        }
        wipe(job.password);
        {
            std::lock_guard lock(mutex_);
            results_.push_back(std::move(result));
        }
        char byte = 1;
        [[maybe_unused]] ssize_t n = write(wake_[1], &byte, 1);
    }
}

}  // namespace accounts
