// igmhost's server loop and the life of its channels: accepting callers,
// reading their lines, delivering statuses, sending output, hanging up.
#include "server/server.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "game/game.h"
#include "server/core/host_core.h"
#include "server/frontend/console.h"
#include "server/frontend/log_lines.h"
#include "server/frontend/script_reports.h"
#include "server/host_api.h"
#include "server/log_file.h"

namespace server {
namespace {

using frontend::release_channel;
using frontend::Session;
using std::chrono::milliseconds;

constexpr int kStatusBudget = 64;  // statuses delivered between two looks at the sockets
constexpr milliseconds kLongestSleep{1000};
constexpr milliseconds kShutdownFlush{1000};
constexpr milliseconds kRetryWait{10};  // before a step the busy database held up runs again
constexpr int kIdleWarning = 60;        // seconds before the idle cut that a user is warned
// The wake pipe, the listener, the hash results, the attach socket.
constexpr size_t kFixedPollEntries = 4;
constexpr const char* kAttachSocket = "IGMHOST.SOCK";  // in the world folder

// Descriptors left for the module's files (and the server's own: the log,
// the database, a hand-off file): callers are not taken while fewer remain.
// An eighth of a small limit (at least 2, the files a place choice opens at
// once), so that a server held to a few descriptors still serves a caller.
long descriptor_reserve(long limit) {
    return std::clamp(limit / 8, 2L, 16L);
}

// Open descriptors of the process numbered below `limit` (one inherited
// above it takes no number a new file could get), or the limit itself when
// they cannot be counted (opening the folder needs a descriptor of its own).
long open_descriptors(long limit) {
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) return limit;
    long used = 0;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;  // "." and ".."
        if (std::atol(entry->d_name) < limit) ++used;
    }
    closedir(folder);
    return used - 1;  // the folder's own descriptor
}

long descriptor_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
    return static_cast<long>(limit.rlim_cur);
}

// Tells a caller why it is turned away and hangs up.
void refuse(int fd, const std::string& text) {
    [[maybe_unused]] ssize_t n = send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(fd);
}

}  // namespace

bool enter_world(const std::string& world, std::string* error) {
    if (chdir(world.c_str()) == 0) return true;
    if (error) *error = "cannot use the world folder " + world + ": " + std::strerror(errno);
    return false;
}

