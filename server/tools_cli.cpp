// The account tools and the backup: parsing their command lines, reading
// a password from a terminal without echo, and the listing.
#include "server/tools_cli.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/accounts/account_db.h"
#include "server/accounts/password.h"
#include "server/accounts/signon.h"
#include "server/frontend/accounts.h"
#include "server/frontend/charset.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using accounts::DbStatus;

constexpr int kToolBusyMs = 3000;

const char* usage() {
    return "usage: igmhost accounts list [--world DIR]\n"
           "       igmhost accounts passwd NAME [--world DIR] [--hash-memory KIB]\n"
           "       igmhost accounts grant NAME KEY [--world DIR]\n"
           "       igmhost accounts revoke NAME KEY [--world DIR]\n"
           "       igmhost accounts delete NAME [--world DIR]\n"
           "       igmhost backup DIR [--world DIR]\n"
           "       igmhost console [--world DIR]\n"
           "\n"
           "The tools work on the world's IGMHOST.DB, also while igmhost serves it.\n"
           "passwd reads the new password twice from the terminal without echo, or\n"
           "one line from standard input when that is not a terminal. delete keeps\n"
           "the name retired, so nobody who registers it later inherits its players.\n"
           "backup copies the database (consistently) and the world's other files\n"
           "into DIR, which must be new or empty.\n";
}

struct Command {
    std::vector<std::string> words;  // "accounts", "passwd", "Ardo", ...
    std::string world = ".";
    accounts::HashCost cost;
    bool help = false;
};

std::optional<Command> parse(int argc, char** argv, std::string* error) {
    Command c;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            c.help = true;
        } else if (arg == "--world" || arg == "--hash-memory") {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return std::nullopt;
            }
            std::string value = argv[++i];
            if (arg == "--world") {
                c.world = value;
            } else {
                char* end = nullptr;
                unsigned long kib = std::strtoul(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || kib < accounts::kMinHashMemoryKib ||
                    kib > 4 * 1024 * 1024) {
                    *error = "bad value for --hash-memory: " + value;
                    return std::nullopt;
                }
                c.cost.memory_kib = kib;
            }
        } else if (arg.starts_with("--")) {
            *error = "unknown option: " + arg;
            return std::nullopt;
        } else {
            c.words.push_back(arg);
        }
    }
    return c;
}

// A line typed in the locale's set (UTF-8 here) as the CP437 bytes a
// terminal caller typing the same characters would send; nothing when a
// character has no place in CP437.
std::optional<std::string> to_cp437(std::string_view utf8) {
    frontend::Utf8Decoder decoder;
    std::string out;
    for (char c : utf8) {
        auto cp = decoder.feed(static_cast<uint8_t>(c));
        if (!cp) continue;
        uint8_t byte = *cp < 0x80 ? static_cast<uint8_t>(*cp) : frontend::unicode_to_cp437(*cp);
        if (byte == 0) {
            accounts::wipe(out);
            return std::nullopt;
        }
        out += static_cast<char>(byte);
    }
    return out;
}

