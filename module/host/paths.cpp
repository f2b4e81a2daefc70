// The path layer: DOS-style names as the module writes them ("QHYVIGMS\CAVE.LOR")
// mapped onto the Linux file system before every open.
//
// Each `\` becomes `/`. Component by component, a name that exists exactly is
// used as it is; otherwise the directory is searched for an entry whose name
// matches ignoring case (the first in byte order when several do), and failing
// that the spelling written is kept, so a new file gets the name as written.
// A read opens the name as written first and searches only when that fails.
// Everything lives in fixed buffers; a name that does not fit makes the open
// fail (ENAMETOOLONG) instead of being cut into a different name.
//
// Only regular files are opened. Every open is non-blocking until fstat has
// seen what it got, so a named pipe or a device in a file's place never
// stalls the host's one thread. What is only read is then missing; what
// would be written is an error. A file that would be created, changed or
// replaced must really lie inside the world folder: a symlink (or a folder
// link on the way) that leads out of it is refused. Each refusal goes to the
// host's log through shocst.
#include "module/host/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "include/host_interface.h"

namespace zmb {
namespace {

// The real path of the working directory at start-up: nothing the module
// writes may land outside it. Empty until first needed.
struct WorldFolder {
    char real[PATH_MAX] = {};
};
WorldFolder world_folder;

}  // namespace

void log_refusal(const char* path, const char* why) {
    char line[kPathMax + 64];
    std::snprintf(line, sizeof line, "refused %s: %s", path, why);
    shocst("Far Reaches:", line);
}

namespace {

// True when the name exists as a directory entry (a dangling link counts).
bool entry_exists(const char* path) {
    struct stat info;
    return lstat(path, &info) == 0;
}

// Looks in `dir` for an entry equal to `name` ignoring case and copies its
// spelling into `found` (found_size bytes). False when there is none.
bool find_ignoring_case(const char* dir, const char* name, char* found, size_t found_size) {
    DIR* listing = opendir(dir[0] != '\0' ? dir : ".");
    if (listing == nullptr) return false;
    bool any = false;
    while (const dirent* entry = readdir(listing)) {
        if (strcasecmp(entry->d_name, name) != 0) continue;
        if (std::strlen(entry->d_name) >= found_size) continue;
        // Several spellings may match; taking the smallest keeps the choice stable.
        if (!any || std::strcmp(entry->d_name, found) < 0) {
            std::strcpy(found, entry->d_name);
            any = true;
        }
    }
    closedir(listing);
    return any;
}

// The component of `length` characters at out[used] (out terminated after it)
// keeps its spelling when it exists exactly; otherwise it takes that of an
// entry of its folder (out[0..used)) matching it ignoring case, if any.
void match_component(char* out, size_t used, size_t length) {
    char component[kPathMax];
    std::memcpy(component, out + used, length + 1);
    const bool special = std::strcmp(component, ".") == 0 || std::strcmp(component, "..") == 0;
    if (special || entry_exists(out)) return;
    // The folder searched is what out holds before it (without the slash).
    char dir[kPathMax];
    size_t dir_length = used;
    if (dir_length > 1 && out[dir_length - 1] == '/') --dir_length;
    std::memcpy(dir, out, dir_length);
    dir[dir_length] = '\0';
    char found[kPathMax];
    if (find_ignoring_case(dir, component, found, sizeof found)) {
        // A match has the same length as the name written (same letters).
        std::memcpy(out + used, found, length + 1);
    }
}

// The name with each run of separators as one `/`; with match_case, each
// component that does not exist exactly takes the spelling of an entry that
// matches it ignoring case. Both spellings have the same length, so a name
// fits the buffer either way or neither.
const char* spell_path(const char* dos_name, char* out, size_t out_size, bool match_case) {
    if (out == nullptr || out_size == 0) return nullptr;
    out[0] = '\0';
    if (dos_name == nullptr) return nullptr;

    size_t used = 0;  // characters in out so far
    const char* p = dos_name;
    if (*p == '\\' || *p == '/') {  // an absolute name keeps its root
        if (out_size < 2) return nullptr;
        out[used++] = '/';
        out[used] = '\0';
        while (*p == '\\' || *p == '/')
            ++p;
    }
    while (*p != '\0') {
        // One component: up to the next separator.
        size_t length = 0;
        while (p[length] != '\0' && p[length] != '\\' && p[length] != '/')
            ++length;
        if (used + length + 1 >= out_size || used + length + 1 >= kPathMax) {
            out[0] = '\0';
            return nullptr;
        }
        std::memcpy(out + used, p, length);
        out[used + length] = '\0';
        if (match_case) match_component(out, used, length);
        used += length;
        p += length;
        if (*p != '\0') {  // one slash for any run of separators
            while (*p == '\\' || *p == '/')
                ++p;
            if (used + 1 >= out_size) {
                out[0] = '\0';
                return nullptr;
            }
            out[used++] = '/';
            out[used] = '\0';
        }
    }
    return out;
}

}  // namespace

const char* map_path(const char* dos_name, char* out, size_t out_size) {
    return spell_path(dos_name, out, out_size, true);
}

namespace {
// map_path (or with match_case false, the name as written) for an open:
// false (errno set) when there is no usable name.
bool map_for_open(const char* dos_name, char (&path)[kPathMax], bool match_case = true) {
    if (dos_name == nullptr || dos_name[0] == '\0') {
        errno = ENOENT;
        return false;
    }
    if (spell_path(dos_name, path, sizeof path, match_case) == nullptr) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

// What a mode asks of the file: fopen's letters, "b" and "t" ignored.
struct OpenMode {
    int flags = 0;        // for open(2)
    bool writes = false;  // the file may be created, truncated or changed
    char stdio[4] = {};   // the mode for fdopen
};

bool parse_mode(const char* mode, OpenMode& out) {
    if (mode == nullptr) return false;
    const bool plus = std::strchr(mode, '+') != nullptr;
    const int write_access = plus ? O_RDWR : O_WRONLY;
    switch (mode[0]) {
        case 'r':
            out.flags = plus ? O_RDWR : O_RDONLY;
            break;
        case 'w':
            out.flags = write_access | O_CREAT | O_TRUNC;
            break;
        case 'a':
            out.flags = write_access | O_CREAT | O_APPEND;
            break;
        default:
            errno = EINVAL;
            return false;
    }
    out.writes = plus || mode[0] != 'r';
    out.stdio[0] = mode[0];
    out.stdio[1] = plus ? '+' : '\0';
    return true;
}

// The folder part of path ("." when it has none) into out.
void folder_of(const char* path, char (&out)[PATH_MAX]) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        std::strcpy(out, ".");
        return;
    }
    const size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    std::memcpy(out, path, length);
    out[length] = '\0';
}

bool inside_world(const char* real) {
    if (world_folder.real[0] == '\0') remember_world_folder();
    const size_t n = std::strlen(world_folder.real);
    if (n == 0) return false;
    if (n == 1) return real[0] == '/';  // the world is the root folder
    return std::strncmp(real, world_folder.real, n) == 0 && (real[n] == '/' || real[n] == '\0');
}

// True when a write to path lands inside the world folder, following
// symlinks on the way and at its end, dangling ones included (they would
// create their target). A path whose folder does not exist lands nowhere;
// the open then fails by itself.
bool lands_in_world(const char* path) {
    constexpr int kMaxHops = 8;
    char candidate[PATH_MAX];
    char real[PATH_MAX];
    if (std::strlen(path) >= sizeof candidate) return false;
    std::strcpy(candidate, path);
    for (int hop = 0; hop < kMaxHops; ++hop) {
        struct stat info;
        if (lstat(candidate, &info) != 0) {
            char folder[PATH_MAX];
            folder_of(candidate, folder);
            if (realpath(folder, real) == nullptr) return true;
            return inside_world(real);
        }
        if (realpath(candidate, real) != nullptr) return inside_world(real);
        if (!S_ISLNK(info.st_mode)) return false;
        // A dangling link: where its target would be made.
        char target[PATH_MAX];
        const ssize_t n = readlink(candidate, target, sizeof target - 1);
        if (n < 0) return false;
        target[n] = '\0';
        if (target[0] != '/') {
            char folder[PATH_MAX];
            folder_of(candidate, folder);
            char joined[PATH_MAX];
            const int length = std::snprintf(joined, sizeof joined, "%s/%s", folder, target);
            if (length < 0 || static_cast<size_t>(length) >= sizeof joined) return false;
            std::strcpy(target, joined);
        }
        std::strcpy(candidate, target);
    }
    return false;
}

// open(2) of an already mapped path: never blocks, and returns a descriptor
// only for a regular file (still non-blocking, which a regular file ignores).
// -1 with errno set otherwise; a non-regular file reads as ENOENT to a reader.
int open_regular(const char* path, const OpenMode& mode) {
    if (mode.writes && !lands_in_world(path)) {
        log_refusal(path, "it leads out of the world folder");
        errno = EACCES;
        return -1;
    }
    const int fd = open(path, mode.flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == ENXIO) log_refusal(path, "not a regular file");  // a pipe nobody reads
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        log_refusal(path, "not a regular file");
        errno = mode.writes ? EINVAL : ENOENT;
        return -1;
    }
    return fd;
}

