// Telnet over libtelnet: negotiation, terminal type, and the byte streams.
#include "server/frontend/telnet.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libtelnet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/frontend/log_lines.h"

namespace frontend {
namespace {

// What we offer (us) and ask of the client (him).
const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_ECHO, TELNET_WILL, TELNET_DONT}, {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO}, {TELNET_TELOPT_NAWS, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WONT, TELNET_DO},  {-1, 0, 0},
};

constexpr size_t kReadChunk = 16384;
constexpr size_t kMaxTerminalType = 40;
// Longest subnegotiation handed to libtelnet, IAC SB and IAC SE included:
// within libtelnet's first buffer, so it never cuts one off and loses its
// place in the stream. Terminal types and window sizes are far shorter.
constexpr size_t kMaxSubnegotiation = 256;
// Compression subnegotiations a caller may send before being hung up.
constexpr int kCompressionTolerance = 3;

constexpr unsigned char kIac = 255, kSb = 250, kSe = 240, kWill = 251, kDont = 254;
constexpr unsigned char kMccp1 = 85, kMccp2 = TELNET_TELOPT_COMPRESS2;

bool set_non_blocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

Listener::~Listener() {
    if (fd_ >= 0) close(fd_);
    if (spare_fd_ >= 0) close(spare_fd_);
}

bool Listener::open(const std::string& address, int port, std::string* error) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        *error = "not an IPv4 address: " + address;
        return false;
    }
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    if (fd_ < 0 || setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd_, SOMAXCONN) != 0 || !set_non_blocking(fd_)) {
        *error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
                 std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    address_ = address;
    spare_fd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    return true;
}

int Listener::accept_one(std::string* peer) {
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    int fd =
        accept4(fd_, reinterpret_cast<sockaddr*>(&addr), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0 && (errno == EMFILE || errno == ENFILE) && spare_fd_ >= 0) {
        // Out of descriptors: the caller would stay queued and keep the
        // listener readable, so poll() would spin. Take the caller with the
        // spare descriptor and hang up at once.
        // (Linux reports EMFILE even when no caller waits at all.)
        close(spare_fd_);
        fd = accept(fd_, nullptr, nullptr);
        if (fd >= 0) close(fd);
        spare_fd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        return fd >= 0 ? kRefusedNoDescriptors : -1;
    }
    if (fd < 0) return -1;
    // Echo and prompts are small writes that must not wait for the
    // client's delayed acknowledgement.
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    *peer = std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
    return fd;
}

TelnetConnection::TelnetConnection(int fd, std::string peer, std::optional<Charset> forced)
    : fd_(fd), peer_(std::move(peer)), forced_(forced) {
    if (forced_) editor_.set_charset(*forced_);
    telnet_ = telnet_init(kOptions, &TelnetConnection::on_event, 0, this);
    if (telnet_ == nullptr) return;
    telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_ECHO);
    telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_SGA);
    telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_SGA);
    telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_NAWS);
    telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_TTYPE);
}

TelnetConnection::~TelnetConnection() {
    if (telnet_ != nullptr) telnet_free(telnet_);
    close(fd_);
}

bool TelnetConnection::read_input() {
    if (telnet_ == nullptr || broken_) return false;
    char buffer[kReadChunk];
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) {
        input_ended_ = true;
        return false;
    }
    std::string pass;
    filter(std::string_view(buffer, static_cast<size_t>(n)), pass);
    hand_on(pass);
    return !broken_;
}

void TelnetConnection::hand_on(std::string& pass) {
    if (!pass.empty() && !broken_) telnet_recv(telnet_, pass.data(), pass.size());
    pass.clear();
}

void TelnetConnection::filter(std::string_view bytes, std::string& pass) {
    pass.reserve(bytes.size());
    for (char c : bytes) {
        if (broken_) return;
        filter_byte(static_cast<unsigned char>(c), pass);
    }
}

