// loopback-floor: what the kernel alone charges a server per typed line as
// callers grow. A trivial epoll server answers each line with a fixed reply;
// N callers type at full speed over loopback; its CPU per line is printed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "process.h"

namespace {

using Clock = std::chrono::steady_clock;

void no_delay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// The server: level-triggered epoll, one read per readable socket, one
// write of the reply per line received (as igmhost writes once per line).
[[noreturn]] void serve(int listener, size_t reply_bytes) {
    const std::string reply(reply_bytes, 'x');
    int ep = epoll_create1(0);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = listener;
    epoll_ctl(ep, EPOLL_CTL_ADD, listener, &ev);
    std::vector<epoll_event> events(1024);
    char buf[4096];
    for (;;) {
        int n = epoll_wait(ep, events.data(), static_cast<int>(events.size()), -1);
        for (int i = 0; i < n; ++i) {
            int fd = events[i].data.fd;
            if (fd == listener) {
                for (int c; (c = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
                    no_delay(c);
                    epoll_event cev{};
                    cev.events = EPOLLIN;
                    cev.data.fd = c;
                    epoll_ctl(ep, EPOLL_CTL_ADD, c, &cev);
                }
                continue;
            }
            ssize_t got = read(fd, buf, sizeof buf);
            if (got <= 0) {
                close(fd);
                continue;
            }
            for (ssize_t k = 0; k < got; ++k) {
                // The callers read every reply before typing again, so a
                // reply always fits the socket's buffer.
                if (buf[k] == '\n' && write(fd, reply.data(), reply.size()) < 0) close(fd);
            }
        }
    }
}

struct Caller {
    int fd = -1;
    size_t awaited = 0;  // reply bytes still to come
};

}  // namespace

int main(int argc, char** argv) {
    int callers = 100;
    double duration = 20, warmup = 3;
    size_t reply_bytes = 600;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--callers")
            callers = std::atoi(argv[i + 1]);
        else if (a == "--duration")
            duration = std::atof(argv[i + 1]);
        else if (a == "--reply")
            reply_bytes = static_cast<size_t>(std::atol(argv[i + 1]));
        else {
            std::fprintf(stderr,
                         "usage: loopback-floor [--callers N] [--duration S] "
                         "[--reply BYTES]\n");
            return 2;
        }
    }
    if (callers < 1 || reply_bytes < 1) return 2;
    loadtools::raise_descriptor_limit();
    signal(SIGPIPE, SIG_IGN);

    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("loopback-floor: listen");
        return 1;
    }
    pid_t server = fork();
    if (server == 0) serve(listener, reply_bytes);
    close(listener);

    int ep = epoll_create1(0);
    std::vector<Caller> all(static_cast<size_t>(callers));
    for (size_t i = 0; i < all.size(); ++i) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            std::perror("loopback-floor: connect");
            kill(server, SIGKILL);
            return 1;
        }
        no_delay(fd);
        all[i].fd = fd;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = i;
        epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
    }
    auto type_line = [&](Caller& c) {
        c.awaited = reply_bytes;
        if (write(c.fd, "x\r\n", 3) != 3) c.awaited = 0;
    };
    for (Caller& c : all)
        type_line(c);

    long lines = 0, lines_at_start = 0;
    double cpu_at_start = 0;
    const auto begin = Clock::now();
    const auto measure_from = begin + std::chrono::duration<double>(warmup);
    const auto end = measure_from + std::chrono::duration<double>(duration);
    bool measuring = false;
    std::vector<epoll_event> events(1024);
    char buf[65536];
    while (Clock::now() < end) {
        if (!measuring && Clock::now() >= measure_from) {
            measuring = true;
            lines_at_start = lines;
            cpu_at_start = loadtools::cpu_seconds(server);
        }
        int n = epoll_wait(ep, events.data(), static_cast<int>(events.size()), 100);
        for (int i = 0; i < n; ++i) {
            Caller& c = all[events[i].data.u64];
            ssize_t got = read(c.fd, buf, sizeof buf);
            if (got <= 0) {
                std::fprintf(stderr, "loopback-floor: a caller was cut off\n");
                kill(server, SIGKILL);
                return 1;
            }
            size_t taken =
                static_cast<size_t>(got) < c.awaited ? static_cast<size_t>(got) : c.awaited;
            c.awaited -= taken;
            if (c.awaited == 0) {
                ++lines;
                type_line(c);
            }
        }
    }
    const double cpu = loadtools::cpu_seconds(server) - cpu_at_start;
    const long measured = lines - lines_at_start;
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    std::printf(
        "loopback-floor: %d callers, %zu-byte replies, %.0f s: %ld lines, %.0f lines/s, "
        "server CPU %.1f %%, %.1f us/line\n",
        callers, reply_bytes, duration, measured, measured / duration, 100.0 * cpu / duration,
        measured > 0 ? 1e6 * cpu / measured : 0.0);
    return measured > 0 ? 0 : 1;
}
