// loadgen: many telnet callers against igmhost from one thread and one
// epoll set. Each caller signs on as a new account and walks a fixed route
// of the demo world, timing every typed line until its full prompt is back.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <queue>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "process.h"

namespace {

namespace fs = std::filesystem;

// ---- the command line ----

struct Options {
    int callers = 100;       // callers walking the route
    int parked = 0;          // callers parked in the watchtower's /WAIT:
    double interval = 1.0;   // mean seconds between a prompt and the next line; 0: full speed
    double duration = 10;    // seconds measured once everyone is on
    double settle = 0;       // seconds from everyone on to the window's start
    double timeout = 15;     // seconds a prompt may take before it counts as an error
    double max_time = 600;   // the whole run, sign-on included, stops after this
    int min_routes = 0;      // measuring goes on until every caller ended this many routes
    bool burst = false;      // connect everyone at once, count the greetings, stop
    double ramp_rate = 200;  // new connections per second
    int signing_on = 64;     // callers in sign-on at once
    int connecting = 8;      // connections not yet greeted, kept below the listen backlog
    std::string address = "127.0.0.1";
    int port = 0;            // attach to a running igmhost; 0 starts one
    int pid = 0;             // the attached igmhost, for its CPU and memory
    std::string igmhost;     // the program to start (default: next to loadgen)
    std::string make_world;  // the demo-world tool
    int hash_memory = 8;     // KiB, so that thousands can sign on
    int max_users = 0;       // default: every caller
    std::string prefix;      // account names are PREFIX00001...
    std::string csv;         // a CSV row is appended here
    std::string timeline;    // lines and their slowest answer per tenth of a second
    bool keep_world = false;
    unsigned seed = 1;
    int trips = 0;       // the module's trips per day in the started world; 0 leaves its own
    bool tired = false;  // measuring starts once every walker has used up its trips
};

const char* kUsage =
    "usage: loadgen [options]\n"
    "  --callers N        callers walking the route (default 100)\n"
    "  --parked N         more callers parked in the watchtower's /WAIT: (default 0)\n"
    "  --interval S       mean seconds from a prompt to the next line, each wait\n"
    "                     drawn from 0.5*S..1.5*S; 0 types at full speed (default 1)\n"
    "  --duration S       seconds measured once everyone is on (default 10)\n"
    "  --settle S         start measuring S seconds after everyone is on, once the\n"
    "                     work of signing the last callers on has passed; the\n"
    "                     lines of those seconds are reported apart (default 0)\n"
    "  --min-routes N     measure on until every caller ended its route N times\n"
    "  --trips N          the started world's trips per day (3-30; default: the module's)\n"
    "  --tired            measure only once every walker has used up the day's trips,\n"
    "                     so that lines are of one kind whatever the callers\n"
    "  --burst            connect every caller at once, count who is greeted, stop\n"
    "  --timeout S        a prompt later than this is an error (default 15)\n"
    "  --max-time S       the whole run stops after this (default 600)\n"
    "  --ramp-rate N      new connections per second (default 200)\n"
    "  --signing-on N     callers signing on at once (default 64)\n"
    "  --connecting N     connections awaiting their greeting at once (default 8)\n"
    "  --port N           attach to the igmhost on this port instead of starting one\n"
    "  --address A        its address (default 127.0.0.1)\n"
    "  --pid N            the attached igmhost's process, for its CPU and RSS\n"
    "  --prefix P         account names P00001... (default: load, or a fresh one\n"
    "                     when attached)\n"
    "  --igmhost PATH     igmhost to start (default: next to loadgen)\n"
    "  --make-world PATH  the demo-world tool (default: the source tree's)\n"
    "  --hash-memory KIB  password hash memory of the started igmhost (default 8)\n"
    "  --max-users N      its --max-users (default: every caller)\n"
    "  --keep-world       keep the started igmhost's world and log\n"
    "  --csv FILE         append the figures as a CSV row (header when new)\n"
    "  --timeline FILE    write, for each tenth of a second from everyone on to the\n"
    "                     end, the lines typed then and their slowest answer\n"
    "  --seed N           seed of the typing waits (default 1)\n";

bool parse_number(std::string_view text, double& out) {
    try {
        size_t used = 0;
        out = std::stod(std::string(text), &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

bool parse_int(std::string_view text, int& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc{} && end == text.data() + text.size();
}

bool parse_options(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--burst") {
            o.burst = true;
            continue;
        }
        if (arg == "--keep-world") {
            o.keep_world = true;
            continue;
        }
        if (arg == "--tired") {
            o.tired = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        std::string_view v = argv[++i];
        int seed = 0;
        bool ok = true;
        if (arg == "--callers")
            ok = parse_int(v, o.callers) && o.callers >= 0;
        else if (arg == "--parked")
            ok = parse_int(v, o.parked) && o.parked >= 0;
        else if (arg == "--interval")
            ok = parse_number(v, o.interval) && o.interval >= 0;
        else if (arg == "--duration")
            ok = parse_number(v, o.duration) && o.duration > 0;
        else if (arg == "--settle")
            ok = parse_number(v, o.settle) && o.settle >= 0;
        else if (arg == "--timeout")
            ok = parse_number(v, o.timeout) && o.timeout > 0;
        else if (arg == "--max-time")
            ok = parse_number(v, o.max_time) && o.max_time > 0;
        else if (arg == "--min-routes")
            ok = parse_int(v, o.min_routes) && o.min_routes >= 0;
        else if (arg == "--trips")
            ok = parse_int(v, o.trips) && o.trips >= 3 && o.trips <= 30;
        else if (arg == "--ramp-rate")
            ok = parse_number(v, o.ramp_rate) && o.ramp_rate > 0;
        else if (arg == "--signing-on")
            ok = parse_int(v, o.signing_on) && o.signing_on > 0;
        else if (arg == "--connecting")
            ok = parse_int(v, o.connecting) && o.connecting > 0;
        else if (arg == "--port")
            ok = parse_int(v, o.port) && o.port > 0 && o.port < 65536;
        else if (arg == "--address")
            o.address = v;
        else if (arg == "--pid")
            ok = parse_int(v, o.pid) && o.pid > 0;
        else if (arg == "--prefix")
            o.prefix = v;
        else if (arg == "--igmhost")
            o.igmhost = v;
        else if (arg == "--make-world")
            o.make_world = v;
        else if (arg == "--hash-memory")
            ok = parse_int(v, o.hash_memory);
        else if (arg == "--max-users")
            ok = parse_int(v, o.max_users) && o.max_users > 0;
        else if (arg == "--csv")
            o.csv = v;
        else if (arg == "--timeline")
            o.timeline = v;
        else if (arg == "--seed")
            ok = parse_int(v, seed), o.seed = static_cast<unsigned>(seed);
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "loadgen: bad option or value: %s %s\n", argv[i - 1], argv[i]);
            return false;
        }
    }
    // An account name is at most 20 characters, five of them the number.
    if (o.prefix.size() > 15) return false;
    return true;
}

// ---- time ----

using Micros = int64_t;

Micros now_us() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<Micros>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

Micros seconds_us(double s) {
    return static_cast<Micros>(s * 1e6);
}

// ---- the route: a line to type and the prompt that must come back ----

// In `send` and `expect`, '@' stands for the caller's name, '#' for the
// place number the step's `place` names (read from the module's menu).
enum class Place { none, inn, scribe, watch };

struct Step {
    const char* send;
    const char* expect;
    Place place = Place::none;
    // The module refuses a place once the day's trips are used: that screen
    // ends at the menu prompt, and the route goes on by typing step
    // `tired_next` (the inn's refusal leads to the scribe, his to the news).
    int tired_next = -1;
};

constexpr const char* kMenuPrompt = "Your Command, @? : ";
constexpr const char* kGamePrompt = "Your choice, @? ";
constexpr const char* kTired = "You are too tired to visit any more places.";
constexpr const char* kPassword = "pw-@";

// Sign-on of a new account, then a new player in the first realm. The
// greeting ("Name: ") is the connection's own step.
const Step kSignOn[] = {
    {"@", "Create a new account for @? [Y/n] "},
    {"", "Choose a password (4 to 64 characters): "},
    {kPassword, "Type it again: "},
    {kPassword, "How old are you (1-120)? "},
    {"30", "Your choice: "},
    {"1", "(1) Death Knight, (2) The Mystical, (3) The Thieving: "},
    {"2", "Are you (M)ale or (F)emale? [M] "},
    {"m", kGamePrompt},
};

// From the game's town square into Far Reaches: the inn (a question and a
// reward), the scribe (a purchase), the news, the stats, and back.
const Step kRoute[] = {
    {"1", "Press Enter to arrive... "},
    {"", kMenuPrompt},
    {"#", "(Your name, traveller) - Your Command, @? : ", Place::inn, 7},
    {"@", "(123) - Your Command, @? : "},
    {"1", "Press <enter> To Continue"},
    {"", "Please press <enter> to continue: "},
    {"", kMenuPrompt},
    {"#", "(12) - Your Command, @? : ", Place::scribe, 11},
    {"1", "Press <enter> to read what he wrote, Q to leave it: "},
    {"", "Please press <enter> to continue: "},
    {"", kMenuPrompt},
    {"I", "Press <enter> To Continue"},
    {"", "Please press <enter> to continue: "},
    {"", kMenuPrompt},
    {"V", "<ENTER>"},
    {"", kMenuPrompt},
    {"X", kGamePrompt},
};

// A parked caller goes to the watchtower, whose /WAIT: holds it there;
// when the wait is over it climbs up again.
const Step kPark[] = {
    {"1", "Press Enter to arrive... "},
    {"", kMenuPrompt},
    {"#", "keep watch on the marsh road a while.", Place::watch},
    {"", kMenuPrompt},  // nothing is typed: the wait ends by itself
};

// ---- a caller ----

enum class Phase { idle, greeting, signon, route, park, parked, done, failed };

struct Caller {
    int fd = -1;
    Phase phase = Phase::idle;  // not connected yet
    int step = 0;
    std::string name;
    std::string expect;  // the prompt awaited, name filled in
    bool tired_possible = false;
    bool was_tired = false;  // turned away for want of trips at least once
    std::string screen;      // text since the last typed line: telnet and ANSI removed
    std::string out;         // bytes not yet taken by the socket
    Micros sent_at = 0;      // when the last line was typed, or the connection opened
    uint32_t gen = 0;        // timers of an older generation are stale
    int routes = 0;
    bool ready = false;  // signed on and walking, parked, or given up
    // Telnet and ANSI decoding state.
    uint8_t tn = 0, verb = 0, esc = 0;
    std::string sub;
};

struct Timer {
    Micros at;
    uint32_t caller;
    uint32_t gen;
    bool operator>(const Timer& o) const { return at > o.at; }
};

double percentile(std::vector<Micros>& v, double p) {
    if (v.empty()) return 0;
    size_t k = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return static_cast<double>(v[k]) / 1000.0;
}

double slowest_ms(const std::vector<Micros>& v) {
    return v.empty() ? 0 : static_cast<double>(*std::max_element(v.begin(), v.end())) / 1000.0;
}

// ---- the igmhost being measured ----

struct ProcessSample {
    double cpu_seconds = -1;  // user + system
    double rss_mb = -1;
    double queued_seconds = -1;  // the main thread ready to run but waiting for a core
    // Read from storage, not the page cache: a read that waited for the disk.
    double disk_read_kb = 0;
};

// Machine-wide network counters. Over loopback a burst of packets can
// overflow the per-core backlog (net.core.netdev_max_backlog); each packet
// dropped there costs its connection a retransmission, 200 ms or more when
// it comes from a timeout, which shows as a latency no program caused.
struct NetSample {
    long backlog_drops = 0;  // /proc/net/softnet_stat, second column, all cores
    long tcp_timeouts = 0;   // TcpExt TCPTimeouts of /proc/net/netstat
};

NetSample sample_net() {
    NetSample s;
    std::ifstream softnet("/proc/net/softnet_stat");
    std::string processed, dropped, rest;
    while (softnet >> processed >> dropped && std::getline(softnet, rest))
        s.backlog_drops += std::strtol(dropped.c_str(), nullptr, 16);
    std::ifstream netstat("/proc/net/netstat");
    std::string names, values;
    while (std::getline(netstat, names) && std::getline(netstat, values)) {
        if (names.rfind("TcpExt:", 0) != 0) continue;
        std::istringstream n(names), v(values);
        for (std::string name, value; n >> name && v >> value;)
            if (name == "TCPTimeouts") s.tcp_timeouts = std::atol(value.c_str());
    }
    return s;
}

ProcessSample sample_process(int pid) {
    ProcessSample s;
    if (pid <= 0) return s;
    s.cpu_seconds = loadtools::cpu_seconds(pid);
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    double ran_ns = 0, queued_ns = 0;
    if (schedstat >> ran_ns >> queued_ns) s.queued_seconds = queued_ns / 1e9;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) s.rss_mb = std::atof(line.c_str() + 6) / 1024.0;
    }
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    while (std::getline(io, line)) {
        if (line.rfind("read_bytes:", 0) == 0) s.disk_read_kb = std::atof(line.c_str() + 11) / 1024;
    }
    return s;
}

