// Directory search for modules that name files the DOS way (fnd1st/fndnxt).
// The folder part of a pattern may use `\` or `/` and is matched without
// regard to case against the folders that exist; the file part (wildcards
// * and ?) is matched ignoring case. Only regular files whose names fit
// 8.3 are found, in order of their names ignoring case. The search state lives in
// file_info.reserved (the pattern and the last name returned). The host keeps
// the last folder listing it made and reuses it while the folder is unchanged,
// so a search through n files lists the folder once, not n times.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "include/host_interface.h"

namespace {

// reserved: [0..3] magic, [4..16] last name returned, [17..] the pattern.
constexpr unsigned char kMagic[4] = {'F', 'N', 'D', '1'};
constexpr size_t kLastAt = 4;
constexpr size_t kLastSize = 13;
constexpr size_t kPatternAt = kLastAt + kLastSize;
constexpr size_t kPatternSize = sizeof(file_info::reserved) - kPatternAt;

int fold(char c) {
    return std::tolower(static_cast<unsigned char>(c));
}

// True for a name of 1-8 characters, optionally a dot and 1-3 more, no
// second dot: what a DOS directory entry could hold.
bool fits_8_3(const std::string& name) {
    size_t dot = name.find('.');
    if (dot == std::string::npos) return !name.empty() && name.size() <= 8;
    if (name.find('.', dot + 1) != std::string::npos) return false;
    size_t ext = name.size() - dot - 1;
    return dot >= 1 && dot <= 8 && ext >= 1 && ext <= 3;
}

// Wildcard match ignoring case: * any run, ? any one character.
bool wild_match(const char* p, const char* s) {
    while (*p) {
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (!*p) return true;
            for (; *s; ++s) {
                if (wild_match(p, s)) return true;
            }
            return false;
        }
        if (!*s) return false;
        if (*p != '?' && fold(*p) != fold(*s)) return false;
        ++p;
        ++s;
    }
    return *s == 0;
}

// DOS reads "*.*" (and any "NAME.*") as matching names without a dot too.
bool name_matches(const std::string& pattern, const std::string& name) {
    if (wild_match(pattern.c_str(), name.c_str())) return true;
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos) {
        return wild_match(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
    }
    return false;
}

std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d))
        names.emplace_back(e->d_name);
    closedir(d);
    return names;
}

bool is_dir(const std::string& path, struct stat* st) {
    return stat(path.empty() ? "." : path.c_str(), st) == 0 && S_ISDIR(st->st_mode);
}
bool is_dir(const std::string& path) {
    struct stat st {};
    return is_dir(path, &st);
}

// Resolves a folder path component by component: the exact name when it
// exists, else the first (sorted) entry that equals it ignoring case. `found`
// gets the stat of the folder resolved.
bool resolve_dir(const std::string& folder, std::string* out, struct stat* found) {
    bool exact = false;  // the last component was found as written: `found` holds its stat
    std::string path;
    size_t i = 0;
    if (!folder.empty() && folder[0] == '/') {
        path = "/";
        i = 1;
    }
    while (i <= folder.size()) {
        size_t end = folder.find('/', i);
        if (end == std::string::npos) end = folder.size();
        std::string part = folder.substr(i, end - i);
        i = end + 1;
        if (part.empty() || part == ".") continue;
        std::string base = path.empty() ? "" : (path.back() == '/' ? path : path + "/");
        exact = part != ".." && is_dir(base + part, found);
        if (part != ".." && !exact) {
            auto names = list_dir(path);
            std::sort(names.begin(), names.end());
            auto hit = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                return n.size() == part.size() &&
                       std::equal(n.begin(), n.end(), part.begin(),
                                  [](char a, char b) { return fold(a) == fold(b); }) &&
                       is_dir(base + n);
            });
            if (hit == names.end()) return false;
            part = *hit;
        }
        path = base + part;
    }
    *out = path;
    return exact || is_dir(path, found);
}

