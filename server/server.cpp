// igmhost's server loop and the life of its channels: accepting callers,
// reading their lines, delivering statuses, sending output, hanging up.
#include "server/server.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "game/game.h"
#include "server/core/host_core.h"
#include "server/frontend/accounts.h"
#include "server/frontend/console.h"
#include "server/frontend/log_lines.h"
#include "server/frontend/script_reports.h"

namespace server {
namespace {

using frontend::release_channel;
using frontend::Session;
using std::chrono::milliseconds;

constexpr int kStatusBudget = 64;  // statuses delivered between two looks at the sockets
constexpr milliseconds kLongestSleep{1000};
constexpr milliseconds kShutdownFlush{1000};

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

bool Server::name_in_use(int asking, std::string_view name) {
    for (const auto& s : sessions_) {
        if (!s || s->channel() == asking) continue;
        bool holds = s->signed_on() || s->stage() == Session::Stage::age;
        if (holds && strcasecmp(s->name().c_str(), std::string(name).c_str()) == 0) return true;
    }
    return false;
}

void Server::add_session(int channel, std::unique_ptr<frontend::Connection> connection) {
    release_channel(channel);  // whatever the last user left
    script_failures_.forget(channel);
    sessions_[channel] = std::make_unique<Session>(
        channel, std::move(connection),
        [this, channel](std::string_view name) { return name_in_use(channel, name); });
    pump_.forget(channel);
}

bool Server::start(frontend::Charset console_charset) {
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

    std::string error;
    if (!game::register_games(&error)) {
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
    if (!listener_.open(options_.address, options_.port, &error)) {
        host::log("%s", error.c_str());
        std::fprintf(stderr, "igmhost: %s\n", error.c_str());
        return false;
    }
    host::log("listening on %s:%d", listener_.address().c_str(), listener_.port());
    if (auto bad = frontend::malformed_account_lines(); !bad.empty()) {
        std::string numbers;
        for (size_t i = 0; i < bad.size() && i < 10; ++i)
            numbers += (i ? ", " : "") + std::to_string(bad[i]);
        if (bad.size() > 10) numbers += ", ...";
        host::log("%s: %zu malformed line%s ignored (line %s)", frontend::kAccountsFile, bad.size(),
                  bad.size() == 1 ? "" : "s", numbers.c_str());
    }
    if (options_.console) {
        auto console = frontend::ConsoleConnection::open(console_charset, &error);
        if (!console) {
            std::fprintf(stderr, "igmhost: %s\n", error.c_str());
            return false;
        }
        add_session(0, std::move(console));
        host::log("console on channel 0 (%s)", frontend::charset_name(console_charset));
        sessions_[0]->sign_on_console();
    }
    return true;
}

void Server::accept_callers() {
    std::string peer;
    for (int fd; (fd = listener_.accept_one(&peer)) != -1;) {
        if (fd == frontend::Listener::kRefusedNoDescriptors) {
            host::log("connect refused: out of file descriptors");
            continue;
        }
        int channel = -1;
        for (int ch = first_telnet_channel(); ch < static_cast<int>(sessions_.size()); ++ch) {
            if (!sessions_[ch]) {
                channel = ch;
                break;
            }
        }
        if (channel < 0) {
            std::string busy = "\r\nSorry, all " + std::to_string(options_.max_users) +
                               " lines are busy. Please call again later.\r\n";
            [[maybe_unused]] ssize_t n =
                send(fd, busy.data(), busy.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            close(fd);
            host::log("connect from %s refused: all %d lines busy", peer.c_str(),
                      options_.max_users);
            continue;
        }
        host::log("connect from %s on channel %d", peer.c_str(), channel);
        add_session(channel,
                    std::make_unique<frontend::TelnetConnection>(fd, peer, options_.charset));
        sessions_[channel]->greet();
    }
}

void Server::read_from(Session& s) {
    int channel = s.channel();
    frontend::Connection& c = s.connection();
    c.set_line_limit(s.line_limit(static_cast<size_t>(options_.max_line)));
    if (!c.read_input()) {
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
        s.last_input = Clock::now();
        pump_.note_input(channel);
    }
    if (auto* telnet = dynamic_cast<frontend::TelnetConnection*>(&c)) {
        std::string warning = telnet->take_warning();
        if (!warning.empty()) {
            host::log("%s: telnet: %s", frontend::who(channel, s.name()).c_str(), warning.c_str());
        }
        if (!s.terminal_type_logged && !telnet->terminal_type().empty()) {
            s.terminal_type_logged = true;
            host::log("%s: terminal type %s (%s)", frontend::who(channel, s.name()).c_str(),
                      telnet->terminal_type().c_str(), frontend::charset_name(c.charset()));
        }
    }
}

void Server::hang_up(int channel, const std::string& reason) {
    Session* s = session(channel);
    if (s == nullptr) return;
    host::log("%s: disconnect: %s", frontend::who(channel, s->name()).c_str(), reason.c_str());
    s->connection().flush();
    bool console = s->is_console();
    sessions_[channel].reset();
    release_channel(channel);
    pump_.forget(channel);
    if (console) stopping_ = true;  // without its console igmhost has no one to serve
}

// One typed line per user, and idle users told to go.
void Server::take_lines(Clock::time_point now) {
    for (auto& owned : sessions_) {
        if (!owned) continue;
        Session& s = *owned;
        // One line per user per round keeps a pasting user from crowding out the others.
        if (!s.connection().lines().empty() && s.stage() != Session::Stage::closing) {
            std::string line = std::move(s.connection().lines().front());
            s.connection().lines().pop_front();
            s.handle_line(line);
            if (s.wants_server_stop()) stopping_ = true;
        }
        if (options_.idle_seconds > 0 && !s.is_console() && s.stage() != Session::Stage::closing &&
            now - s.last_input >= std::chrono::seconds(options_.idle_seconds)) {
            s.close_with("\nYou have been idle too long. Goodbye!\n", "idle timeout");
        }
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
    for (const auto& s : sessions_) {
        if (!s) continue;
        // A closing user's lines are never taken, so they must not keep
        // the loop from sleeping.
        if (s->stage() == Session::Stage::closing) {
            wait = std::min(wait, s->close_deadline - now);
            continue;
        }
        if (!s->connection().lines().empty()) return 0;
        if (options_.idle_seconds > 0 && !s->is_console()) {
            wait =
                std::min(wait, s->last_input + std::chrono::seconds(options_.idle_seconds) - now);
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
    take_lines(Clock::now());
    auto status_wait = pump_.run(kStatusBudget, Clock::now());
    send_output(Clock::now());
    if (stopping_) return false;
    int timeout = poll_timeout(Clock::now(), status_wait);

    fds_.assign({{wake_pipe_[0], POLLIN, 0}, {listener_.fd(), POLLIN, 0}});
    channel_of_.clear();
    for (auto& s : sessions_) {
        if (!s) continue;
        frontend::Connection& c = s->connection();
        short in = c.lines().size() < frontend::kMaxQueuedLines / 2 ? POLLIN : 0;
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
    if (fds_[0].revents & POLLIN) {
        take_wake_bytes();
        stopping_ = true;
        return false;
    }
    if (fds_[1].revents & POLLIN) accept_callers();
    for (size_t i = 2; i < fds_.size(); ++i) {
        Session* s = session(channel_of_[i - 2]);
        if (s != nullptr && (fds_[i].revents & (POLLIN | POLLHUP | POLLERR))) read_from(*s);
    }
    return !stopping_;
}

void Server::run() {
    while (run_once()) {
    }
}

// stop() writes a zero; a signal handler writes its signal's number.
void Server::take_wake_bytes() {
    char bytes[16];
    ssize_t n = read(wake_pipe_[0], bytes, sizeof bytes);
    if (n > 0 && std::all_of(bytes, bytes + n, [](char b) { return b == 0; })) {
        host::log("stopping on request");
        return;
    }
    host::log("stopping on signal %d", n > 0 ? bytes[0] : 0);
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
    host::log("shutdown");
}

}  // namespace server