// One line from standard input; on a terminal after `prompt`, without echo.
std::optional<std::string> read_secret(const char* prompt, bool terminal) {
    termios saved{};
    if (terminal) {
        std::fputs(prompt, stderr);
        tcgetattr(0, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(0, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool got = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(0, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (!got) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The new password, hashed; "" (reported) when none fit was given.
std::string new_password_hash(const accounts::HashCost& cost) {
    bool terminal = isatty(0);
    auto first = read_secret("New password (4 to 64 characters): ", terminal);
    if (!first) {
        std::fprintf(stderr, "igmhost: no password given\n");
        return "";
    }
    if (terminal) {
        auto again = read_secret("Type it again: ", terminal);
        bool same = again && *again == *first;
        if (again) accounts::wipe(*again);
        if (!same) {
            accounts::wipe(*first);
            std::fprintf(stderr, "igmhost: the two passwords differ; nothing changed\n");
            return "";
        }
    }
    auto cp437 = to_cp437(*first);
    accounts::wipe(*first);
    std::optional<std::string> utf8;
    if (cp437) {
        utf8 = accounts::password_for_hashing(*cp437);
        accounts::wipe(*cp437);
    }
    if (!utf8) {
        std::fprintf(stderr,
                     "igmhost: a password is 4 to 64 printable characters a terminal can type; "
                     "nothing changed\n");
        return "";
    }
    std::string hash = accounts::hash_password(*utf8, cost);
    accounts::wipe(*utf8);
    if (hash.empty()) std::fprintf(stderr, "igmhost: cannot hash the password (out of memory)\n");
    return hash;
}

// Exit status 1 with a message for a change that did not happen.
int report(DbStatus status, const std::string& name, accounts::AccountDb& db) {
    switch (status) {
        case DbStatus::ok:
            return 0;
        case DbStatus::missing:
            std::fprintf(stderr, "igmhost: no account named %s\n", name.c_str());
            return 1;
        case DbStatus::busy:
            std::fprintf(stderr, "igmhost: the database stayed busy; try again\n");
            return 1;
        default:
            std::fprintf(stderr, "igmhost: %s\n", db.last_error().c_str());
            return 1;
    }
}

std::string date(int64_t seconds) {
    if (seconds == 0) return "never";
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char out[32];
    std::strftime(out, sizeof out, "%Y-%m-%d %H:%M", &local);
    return out;
}

int list(accounts::AccountDb& db) {
    std::printf("%-20s %3s  %-12s %-8s %5s  %s\n", "Name", "Age", "Keys", "Password", "Calls",
                "Last on");
    for (const accounts::Account& a : db.list()) {
        std::string password = a.retired ? "retired" : a.hash.empty() ? "none" : "set";
        std::string last = date(a.last_on);
        if (a.last_on != 0) last += " from " + a.last_from;
        std::printf("%-20s %3d  %-12s %-8s %5d  %s\n", a.name.c_str(), a.age,
                    accounts::join_keys(a.keys).c_str(), password.c_str(), a.calls, last.c_str());
    }
    return 0;
}

// An access key: 1 to 20 letters, digits or underscores, kept in capitals.
std::optional<std::string> clean_key(std::string_view key) {
    std::string out;
    for (char c : key) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return std::nullopt;
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (out.empty() || out.size() > 20) return std::nullopt;
    return out;
}

bool is_database_file(const fs::path& p) {
    std::string name = p.filename().string();
    return name.starts_with(accounts::kDatabaseFile) || name == "IGMHOST.LOCK";
}

int backup(accounts::AccountDb& db, const fs::path& world, const fs::path& target) {
    std::error_code ec;
    if (fs::exists(target, ec) && !fs::is_empty(target, ec)) {
        std::fprintf(stderr, "igmhost: %s is not empty\n", target.c_str());
        return 1;
    }
    fs::path world_real = fs::weakly_canonical(world, ec);
    fs::path target_real = fs::weakly_canonical(fs::absolute(target), ec);
    auto [w, t] =
        std::mismatch(world_real.begin(), world_real.end(), target_real.begin(), target_real.end());
    if (w == world_real.end()) {
        std::fprintf(stderr, "igmhost: %s is inside the world folder\n", target.c_str());
        return 1;
    }
    fs::create_directories(target, ec);
    if (ec) {
        std::fprintf(stderr, "igmhost: cannot make %s: %s\n", target.c_str(), ec.message().c_str());
        return 1;
    }
    if (db.backup_to((target / accounts::kDatabaseFile).string()) != DbStatus::ok) {
        std::fprintf(stderr, "igmhost: %s\n", db.last_error().c_str());
        return 1;
    }
    int files = 0;
    for (auto it = fs::recursive_directory_iterator(world, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::path relative = fs::relative(it->path(), world);
        if (it->is_directory()) {
            fs::create_directories(target / relative);
        } else if (it->is_regular_file() && !is_database_file(relative)) {
            fs::copy_file(it->path(), target / relative, fs::copy_options::overwrite_existing, ec);
            if (ec) break;
            ++files;
        }
    }
    if (ec) {
        std::fprintf(stderr, "igmhost: backup: %s\n", ec.message().c_str());
        return 1;
    }
    std::printf("backed up the accounts and %d other files to %s\n", files, target.c_str());
    return 0;
}

// Attaches this terminal to the sysop console of the igmhost serving
// `world`, through its Unix socket, until igmhost hangs up.
int attach_console(const fs::path& world) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = (world / "IGMHOST.SOCK").string();
    if (path.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "igmhost: console: the world folder's path is too long\n");
        return 2;
    }
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "igmhost: console: no igmhost serves %s (%s)\n", world.c_str(),
                     std::strerror(errno));
        return 1;
    }
    // Key by key and without local echo, as the console itself is read;
    // Ctrl-C goes to the far side as a key.
    termios saved{};
    bool terminal = isatty(0) && tcgetattr(0, &saved) == 0;
    if (terminal) {
        termios raw = saved;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(0, TCSAFLUSH, &raw);
    }
    bool input_open = true;
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {0, static_cast<short>(input_open ? POLLIN : 0), 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        char buffer[4096];
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            if (write(1, buffer, static_cast<size_t>(n)) < 0) break;
        }
        if (input_open && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t n = read(0, buffer, sizeof buffer);
            if (n <= 0) {
                input_open = false;  // what igmhost still sends is shown
            } else if (send(fd, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) < 0) {
                break;
            }
        }
    }
    if (terminal) tcsetattr(0, TCSAFLUSH, &saved);
    close(fd);
    std::printf("\n");
    return 0;
}

}  // namespace

