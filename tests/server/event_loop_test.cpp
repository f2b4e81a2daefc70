// The server loop built into the test and driven on a thread of its own:
// a burst of callers on real sockets is greeted whole, and stop() from
// another thread ends run() with the callers told why.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "server/server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Reads from `fd` until `text` has arrived, `fd` is closed or `deadline` passes.
std::string read_until(int fd, std::string_view text,
                       Clock::time_point deadline = Clock::now() + std::chrono::seconds(5)) {
    std::string got;
    while (got.find(text) == std::string::npos && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

// A world folder of its own, entered for the test and removed after it.
struct World {
    fs::path path =
        fs::temp_directory_path() / ("event-loop-test-" + std::to_string(std::random_device{}()));
    World() { fs::create_directories(path); }
    ~World() {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(path);
    }
    std::unique_ptr<server::Server> start(frontend::Options options) {
        std::string error;
        EXPECT_TRUE(server::enter_world(path.string(), &error)) << error;
        options.world = path.string();
        options.port = 0;
        options.module = ZMB_MODULE_PATH;
        auto server = server::Server::make(options, &error);
        EXPECT_NE(server, nullptr) << error;
        if (server == nullptr || !server->start(frontend::Charset::cp437)) return nullptr;
        return server;
    }
};

// A non-blocking socket on its way to the server's port.
int call(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        close(fd);
        return -1;
    }
    return fd;
}

// Callers who all connect before the loop looks at its listener wait in
// the listen queue: every one of them is taken and greeted, none is left
// to the kernel's retries; stop() from this thread ends run() and each of
// them is told why.
TEST(EventLoop, EveryCallerOfABurstIsGreetedAndToldWhyOnStop) {
    constexpr int kCallers = 300;
    World world;
    frontend::Options options;
    options.max_users = kCallers;
    options.max_per_address = 0;
    options.charset = frontend::Charset::cp437;  // greeted at once, without a probe
    auto server = world.start(options);
    ASSERT_NE(server, nullptr);
    std::vector<int> callers;
    for (int i = 0; i < kCallers; ++i)
        callers.push_back(call(server->port()));
    std::thread loop([&] { server->run(); });

    int greeted = 0, told = 0;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    for (int fd : callers) {
        greeted +=
            fd >= 0 && read_until(fd, "Name: ", deadline).find("Name: ") != std::string::npos;
    }
    server->stop();
    loop.join();
    server->shut_down();
    const std::string farewell = "igmhost is shutting down. Farewell!";
    deadline = Clock::now() + std::chrono::seconds(10);
    for (int fd : callers) {
        told += fd >= 0 && read_until(fd, farewell, deadline).find(farewell) != std::string::npos;
        close(fd);
    }
    EXPECT_EQ(greeted, kCallers);
    EXPECT_EQ(told, kCallers);
}

}  // namespace
