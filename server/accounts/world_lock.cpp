// The world folder's lock file.
#include "server/accounts/world_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace accounts {

WorldLock::~WorldLock() {
    if (fd_ >= 0) close(fd_);
}

bool WorldLock::take(const std::string& path, const std::string& world, std::string* error) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = "cannot open " + path + " in " + world + ": " + std::strerror(errno);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int why = errno;
        char pid[32] = {};
        ssize_t n = pread(fd, pid, sizeof pid - 1, 0);
        close(fd);
        std::string holder;
        for (ssize_t i = 0; i < n && pid[i] >= '0' && pid[i] <= '9'; ++i)
            holder += pid[i];
        if (why != EWOULDBLOCK) {
            *error = "cannot lock " + path + " in " + world + ": " + std::strerror(why);
        } else {
            *error = "the world " + world + " is in use by another igmhost" +
                     (holder.empty() ? "" : " (pid " + holder + ")");
        }
        return false;
    }
    std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The lock holds all the same; only the message of a second server suffers.
    }
    fd_ = fd;
    return true;
}

}  // namespace accounts
