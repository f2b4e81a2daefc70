// igmhost's server loop and the life of its channels: accepting callers,
// reading their lines, delivering statuses, sending output, hanging up.
#include "server/server.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
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
#include <utility>

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
constexpr milliseconds kRetryWait{10};   // before a step the busy database held up runs again
constexpr milliseconds kSlowRound{250};  // a round this long is logged
// Output held back while a script's statuses are due (batch_output).
constexpr size_t kBatchBytes = 8 * 1024;
constexpr milliseconds kBatchWait{5000};
constexpr int kIdleWarning = 60;  // seconds before the idle cut that a user is warned
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

// True when at least `wanted` (at most 16) descriptors below the limit are
// free: each is taken and given back, which costs the same however many
// descriptors are open.
bool descriptors_free(long wanted, int any_open_fd) {
    int taken[16];
    long got = 0;
    while (got < std::min(wanted, 16L)) {
        int fd = fcntl(any_open_fd, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) break;
        taken[got++] = fd;
    }
    for (long i = 0; i < got; ++i)
        close(taken[i]);
    return got >= std::min(wanted, 16L);
}

long descriptor_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
    return static_cast<long>(limit.rlim_cur);
}

// What an epoll event stands for: a fixed descriptor of the server, or a
// session's descriptor as its serial (high half) and channel (low half,
// with kWriteSide set for a write descriptor watched on its own).
enum FixedEvent : uint64_t { kWakeEvent = 1, kListenerEvent, kHashEvent, kAttachEvent };
constexpr uint64_t kWriteSide = 1U << 31;
uint64_t session_token(uint32_t serial, int channel) {
    return (static_cast<uint64_t>(serial) << 32) | static_cast<uint32_t>(channel);
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
    server->epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
    if (server->epoll_fd_ < 0 || !server->watch(server->wake_pipe_[0], EPOLLIN, kWakeEvent)) {
        if (error) *error = std::string("cannot make an epoll set: ") + std::strerror(errno);
        return nullptr;
    }
    return server;
}

Server::~Server() {
    for (int fd : wake_pipe_) {
        if (fd >= 0) close(fd);
    }
    if (epoll_fd_ >= 0) close(epoll_fd_);
}

bool Server::watch(int fd, uint32_t events, uint64_t token) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = token;
    if (epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &event) == 0) return true;
    host::log("cannot watch descriptor %d: %s", fd, std::strerror(errno));
    return false;
}

// A walk over the callers, but only at a sign-on, never for a typed line.
int Server::name_holder(int asking, std::string_view name) {
    for (const auto& s : sessions_) {
        if (!s || s->channel() == asking || !s->signed_on() || s->name().size() != name.size())
            continue;
        if (strncasecmp(s->name().data(), name.data(), name.size()) == 0) return s->channel();
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
        if (s == nullptr) continue;
        s->hash_result(r);
        after_call(*s);
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
    auto calls = calls_from_.find(address);
    int open = calls == calls_from_.end() ? 0 : calls->second;
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
    connection->set_output_hook([this, channel] { mark_dirty(channel); });
    if (dynamic_cast<frontend::TelnetConnection*>(connection.get()) != nullptr)
        ++calls_from_[accounts::address_of(connection->describe())];
    sessions_[channel] =
        std::make_unique<Session>(channel, std::move(connection), accounts_.context());
    pump_.forget(channel);
    Seat& seat = seats_[channel];
    if (++last_serial_ == 0) ++last_serial_;
    // Entries the channel's last session left on the lists stand for this one.
    seat = Seat{.serial = last_serial_,
                .ready = seat.ready,
                .settling = seat.settling,
                .dirty = seat.dirty,
                .events = EPOLLIN};
    Session& s = *sessions_[channel];
    watch(s.connection().read_fd(), seat.events, session_token(seat.serial, channel));
    // The telnet negotiation is already queued, and the terminal settles
    // from the first round on.
    mark_settling(channel);
    mark_dirty(channel);
    set_idle_timer(s);
}

void Server::remove_session(int channel) {
    Session* s = session(channel);
    if (s == nullptr) return;
    Seat& seat = seats_[channel];
    frontend::Connection& c = s->connection();
    epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, c.read_fd(), nullptr);
    if (seat.write_watched) epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, c.write_fd(), nullptr);
    seat = Seat{.ready = seat.ready, .settling = seat.settling, .dirty = seat.dirty};  // serial 0
    if (dynamic_cast<frontend::TelnetConnection*>(&c) != nullptr) {
        auto calls = calls_from_.find(accounts::address_of(c.describe()));
        if (calls != calls_from_.end() && --calls->second <= 0) calls_from_.erase(calls);
    }
    sessions_[channel].reset();
    release_channel(channel);
    pump_.forget(channel);
    if (channel >= first_telnet_channel()) free_channels_.push(channel);
}