// igmhost started by loadgen on a fresh demo world in a scratch folder.
class Host {
  public:
    bool start(const Options& o, int max_users) {
        // Under TMPDIR, or the system's temporary folder.
        std::error_code no_tmp;
        std::string pattern = (fs::temp_directory_path(no_tmp) / "loadgen-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return fail("cannot make a scratch folder");
        scratch_ = pattern;
        world_ = scratch_ / "world";
        log_ = scratch_ / "igmhost.log";
        std::string command = "HASH_MEMORY=" + std::to_string(o.hash_memory) + " IGMHOST='" +
                              o.igmhost + "' '" + o.make_world + "' '" + world_.string() +
                              "' >/dev/null";
        if (std::system(command.c_str()) != 0) return fail("cannot make the demo world");
        if (o.trips > 0) {  // the module's settings: the sysop key, then the trips per day
            std::ofstream config(world_ / "ZMBVIGMS.CNF");
            config << "SYSOP\n" << o.trips << "\n";
            if (!config.flush()) return fail("cannot write the module's settings");
        }
        std::vector<std::string> args = {o.igmhost,
                                         "--world",
                                         world_.string(),
                                         "--port",
                                         "0",
                                         "--address",
                                         o.address,
                                         "--max-users",
                                         std::to_string(max_users),
                                         "--hash-memory",
                                         std::to_string(o.hash_memory),
                                         "--max-per-address",
                                         "0",
                                         "--max-new-accounts",
                                         "0",
                                         "--max-failed-passwords",
                                         "0",
                                         "--idle",
                                         "0",
                                         "--idle-signon",
                                         "0"};
        pid_ = fork();
        if (pid_ == 0) {
            int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int in = open("/dev/null", O_RDONLY);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        // The port it took is in its log.
        Micros deadline = now_us() + seconds_us(30);
        const std::string marker = "listening on " + o.address + ":";
        while (now_us() < deadline) {
            std::ifstream in(log_);
            std::string text((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
            size_t at = text.find(marker);
            if (at != std::string::npos) {
                port_ = std::atoi(text.c_str() + at + marker.size());
                if (port_ > 0) return true;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return fail("igmhost stopped at start-up:\n" + text);
            }
            usleep(20000);
        }
        return fail("igmhost did not start listening");
    }

    void stop(bool keep) {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            for (int i = 0; i < 500 && waitpid(pid_, nullptr, WNOHANG) != pid_; ++i)
                usleep(20000);
            if (kill(pid_, 0) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
            pid_ = -1;
        }
        if (scratch_.empty()) return;
        tell_slow_rounds();
        if (keep) {
            std::fprintf(stderr, "loadgen: world and log kept in %s\n", scratch_.c_str());
        } else {
            std::error_code ignored;
            fs::remove_all(scratch_, ignored);
        }
    }

    int pid() const { return pid_; }
    int port() const { return port_; }

  private:
    bool fail(const std::string& why) {
        std::fprintf(stderr, "loadgen: %s\n", why.c_str());
        return false;
    }
    // igmhost logs each round of its loop that kept everyone waiting; a
    // latency near the longest may be one of them.
    void tell_slow_rounds() {
        std::ifstream in(log_);
        const std::string marker = "slow round: ";
        int rounds = 0;
        long longest_ms = 0;
        for (std::string line; std::getline(in, line);) {
            const size_t at = line.find(marker);
            if (at == std::string::npos) continue;
            ++rounds;
            longest_ms = std::max(longest_ms, std::atol(line.c_str() + at + marker.size()));
        }
        if (rounds > 0) {
            std::fprintf(stderr, "loadgen: igmhost logged %d slow rounds, the longest %ld ms\n",
                         rounds, longest_ms);
        }
    }
    fs::path scratch_, world_, log_;
    int pid_ = -1;
    int port_ = 0;
};

// ---- the run ----

struct Errors {
    long unexpected = 0;   // text came, but not the whole prompt awaited (wrong or stalled)
    long disconnects = 0;  // the server closed or reset the call
    long timeouts = 0;     // nothing came
    long connects = 0;     // the connection itself failed
    long total() const { return unexpected + disconnects + timeouts + connects; }
};

class Run {
  public:
    Run(const Options& o, int port, int host_pid) : o_(o), port_(port), pid_(host_pid) {}

    int go();

  private:
    int total() const { return o_.callers + o_.parked; }
    bool is_parker(uint32_t i) const { return static_cast<int>(i) >= o_.callers; }

    void start_connection(uint32_t i);
    void on_event(uint32_t i, uint32_t events);
    void on_timer(uint32_t i);
    void decode(Caller& c, const char* data, size_t n);
    void check_prompt(uint32_t i);
    void prompt_arrived(uint32_t i, bool tired);
    void type_next(uint32_t i);
    void send_bytes(uint32_t i, std::string_view bytes);
    void fail(uint32_t i, const char* what, long& counter);
    void mark_ready(Caller& c) {
        if (!c.ready) ++ready_;
        c.ready = true;
    }
    std::string fill(const char* pattern, const Caller& c, Place place) const;
    const Step& step_of(const Caller& c) const;
    void arm(uint32_t i, Micros at) { timers_.push(Timer{at, i, ++callers_[i].gen}); }
    void learn_places(const std::string& screen);
    Micros think_time();
    void write_timeline() const;
    void report(Micros measured, const ProcessSample& a, const ProcessSample& b,
                const NetSample& net_a, const NetSample& net_b);

    const Options& o_;
    int port_;
    int pid_;
    int epoll_ = -1;
    std::vector<Caller> callers_;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers_;
    std::mt19937 random_{1};
    std::string places_[4];  // the menu numbers of Place::inn, scribe, watch
    uint32_t started_ = 0;
    int in_signon_ = 0;  // greeting included
    int in_greeting_ = 0;
    int ready_ = 0;  // signed on and walking, or parked, or failed
    int tired_ = 0;  // walkers turned away for want of trips at least once, or failed
    Micros ramp_start_ = 0, ready_at_ = 0, window_start_ = 0, window_end_ = 0;
    bool ready_seen_ = false;  // everyone on: settling, then measuring
    bool measuring_ = false;
    // loadgen's own longest time away from its sockets in the window: one
    // round of its loop, or a wake-up that came late. Latencies near it
    // may be the client's, not igmhost's.
    Micros longest_stall_ = 0;
    std::vector<Micros> latencies_, signon_, greetings_;
    std::vector<Micros> settling_;  // lines typed between everyone on and the window
    // With --timeline: each line typed since everyone is on, when and how long.
    std::vector<std::pair<Micros, Micros>> timeline_;
    long lines_ = 0;
    long routes_ = 0;
    int greeted_ = 0;
    Errors errors_;
    int reported_ = 0;  // errors described on stderr so far
};

Micros Run::think_time() {
    if (o_.interval <= 0) return 0;
    std::uniform_real_distribution<double> d(0.5 * o_.interval, 1.5 * o_.interval);
    return seconds_us(d(random_));
}

std::string Run::fill(const char* pattern, const Caller& c, Place place) const {
    std::string s;
    for (const char* p = pattern; *p; ++p) {
        if (*p == '@')
            s += c.name;
        else if (*p == '#')
            s += places_[static_cast<int>(place)];
        else
            s += *p;
    }
    return s;
}

const Step& Run::step_of(const Caller& c) const {
    if (c.phase == Phase::signon) return kSignOn[c.step];
    if (c.phase == Phase::route) return kRoute[c.step];
    return kPark[c.step];
}

// "(N) The Lantern Inn" and the rest, from the module's menu of places.
void Run::learn_places(const std::string& screen) {
    static const std::pair<Place, const char*> titles[] = {{Place::inn, ") The Lantern Inn"},
                                                           {Place::scribe, ") The Scribe's Stall"},
                                                           {Place::watch, ") The Watchtower"}};
    for (const auto& [place, title] : titles) {
        size_t at = screen.find(title);
        if (at == std::string::npos) continue;
        size_t open = screen.rfind('(', at);
        if (open != std::string::npos) {
            places_[static_cast<int>(place)] = screen.substr(open + 1, at - open - 1);
        }
    }
}

void Run::start_connection(uint32_t i) {
    Caller& c = callers_[i];
    char number[16];
    std::snprintf(number, sizeof number, "%05u", i + 1);
    c.name = o_.prefix + number;
    c.phase = Phase::greeting;
    c.expect = "Name: ";
    c.sent_at = now_us();
    ++in_signon_;
    ++in_greeting_;
    c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    inet_pton(AF_INET, o_.address.c_str(), &addr.sin_addr);
    if (c.fd < 0 || (connect(c.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 &&
                     errno != EINPROGRESS)) {
        fail(i, "cannot connect", errors_.connects);
        return;
    }
    int one = 1;
    setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
    ev.data.u32 = i;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, c.fd, &ev);
    arm(i, c.sent_at + seconds_us(o_.timeout));
}

void Run::fail(uint32_t i, const char* what, long& counter) {
    Caller& c = callers_[i];
    if (c.phase == Phase::failed || c.phase == Phase::done) return;
    ++counter;
    if (reported_ < 5) {
        ++reported_;
        std::string tail =
            c.screen.size() > 300 ? c.screen.substr(c.screen.size() - 300) : c.screen;
        std::fprintf(stderr,
                     "loadgen: caller %s: %s (phase %d, step %d, awaiting \"%s\"); the screen "
                     "ends:\n%s\n",
                     c.name.c_str(), what, static_cast<int>(c.phase), c.step, c.expect.c_str(),
                     tail.c_str());
    }
    const bool signing_on = c.phase == Phase::greeting || c.phase == Phase::signon;
    if (signing_on) --in_signon_;
    if (c.phase == Phase::greeting) --in_greeting_;
    mark_ready(c);
    if (!is_parker(i) && !c.was_tired) ++tired_;  // the window waits for it no more
    c.was_tired = true;
    c.phase = Phase::failed;
    ++c.gen;
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
}

void Run::send_bytes(uint32_t i, std::string_view bytes) {
    Caller& c = callers_[i];
    if (!c.out.empty()) {
        c.out.append(bytes);
        return;
    }
    ssize_t n = send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN) {
        fail(i, "send failed", errors_.disconnects);
        return;
    }
    size_t sent = n < 0 ? 0 : static_cast<size_t>(n);
    if (sent < bytes.size()) {
        c.out.assign(bytes.substr(sent));
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
        ev.data.u32 = i;
        epoll_ctl(epoll_, EPOLL_CTL_MOD, c.fd, &ev);
    }
}

// Telnet: agree to echo, suppress-go-ahead and binary, send the terminal
// type XTERM (UTF-8 with colour, so no probe), refuse the rest. The data
// goes to the screen without ANSI sequences and without carriage returns.
void Run::decode(Caller& c, const char* data, size_t n) {
    constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
    enum : uint8_t { kData, kIac, kOption, kSub, kSubIac };
    std::string reply;
    for (size_t k = 0; k < n; ++k) {
        const auto b = static_cast<uint8_t>(data[k]);
        switch (c.tn) {
            case kData:
                if (b == IAC) {
                    c.tn = kIac;
                } else if (c.esc == 1) {  // after ESC: '[' starts a sequence
                    c.esc = b == '[' ? 2 : 0;
                } else if (c.esc == 2) {  // parameters and intermediates, then a final byte
                    if (b >= 0x40 && b <= 0x7E) c.esc = 0;
                } else if (b == 0x1B) {
                    c.esc = 1;
                } else if (b != '\r' && b != 0) {
                    c.screen += static_cast<char>(b);
                }
                break;
            case kIac:
                if (b == IAC) {
                    c.screen += static_cast<char>(b);
                    c.tn = kData;
                } else if (b >= WILL && b <= DONT) {
                    c.verb = b;
                    c.tn = kOption;
                } else {
                    c.tn = b == SB ? kSub : kData;
                    c.sub.clear();
                }
                break;
            case kOption: {
                const bool both = b == 3 || b == 0;  // suppress-go-ahead, binary
                if (c.verb == WILL) reply += {char(IAC), char(both || b == 1 ? DO : DONT), char(b)};
                if (c.verb == DO)
                    reply += {char(IAC), char(both || b == 24 ? WILL : WONT), char(b)};
                c.tn = kData;
                break;
            }
            case kSub:
                if (b == IAC)
                    c.tn = kSubIac;
                else
                    c.sub += static_cast<char>(b);
                break;
            case kSubIac:
                if (b == SE) {
                    if (c.sub.size() >= 2 && static_cast<uint8_t>(c.sub[0]) == 24 &&
                        c.sub[1] == 1) {
                        reply += {char(IAC), char(SB), char(24), char(0)};
                        reply += "XTERM";
                        reply += {char(IAC), char(SE)};
                    }
                    c.tn = kData;
                } else {
                    c.sub += static_cast<char>(b);
                    c.tn = kSub;
                }
                break;
        }
    }
    if (!reply.empty()) send_bytes(static_cast<uint32_t>(&c - callers_.data()), reply);
}

void Run::on_event(uint32_t i, uint32_t events) {
    Caller& c = callers_[i];
    if (c.fd < 0) return;
    if (events & EPOLLOUT) {
        if (c.phase == Phase::greeting && c.screen.empty() && c.out.empty()) {
            int err = 0;
            socklen_t len = sizeof err;
            getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &err, &len);
            if (err != 0) {
                fail(i, "connection refused", errors_.connects);
                return;
            }
        }
        if (!c.out.empty()) {
            ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
            if (n > 0) c.out.erase(0, static_cast<size_t>(n));
        }
        if (c.out.empty()) {
            epoll_event ev{};
            ev.events = EPOLLIN | EPOLLRDHUP;
            ev.data.u32 = i;
            epoll_ctl(epoll_, EPOLL_CTL_MOD, c.fd, &ev);
        }
    }
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
        static char buffer[65536];
        for (;;) {
            ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                decode(c, buffer, static_cast<size_t>(n));
                if (callers_[i].fd < 0) return;
                if (static_cast<size_t>(n) < sizeof buffer) break;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;
            fail(i, n == 0 ? "the server closed the call" : "the call was reset",
                 errors_.disconnects);
            return;
        }
        check_prompt(i);
    }
}

void Run::check_prompt(uint32_t i) {
    Caller& c = callers_[i];
    if (c.expect.empty() || c.fd < 0) return;
    size_t at = c.screen.find(c.expect);
    if (at != std::string::npos) {
        prompt_arrived(i, false);
        return;
    }
    if (c.tired_possible) {
        size_t tired = c.screen.find(kTired);
        if (tired != std::string::npos &&
            c.screen.find(fill(kMenuPrompt, c, Place::none), tired) != std::string::npos) {
            prompt_arrived(i, true);
        }
    }
}

void Run::prompt_arrived(uint32_t i, bool tired) {
    Caller& c = callers_[i];
    const Micros now = now_us();
    const Micros took = now - c.sent_at;
    c.expect.clear();
    c.tired_possible = false;
    switch (c.phase) {
        case Phase::greeting:
            ++greeted_;
            --in_greeting_;
            greetings_.push_back(took);
            if (o_.burst) {  // greeted: it holds its line until the end
                --in_signon_;
                mark_ready(c);
                c.phase = Phase::done;
                ++c.gen;
                return;
            }
            c.phase = Phase::signon;
            c.step = 0;
            break;
        case Phase::signon:
            signon_.push_back(took);
            if (++c.step == static_cast<int>(std::size(kSignOn))) {
                --in_signon_;
                c.step = 0;
                if (is_parker(i)) {
                    c.phase = Phase::park;
                } else {
                    c.phase = Phase::route;
                    mark_ready(c);
                }
            }
            break;
        case Phase::route:
            if (measuring_ && c.sent_at >= window_start_) {
                latencies_.push_back(took);
                ++lines_;
            } else if (ready_seen_ && c.sent_at >= ready_at_) {
                settling_.push_back(took);
            }
            if (!o_.timeline.empty() && ready_seen_ && c.sent_at >= ready_at_)
                timeline_.emplace_back(c.sent_at, took);
            if (c.step == 1 && places_[1].empty()) learn_places(c.screen);
            if (tired) {
                if (!c.was_tired) ++tired_;
                c.was_tired = true;
                c.step = step_of(c).tired_next;
            } else if (++c.step == static_cast<int>(std::size(kRoute))) {
                c.step = 0;
                ++c.routes;
                ++routes_;
            }
            break;
        case Phase::park:
            if (c.step == 1 && places_[3].empty()) learn_places(c.screen);
            if (tired) {  // no trips left: it stays at the menu
                c.phase = Phase::parked;
                mark_ready(c);
                return;
            }
            if (++c.step == 3) {
                c.phase = Phase::parked;  // now in the wait
                mark_ready(c);
                // The wait's end brings the menu back; then up again.
                c.screen.clear();
                c.expect = fill(kMenuPrompt, c, Place::none);
                c.sent_at = now;
                arm(i, now + seconds_us(120 + o_.timeout));
                return;
            }
            break;
        case Phase::parked:
            c.phase = Phase::park;
            c.step = 2;
            break;
        default:
            return;
    }
    // Sign-on and the way to a parking place are typed at once: only the
    // route is paced like a person.
    arm(i, c.phase == Phase::route ? now + think_time() : now);
}

void Run::type_next(uint32_t i) {
    Caller& c = callers_[i];
    const Step& s = step_of(c);
    if ((s.place != Place::none) && places_[static_cast<int>(s.place)].empty()) {
        fail(i, "the module's menu has no such place", errors_.unexpected);
        return;
    }
    c.screen.clear();
    c.expect = fill(s.expect, c, s.place);
    c.tired_possible = s.place != Place::none;
    c.sent_at = now_us();
    arm(i, c.sent_at + seconds_us(o_.timeout));
    send_bytes(i, fill(s.send, c, s.place) + "\r\n");
}

void Run::on_timer(uint32_t i) {
    Caller& c = callers_[i];
    if (c.fd < 0) return;
    if (!c.expect.empty()) {  // the prompt's time is up
        if (c.screen.empty())
            fail(i, "no answer in time", errors_.timeouts);
        else
            fail(i, "text came but not the prompt awaited", errors_.unexpected);
        return;
    }
    type_next(i);
}

void Run::report(Micros measured, const ProcessSample& a, const ProcessSample& b,
                 const NetSample& net_a, const NetSample& net_b) {
    const double seconds = static_cast<double>(measured) / 1e6;
    const double cpu =
        a.cpu_seconds >= 0 && b.cpu_seconds >= 0 ? b.cpu_seconds - a.cpu_seconds : -1;
    const double cpu_pct = cpu >= 0 && seconds > 0 ? 100 * cpu / seconds : -1;
    // Time igmhost could have run but other processes had the cores: on a
    // shared machine its latencies are worth little when this is high.
    const double queued_pct = a.queued_seconds >= 0 && b.queued_seconds >= 0 && seconds > 0
                                  ? 100 * (b.queued_seconds - a.queued_seconds) / seconds
                                  : -1;
    const double us_per_line =
        cpu >= 0 && lines_ > 0 ? 1e6 * cpu / static_cast<double>(lines_) : -1;
    const double lines_per_s = seconds > 0 ? static_cast<double>(lines_) / seconds : 0;
    const double ramp_s = static_cast<double>(ready_at_ - ramp_start_) / 1e6;
    int walkers_done = 0;
    for (int k = 0; k < o_.callers; ++k)
        walkers_done += callers_[static_cast<size_t>(k)].routes > 0;
    const double p50 = percentile(latencies_, 0.50), p99 = percentile(latencies_, 0.99);
    const double max = slowest_ms(latencies_);
    const double s50 = percentile(signon_, 0.50), s99 = percentile(signon_, 0.99);
    const double settle_p99 = percentile(settling_, 0.99);
    const double settle_max = slowest_ms(settling_);
    const double g_max = slowest_ms(greetings_);
    // Other work on the machine shows in the figures: its load goes with them.
    double load = -1;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = -1;
        std::fclose(f);
    }
    const char* mode = o_.burst           ? "burst"
                       : o_.parked > 0    ? "parked"
                       : o_.tired         ? (o_.interval <= 0 ? "fullspeed-tired" : "route-tired")
                       : o_.interval <= 0 ? "fullspeed"
                                          : "route";
    if (o_.burst) {
        std::printf(
            "loadgen burst: %d connections at once, %d greeted, slowest greeting %.1f ms, "
            "p50 %.1f ms; RSS %.1f MB; errors %ld; load average %.2f\n",
            total(), greeted_, g_max, percentile(greetings_, 0.5), b.rss_mb, errors_.total(), load);
    } else {
        char settled[160] = "";
        if (o_.settle > 0) {
            std::snprintf(settled, sizeof settled,
                          "; before that, %.0f s settling: %zu lines, p99 %.2f ms, max %.2f ms",
                          o_.settle, settling_.size(), settle_p99, settle_max);
        }
        char host[160] = "igmhost CPU and RSS unknown (no --pid)";
        if (cpu_pct >= 0) {
            std::snprintf(host, sizeof host,
                          "igmhost CPU %.1f %% (waiting for a core %.1f %%), %.0f us/line, "
                          "RSS %.1f MB",
                          cpu_pct, queued_pct, us_per_line, b.rss_mb);
        }
        std::printf(
            "loadgen: %d callers (+%d parked), interval %.2f s%s, %.1f s measured: %ld lines, "
            "%.1f lines/s, p50 %.2f ms, p99 %.2f ms, max %.2f ms%s; %s; sign-on %.1f s "
            "(greeting p50 %.1f ms, max %.1f ms; step p50 %.2f ms, p99 %.2f ms); routes %ld, "
            "callers with one: %d of %d; errors %ld (unexpected %ld, disconnects %ld, "
            "timeouts %ld, connects %ld); load average %.2f; loadgen's longest stall %.1f ms; "
            "igmhost read %.0f KB from the disk; packets dropped in the kernel's backlog %ld, "
            "TCP retransmission timeouts %ld\n",
            o_.callers, o_.parked, o_.interval, o_.tired ? " (all tired)" : "", seconds, lines_,
            lines_per_s, p50, p99, max, settled, host, ramp_s, percentile(greetings_, 0.5), g_max,
            s50, s99, routes_, walkers_done, o_.callers, errors_.total(), errors_.unexpected,
            errors_.disconnects, errors_.timeouts, errors_.connects, load,
            static_cast<double>(longest_stall_) / 1000, b.disk_read_kb - a.disk_read_kb,
            net_b.backlog_drops - net_a.backlog_drops, net_b.tcp_timeouts - net_a.tcp_timeouts);
    }
    std::fflush(stdout);
    if (o_.csv.empty()) return;
    struct stat st {};
    const bool fresh = stat(o_.csv.c_str(), &st) != 0 || st.st_size == 0;
    std::FILE* f = std::fopen(o_.csv.c_str(), "a");
    if (f == nullptr) {
        std::fprintf(stderr, "loadgen: cannot write %s\n", o_.csv.c_str());
        return;
    }
    if (fresh) {
        std::fprintf(
            f,
            "mode,callers,parked,interval_s,measured_s,lines,lines_per_s,p50_ms,p99_ms,"
            "max_ms,cpu_pct,cpu_us_per_line,rss_mb,signon_s,greeting_p50_ms,greeting_max_ms,"
            "signon_p50_ms,"
            "signon_p99_ms,greeted,routes,callers_with_route,errors,load_average,queued_pct,"
            "settle_s,settle_lines,settle_p99_ms,settle_max_ms\n");
    }
    std::fprintf(f,
                 "%s,%d,%d,%.2f,%.1f,%ld,%.1f,%.3f,%.3f,%.3f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.3f,%."
                 "3f,%d,%ld,%d,"
                 "%ld,%.2f,%.1f,%.1f,%zu,%.3f,%.3f\n",
                 mode, o_.callers, o_.parked, o_.interval, seconds, lines_, lines_per_s, p50, p99,
                 max, cpu_pct, us_per_line, b.rss_mb, ramp_s, percentile(greetings_, 0.5), g_max,
                 s50, s99, greeted_, routes_, walkers_done, errors_.total(), load, queued_pct,
                 o_.settle, settling_.size(), settle_p99, settle_max);
    std::fclose(f);
}

