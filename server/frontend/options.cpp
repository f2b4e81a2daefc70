// Parsing igmhost's options.
#include "server/frontend/options.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <string_view>

namespace frontend {
namespace {

bool parse_int(std::string_view text, int low, int high, int& out) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return false;
    if (value < low || value > high) return false;
    out = value;
    return true;
}

// The module next to the igmhost binary.
std::string default_module_path() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "zmb_vorn.so";
    std::string path(exe, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "zmb_vorn.so";
}

std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

}  // namespace

int max_users_ceiling() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_max == RLIM_INFINITY) return 1 << 20;
    return static_cast<int>(std::clamp<rlim_t>(limit.rlim_max, 1000, 1 << 20));
}

std::string resolved_module_path(const std::string& given) {
    return absolute(given.empty() ? default_module_path() : given);
}

const char* usage() {
    return "usage: igmhost [options]\n"
           "  --world DIR        data folder to run in (default: .)\n"
           "  --module PATH      the in-game module (default: zmb_vorn.so next to igmhost)\n"
           "  --address ADDR     telnet address to listen on (default: 127.0.0.1)\n"
           "  --port N           telnet port, 0 for any free one (default: 2323)\n"
           "  --console          this terminal is a channel, signed on as the sysop\n"
           "  --charset SET      cp437 or utf8 for every terminal (default: by terminal type)\n"
           "  --max-line N       longest typed line (default: 250)\n"
           "  --idle SECONDS     idle users are signed off after this (default: 600, 0: never)\n"
           "  --max-users N      telnet callers at once (default: 16; at most the hard\n"
           "                     open-file limit, ulimit -Hn, or 1000 when that is lower)\n"
           "  --idle-signon SECONDS  idle limit before sign-on (default: 60, 0: none)\n"
           "  --max-per-address N    calls at once from one address (default: 4, 0: no limit)\n"
           "  --max-failed-passwords N  wrong passwords from one address in 10 minutes\n"
           "                     that block it for 15 minutes (default: 5, 0: no limit)\n"
           "  --max-new-accounts N   new accounts per address per hour (default: 3, 0: no limit)\n"
           "  --hash-memory KIB  memory of each password hash (default: 65536, least: 8)\n"
           "  --claim-imported   imported accounts without access keys may be claimed by\n"
           "                     choosing a password at their next sign-on\n"
           "  --port off         with --console: no telnet listener\n"
           "  --log FILE         log lines to FILE (relative to the world folder); SIGHUP\n"
           "                     reopens it\n"
           "usage: igmhost accounts|backup ... --help   account tools (see there)\n";
}

bool parse_options(int argc, char** argv, Options& options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--console") {
            options.console = true;
            continue;
        }
        if (arg == "--claim-imported") {
            options.claim_imported = true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = "unknown option or missing value: " + std::string(arg);
            return false;
        }
        std::string_view value = argv[++i];
        bool ok = true;
        if (arg == "--world") {
            options.world = value;
        } else if (arg == "--log") {
            options.log_file = value;
        } else if (arg == "--module") {
            options.module = value;
        } else if (arg == "--address") {
            options.address = value;
        } else if (arg == "--port" && value == "off") {
            options.port = -1;
        } else if (arg == "--port") {
            ok = parse_int(value, 0, 65535, options.port);
        } else if (arg == "--charset") {
            options.charset = parse_charset(value);
            ok = options.charset.has_value();
        } else if (arg == "--max-line") {
            ok = parse_int(value, 1, 1000, options.max_line);
        } else if (arg == "--idle") {
            ok = parse_int(value, 0, 86400 * 7, options.idle_seconds);
        } else if (arg == "--max-users") {
            ok = parse_int(value, 1, max_users_ceiling(), options.max_users);
        } else if (arg == "--idle-signon") {
            ok = parse_int(value, 0, 86400, options.idle_signon_seconds);
        } else if (arg == "--max-per-address") {
            ok = parse_int(value, 0, 100000, options.max_per_address);
        } else if (arg == "--max-failed-passwords") {
            ok = parse_int(value, 0, 100000, options.max_failed_passwords);
        } else if (arg == "--max-new-accounts") {
            ok = parse_int(value, 0, 100000, options.max_new_accounts);
        } else if (arg == "--hash-memory") {
            ok = parse_int(value, 8, 4 * 1024 * 1024, options.hash_memory_kib);
        } else {
            *error = "unknown option: " + std::string(arg);
            return false;
        }
        if (!ok) {
            *error = "bad value for " + std::string(arg) + ": " + std::string(value);
            return false;
        }
    }
    if (options.port < 0 && !options.console) {
        *error = "--port off needs --console";
        return false;
    }
    if (options.world.empty() || options.address.empty()) {
        *error = "--world and --address need a value";
        return false;
    }
    return true;
}

}  // namespace frontend