bool Server::start(frontend::Charset console_charset) {
    std::string error;
    rlimit nofile{};
    if (getrlimit(RLIMIT_NOFILE, &nofile) == 0 && nofile.rlim_cur < nofile.rlim_max) {
        nofile.rlim_cur = nofile.rlim_max;
        setrlimit(RLIMIT_NOFILE, &nofile);
    }
    long limit = descriptor_limit();
    long open = open_descriptors(limit);
    host::log("file descriptors: %ld open, at most %ld, %ld kept for files", open, limit,
              descriptor_reserve(limit));
    // The database, the log and the hand-off files take a few more.
    long room = limit - open - descriptor_reserve(limit) - 8;
    if (options_.max_users > room)
        host::log(
            "--max-users %d, but the open-file limit leaves room for about %ld callers: "
            "more are turned away as too busy",
            options_.max_users, std::max(room, 0L));
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
    seats_.resize(channels);
    for (int ch = first_telnet_channel(); ch < channels; ++ch)
        free_channels_.push(ch);
    // A list holds a channel at most once: it never needs more room than this.
    for (auto* list : {&ready_, &settling_, &dirty_, &work_})
        list->reserve(channels);
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
    pump_.set_delivered([this](int channel) { status_delivered(channel); });
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
        if (!watch(listener_.fd(), EPOLLIN, kListenerEvent)) return false;
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
    if (!watch(attach_fd_, EPOLLIN, kAttachEvent) ||
        !watch(accounts_.wake_fd(), EPOLLIN, kHashEvent))
        return false;
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
            remove_session(0);
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
    bool short_now = out_already || !descriptors_free(reserve, wake_pipe_[0]);
    // Counting them all is for the log, when the answer changes.
    long free =
        short_now == descriptors_short_ || out_already ? 0 : limit - open_descriptors(limit);
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

int Server::take_free_channel() {
    if (free_channels_.empty()) return -1;
    int channel = free_channels_.top();
    free_channels_.pop();
    return channel;
}

// An attached console takes a free channel and is signed on as the sysop.
void Server::accept_attached_console() {
    int fd = accept4(attach_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    const int channel = take_free_channel();
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
        remove_session(channel);
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
        const int channel = take_free_channel();
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
            mark_ready(channel);
            watch_events(s);
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
    if (c.take_interrupt() && s.signed_on()) {
        s.ask_stop();
        if (s.wants_server_stop()) stopping_ = true;
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
    // What arrived may settle the terminal (its type, the probe's answer).
    if (!s.greeted()) mark_settling(channel);
    if (!c.lines().empty()) mark_ready(channel);
    watch_events(s);
}

void Server::hang_up(int channel, const std::string& reason) {
    Session* s = session(channel);
    if (s == nullptr) return;
    host::log("%s: disconnect: %s", frontend::who(channel, s->name()).c_str(), reason.c_str());
    s->connection().flush();
    bool console = s->is_console();
    if (channel == spied_) spied_ = -1;
    remove_session(channel);
    // Without its own console igmhost has no one to serve; an attached one
    // may come and go.
    if (console && channel == 0 && options_.console) stopping_ = true;
}

// Callers whose terminal may have settled (something arrived, or a wait
// ran out) get the greeting and the name prompt once it has.
void Server::greet_settled(Clock::time_point now) {
    work_.swap(settling_);
    for (int channel : work_) {
        if (!std::exchange(seats_[channel].settling, false)) continue;
        Session* s = session(channel);
        if (s == nullptr || s->greeted() || s->stage() == Session::Stage::closing) continue;
        auto* telnet = dynamic_cast<frontend::TelnetConnection*>(&s->connection());
        if (telnet == nullptr) continue;
        if (!telnet->settle(now)) {
            set_timer(channel, telnet->settle_deadline());
            continue;
        }
        host::log("%s: %s, %s%s", frontend::who(channel, "").c_str(), telnet->how().c_str(),
                  frontend::charset_name(telnet->charset()), telnet->colour() ? "" : ", no colour");
        s->greet();
        after_call(*s);
    }
    work_.clear();
}

// The user is between two modules: the status that completes the move is
// still queued, or the game has not yet taken back a player handed back.
bool Server::hand_over_pending(int channel) const {
    return host::lines_held(channel) || game::awaiting_hand_back(channel);
}

// A user whose password is being checked waits, and so does one whose
// hand-over is still queued (host_core.h).
bool Server::can_take_line(Session& s) const {
    return !s.connection().lines().empty() && s.stage() != Session::Stage::closing && s.greeted() &&
           !s.waiting() && !hand_over_pending(s.channel());
}

// One typed line for each user who has one waiting.
void Server::take_lines() {
    work_.swap(ready_);
    for (int channel : work_) {
        if (!std::exchange(seats_[channel].ready, false)) continue;
        Session* s = session(channel);
        if (s == nullptr) continue;
        if (s->needs_retry()) s->retry();
        // One line per user per round keeps a pasting user from crowding
        // out the others.
        if (can_take_line(*s)) {
            std::string line = std::move(s->connection().lines().front());
            s->connection().lines().pop_front();
            s->handle_line(line);
            if (s->wants_server_stop()) stopping_ = true;
        }
        // After a half-close: once every line typed before it has been
        // served, the caller is gone. (A caller who hangs up sends the same
        // end of input, so a script the lines started is not waited for.)
        if (s->connection().input_ended() && s->connection().lines().empty() &&
            s->stage() != Session::Stage::closing && !s->waiting() && !hand_over_pending(channel)) {
            s->close_with("", "carrier lost");
        }
        after_call(*s);
    }
    work_.clear();
}

// Queued output out, and users who are done (or whose client stopped reading) closed.
void Server::send_output(Clock::time_point now) {
    work_.swap(dirty_);
    for (int channel : work_) {
        if (!std::exchange(seats_[channel].dirty, false)) continue;
        Session* s = session(channel);
        if (s == nullptr) continue;
        if (s->connection().output_overflowed()) {
            hang_up(channel, "output queue over 1 MB (the client is not reading)");
        } else if (batch_output(*s, now)) {
            continue;  // the next status delivered there or the timer marks it again
        } else if (!s->connection().flush()) {
            hang_up(channel, "carrier lost");
        } else if (s->stage() == Session::Stage::closing &&
                   (s->connection().queued_output() == 0 || now >= s->close_deadline)) {
            hang_up(channel, s->close_reason());
        } else {
            seats_[channel].batch_since = Clock::time_point::max();
            if (s->stage() == Session::Stage::closing) set_timer(channel, s->close_deadline);
            // What the terminal did not take goes when it can take more.
            seats_[channel].output_waits = s->connection().queued_output() > 0;
            watch_events(*s);
        }
    }
    work_.clear();
}

// A user's output waits while their script has statuses due, so that the
// echo of the line that started it, its answer and the script's slices go
// out in one write: when thousands of users are in scripts, their statuses
// come round once in many rounds, and a write a round would multiply what
// a line costs. It waits at most kBatchWait (a timer sees to it), and not
// at all once kBatchBytes have piled up, while earlier output waits for the
// terminal or when the session is closing; a script asleep in /WAIT: holds
// nothing back.
bool Server::batch_output(Session& s, Clock::time_point now) {
    const int channel = s.channel();
    Seat& seat = seats_[channel];
    if (s.stage() == Session::Stage::closing || seat.output_waits ||
        s.connection().queued_output() >= kBatchBytes || !host::statuses_due(channel))
        return false;
    if (seat.batch_since == Clock::time_point::max()) seat.batch_since = now;
    if (now - seat.batch_since >= kBatchWait) return false;
    set_timer(channel, seat.batch_since + kBatchWait);
    return true;
}

// Settle deadlines, close deadlines and retries on the steady clock; idle
// warnings and cuts on the rules' clock. A timer left by an earlier session
// on the channel, or one that a later look made early, costs a look.
void Server::run_timers() {
    for (Clock::time_point now = Clock::now(); !timers_.empty() && timers_.top().when <= now;) {
        Timer timer = timers_.top();
        timers_.pop();
        Seat& seat = seats_[timer.channel];
        Session* s = session(timer.channel);
        if (s == nullptr || seat.serial != timer.serial) continue;
        if (timer.when == seat.timer_at) seat.timer_at = Clock::time_point::max();
        if (!s->greeted()) mark_settling(timer.channel);
        if (s->needs_retry()) mark_ready(timer.channel);
        mark_dirty(timer.channel);
    }
    auto now = rules::now();
    while (!idle_timers_.empty() && idle_timers_.top().when <= now) {
        Timer timer = idle_timers_.top();
        idle_timers_.pop();
        Seat& seat = seats_[timer.channel];
        Session* s = session(timer.channel);
        if (s == nullptr || seat.serial != timer.serial) continue;
        if (timer.when == seat.idle_at) seat.idle_at = Clock::time_point::max();
        check_idle(*s, now);
        mark_dirty(timer.channel);
        set_idle_timer(*s);
    }
}

// A status was delivered on `channel`: a hand-over it ended frees the
// lines held behind it.
void Server::status_delivered(int channel) {
    Seat& seat = seats_[channel];
    if (seat.batch_since != Clock::time_point::max()) mark_dirty(channel);
    if (seat.held && !hand_over_pending(channel)) {
        seat.held = false;
        mark_ready(channel);
    }
}

void Server::mark_ready(int channel) {
    if (!std::exchange(seats_[channel].ready, true)) ready_.push_back(channel);
}

void Server::mark_settling(int channel) {
    if (!std::exchange(seats_[channel].settling, true)) settling_.push_back(channel);
}

void Server::mark_dirty(int channel) {
    if (!std::exchange(seats_[channel].dirty, true)) dirty_.push_back(channel);
}

void Server::after_call(Session& s) {
    int channel = s.channel();
    mark_dirty(channel);
    if (s.needs_retry()) set_timer(channel, Clock::now() + kRetryWait);
    // Lines left wait for the next round; one held back by a hand-over
    // waits off the list until a status delivered there ends the hand-over
    // (so that thousands held cost nothing a round), and one held back by a
    // password check or the greeting waits for those.
    frontend::Connection& c = s.connection();
    bool more = s.greeted() ? !c.lines().empty() || c.input_ended() : false;
    if (more && s.stage() != Session::Stage::closing && !s.waiting()) {
        if (hand_over_pending(channel))
            seats_[channel].held = true;
        else
            mark_ready(channel);
    }
    set_idle_timer(s);
    watch_events(s);
}

void Server::set_timer(int channel, Clock::time_point when) {
    Seat& seat = seats_[channel];
    if (when >= seat.timer_at) return;
    seat.timer_at = when;
    timers_.push({when, channel, seat.serial});
}

// The next idle warning or cut; a timer that finds the user has typed
// since only sets the next one. Signing on may bring the deadline forward.
void Server::set_idle_timer(Session& s) {
    int limit = idle_limit(s);
    if (limit <= 0 || s.stage() == Session::Stage::closing) return;
    auto due = s.last_input + std::chrono::seconds(limit);
    if (s.signed_on() && !s.idle_warned && limit > kIdleWarning)
        due -= std::chrono::seconds(kIdleWarning);
    Seat& seat = seats_[s.channel()];
    if (due >= seat.idle_at) return;
    seat.idle_at = due;
    idle_timers_.push({due, s.channel(), seat.serial});
}

// Reading stops while half of kMaxQueuedLines wait, and after the end of
// input (a hang-up is still reported); writability is watched only while
// output the terminal would not take waits (output queued in a round goes
// out at its end, or once batch_output lets it, without a look at
// writability).
void Server::watch_events(Session& s) {
    Seat& seat = seats_[s.channel()];
    frontend::Connection& c = s.connection();
    uint64_t token = session_token(seat.serial, s.channel());
    uint32_t events = c.lines().size() < frontend::kMaxQueuedLines / 2 && !c.input_ended()
                          ? uint32_t{EPOLLIN}
                          : 0;
    bool output = seat.output_waits;
    if (c.write_fd() == c.read_fd()) {
        if (output) events |= EPOLLOUT;
    } else if (output != seat.write_watched) {
        seat.write_watched = output && watch(c.write_fd(), EPOLLOUT, token | kWriteSide);
        if (!output) epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, c.write_fd(), nullptr);
    }
    if (events == seat.events) return;
    epoll_event event{events, {.u64 = token}};
    if (epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, c.read_fd(), &event) == 0) seat.events = events;
}

int Server::wait_timeout(Clock::time_point now, std::optional<Clock::duration> status_wait) {
    if (!settling_.empty() || !dirty_.empty()) return 0;
    for (int channel : ready_) {
        Session* s = session(channel);
        if (s != nullptr && can_take_line(*s)) return 0;
    }
    Clock::duration wait = kLongestSleep;
    if (status_wait) wait = std::min(wait, *status_wait);
    if (!timers_.empty()) wait = std::min(wait, timers_.top().when - now);
    if (!idle_timers_.empty()) wait = std::min(wait, idle_timers_.top().when - rules::now());
    if (wait <= Clock::duration::zero()) return 0;
    // Round up, so that a deadline a fraction of a millisecond away is met
    // by one sleep instead of a spin of zero-length waits.
    return static_cast<int>(std::chrono::ceil<milliseconds>(wait).count());
}

bool Server::run_once() {
    if (stopping_) return false;
    // Lines first, so that the statuses they queue are delivered in the
    // same round, then everything that came of both goes out.
    const auto started = Clock::now();
    run_timers();
    greet_settled(started);
    const auto lines_at = Clock::now();
    take_lines();
    const auto statuses_at = Clock::now();
    auto status_wait = pump_.run(kStatusBudget, statuses_at);
    const auto output_at = Clock::now();
    send_output(output_at);
    note_slow_round(started, {{"timers", lines_at},
                              {"lines", statuses_at},
                              {"statuses", output_at},
                              {"output", Clock::now()}});
    if (stopping_) return false;
    int timeout = wait_timeout(Clock::now(), status_wait);
    int n = epoll_wait(epoll_fd_, events_.data(), static_cast<int>(events_.size()), timeout);
    if (n < 0 && errno != EINTR) {
        host::log("epoll_wait failed: %s", std::strerror(errno));
        stopping_ = true;
        return false;
    }
    // The server's own descriptors first, in this order, then the sessions.
    bool fixed[kAttachEvent + 1] = {};
    for (int i = 0; i < n; ++i) {
        if (events_[i].data.u64 <= kAttachEvent) fixed[events_[i].data.u64] = true;
    }
    if (fixed[kWakeEvent] && take_wake_bytes()) {
        stopping_ = true;
        return false;
    }
    if (fixed[kListenerEvent]) accept_callers();
    if (fixed[kHashEvent]) take_hash_results();
    if (fixed[kAttachEvent]) accept_attached_console();
    const auto reading_at = Clock::now();
    for (int i = 0; i < n; ++i) {
        if (events_[i].data.u64 > kAttachEvent) handle_event(events_[i]);
    }
    note_slow_round(reading_at, {{"reading", Clock::now()}});
    return !stopping_;
}

// The loop has one thread, so a round that keeps everyone waiting is
// logged with where its time went (a slow disk, a module call that
// blocks): `parts` are the ends of its parts, in order.
void Server::note_slow_round(
    Clock::time_point started,
    std::initializer_list<std::pair<const char*, Clock::time_point>> parts) {
    auto ms = [](Clock::duration d) {
        return static_cast<long long>(std::chrono::duration_cast<milliseconds>(d).count());
    };
    const Clock::time_point ended = (parts.end() - 1)->second;
    if (ended - started < kSlowRound) return;
    std::string where;
    Clock::time_point from = started;
    for (const auto& [part, end] : parts) {
        where += (where.empty() ? "" : ", ") + std::string(part) + " " +
                 std::to_string(ms(end - from)) + " ms";
        from = end;
    }
    host::log("slow round: %lld ms (%s)", ms(ended - started), where.c_str());
}

// An event on a session's descriptor; one for a session that has since
// hung up (its channel perhaps taken again) is passed over.
void Server::handle_event(const epoll_event& event) {
    const uint64_t token = event.data.u64;
    const int channel = static_cast<int>(token & (kWriteSide - 1));
    auto current = [&] {
        return session(channel) != nullptr &&
               seats_[channel].serial == static_cast<uint32_t>(token >> 32);
    };
    if (!current()) return;
    if (!(token & kWriteSide) && (event.events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
        read_from(*session(channel));
    if ((event.events & (EPOLLOUT | EPOLLHUP | EPOLLERR)) && current()) mark_dirty(channel);
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
    mark_dirty(channel);
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