// One row for each tenth of a second from everyone on to the end, stamped
// with the wall clock to match igmhost's log: a stall shows as a run of
// rows whose slowest answers climb.
void Run::write_timeline() const {
    std::FILE* f = std::fopen(o_.timeline.c_str(), "w");
    if (f == nullptr) {
        std::fprintf(stderr, "loadgen: cannot write %s\n", o_.timeline.c_str());
        return;
    }
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    const Micros wall_minus_mono =
        static_cast<Micros>(wall.tv_sec) * 1000000 + wall.tv_nsec / 1000 - now_us();
    constexpr Micros kTenth = 100000;
    std::vector<std::pair<long, Micros>> rows;  // lines, slowest
    for (const auto& [sent, took] : timeline_) {
        const auto k = static_cast<size_t>((sent - ready_at_) / kTenth);
        if (k >= rows.size()) rows.resize(k + 1);
        ++rows[k].first;
        rows[k].second = std::max(rows[k].second, took);
    }
    std::fprintf(f, "seconds_from_window,wall_clock,lines,slowest_ms\n");
    for (size_t k = 0; k < rows.size(); ++k) {
        const Micros at = ready_at_ + static_cast<Micros>(k) * kTenth;
        const time_t secs = static_cast<time_t>((at + wall_minus_mono) / 1000000);
        tm local{};
        localtime_r(&secs, &local);
        char clock[16];
        std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
        std::fprintf(f, "%.1f,%s.%d,%ld,%.2f\n", static_cast<double>(at - window_start_) / 1e6,
                     clock, static_cast<int>((at + wall_minus_mono) % 1000000 / kTenth),
                     rows[k].first, static_cast<double>(rows[k].second) / 1000);
    }
    std::fclose(f);
}