// Follows the stream as libtelnet does. Everything but subnegotiations is
// passed on as it comes (libtelnet answers negotiations itself, refusing
// options not in kOptions); a subnegotiation is kept back until its end.
void TelnetConnection::filter_byte(unsigned char b, std::string& pass) {
    switch (scan_) {
        case Scan::data:
            if (b == kIac) {
                scan_ = Scan::iac;
            } else {
                pass += static_cast<char>(b);
            }
            return;
        case Scan::iac:
            if (b == kSb) {
                scan_ = Scan::sb_option;
                sub_.assign({static_cast<char>(kIac), static_cast<char>(kSb)});
                sub_overlong_ = false;
                return;
            }
            pass += static_cast<char>(kIac);
            pass += static_cast<char>(b);
            scan_ = b >= kWill && b <= kDont ? Scan::verb : Scan::data;
            return;
        case Scan::verb:
            pass += static_cast<char>(b);
            scan_ = Scan::data;
            return;
        case Scan::sb_option:
        case Scan::sb:
            if (sub_.size() < kMaxSubnegotiation) {
                sub_ += static_cast<char>(b);
            } else {
                sub_overlong_ = true;
            }
            if (scan_ == Scan::sb_option) {
                scan_ = Scan::sb;  // an option byte of 255 is data, not a command
            } else if (b == kIac) {
                scan_ = Scan::sb_iac;
            }
            return;
        case Scan::sb_iac:
            if (b == kIac) {  // a doubled IAC: one data byte, kept doubled
                if (sub_.size() < kMaxSubnegotiation) {
                    sub_ += static_cast<char>(kIac);
                } else {
                    sub_overlong_ = true;
                }
                scan_ = Scan::sb;
                return;
            }
            // IAC SE ends it; libtelnet ends it at any other command too,
            // and then takes that command.
            sub_.pop_back();
            end_subnegotiation(pass);
            scan_ = Scan::data;
            if (b != kSe) {
                filter_byte(kIac, pass);
                filter_byte(b, pass);
            }
            return;
    }
}

void TelnetConnection::end_subnegotiation(std::string& pass) {
    auto option = static_cast<unsigned char>(sub_[2]);
    // The client's agreement may sit in bytes not yet handed on.
    hand_on(pass);
    if (option == kMccp1 || option == kMccp2) {
        if (++compression_refused_ > kCompressionTolerance) {
            broken_ = true;
            warned_ = true;
            warning_ = "compression refused, and the client keeps sending it";
        } else if (!warned_) {
            warned_ = true;
            warning_ = "compression refused (option " + std::to_string(option) + ")";
        }
        return;
    }
    bool agreed = (option == TELNET_TELOPT_TTYPE && will_ttype_) ||
                  (option == TELNET_TELOPT_NAWS && will_naws_);
    if (!agreed || sub_overlong_) return;
    pass = sub_;
    pass += static_cast<char>(kIac);
    pass += static_cast<char>(kSe);
    hand_on(pass);
}

void TelnetConnection::write_text(std::string_view text) {
    if (telnet_ == nullptr) return;
    std::string bytes = render(text);
    telnet_send(telnet_, bytes.data(), bytes.size());  // doubles IAC bytes
}

bool TelnetConnection::settle(std::chrono::steady_clock::time_point now) {
    if (stage_ == Stage::awaiting_type) {
        if (terminal_type_.empty() && !type_refused_ && now < deadline_) return false;
        std::optional<Charset> known = charset_for_terminal(terminal_type_);
        if (forced_) {
            settled_as(*forced_, "forced");
        } else if (known && !terminal_type_.empty()) {
            settled_as(*known, "terminal type " + terminal_type_);
        } else if (telnet_ != nullptr) {
            // From the line's start: U+25A0 (three bytes), then ESC[6n.
            static constexpr char kProbe[] = "\r\xE2\x96\xA0\x1b[6n";
            telnet_send(telnet_, kProbe, sizeof kProbe - 1);
            stage_ = Stage::probing;
            deadline_ = now + kProbeWait;
        }
    }
    if (stage_ == Stage::probing && now >= deadline_)
        settled_as(Charset::cp437, "probe: no answer");
    return stage_ == Stage::settled;
}