// The descriptor of a regular file for dos_name, or -1 (errno set). A read
// tries the name as written first (separators made `/`): when that opens,
// every component exists exactly, which is what the mapping would have kept;
// only a failed open pays for the mapping, and retries when it spells the
// name differently. A write maps first, so that it never creates a second
// spelling of a file that exists.
int open_by_name(const char* dos_name, const OpenMode& mode) {
    char path[kPathMax];
    if (mode.writes) return map_for_open(dos_name, path) ? open_regular(path, mode) : -1;
    if (!map_for_open(dos_name, path, false)) return -1;
    const int fd = open_regular(path, mode);
    if (fd >= 0) return fd;
    const int failure = errno;
    char mapped[kPathMax];
    if (!map_for_open(dos_name, mapped) || std::strcmp(mapped, path) == 0) {
        errno = failure;
        return -1;
    }
    return open_regular(mapped, mode);
}

}  // namespace

void remember_world_folder() {
    if (realpath(".", world_folder.real) == nullptr) world_folder.real[0] = '\0';
}

std::FILE* open_file(const char* dos_name, const char* mode) {
    OpenMode open_mode;
    if (!parse_mode(mode, open_mode)) return nullptr;
    const int fd = open_by_name(dos_name, open_mode);
    if (fd < 0) return nullptr;
    // A stream blocks like any other: the flag only kept the open itself from waiting.
    const int flags = fcntl(fd, F_GETFL);
    std::FILE* file = nullptr;
    if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = fdopen(fd, open_mode.stdio);
    if (file == nullptr) close(fd);
    return file;
}