int Run::go() {
    random_.seed(o_.seed);
    callers_.resize(static_cast<size_t>(total()));
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    std::vector<epoll_event> events(1024);
    ramp_start_ = now_us();
    const Micros give_up = ramp_start_ + seconds_us(o_.max_time);
    ProcessSample before;
    NetSample net_before;
    bool timed_out = false;
    Micros awake_at = now_us();
    for (;;) {
        Micros now = now_us();
        // Ramp: new connections at the rate asked, with few signing on and
        // fewer still awaiting their greeting at once, so that the listen
        // queue never overflows (a burst connects everyone at the start).
        while (started_ < callers_.size()) {
            const bool rate_ok =
                o_.burst || static_cast<double>(started_) <
                                o_.ramp_rate * static_cast<double>(now - ramp_start_) / 1e6 + 1;
            if (!rate_ok ||
                (!o_.burst && (in_signon_ >= o_.signing_on || in_greeting_ >= o_.connecting)))
                break;
            start_connection(started_++);
        }
        // Everyone on (and tired, if asked): the measured window starts,
        // after the settling time if one is asked.
        if (!ready_seen_ && ready_ >= total() && (!o_.tired || tired_ >= o_.callers)) {
            ready_seen_ = true;
            ready_at_ = now;
            if (o_.settle > 0 && !o_.burst)
                std::fprintf(stderr, "loadgen: everyone is on; measuring in %.0f s\n", o_.settle);
        }
        if (ready_seen_ && !measuring_ && (o_.burst || now >= ready_at_ + seconds_us(o_.settle))) {
            measuring_ = true;
            window_start_ = now;
            window_end_ = now + seconds_us(o_.duration);
            before = sample_process(pid_);
            net_before = sample_net();
            if (o_.burst) break;
            // For a profiler that should see only the measured lines.
            std::fprintf(stderr, "loadgen: measuring for %.0f s from now\n", o_.duration);
        }
        if (measuring_ && now >= window_end_) {
            bool routes_met = true;
            for (int k = 0; k < o_.callers && routes_met; ++k) {
                const Caller& c = callers_[static_cast<size_t>(k)];
                routes_met = c.phase == Phase::failed || c.routes >= o_.min_routes;
            }
            if (routes_met) break;
        }
        if (now >= give_up) {
            timed_out = true;
            break;
        }
        // Due timers, then the sockets.
        while (!timers_.empty() && timers_.top().at <= now) {
            Timer t = timers_.top();
            timers_.pop();
            if (callers_[t.caller].gen == t.gen) on_timer(t.caller);
        }
        Micros next = now + 50000;
        if (!timers_.empty()) next = std::min(next, timers_.top().at);
        if (measuring_) next = std::min(next, window_end_);
        if (ready_seen_ && !measuring_) next = std::min(next, ready_at_ + seconds_us(o_.settle));
        int wait_ms = static_cast<int>(std::max<Micros>(0, (next - now + 999) / 1000));
        const Micros asleep_at = now_us();
        if (measuring_) longest_stall_ = std::max(longest_stall_, asleep_at - awake_at);
        int n = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), wait_ms);
        awake_at = now_us();
        if (measuring_ && n == 0)  // woken late: the machine kept loadgen from its sockets
            longest_stall_ =
                std::max(longest_stall_, awake_at - asleep_at - Micros{wait_ms} * 1000);
        for (int k = 0; k < n; ++k)
            on_event(events[static_cast<size_t>(k)].data.u32,
                     events[static_cast<size_t>(k)].events);
    }
    const Micros end = now_us();
    ProcessSample after = sample_process(pid_);
    const NetSample net_after = measuring_ ? sample_net() : net_before;
    if (!ready_seen_) ready_at_ = end;
    if (!measuring_) window_start_ = end;
    // Steps still awaiting their prompt at the end are not counted.
    for (Caller& c : callers_)
        if (c.fd >= 0) close(c.fd);
    close(epoll_);
    if (timed_out) {
        std::fprintf(stderr, "loadgen: the run took longer than --max-time %.0f s (%d of %d on)\n",
                     o_.max_time, ready_, total());
    }
    report(end - window_start_, before, after, net_before, net_after);
    if (!o_.timeline.empty()) write_timeline();
    const bool ok = errors_.total() == 0 && !timed_out && (!o_.burst || greeted_ == total());
    return ok ? 0 : 1;
}

