// End-to-end harness for igmhost: a scratch world, the test build of igmhost
// (its rules' clock moved by a file) spawned on a free port read from its
// log, telnet callers on real TCP connections that answer the negotiation
// as a simple client does, and a pseudo-terminal for the console.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/shared.h"

namespace igmtest {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::strip_ansi;

inline Clock::time_point deadline_after(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Polls `done` until it holds or `seconds` pass; whether it held.
template <class Done>
bool eventually(Done done, double seconds) {
    for (auto deadline = deadline_after(seconds); !done();) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// How many times `what` occurs in `text`.
inline size_t occurrences(std::string_view text, std::string_view what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

inline void write_file(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string read_file(const fs::path& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// A named pipe at `path`, in place of whatever was there.
inline void make_fifo(const fs::path& path) {
    fs::create_directories(path.parent_path());
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path;
}

// A place script: the header, the menu title, the file name, then `lines`.
inline void write_place(const fs::path& world, std::string_view file, std::string_view title,
                        const std::vector<std::string>& lines) {
    std::string text = "Vorn IGM Script: " + std::string(title) + "\n" + std::string(title) + "\n" +
                       std::string(file) + "\n";
    for (const std::string& l : lines)
        text += l + "\n";
    write_file(world / "QHYVIGMS" / std::string(file), text);
}

// Record `index` of a game's PLAYER.DAT (248 bytes each), cut short at its end.
inline std::string player_record(const fs::path& world, std::string_view game, int index) {
    return read_file(world / std::string(game) / "PLAYER.DAT").substr(size_t(index) * 248, 248);
}
// The little-endian field of `bytes` (1, 2 or 4) at `at`; 2 and 4 are signed.
inline int32_t field(const std::string& record, size_t at, int bytes = 2) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(record.at(at + i));
    return bytes == 2 ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
}

// The password each test account has: the demo world's, as README lists
// them, and the same rule for the accounts the tests make.
inline std::string password_for(std::string_view name) {
    if (strcasecmp(std::string(name).c_str(), "sysop") == 0) return "lantern-keeper";
    std::string password;
    for (char c : name)
        if (c != ' ') password += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return password + "-demo";
}

inline constexpr const char* kLeastHashMemory = "8";  // KiB: fast hashing for tests

// A scratch folder holding the world, the clock file and logs; not copied.
struct Scratch {
    const fs::path root = test::make_scratch_dir("igmhost-test"), world = root / "world",
                   clock_file = root / "clock";
    Scratch() { fs::create_directories(world); }
    Scratch(const Scratch&) = delete;
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    // Moves the test build's rules' clock to `seconds` ahead of the real one.
    void set_clock(long long seconds) const { write_file(clock_file, std::to_string(seconds)); }
};

// A scratch folder with the demo world, made by the tool `make demo` uses.
struct DemoWorld : Scratch {
    DemoWorld() {
        std::string command = std::string("HASH_MEMORY=") + kLeastHashMemory + " IGMHOST='" +
                              IGMHOST_PATH + "' " + ZMB_SOURCE_DIR + "/tools/make-demo-world '" +
                              world.string() + "' >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
};

// Runs `args` (argv[0] is the program) in a session of its own, standard
// input from `input`, output and errors to `output`, except that a terminal
// given as `input` takes the output too; with `descriptor_limit`, it may
// open no more files than that.
inline pid_t spawn(const std::vector<std::string>& args, const fs::path& input,
                   const fs::path& output, int descriptor_limit = 0) {
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int in = open(input.c_str(), O_RDWR);
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(in, 0);
        dup2(isatty(in) ? in : out, 1);
        dup2(out, 2);
        if (descriptor_limit > 0) {
            rlimit limit{static_cast<rlim_t>(descriptor_limit),
                         static_cast<rlim_t>(descriptor_limit)};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Waits up to `seconds` for `pid` to end: its exit status (128 + the
// signal when killed), or -1 while it still runs.
inline int reap(pid_t pid, double seconds) {
    int status = 0;
    if (!eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds)) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs igmhost (a tool, usually) with `args` after the program and standard
// input from `input`: the exit status (-1 when it ran past `seconds` and was
// killed) and what it wrote.
inline std::pair<int, std::string> run_igmhost(std::vector<std::string> args,
                                               const std::string& input = "", double seconds = 30) {
    const Scratch scratch;
    write_file(scratch.root / "in", input);
    args.insert(args.begin(), IGMHOST_PATH);
    pid_t pid = spawn(args, scratch.root / "in", scratch.root / "out");
    int status = reap(pid, seconds);
    if (status < 0) {
        kill(pid, SIGKILL);
        reap(pid, 5);
    }
    return {status, read_file(scratch.root / "out")};
}

// What a caller or the console receives, read as it comes.
class Screen {
  public:
    Screen() = default;
    virtual ~Screen() { close(); }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }

    // Reads until `needle` shows in the text (ANSI removed) after the
    // previous match, or the time is up. On success the next expect looks
    // after this match.
    bool expect(std::string_view needle, double seconds = 5) {
        const auto deadline = deadline_after(seconds);
        size_t at;
        while ((at = text().find(needle, seen_)) == std::string::npos) {
            if (Clock::now() >= deadline || !read_some(deadline)) {
                ADD_FAILURE() << "no \"" << needle << "\" within " << seconds
                              << " s; the screen after the last match:\n"
                              << rest();
                return false;
            }
        }
        seen_ = at + needle.size();
        return true;
    }
    // Types `text` as a line and waits for `reply`.
    bool say(std::string_view text, std::string_view reply, double seconds = 5) {
        line(text);
        return expect(reply, seconds);
    }
    virtual void line(std::string_view text) = 0;
    // Says each step in turn: a step is the line typed, '>', then the reply;
    // one without '>' is a text only awaited.
    bool walk(const std::vector<std::string_view>& steps, double seconds = 5) {
        for (std::string_view step : steps) {
            const size_t gt = step.find('>');
            if (gt != std::string_view::npos) line(step.substr(0, gt));
            if (!expect(step.substr(gt + 1), seconds)) {  // npos + 1 is 0: the whole step
                ADD_FAILURE() << "at the step " << step;
                return false;
            }
        }
        return true;
    }
    // The text after the last match, without waiting.
    std::string rest() const { return text().substr(seen_); }

    // True when the other end closes within the time.
    bool closed_by_server(double seconds = 5) {
        auto deadline = deadline_after(seconds);
        while (Clock::now() < deadline)
            if (!read_some(deadline)) return eof_;
        return false;
    }

    // Data bytes as received (telnet commands removed, ANSI kept).
    const std::string& data() const { return data_; }
    // The same without ANSI sequences.
    std::string text() const { return strip_ansi(data_); }

    // Reads at most `max_bytes` of what arrives before the deadline (for a
    // slow reader); false at end of stream or timeout.
    bool read_some(Clock::time_point deadline, size_t max_bytes = 65536) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (fd_ < 0 || poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0)
            return false;
        std::string buffer(max_bytes, '\0');
        ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        take(std::string_view(buffer.data(), static_cast<size_t>(n)));
        return true;
    }

  protected:
    virtual void take(std::string_view bytes) { data_ += bytes; }
    int fd_ = -1;
    std::string data_;

  private:
    size_t seen_ = 0;
    bool eof_ = false;
};

// A pseudo-terminal for igmhost's console, as `make demo` runs it.
class Pty : public Screen {
  public:
    Pty() {
        fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(fd_);
        unlockpt(fd_);
    }
    std::string slave() const { return ptsname(fd_); }
    void line(std::string_view text) override { keys(std::string(text) + "\r"); }
    void keys(std::string_view typed) {
        [[maybe_unused]] auto n = write(fd_, typed.data(), typed.size());
    }
    // The terminal settings, as the program in it sees them.
    termios settings() const {
        termios t{};
        tcgetattr(fd_, &t);
        return t;
    }
};

// igmhost running as a child process.
class Server {
  public:
    // Starts igmhost on `scratch`'s world on a free port, with `extra`
    // options (its log is the --log file among them, else its output), at
    // most `descriptor_limit` files open when that is set, and `console` as
    // its terminal when given.
    explicit Server(const Scratch& scratch, std::vector<std::string> extra = {},
                    int descriptor_limit = 0, const Pty* console = nullptr)
        : log_path_(scratch.root / ("igmhost-" + std::to_string(++started_) + ".log")) {
        const fs::path output = log_path_;
        if (auto named = std::find(extra.begin(), extra.end(), "--log"); named != extra.end())
            log_path_ = scratch.world / named[1];
        if (console) extra.push_back("--console");
        setenv("IGMHOST_TEST_CLOCK", scratch.clock_file.c_str(), 1);
        std::vector<std::string> args = {IGMHOST_TESTCLOCK_PATH, "--world", scratch.world.string(),
                                         "--module", ZMB_MODULE_PATH};
        args.insert(args.end(), {"--port", "0", "--hash-memory", kLeastHashMemory});
        args.insert(args.end(), extra.begin(), extra.end());
        pid_ = spawn(args, console ? fs::path(console->slave()) : "/dev/null", output,
                     descriptor_limit);
        static const std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
        std::smatch m;
        std::string text;
        eventually([&] { return std::regex_search(text = log(), m, listening) || !running(); }, 10);
        if (m.empty()) ADD_FAILURE() << "igmhost did not start listening; its log:\n" << text;
        if (!m.empty()) port_ = std::stoi(m[1]);
    }
    ~Server() { stop(SIGKILL); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::string log() const { return read_file(log_path_); }

    bool running() {
        if (exit_status_ < 0) exit_status_ = reap(pid_, 0);
        return exit_status_ < 0;
    }

    // Waits until the log holds `text`; shows the log when it does not.
    bool wait_for_log(std::string_view text, double seconds = 5) {
        if (eventually([&] { return log().find(text) != std::string::npos; }, seconds)) return true;
        ADD_FAILURE() << "no \"" << text << "\" in igmhost's log:\n" << log();
        return false;
    }

    // Sends `signal` (0: none) and waits for the exit; the exit status, or -1.
    int stop(int signal = SIGTERM, double seconds = 5) {
        if (signal != 0 && running()) kill(pid_, signal);
        if (running()) exit_status_ = reap(pid_, seconds);
        return exit_status_;
    }

    // User plus system CPU time the process has used, in seconds.
    double cpu_seconds() const {
        clockid_t clock{};
        timespec used{};
        if (clock_getcpuclockid(pid_, &clock) != 0 || clock_gettime(clock, &used) != 0) {
            ADD_FAILURE() << "cannot read igmhost's CPU time";
            return 0;
        }
        return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
    }

  private:
    static inline int started_ = 0;  // a log file per server started
    fs::path log_path_;
    pid_t pid_ = -1;
    int port_ = 0;
    int exit_status_ = -1;
};

// A telnet caller.
class Client : public Screen {
  public:
    static constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                             SE = 240;
    static constexpr uint8_t kEcho = 1, kSuppressGoAhead = 3, kBinary = 0, kTerminalType = 24;

    // Connects; `terminal_type` is what it answers when asked ("" refuses).
    explicit Client(int port, std::string terminal_type = "XTERM")
        : terminal_type_(std::move(terminal_type)) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);  // not inherited by igmhost
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            ADD_FAILURE() << "cannot connect to port " << port;
    }

    void send_raw(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return;
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }
    void line(std::string_view text) override { send_raw(std::string(text) + "\r\n"); }

  private:
    // Splits telnet commands, each gathered until whole, from data and answers them.
    void take(std::string_view bytes) override {
        for (char ch : bytes) {
            command_ += ch;
            const auto at = [&](size_t i) { return static_cast<uint8_t>(command_[i]); };
            if (at(0) != IAC || (command_.size() == 2 && at(1) == IAC)) {
                data_ += ch;  // an escaped 255 is data
            } else if (command_.size() < 2 || (at(1) >= WILL && command_.size() < 3) ||
                       (at(1) == SB && !command_.ends_with("\xff\xf0"))) {
                continue;
            } else if (at(1) >= WILL) {
                answer(at(1), at(2));
            } else if (at(1) == SB) {
                subnegotiation(command_.substr(2, command_.size() - 4));
            }
            command_.clear();
        }
    }

    // Agrees to echo, suppress-go-ahead and binary, and to send the terminal
    // type when it has one; refuses the rest.
    void answer(uint8_t verb, uint8_t option) {
        const bool yes =
            option == kSuppressGoAhead || option == kBinary ||
            (verb == WILL ? option == kEcho : option == kTerminalType && !terminal_type_.empty());
        if (verb == WILL) send_raw(std::string{char(IAC), char(yes ? DO : DONT), char(option)});
        if (verb == DO) send_raw(std::string{char(IAC), char(yes ? WILL : WONT), char(option)});
    }

    // TERMINAL-TYPE SEND (1): answers IS (0) with our type.
    void subnegotiation(const std::string& sub) {
        if (sub.size() >= 2 && static_cast<uint8_t>(sub[0]) == kTerminalType && sub[1] == 1) {
            send_raw(std::string{char(IAC), char(SB), char(kTerminalType), 0} + terminal_type_ +
                     std::string{char(IAC), char(SE)});
        }
    }

    std::string terminal_type_;
    std::string command_;  // a telnet command not yet whole
};

// Signs a known account on with `password` (by default its password_for()),
// up to the realm list.
inline bool sign_in(Client& c, std::string_view name, std::string password = "") {
    return c.expect("Name: ") && c.say(name, "Password: ") &&
           c.say(password.empty() ? password_for(name) : password, "Your choice: ");
}

// Makes a new account with `password` (by default its password_for()), up
// to the realm list.
inline bool new_account(Client& c, std::string_view name, int age, std::string password = "") {
    if (password.empty()) password = password_for(name);
    return c.expect("Name: ") && c.say(name, "Create a new account for ") &&
           c.say("", "Choose a password") && c.say(password, "Type it again: ") &&
           c.say(password, "How old are you (1-120)? ") &&
           c.say(std::to_string(age), "Your choice: ");
}

// Signs a known account on and walks into the first realm.
inline bool sign_on(Client& c, std::string_view name) {
    return sign_in(c, name) && c.say("1", "Your choice, ");
}

// From the game's menu into Far Reaches: the module's menu of places.
inline bool enter_far_reaches(Client& c) {
    return c.say("1", "Press Enter") && c.say("", "Your Command, ");
}

// A known player of the first realm, signed on and at the module's menu.
inline bool at_module_menu(Client& c, std::string_view name) {
    return sign_on(c, name) && enter_far_reaches(c);
}

// At the module's menu, chooses the place titled `title` by its number and
// waits for `reply`.
inline bool enter_place(Client& c, std::string_view title, std::string_view reply,
                        double seconds = 5) {
    std::smatch m;
    const std::string screen = c.text();
    if (!std::regex_search(screen, m, std::regex("\\(([0-9]+)\\) " + std::string(title)))) {
        ADD_FAILURE() << "no place titled " << title << " on the menu:\n" << screen;
        return false;
    }
    return c.say(m[1].str(), reply, seconds);
}

}  // namespace igmtest
