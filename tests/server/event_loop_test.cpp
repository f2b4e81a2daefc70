// The server loop built into the test and driven on a thread of its own:
// a caller on a real socket gets the name prompt, a burst of callers is
// greeted whole, and stop() from another thread ends run() with the
// callers told why.
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

// A socket on its way to the server's port; non-blocking when `wait` is false.
int call(int port, bool wait) {
    int fd = socket(AF_INET, SOCK_STREAM | (wait ? 0 : SOCK_NONBLOCK), 0);
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

TEST(EventLoop, CallerGetsTheNamePromptAndTheFarewellOnStop) {
    World world;
    auto server = world.start({});
    ASSERT_NE(server, nullptr);
    ASSERT_GT(server->port(), 0);
    std::thread loop([&] { server->run(); });

    int caller = call(server->port(), true);
    std::string greeting = caller >= 0 ? read_until(caller, "Name: ") : "";

    server->stop();
    loop.join();
    server->shut_down();
    std::string farewell = read_until(caller, "Farewell!");
    close(caller);
    server.reset();

    ASSERT_GE(caller, 0);
    EXPECT_NE(greeting.find("Name: "), std::string::npos) << greeting;
    EXPECT_NE(farewell.find("igmhost is shutting down. Farewell!"), std::string::npos) << farewell;
}

// Callers who all connect before the loop looks at its listener wait in
// the listen queue: every one of them is taken and greeted, none is left
// to the kernel's retries.
TEST(EventLoop, EveryCallerOfABurstIsGreeted) {
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
        callers.push_back(call(server->port(), false));
    std::thread loop([&] { server->run(); });

    int greeted = 0;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    for (int fd : callers) {
        greeted +=
            fd >= 0 && read_until(fd, "Name: ", deadline).find("Name: ") != std::string::npos;
    }
    server->stop();
    loop.join();
    server->shut_down();
    for (int fd : callers)
        close(fd);
    EXPECT_EQ(greeted, kCallers);
}

}  // namespace