int open_for_reading(const char* dos_name) {
    OpenMode mode;
    mode.flags = O_RDONLY;
    return open_by_name(dos_name, mode);
}

bool file_exists(const char* dos_name) {
    std::FILE* f = open_file(dos_name, "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

namespace {

// write(2) until all of it is out.
bool write_all(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The file a replacement goes to: the mapped path, or the target of a link
// there; false when that is no regular file we may write, or out of the world.
bool replacement_target(const char* path, char (&target)[PATH_MAX], mode_t& file_mode) {
    file_mode = 0666;
    if (std::strlen(path) >= sizeof target) return false;
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
        // Replaced where the link leads, so the link stays a link.
        if (realpath(path, target) == nullptr || !inside_world(target)) {
            log_refusal(path, "it leads out of the world folder");
            return false;
        }
    } else {
        std::strcpy(target, path);
        if (!lands_in_world(target)) {
            log_refusal(path, "it leads out of the world folder");
            return false;
        }
        if (lstat(path, &info) != 0) return true;  // a new file
    }
    // Opened for writing as the old way of saving did: a file we may not
    // write is not replaced either, and a pipe in its place never blocks.
    OpenMode probe;
    probe.flags = O_WRONLY;
    probe.writes = true;
    const int fd = open_regular(target, probe);
    if (fd < 0) return false;
    if (fstat(fd, &info) == 0) file_mode = info.st_mode & 07777;
    close(fd);
    return true;
}

}  // namespace

bool replace_file(const char* dos_name, const char* bytes, size_t size) {
    char path[kPathMax];
    if (!map_for_open(dos_name, path)) return false;
    char target[PATH_MAX];
    mode_t file_mode = 0666;
    if (!replacement_target(path, target, file_mode)) return false;
    char temporary[PATH_MAX];
    const int n = std::snprintf(temporary, sizeof temporary, "%s.new", target);
    if (n < 0 || static_cast<size_t>(n) >= sizeof temporary) return false;

    // A leftover of an earlier save, whatever it is, goes; O_EXCL and
    // O_NOFOLLOW then make sure the file written is the one just made.
    unlink(temporary);
    const int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, file_mode);
    if (fd < 0) return false;
    bool done = fchmod(fd, file_mode) == 0 && write_all(fd, bytes, size) && fsync(fd) == 0;
    done = close(fd) == 0 && done;
    if (done) done = rename(temporary, target) == 0;
    if (!done) {
        unlink(temporary);
        return false;
    }
    // The rename itself is on disk once the folder is.
    char folder[PATH_MAX];
    folder_of(target, folder);
    if (const int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

int remove_file(const char* dos_name) {
    char path[kPathMax];
    if (!map_for_open(dos_name, path)) return -1;
    return std::remove(path);
}

}  // namespace zmb