// Listing order: names ignoring case (as DOS names would sort), then by byte
// so that two spellings of one name keep a fixed order.
bool listed_before(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// The 8.3 names of one folder that match one file pattern, in listing order,
// with what readdir said each is. A listing is reused while the folder keeps
// its identity and times; one made while the folder's last change was too
// recent to tell from a later one in the same clock tick is not reused.
struct Listing {
    std::string dir;
    std::string file;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    timespec changed{};
    bool reusable = false;
    std::vector<std::pair<std::string, unsigned char>> names;  // name, d_type
    size_t last_returned = 0;  // where the next call of a search usually goes on
};

bool same_time(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether `t` lies less than the clock's coarseness (with a wide margin) before `now`.
bool recent(const timespec& t, const timespec& now) {
    constexpr long long kMarginNs = 100'000'000;
    const long long gap = (static_cast<long long>(now.tv_sec) - t.tv_sec) * 1'000'000'000LL +
                          (now.tv_nsec - t.tv_nsec);
    return gap < kMarginNs;
}

Listing& listing_of(const std::string& dir, const std::string& file, const struct stat& folder) {
    static Listing cached;
    if (cached.reusable && cached.dir == dir && cached.file == file &&
        cached.device == folder.st_dev && cached.inode == folder.st_ino &&
        same_time(cached.modified, folder.st_mtim) && same_time(cached.changed, folder.st_ctim)) {
        return cached;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    cached.dir = dir;
    cached.file = file;
    cached.device = folder.st_dev;
    cached.inode = folder.st_ino;
    cached.modified = folder.st_mtim;
    cached.changed = folder.st_ctim;
    cached.reusable = !recent(folder.st_mtim, now) && !recent(folder.st_ctim, now);
    cached.names.clear();
    if (DIR* d = opendir(dir.empty() ? "." : dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (fits_8_3(name) && name_matches(file, name))
                cached.names.emplace_back(std::move(name), e->d_type);
        }
        closedir(d);
    }
    std::sort(cached.names.begin(), cached.names.end(),
              [](const auto& a, const auto& b) { return listed_before(a.first, b.first); });
    return cached;
}

// The first matching 8.3 file name listed after `after` ("" = from the start).
bool find_after(const char* full_pattern, const char* after, file_info* info) {
    std::string pattern = full_pattern;
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (file.empty()) return false;

    std::string dir;
    struct stat folder_stat {};
    if (!resolve_dir(folder, &dir, &folder_stat)) return false;
    std::string base = dir.empty() ? "" : (dir.back() == '/' ? dir : dir + "/");

    Listing& listing = listing_of(dir, file, folder_stat);
    const std::string last = after;
    auto at = listing.names.begin();
    if (listing.last_returned < listing.names.size() &&
        listing.names[listing.last_returned].first == last) {
        at += static_cast<std::ptrdiff_t>(listing.last_returned) + 1;
    } else if (!last.empty()) {
        at = std::upper_bound(
            listing.names.begin(), listing.names.end(), last,
            [](const std::string& a, const auto& entry) { return listed_before(a, entry.first); });
    }
    // A regular file is one as listed; a link (or an entry of unknown type)
    // counts when what it leads to is one now.
    for (; at != listing.names.end(); ++at) {
        if (at->second == DT_REG) break;
        if (at->second != DT_LNK && at->second != DT_UNKNOWN) continue;
        struct stat st {};
        if (stat((base + at->first).c_str(), &st) == 0 && S_ISREG(st.st_mode)) break;
    }
    if (at == listing.names.end()) {
        info->name[0] = 0;
        info->reserved[kLastAt] = 0;  // ends the search for fndnxt
        return false;
    }
    listing.last_returned = static_cast<size_t>(at - listing.names.begin());
    const std::string& best = at->first;
    std::memcpy(info->name, best.c_str(), best.size() + 1);
    std::memcpy(info->reserved + kLastAt, best.c_str(), best.size() + 1);
    return true;
}

}  // namespace

extern "C" {

int fnd1st(file_info* info, const char* pattern, int /*attributes*/) {
    if (!info) return 0;
    std::memset(info->reserved, 0, sizeof info->reserved);
    info->name[0] = 0;
    if (!pattern || std::strlen(pattern) >= kPatternSize) return 0;
    std::memcpy(info->reserved, kMagic, sizeof kMagic);
    std::memcpy(info->reserved + kPatternAt, pattern, std::strlen(pattern) + 1);
    return find_after(pattern, "", info) ? 1 : 0;
}

int fndnxt(file_info* info) {
    if (!info || std::memcmp(info->reserved, kMagic, sizeof kMagic) != 0) return 0;
    // Both copies are forced terminated: the record is the module's memory.
    info->reserved[kLastAt + kLastSize - 1] = 0;
    info->reserved[sizeof info->reserved - 1] = 0;
    char last[kLastSize];
    std::memcpy(last, info->reserved + kLastAt, kLastSize);
    if (last[0] == 0) return 0;  // the previous call found nothing: the search is over
    return find_after(reinterpret_cast<const char*>(info->reserved + kPatternAt), last, info) ? 1
                                                                                              : 0;
}

}  // extern "C"