std::unique_ptr<Server> Server::make(frontend::Options options, std::string* error) {
    std::unique_ptr<Server> server(new Server(std::move(options)));
    if (pipe2(server->wake_pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (error) *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return nullptr;
    }
    return server;
}

Server::~Server() {
    for (int fd : wake_pipe_) {
        if (fd >= 0) close(fd);
    }
}

int Server::name_holder(int asking, std::string_view name) {
    for (const auto& s : sessions_) {
        if (!s || s->channel() == asking || !s->signed_on()) continue;
        if (strcasecmp(s->name().c_str(), std::string(name).c_str()) == 0) return s->channel();
    }
    return -1;
}

// Before sign-on the shorter of the two limits applies; the console has none.
int Server::idle_limit(const Session& s) const {
    if (s.is_console()) return 0;
    if (s.signed_on()) return options_.idle_seconds;
    int before = options_.idle_signon_seconds, after = options_.idle_seconds;
    return before == 0 ? after : after == 0 ? before : std::min(before, after);
}

// A minute before the idle cut a signed-on user is warned, then cut.
void Server::check_idle(Session& s, rules::Clock::time_point now) {
    int limit = idle_limit(s);
    if (limit <= 0 || s.stage() == Session::Stage::closing) return;
    auto idle = now - s.last_input;
    if (idle >= std::chrono::seconds(limit)) {
        s.close_with("\nYou have been idle too long. Goodbye!\n", "idle timeout");
    } else if (s.signed_on() && limit > kIdleWarning && !s.idle_warned &&
               idle >= std::chrono::seconds(limit - kIdleWarning)) {
        s.idle_warned = true;
        s.connection().write_text(
            "\nYou will be signed off in 60 seconds unless you type something.\n");
        host::log("%s: warned of the idle cut", frontend::who(s.channel(), s.name()).c_str());
    }
}

void Server::take_hash_results() {
    for (const accounts::HashResult& r : accounts_.take_results()) {
        Session* s = session(r.channel);
        if (s != nullptr) s->hash_result(r);
    }
}

// A caller from an address blocked for wrong passwords, or over the cap
// of connections at once from one address, is turned away.
bool Server::refused_by_limits(int fd, const std::string& peer) {
    std::string address = accounts::address_of(peer);
    if (accounts_.limits().blocked(address, rules::now())) {
        refuse(fd, "\r\nToo many wrong passwords from your address. Please try again later.\r\n");
        host::log("connect from %s refused: blocked after wrong passwords", peer.c_str());
        return true;
    }
    int cap = options_.max_per_address;
    if (cap == 0) return false;
    int open = 0;
    for (const auto& s : sessions_) {
        if (s && !s->is_console() && accounts::address_of(s->connection().describe()) == address) {
            ++open;
        }
    }
    if (open < cap) return false;
    refuse(fd, "\r\nSorry, no more than " + std::to_string(cap) +
                   " calls at once from one address.\r\n");
    host::log("connect from %s refused: %d calls from %s already", peer.c_str(), open,
              address.c_str());
    return true;
}

void Server::add_session(int channel, std::unique_ptr<frontend::Connection> connection) {
    release_channel(channel);  // whatever the last user left
    script_failures_.forget(channel);
    sessions_[channel] =
        std::make_unique<Session>(channel, std::move(connection), accounts_.context());
    pump_.forget(channel);
}

bool Server::start(frontend::Charset console_charset) {
    std::string error;
    rlimit nofile{};
    if (getrlimit(RLIMIT_NOFILE, &nofile) == 0 && nofile.rlim_cur < nofile.rlim_max) {
        nofile.rlim_cur = nofile.rlim_max;
        setrlimit(RLIMIT_NOFILE, &nofile);
    }
    long limit = descriptor_limit();
    host::log("file descriptors: %ld open, at most %ld, %ld kept for files",
              open_descriptors(limit), limit, descriptor_reserve(limit));
    if (!accounts_.start(
            {options_.world,
             {2, static_cast<size_t>(options_.hash_memory_kib)},
             {options_.max_per_address, options_.max_failed_passwords, options_.max_new_accounts},
             options_.claim_imported},
            &error)) {
        host::log("%s", error.c_str());
        std::fprintf(stderr, "igmhost: %s\n", error.c_str());
        return false;
    }
    accounts_.context().holder = [this](int asking, std::string_view name) {
        return name_holder(asking, name);
    };
    accounts_.context().end_call = [this](int channel, const std::string& reason) {
        if (Session* s = session(channel))
            s->close_with("\nThis name has signed on again elsewhere. Goodbye.\n", reason);
        hang_up(channel, reason);
    };
    host_api::set_callers_source([this] {
        std::vector<host_api::Caller> callers;
        for (const auto& s : sessions_) {
            if (s && s->signed_on()) callers.push_back({s->name(), s->where()});
        }
        return callers;
    });
    int channels = options_.max_users + (options_.console ? 1 : 0);
    host::init(channels);
    sessions_.resize(channels);
    host::set_output_sink([this](int channel, std::string_view bytes) {
        if (bytes.empty()) return;
        pump_.note_output(channel);
        Session* s = session(channel);
        // -- script problems: the module's failure texts go to the log too --
        for (const std::string& failure : script_failures_.feed(channel, bytes))
            host::log("%s: %s", frontend::who(channel, s ? s->name() : "").c_str(),
                      failure.c_str());
        if (s != nullptr && s->stage() != Session::Stage::closing)
            s->connection().write_text(bytes);
    });
    host::set_catastro_hook(&frontend::restore_console);
    // A client that reads slowly holds its script back; one that has
    // stopped reading altogether is let run into the output limit.
    pump_.set_hold([this](int channel) {
        Session* s = session(channel);
        return s != nullptr &&
               s->connection().queued_output() > frontend::StatusPump::kHoldOutput &&
               !s->connection().output_stalled(Clock::now());
    });

    // The module appends its own IGMLIST.DAT entry as it starts: the game
    // clears those of earlier runs first.
    std::string module_name = std::filesystem::path(options_.module).stem().string();
    std::transform(module_name.begin(), module_name.end(), module_name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!game::register_games({module_name}, &error)) {
        host::log("cannot set up the game: %s", error.c_str());
        std::fprintf(stderr, "igmhost: cannot set up the game: %s\n", error.c_str());
        return false;
    }
    frontend::log_script_findings(".");  // -- script problems: the checker's findings --
    int module = host::load_module(options_.module, &error);
    if (module < 0) {
        host::log("cannot load the module %s: %s", options_.module.c_str(), error.c_str());
        std::fprintf(stderr, "igmhost: cannot load the module %s: %s\n", options_.module.c_str(),
                     error.c_str());
        return false;
    }
    if (options_.port >= 0) {
        if (!listener_.open(options_.address, options_.port, &error)) {
            host::log("%s", error.c_str());
            std::fprintf(stderr, "igmhost: %s\n", error.c_str());
            return false;
        }
        host::log("listening on %s:%d", listener_.address().c_str(), listener_.port());
        if (options_.console) {
            std::fprintf(stderr, "igmhost: telnet callers connect to %s port %d\n",
                         listener_.address().c_str(), listener_.port());
        }
    }
    if (!open_attach_socket(&error)) {
        host::log("%s", error.c_str());
        std::fprintf(stderr, "igmhost: %s\n", error.c_str());
        return false;
    }
    if (options_.console) {
        auto console = frontend::ConsoleConnection::open(console_charset, &error);
        if (!console) {
            std::fprintf(stderr, "igmhost: %s\n", error.c_str());
            return false;
        }
        add_session(0, std::move(console));
        sessions_[0]->set_desk(this);
        host::log("console on channel 0 (%s)", frontend::charset_name(console_charset));
        if (!sessions_[0]->sign_on_console(&error)) {
            host::log("console: %s", error.c_str());
            sessions_[0].reset();
            frontend::restore_console();
            std::fprintf(stderr, "igmhost: console: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

// While fewer than the reserve of descriptors are free (counting the one
// a caller just took), no caller is taken: each is told so and hung up at
// once, so that a module never finds itself without a descriptor for its
// files, and waiting callers never keep the listener readable. The log says
// so once each time descriptors run short, and once when they suffice again.
bool Server::descriptors_short(bool out_already) {
    long limit = descriptor_limit();
    long reserve = descriptor_reserve(limit);
    long free = out_already ? 0 : limit - open_descriptors(limit);
    bool short_now = free < reserve;
    if (short_now && !descriptors_short_) {
        host::log(
            "connect refused: out of file descriptors (%ld of %ld free, %ld kept for files); "
            "callers are turned away until more are free",
            free, limit, reserve);
    } else if (!short_now && descriptors_short_) {
        host::log("taking callers again: %ld file descriptors free", free);
    }
    descriptors_short_ = short_now;
    return short_now;
}

bool Server::open_attach_socket(std::string* error) {
    // The world lock is ours: a socket left here is a stale one.
    unlink(kAttachSocket);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", kAttachSocket);
    attach_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    mode_t before = umask(077);  // made with no access for group and others
    bool bound =
        attach_fd_ >= 0 && bind(attach_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    umask(before);
    if (!bound || chmod(kAttachSocket, 0600) != 0 || listen(attach_fd_, 2) != 0) {
        *error = std::string("cannot make ") + kAttachSocket + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The first channel a caller can take, or -1 when every line is busy.
int Server::free_channel() const {
    for (int ch = first_telnet_channel(); ch < static_cast<int>(sessions_.size()); ++ch)
        if (!sessions_[ch]) return ch;
    return -1;
}

// An attached console takes a free channel and is signed on as the sysop.
void Server::accept_attached_console() {
    int fd = accept4(attach_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    const int channel = free_channel();
    if (channel < 0) {
        refuse(fd, "All lines are busy.\n");
        return;
    }
    add_session(channel, std::make_unique<frontend::AttachedConsole>(
                             fd, options_.charset.value_or(frontend::Charset::utf8)));
    std::string error;
    sessions_[channel]->set_desk(this);
    if (!sessions_[channel]->sign_on_console(&error)) {
        host::log("attached console: %s", error.c_str());
        sessions_[channel].reset();
        release_channel(channel);
        return;
    }
    host::log("console attached on channel %d", channel);
}

void Server::accept_callers() {
    std::string peer;
    for (int fd; (fd = listener_.accept_one(&peer)) != -1;) {
        bool out = fd == frontend::Listener::kRefusedNoDescriptors;
        if (descriptors_short(out)) {
            if (!out) refuse(fd, "\r\nSorry, the server is too busy. Please call again later.\r\n");
            continue;
        }
        if (refused_by_limits(fd, peer)) continue;
        const int channel = free_channel();
        if (channel < 0) {
            refuse(fd, "\r\nSorry, all " + std::to_string(options_.max_users) +
                           " lines are busy. Please call again later.\r\n");
            host::log("connect from %s refused: all %d lines busy", peer.c_str(),
                      options_.max_users);
            continue;
        }
        host::log("connect from %s on channel %d", peer.c_str(), channel);
        // Greeted once its character set is settled (greet_settled).
        add_session(channel,
                    std::make_unique<frontend::TelnetConnection>(fd, peer, options_.charset));
    }
}

void Server::read_from(Session& s) {
    int channel = s.channel();
    frontend::Connection& c = s.connection();
    c.set_line_limit(s.line_limit(static_cast<size_t>(options_.max_line)));
    if (c.input_ended()) {  // only a hang-up wakes a line whose input has ended
        hang_up(channel, "carrier lost");
        return;
    }
    if (!c.read_input()) {
        // The lines typed before the end of input are served first
        // (take_lines hangs up once they are).
        if (c.input_ended() && s.stage() != Session::Stage::closing) {
            host::log("%s: end of input", frontend::who(channel, s.name()).c_str());
            return;
        }
        std::string reason = "carrier lost";
        if (auto* telnet = dynamic_cast<frontend::TelnetConnection*>(&c)) {
            std::string error = telnet->take_warning();
            if (!error.empty()) reason = "telnet error: " + error;
        }
        hang_up(channel, reason);
        return;
    }
    if (c.typed_bytes() != s.typed_seen) {
        s.typed_seen = c.typed_bytes();
        s.last_input = rules::now();
        s.idle_warned = false;
        pump_.note_input(channel);
    }
    if (auto* telnet = dynamic_cast<frontend::TelnetConnection*>(&c)) {
        std::string warning = telnet->take_warning();
        if (!warning.empty()) {
            host::log("%s: telnet: %s", frontend::who(channel, s.name()).c_str(), warning.c_str());
        }
        if (!s.terminal_type_logged && !telnet->terminal_type().empty()) {
            s.terminal_type_logged = true;
            host::log("%s: terminal type %s", frontend::who(channel, s.name()).c_str(),
                      telnet->terminal_type().c_str());
        }
    }
}

void Server::hang_up(int channel, const std::string& reason) {
    Session* s = session(channel);
    if (s == nullptr) return;
    host::log("%s: disconnect: %s", frontend::who(channel, s->name()).c_str(), reason.c_str());
    s->connection().flush();
    bool console = s->is_console();
    if (channel == spied_) spied_ = -1;
    sessions_[channel].reset();
    release_channel(channel);
    pump_.forget(channel);
    // Without its own console igmhost has no one to serve; an attached one
    // may come and go.
    if (console && channel == 0 && options_.console) stopping_ = true;
}

// Callers whose terminal is settled get the greeting and the name prompt.
void Server::greet_settled(Clock::time_point now) {
    for (auto& owned : sessions_) {
        if (!owned || owned->greeted() || owned->stage() == Session::Stage::closing) continue;
        auto* telnet = dynamic_cast<frontend::TelnetConnection*>(&owned->connection());
        if (telnet == nullptr || !telnet->settle(now)) continue;
        host::log("%s: %s, %s%s", frontend::who(owned->channel(), "").c_str(),
                  telnet->how().c_str(), frontend::charset_name(telnet->charset()),
                  telnet->colour() ? "" : ", no colour");
        owned->greet();
    }
}

// The user is between two modules: the status that completes the move is
// still queued, or the game has not yet taken back a player handed back.
bool Server::hand_over_pending(int channel) const {
    return host::lines_held(channel) || game::awaiting_hand_back(channel);
}

// One typed line per user, and idle users told to go.
void Server::take_lines(Clock::time_point now) {
    for (auto& owned : sessions_) {
        if (!owned) continue;
        Session& s = *owned;
        if (s.needs_retry()) s.retry();
        // One line per user per round keeps a pasting user from crowding
        // out the others; a user whose password is being checked waits, and
        // so does one whose hand-over is still queued (host_core.h).
        if (!s.connection().lines().empty() && s.stage() != Session::Stage::closing &&
            s.greeted() && !s.waiting() && !hand_over_pending(s.channel())) {
            std::string line = std::move(s.connection().lines().front());
            s.connection().lines().pop_front();
            s.handle_line(line);
            if (s.wants_server_stop()) stopping_ = true;
        }
        // After a half-close: once every line typed before it has been
        // served, the caller is gone. (A caller who hangs up sends the same
        // end of input, so a script the lines started is not waited for.)
        if (s.connection().input_ended() && s.connection().lines().empty() &&
            s.stage() != Session::Stage::closing && !s.waiting() &&
            !hand_over_pending(s.channel())) {
            s.close_with("", "carrier lost");
        }
        check_idle(s, now);
    }
}

// Queued output out, and users who are done (or whose client stopped reading) closed.
void Server::send_output(Clock::time_point now) {
    for (auto& owned : sessions_) {
        if (!owned) continue;
        Session& s = *owned;
        if (s.connection().output_overflowed()) {
            hang_up(s.channel(), "output queue over 1 MB (the client is not reading)");
        } else if (!s.connection().flush()) {
            hang_up(s.channel(), "carrier lost");
        } else if (s.stage() == Session::Stage::closing &&
                   (s.connection().queued_output() == 0 || now >= s.close_deadline)) {
            hang_up(s.channel(), s.close_reason());
        }
    }
}

int Server::poll_timeout(Clock::time_point now, std::optional<Clock::duration> status_wait) {
    Clock::duration wait = kLongestSleep;
    if (status_wait) wait = std::min(wait, *status_wait);
    rules::Clock::time_point rules_now = rules::now();
    for (const auto& s : sessions_) {
        if (!s) continue;
        // A closing user's lines are never taken, so they must not keep
        // the loop from sleeping.
        if (s->stage() == Session::Stage::closing) {
            wait = std::min(wait, s->close_deadline - now);
            continue;
        }
        if (s->needs_retry() || !s->greeted()) wait = std::min<Clock::duration>(wait, kRetryWait);
        if (!s->connection().lines().empty() && s->greeted() && !s->waiting() &&
            !hand_over_pending(s->channel()))
            return 0;
        if (int limit = idle_limit(*s); limit > 0) {
            auto cut = s->last_input + std::chrono::seconds(limit);
            if (s->signed_on() && !s->idle_warned && limit > kIdleWarning)
                cut -= std::chrono::seconds(kIdleWarning);
            wait = std::min(wait, cut - rules_now);
        }
    }
    if (wait <= Clock::duration::zero()) return 0;
    // Round up, so that a deadline a fraction of a millisecond away is met
    // by one sleep instead of a spin of zero-length polls.
    return static_cast<int>(std::chrono::ceil<milliseconds>(wait).count());
}

bool Server::run_once() {
    if (stopping_) return false;
    // Lines first, so that the statuses they queue are delivered in the
    // same round, then everything that came of both goes out.
    greet_settled(Clock::now());
    take_lines(rules::now());
    auto status_wait = pump_.run(kStatusBudget, Clock::now());
    send_output(Clock::now());
    if (stopping_) return false;
    int timeout = poll_timeout(Clock::now(), status_wait);

    fds_.assign({{wake_pipe_[0], POLLIN, 0},
                 {listener_.fd(), POLLIN, 0},
                 {accounts_.wake_fd(), POLLIN, 0},
                 {attach_fd_, POLLIN, 0}});
    channel_of_.clear();
    for (auto& s : sessions_) {
        if (!s) continue;
        frontend::Connection& c = s->connection();
        short in =
            c.lines().size() < frontend::kMaxQueuedLines / 2 && !c.input_ended() ? POLLIN : 0;
        fds_.push_back({c.read_fd(), in, 0});
        channel_of_.push_back(s->channel());
        if (c.queued_output() > 0 && c.write_fd() != c.read_fd()) {
            fds_.push_back({c.write_fd(), POLLOUT, 0});
            channel_of_.push_back(-1);  // written in the next round's send_output
        } else if (c.queued_output() > 0) {
            fds_.back().events |= POLLOUT;
        }
    }
    if (poll(fds_.data(), fds_.size(), timeout) < 0 && errno != EINTR) {
        host::log("poll failed: %s", std::strerror(errno));
        stopping_ = true;
        return false;
    }
    if ((fds_[0].revents & POLLIN) && take_wake_bytes()) {
        stopping_ = true;
        return false;
    }
    if (fds_[1].revents & POLLIN) accept_callers();
    if (fds_[2].revents & POLLIN) take_hash_results();
    if (fds_[3].revents & POLLIN) accept_attached_console();
    for (size_t i = kFixedPollEntries; i < fds_.size(); ++i) {
        Session* s = session(channel_of_[i - kFixedPollEntries]);
        if (s != nullptr && (fds_[i].revents & (POLLIN | POLLHUP | POLLERR))) read_from(*s);
    }
    return !stopping_;
}

void Server::run() {
    while (run_once()) {
    }
}

// stop() writes a zero; a signal handler writes its signal's number.
// SIGHUP reopens the log (it stops only a server with a console, whose
// terminal has hung up); Ctrl-C at the console (SIGINT) asks there first,
// as G does; other signals, SIGTERM among them, stop at once. True when the
// server is to stop.
bool Server::take_wake_bytes() {
    char bytes[16];
    ssize_t n = read(wake_pipe_[0], bytes, sizeof bytes);
    if (n == 0) return true;  // the write end is gone: nobody can wake the loop any more
    Session* console = options_.console ? session(0) : nullptr;
    for (ssize_t i = 0; i < n; ++i) {
        if (bytes[i] == 0) {
            host::log("stopping on request");
            return true;
        }
        if (bytes[i] == SIGHUP && !options_.console) {
            reopen_log_file();
            continue;
        }
        if (bytes[i] == SIGINT && console != nullptr && console->signed_on()) {
            console->ask_stop();
            if (console->wants_server_stop()) return true;
            continue;
        }
        host::log("stopping on signal %d", bytes[i]);
        return true;
    }
    return false;
}

Session* Server::caller(int channel) {
    Session* s = session(channel);
    return s != nullptr && !s->is_console() && s->stage() != Session::Stage::closing ? s : nullptr;
}

int Server::callers_on() {
    int n = 0;
    for (int ch = first_telnet_channel(); ch < static_cast<int>(sessions_.size()); ++ch)
        n += caller(ch) != nullptr;
    return n;
}

std::string Server::callers_table() {
    std::string table = "  Ch  Name                 Address               Where / idle / on for\n";
    auto now = rules::now();
    for (int ch = first_telnet_channel(); ch < static_cast<int>(sessions_.size()); ++ch) {
        Session* s = caller(ch);
        if (s == nullptr) continue;
        auto idle = std::chrono::duration_cast<std::chrono::seconds>(now - s->last_input).count();
        auto on = std::chrono::duration_cast<std::chrono::minutes>(Clock::now() - s->connected_at)
                      .count();
        char line[160];
        std::snprintf(line, sizeof line,
                      "  %2d  %-20.20s %-21.21s %s\n      idle %llds, on %lldm\n", ch,
                      s->signed_on() ? s->name().c_str() : "(signing on)",
                      s->connection().describe().c_str(), s->signed_on() ? s->where().c_str() : "",
                      static_cast<long long>(idle), static_cast<long long>(on));
        table += line;
    }
    return table;
}

bool Server::message(int channel, const std::string& text) {
    bool sent = false;
    for (int ch = first_telnet_channel(); ch < static_cast<int>(sessions_.size()); ++ch) {
        Session* s = caller(ch);
        if (s == nullptr || (channel >= 0 && ch != channel)) continue;
        s->connection().notice("*** From the sysop: " + text);
        sent = true;
    }
    if (sent)
        host::log("console: message to %s",
                  channel < 0 ? "everyone" : std::to_string(channel).c_str());
    return sent;
}

bool Server::hang_up_caller(int channel) {
    Session* s = caller(channel);
    if (s == nullptr) return false;
    s->close_with("\nThe sysop has ended your call. Goodbye!\n", "hung up by the sysop");
    return true;
}

bool Server::spy(int channel) {
    Session* watched = caller(channel);
    if (channel >= 0 && watched == nullptr) return false;
    if (Session* was = session(spied_)) was->connection().set_watcher(nullptr);
    spied_ = channel;
    if (watched == nullptr) return true;
    host::log("console: spies on channel %d", channel);
    watched->connection().set_watcher([this](std::string_view text) {
        if (Session* console = session(0)) console->connection().write_text(text);
    });
    return true;
}

void Server::stop() {
    stopping_ = true;
    char byte = 0;
    [[maybe_unused]] ssize_t n = write(wake_pipe_[1], &byte, 1);
}

void Server::shut_down() {
    for (auto& s : sessions_) {
        if (s) s->connection().write_text("\n\nigmhost is shutting down. Farewell!\n");
    }
    // A short while for the farewells to leave, then every line is closed.
    auto deadline = Clock::now() + kShutdownFlush;
    while (Clock::now() < deadline) {
        std::vector<pollfd> fds;
        for (auto& s : sessions_) {
            if (!s || !s->connection().flush()) continue;
            if (s->connection().queued_output() > 0) {
                fds.push_back({s->connection().write_fd(), POLLOUT, 0});
            }
        }
        if (fds.empty()) break;
        poll(fds.data(), fds.size(), 50);
    }
    for (size_t ch = 0; ch < sessions_.size(); ++ch) {
        if (!sessions_[ch]) continue;
        host::log("%s: disconnect: server shutting down",
                  frontend::who(static_cast<int>(ch), sessions_[ch]->name()).c_str());
        sessions_[ch].reset();
        release_channel(static_cast<int>(ch));
    }
    frontend::restore_console();
    if (attach_fd_ >= 0) {
        close(attach_fd_);
        unlink(kAttachSocket);
    }
    host::log("shutdown");
}

}  // namespace server