// The answer is ESC [ row ; column R; the probe started in column 1.
void TelnetConnection::read_probe_answer(std::string_view bytes) {
    answer_.append(bytes.substr(0, 64));
    size_t start = answer_.rfind("\x1b[");
    size_t end = answer_.find('R', start == std::string::npos ? answer_.size() : start);
    if (start == std::string::npos || end == std::string::npos) {
        if (answer_.size() > 64) answer_.erase(0, answer_.size() - 16);
        return;
    }
    size_t semicolon = answer_.find(';', start);
    int column = 0;
    if (semicolon != std::string::npos && semicolon < end) {
        for (size_t i = semicolon + 1; i < end && column < 1000; ++i) {
            if (answer_[i] < '0' || answer_[i] > '9') break;
            column = column * 10 + (answer_[i] - '0');
        }
    }
    settled_as(column == 2 ? Charset::utf8 : Charset::cp437,
               "probe: cursor at column " + std::to_string(column));
}

void TelnetConnection::settled_as(Charset cs, std::string how) {
    if (stage_ == Stage::probing && telnet_ != nullptr) {
        static constexpr char kErase[] = "\r\x1b[K";  // the probe's character
        if (colour()) telnet_send(telnet_, kErase, sizeof kErase - 1);
    }
    editor_.set_charset(cs);
    stage_ = Stage::settled;
    how_ = std::move(how);
    answer_.clear();
}

std::string TelnetConnection::take_warning() {
    std::string w;
    w.swap(warning_);
    return w;
}

void TelnetConnection::on_event(telnet_t*, telnet_event_t* event, void* self) {
    static_cast<TelnetConnection*>(self)->handle(*event);
}

void TelnetConnection::handle(telnet_event_t& event) {
    switch (event.type) {
        case TELNET_EV_DATA:
            if (stage_ == Stage::probing) {
                read_probe_answer(std::string_view(event.data.buffer, event.data.size));
                break;
            }
            take_typed(std::string_view(event.data.buffer, event.data.size), echo_);
            break;
        case TELNET_EV_SEND:
            queue_raw(std::string_view(event.data.buffer, event.data.size));
            break;
        case TELNET_EV_WILL:
            if (event.neg.telopt == TELNET_TELOPT_NAWS) will_naws_ = true;
            if (event.neg.telopt == TELNET_TELOPT_TTYPE) {
                will_ttype_ = true;
                telnet_ttype_send(telnet_);
            }
            break;
        case TELNET_EV_WONT:
            if (event.neg.telopt == TELNET_TELOPT_NAWS) will_naws_ = false;
            if (event.neg.telopt == TELNET_TELOPT_TTYPE) {
                will_ttype_ = false;
                type_refused_ = true;
            }
            break;
        case TELNET_EV_DO:
            if (event.neg.telopt == TELNET_TELOPT_ECHO) echo_ = true;
            break;
        case TELNET_EV_DONT:
            if (event.neg.telopt == TELNET_TELOPT_ECHO) echo_ = false;
            break;
        case TELNET_EV_TTYPE:
            // The first answer decides; clients that cycle through their
            // names answer again only when asked again, and we never ask.
            if (event.ttype.cmd == TELNET_TTYPE_IS && terminal_type_.empty() &&
                event.ttype.name != nullptr) {
                terminal_type_ = printable(event.ttype.name, kMaxTerminalType);
                if (terminal_without_colour(terminal_type_)) set_colour(false);
            }
            break;
        case TELNET_EV_ERROR:
            // The parser cannot go on: the caller is dropped, and the log
            // says why (over any earlier warning).
            broken_ = true;
            warned_ = true;
            warning_ = printable(event.error.msg != nullptr ? event.error.msg : "?", 80);
            break;
        case TELNET_EV_WARNING:
            // Junk from the client: report it once, keep serving.
            if (!warned_) {
                warned_ = true;
                warning_ = printable(event.error.msg != nullptr ? event.error.msg : "?", 80);
            }
            break;
        default:
            break;
    }
}

}  // namespace frontend