bool is_tool_command(std::string_view word) {
    return word == "accounts" || word == "backup" || word == "console";
}

int run(int argc, char** argv) {
    std::string error;
    auto command = parse(argc, argv, &error);
    if (!command) {
        std::fprintf(stderr, "igmhost: %s\n%s", error.c_str(), usage());
        return 2;
    }
    if (command->help) {
        std::fputs(usage(), stdout);
        return 0;
    }
    const std::vector<std::string>& w = command->words;
    if (w[0] == "console" && w.size() == 1) return attach_console(command->world);
    std::string verb = w[0] == "backup" ? "backup" : w.size() > 1 ? w[1] : "";
    size_t operands = w[0] == "backup" ? w.size() - 1 : w.size() - std::min<size_t>(w.size(), 2);
    size_t wanted = verb == "list"                         ? 0
                    : verb == "passwd" || verb == "delete" ? 1
                    : verb == "grant" || verb == "revoke"  ? 2
                    : verb == "backup"                     ? 1
                                                           : 99;
    if (wanted == 99 || operands != wanted) {
        std::fprintf(stderr, "igmhost: %s\n%s",
                     wanted == 99 ? "which account tool?" : "wrong number of arguments", usage());
        return 2;
    }
    const std::string* operand = operands > 0 ? &w[w.size() - operands] : nullptr;
    fs::path world = command->world;
    std::error_code ec;
    if (!fs::is_directory(world, ec)) {
        std::fprintf(stderr, "igmhost: cannot use the world folder %s: not a folder\n",
                     world.c_str());
        return 2;
    }
    auto db = accounts::AccountDb::open(
        (world / accounts::kDatabaseFile).string(), (world / frontend::kAccountsFile).string(),
        kToolBusyMs,
        [](const std::string& note) { std::fprintf(stderr, "igmhost: %s\n", note.c_str()); },
        &error);
    if (!db) {
        std::fprintf(stderr, "igmhost: %s\n", error.c_str());
        return 2;
    }
    if (verb == "list") return list(*db);
    if (verb == "backup") return backup(*db, world, *operand);
    const std::string& name = operand[0];
    if (verb == "delete") {
        int status = report(db->retire(name), name, *db);
        if (status == 0) std::printf("%s is deleted; the name stays retired\n", name.c_str());
        return status;
    }
    if (verb == "grant" || verb == "revoke") {
        auto key = clean_key(operand[1]);
        if (!key) {
            std::fprintf(stderr, "igmhost: a key is 1 to 20 letters, digits or underscores\n");
            return 2;
        }
        DbStatus status = verb == "grant" ? db->grant(name, *key) : db->revoke(name, *key);
        return report(status, name, *db);
    }
    // passwd: the account must exist before anyone is asked to type.
    accounts::Account account;
    DbStatus found = db->find(name, &account);
    if (found == DbStatus::ok && account.retired) found = DbStatus::missing;
    if (found != DbStatus::ok) return report(found, name, *db);
    if (!accounts::init_hashing()) {
        std::fprintf(stderr, "igmhost: libsodium cannot start\n");
        return 1;
    }
    std::string hash = new_password_hash(command->cost);
    if (hash.empty()) return 1;
    int status = report(db->set_password(account.name, hash), name, *db);
    if (status == 0) std::printf("password set for %s\n", account.name.c_str());
    return status;
}

}  // namespace tools
