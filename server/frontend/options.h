// igmhost's command line.
#pragma once

#include <optional>
#include <string>

#include "server/frontend/charset.h"

namespace frontend {

struct Options {
    std::string world = ".";  // --world DIR: the data folder
    std::string module;       // --module PATH: default next to igmhost
    std::string address = "127.0.0.1";
    int port = 2323;  // 0: any free port; -1 ("off", with --console): no telnet
    bool console = false;
    std::optional<Charset> charset;  // forced for every terminal
    int max_line = 250;
    int idle_seconds = 600;  // 0: no idle timeout
    int max_users = 16;      // telnet callers at once
    // Accounts and abuse limits; 0 is "no limit" for each limit.
    int idle_signon_seconds = 60;  // idle limit before sign-on
    int max_per_address = 4;       // calls at once from one address
    int max_failed_passwords = 5;  // in 10 minutes, then the address is blocked 15 minutes
    int max_new_accounts = 3;      // per address per hour
    int hash_memory_kib = 65536;   // Argon2id memory; 8 is the least (for tests)
    bool claim_imported = false;   // imported accounts without keys may be claimed
    std::string log_file;          // --log FILE (in the world folder when relative)
    bool help = false;
};

// Parses argv; false with a message in *error for a bad command line.
bool parse_options(int argc, char** argv, Options& options, std::string* error);
const char* usage();

// The most --max-users takes. Each caller holds a file descriptor, and
// igmhost raises its open-file limit to the hard limit as it starts: so
// that hard limit, but never less than 1,000 (callers beyond what the
// descriptors allow are then turned away as too busy).
int max_users_ceiling();

// The module to load: `given` (--module) made absolute, since igmhost
// changes into the world folder before loading it; when empty, zmb_vorn.so
// next to the igmhost binary.
std::string resolved_module_path(const std::string& given);

}  // namespace frontend
