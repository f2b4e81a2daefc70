// The path layer: DOS-style names as the module writes them ("QHYVIGMS\CAVE.LOR")
// mapped onto the Linux file system before every open.
//
// Each `\` becomes `/`. Component by component, a name that exists exactly is
// used as it is; otherwise the directory is searched for an entry whose name
// matches ignoring case (the first in byte order when several do), and failing
// that the spelling written is kept, so a new file gets the name as written.
// Everything lives in fixed buffers; a name that does not fit makes the open
// fail (ENAMETOOLONG) instead of being cut into a different name.
#include "module/host/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <strings.h>
#include <cerrno>
#include <cstring>

namespace zmb {
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

}  // namespace

const char* map_path(const char* dos_name, char* out, size_t out_size) {
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
        char component[kPathMax];
        std::memcpy(component, p, length);
        component[length] = '\0';

        // The directory searched is what out holds so far (without the slash).
        char dir[kPathMax];
        size_t dir_length = used;
        if (dir_length > 1 && out[dir_length - 1] == '/') --dir_length;
        std::memcpy(dir, out, dir_length);
        dir[dir_length] = '\0';

        std::memcpy(out + used, component, length + 1);
        const bool special = std::strcmp(component, ".") == 0 || std::strcmp(component, "..") == 0;
        if (!special && !entry_exists(out)) {
            char found[kPathMax];
            if (find_ignoring_case(dir, component, found, sizeof found)) {
                // A match has the same length as the name written (same letters).
                std::memcpy(out + used, found, length + 1);
            }
        }
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

namespace {
// map_path for an open: false (errno set) when there is no usable name.
bool map_for_open(const char* dos_name, char (&path)[kPathMax]) {
    if (dos_name == nullptr || dos_name[0] == '\0') {
        errno = ENOENT;
        return false;
    }
    if (map_path(dos_name, path, sizeof path) == nullptr) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}
}  // namespace

std::FILE* open_file(const char* dos_name, const char* mode) {
    // The C library on this platform has no text mode: "t" is dropped.
    char plain_mode[8];
    size_t n = 0;
    for (const char* m = mode; m != nullptr && *m != '\0' && n + 1 < sizeof plain_mode; ++m) {
        if (*m != 't') plain_mode[n++] = *m;
    }
    plain_mode[n] = '\0';

    char path[kPathMax];
    if (!map_for_open(dos_name, path)) return nullptr;
    return std::fopen(path, plain_mode);
}

bool file_exists(const char* dos_name) {
    std::FILE* f = open_file(dos_name, "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

int remove_file(const char* dos_name) {
    char path[kPathMax];
    if (!map_for_open(dos_name, path)) return -1;
    return std::remove(path);
}

}  // namespace zmb