// igmhost and the demo-world tool: next to loadgen, and in the source tree.
std::string beside_me(const char* name) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return name;
    std::string path(exe, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (!parse_options(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    loadtools::raise_descriptor_limit();
    signal(SIGPIPE, SIG_IGN);
    if (o.igmhost.empty()) o.igmhost = beside_me("igmhost");
#ifdef LOADGEN_MAKE_WORLD
    if (o.make_world.empty()) o.make_world = LOADGEN_MAKE_WORLD;
#endif
    if (o.prefix.empty()) {
        // A started igmhost has a fresh world; a running one may know "load".
        o.prefix = o.port == 0 ? "load" : "ld" + std::to_string(getpid() % 100000) + "x";
    }
    in_addr probe{};
    if (inet_pton(AF_INET, o.address.c_str(), &probe) != 1) {
        std::fputs("loadgen: --address takes an IPv4 address such as 127.0.0.1\n", stderr);
        return 2;
    }
    Host host;
    int port = o.port, pid = o.pid;
    if (port == 0) {
        if (o.make_world.empty()) {
            std::fputs("loadgen: --make-world is needed to start igmhost\n", stderr);
            return 2;
        }
        if (!host.start(o, o.max_users > 0 ? o.max_users : std::max(1, o.callers + o.parked))) {
            host.stop(o.keep_world);
            return 1;
        }
        port = host.port();
        pid = host.pid();
    }
    int status = Run(o, port, pid).go();
    host.stop(o.keep_world);
    return status;
}
