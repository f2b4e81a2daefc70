// The telnet front end: a listening socket and one TelnetConnection per
// caller. The server offers to echo, to suppress go-ahead and to send
// binary, and asks for the window size and the terminal type; the terminal
// type picks the character set unless one is forced.
//
// What the client sends passes a filter before libtelnet sees it: a
// subnegotiation reaches libtelnet only for an option the client has
// agreed to (the terminal type and the window size), whole and short. A
// compression subnegotiation (MCCP, options 85 and 86) is never handed on,
// so input is never inflated; a caller who keeps sending one is hung up.
// One read takes at most 16 KB, and each byte costs the same
// small work, so one caller's read cannot hold up the others.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "server/frontend/connection.h"

struct telnet_t;
union telnet_event_t;

namespace frontend {

// A non-blocking listening TCP socket.
class Listener {
  public:
    ~Listener();
    // Binds address:port (port 0 takes a free one); false with *error.
    bool open(const std::string& address, int port, std::string* error);
    int fd() const { return fd_; }
    int port() const { return port_; }
    const std::string& address() const { return address_; }
    // The next waiting caller (a non-blocking socket) and its address; -1
    // when none waits; kRefusedNoDescriptors when one had to be hung up on
    // because the process is out of file descriptors.
    int accept_one(std::string* peer);
    static constexpr int kRefusedNoDescriptors = -2;

  private:
    int fd_ = -1;
    int spare_fd_ = -1;  // given up to take a caller when descriptors run out
    int port_ = 0;
    std::string address_;
};

class TelnetConnection : public Connection {
  public:
    // Takes the socket; `forced` overrides the terminal-type choice.
    TelnetConnection(int fd, std::string peer, std::optional<Charset> forced);
    ~TelnetConnection() override;
    TelnetConnection(const TelnetConnection&) = delete;
    TelnetConnection& operator=(const TelnetConnection&) = delete;

    int read_fd() const override { return fd_; }
    int write_fd() const override { return fd_; }
    bool read_input() override;
    void write_text(std::string_view text) override;
    std::string describe() const override { return peer_; }

    const std::string& terminal_type() const { return terminal_type_; }

    // Settles the character set before the name prompt: by the terminal
    // type when it is a known one (or --charset), otherwise by a probe:
    // a multi-byte UTF-8 character, then a cursor position request. The
    // cursor one column on means UTF-8; more columns, or no answer within
    // kProbeWait, CP437. Nothing typed before the end reaches a prompt.
    // True once settled; then how() says by what, for the log.
    bool settle(std::chrono::steady_clock::time_point now);
    const std::string& how() const { return how_; }
    // When settle() next has something to decide without word from the client.
    std::chrono::steady_clock::time_point settle_deadline() const { return deadline_; }
    static constexpr std::chrono::milliseconds kTypeWait{1000};
    static constexpr std::chrono::milliseconds kProbeWait{1000};
    // A protocol problem to report once (then cleared), or "".
    std::string take_warning();

  private:
    static void on_event(telnet_t* telnet, telnet_event_t* event, void* self);
    void handle(telnet_event_t& event);
    // The subnegotiation filter: `bytes` in, what libtelnet may see out.
    void filter(std::string_view bytes, std::string& pass);
    void filter_byte(unsigned char b, std::string& pass);
    void end_subnegotiation(std::string& pass);
    // Hands `pass` to libtelnet and empties it.
    void hand_on(std::string& pass);

    // Where the filter is in the client's byte stream.
    enum class Scan { data, iac, verb, sb_option, sb, sb_iac };

    enum class Stage { awaiting_type, probing, settled };
    void settled_as(Charset cs, std::string how);
    void read_probe_answer(std::string_view bytes);

    Stage stage_ = Stage::awaiting_type;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::now() + kTypeWait;
    bool type_refused_ = false;
    std::string answer_;  // what came back while probing
    std::string how_;
    int fd_;
    std::string peer_;
    std::optional<Charset> forced_;
    telnet_t* telnet_ = nullptr;
    bool echo_ = true;  // until the client asks us not to
    std::string terminal_type_;
    std::string warning_;
    bool warned_ = false;
    bool broken_ = false;
    Scan scan_ = Scan::data;
    std::string sub_;              // the subnegotiation being read, from IAC SB on
    bool sub_overlong_ = false;    // it grew past what is handed on
    bool will_ttype_ = false;      // the client agreed to send its terminal type
    bool will_naws_ = false;       // ... and its window size
    int compression_refused_ = 0;  // compression subnegotiations refused so far
};

}  // namespace frontend
