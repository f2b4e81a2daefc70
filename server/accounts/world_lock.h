// One server per world folder: an exclusive flock() on IGMHOST.LOCK (never
// on the database), which holds the server's PID for the message a second
// server gives. The kernel lets the lock go when the process dies.
#pragma once

#include <string>

namespace accounts {

inline constexpr const char* kLockFile = "IGMHOST.LOCK";

class WorldLock {
  public:
    WorldLock() = default;
    ~WorldLock();
    WorldLock(const WorldLock&) = delete;
    WorldLock& operator=(const WorldLock&) = delete;

    // Takes the lock of the world folder `world` (the lock file `path` in
    // it); false with *error naming the holder when another process has it.
    bool take(const std::string& path, const std::string& world, std::string* error);

  private:
    int fd_ = -1;
};

}  // namespace accounts
