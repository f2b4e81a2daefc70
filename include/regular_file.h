// Opening files that must be regular files. A named pipe, a device or a
// folder put where a data file belongs would block open() or read() for
// good (a pipe with no writer) or feed endless bytes (a device); igmhost
// serves every caller on one thread, so it opens each file non-blocking,
// checks it with fstat, and only then uses it. Header-only: igmhost, its
// game and the script checker share it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace files {

enum class Opened {
    ok,           // a regular file, open
    missing,      // no such file (or it cannot be opened)
    not_regular,  // something else is in its place
};

// Opens `path` with `flags` (O_RDONLY, O_RDWR | O_CREAT, ...) and `mode`;
// the descriptor is close-on-exec and blocking again once it is known to
// be a regular file, and *info (when given) what fstat said of it. -1
// otherwise, with *how saying why (errno kept from open() when it failed).
inline int open_regular(const char* path, int flags, mode_t mode = 0644, Opened* how = nullptr,
                        struct stat* info = nullptr) {
    auto say = [how](Opened o) {
        if (how != nullptr) *how = o;
    };
    int fd = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) {
        // A pipe opened for writing without a reader: not a file either.
        say(errno == ENXIO ? Opened::not_regular : Opened::missing);
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        say(Opened::not_regular);
        errno = EINVAL;
        return -1;
    }
    if (info != nullptr) *info = st;
    int status = fcntl(fd, F_GETFL);
    if (status >= 0) fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    say(Opened::ok);
    return fd;
}

// The fopen() modes the project uses, as open() flags; -1 for another.
inline int flags_for_mode(const char* mode) {
    std::string m;
    for (const char* p = mode; *p != '\0'; ++p)
        if (*p != 'b' && *p != 't') m += *p;
    if (m == "r") return O_RDONLY;
    if (m == "r+") return O_RDWR;
    if (m == "w") return O_WRONLY | O_CREAT | O_TRUNC;
    if (m == "w+") return O_RDWR | O_CREAT | O_TRUNC;
    if (m == "a") return O_WRONLY | O_CREAT | O_APPEND;
    if (m == "a+") return O_RDWR | O_CREAT | O_APPEND;
    return -1;
}

// fopen() for regular files only: nullptr when `path` is missing or not a
// regular file (*how tells which). A "w" mode truncates only a regular file.
inline std::FILE* fopen_regular(const char* path, const char* mode, Opened* how = nullptr) {
    int flags = flags_for_mode(mode);
    if (flags < 0) {
        if (how != nullptr) *how = Opened::missing;
        return nullptr;
    }
    // Truncation waits until the file is known to be regular, and an empty
    // file (one just made) is not truncated at all: on ext4 a truncation to
    // nothing makes the close write the new data out at once, so a file
    // soon removed (the hand-off file of every visit) would take a disk
    // block, and on a file system mounted with `discard` its removal then
    // waits for the device.
    struct stat st {};
    int fd = open_regular(path, flags & ~O_TRUNC, 0644, how, &st);
    if (fd < 0) return nullptr;
    if ((flags & O_TRUNC) != 0 && st.st_size > 0 && ftruncate(fd, 0) != 0) {
        ::close(fd);
        if (how != nullptr) *how = Opened::missing;
        return nullptr;
    }
    std::FILE* f = fdopen(fd, mode);
    if (f == nullptr) ::close(fd);
    return f;
}

// The whole of a regular file into *text; false (and *text empty) when it
// is missing or not a regular file.
inline bool read_regular(const char* path, std::string* text, Opened* how = nullptr) {
    text->clear();
    int fd = open_regular(path, O_RDONLY, 0, how);
    if (fd < 0) return false;
    char buffer[8192];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

// A file that is there but not a regular file (a pipe, a device, a
// folder): what a program that would create `path` must refuse.
inline bool present_but_not_regular(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0 && !S_ISREG(st.st_mode) &&
           (!S_ISLNK(st.st_mode) || (stat(path, &st) == 0 && !S_ISREG(st.st_mode)));
}

}  // namespace files
