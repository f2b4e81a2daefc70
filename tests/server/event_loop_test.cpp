// The server loop built into the test and driven on a thread of its own:
// a caller on a real socket gets the name prompt, and stop() from another
// thread ends run() with the callers told why.
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

#include <gtest/gtest.h>

#include "server/server.h"

namespace {

namespace fs = std::filesystem;

// Reads from `fd` until `text` has arrived or `fd` is closed, at most 5 seconds.
std::string read_until(int fd, std::string_view text) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

TEST(EventLoop, CallerGetsTheNamePromptAndTheFarewellOnStop) {
    fs::path world =
        fs::temp_directory_path() / ("event-loop-test-" + std::to_string(std::random_device{}()));
    fs::create_directories(world);
    std::string error;
    ASSERT_TRUE(server::enter_world(world.string(), &error)) << error;

    frontend::Options options;
    options.world = world.string();
    options.port = 0;
    options.module = ZMB_MODULE_PATH;
    auto server = server::Server::make(options, &error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_TRUE(server->start(frontend::Charset::cp437));
    ASSERT_GT(server->port(), 0);
    std::thread loop([&] { server->run(); });

    int caller = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(server->port()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool connected = connect(caller, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    std::string greeting = connected ? read_until(caller, "Name: ") : "";

    server->stop();
    loop.join();
    server->shut_down();
    std::string farewell = read_until(caller, "Farewell!");
    close(caller);
    server.reset();
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(world);

    ASSERT_TRUE(connected);
    EXPECT_NE(greeting.find("Name: "), std::string::npos) << greeting;
    EXPECT_NE(farewell.find("igmhost is shutting down. Farewell!"), std::string::npos) << farewell;
}

}  // namespace
