// igmhost's parts built into the test: a terminal connection over a socket pair, the server
// loop driven on a thread of its own, and the stand-in game's index of player names.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "game/player_file.h"
#include "include/regular_file.h"
#include "server/core/host_core.h"
#include "server/frontend/console.h"
#include "server/frontend/status_pump.h"
#include "server/server.h"
#include "tests/support/shared.h"

namespace {

using Clock = std::chrono::steady_clock;

// A sysop's notice reaches a user at a prompt at once, and waits for the
// next prompt while a screen is being drawn.
TEST(Connection, NoticeIsShownAtAPromptNeverInsideAScreen) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    frontend::AttachedConsole user(fds[0], frontend::Charset::utf8);  // closes fds[0]
    auto type = [&](std::string_view keys) {
        ASSERT_EQ(write(fds[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
        ASSERT_TRUE(user.read_input());
    };
    auto sent = [&] {
        user.flush();
        std::string got;
        char buffer[512];
        for (ssize_t n; (n = read(fds[1], buffer, sizeof buffer)) > 0;)
            got.append(buffer, static_cast<size_t>(n));
        return got;
    };

    // At a prompt, half a line typed: the prompt and the typing come again.
    user.write_text("Your choice: ");
    type("ab");
    user.notice("*** Supper");
    EXPECT_EQ(sent(), "Your choice: ab\r\n*** Supper\r\nYour choice: ab");
    // The line answered, the next screen under way: held until its prompt.
    type("\r");
    user.write_text("\x1b[2JThe menu\n");
    user.notice("*** Later");
    user.write_text("(1) Well\nYour choice: ");
    EXPECT_EQ(sent(), "\r\n\x1b[2J\x1b[HThe menu\r\n(1) Well\r\n\r\n*** Later\r\nYour choice: ");
    close(fds[1]);
}

// A server on a scratch world with the real module, greeting at once
// (cp437, no probe), on a free loopback port; the world goes at the end.
class EventLoop : public ::testing::Test {
  protected:
    void start(int max_users) {
        std::string error;
        ASSERT_TRUE(server::enter_world(world_, &error)) << error;
        frontend::Options options;
        options.world = world_;
        options.port = 0;
        options.module = ZMB_MODULE_PATH;
        options.max_users = max_users;
        options.max_per_address = 0;
        options.charset = frontend::Charset::cp437;
        server_ = server::Server::make(options, &error);
        ASSERT_NE(server_, nullptr) << error;
        ASSERT_TRUE(server_->start(frontend::Charset::cp437));
        address_.sin_family = AF_INET;
        address_.sin_port = htons(static_cast<uint16_t>(server_->port()));
        address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    void TearDown() override {
        server_.reset();
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        std::filesystem::remove_all(world_);
    }
    bool call(int fd) {
        return connect(fd, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == 0;
    }
    const std::string world_ = test::make_scratch_dir("event-loop-test");
    std::unique_ptr<server::Server> server_;
    sockaddr_in address_{};
};

// Callers who all connect before the loop looks at its listener wait in
// the listen queue: every one of them is taken and greeted, none is left
// to the kernel's retries; stop() from this thread ends run() and each of
// them is told why.
TEST_F(EventLoop, EveryCallerOfABurstIsGreetedAndToldWhyOnStop) {
    constexpr int kCallers = 300;
    ASSERT_NO_FATAL_FAILURE(start(kCallers));
    std::vector<int> callers;
    for (int i = 0; i < kCallers; ++i) {
        callers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ASSERT_TRUE(call(callers.back()) || errno == EINPROGRESS) << "caller " << i;
    }
    std::thread loop([&] { server_->run(); });

    // How many callers see `text` within ten seconds, each before its end closes.
    auto seen_by = [&](std::string_view text) {
        int callers_seen = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        for (int fd : callers) {
            std::string got;
            for (char buf[512]; got.find(text) == std::string::npos && Clock::now() < deadline;) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 100) <= 0) continue;
                const ssize_t n = read(fd, buf, sizeof buf);
                if (n <= 0) break;
                got.append(buf, static_cast<size_t>(n));
            }
            callers_seen += got.find(text) != std::string::npos;
        }
        return callers_seen;
    };
    EXPECT_EQ(seen_by("Name: "), kCallers);
    server_->stop();
    loop.join();
    server_->shut_down();
    EXPECT_EQ(seen_by("igmhost is shutting down. Farewell!"), kCallers);
    for (int fd : callers)
        close(fd);
}

// The loop has one thread: a round that keeps everyone waiting is logged
// with where its time went. Here the log itself is slow when a caller
// hangs up, which the loop hears of while reading.
TEST_F(EventLoop, ARoundThatTakesLongIsLoggedWithWhereItsTimeWent) {
    ASSERT_NO_FATAL_FAILURE(start(4));
    std::vector<std::string> slow_rounds;
    host::set_log_sink([&](std::string_view line) {
        if (line.find("disconnect") != std::string_view::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (line.find("slow round: ") != std::string_view::npos) slow_rounds.emplace_back(line);
    });
    std::thread loop([&] { server_->run(); });
    int caller = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_TRUE(call(caller));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    close(caller);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    server_->stop();
    loop.join();
    server_->shut_down();
    host::set_log_sink(nullptr);
    ASSERT_EQ(slow_rounds.size(), 1u);
    std::smatch took;  // a round of one part: reading what the caller sent
    ASSERT_TRUE(std::regex_search(slow_rounds[0], took,
                                  std::regex("slow round: ([0-9]+) ms \\(reading \\1 ms\\)$")))
        << slow_rounds[0];
    EXPECT_GE(std::stoi(took[1].str()), 300);
}

// A module whose status routine runs a "script" of left[channel] slices,
// each sending a dot, and on a silent channel only queues itself again
// (waiting for the clock); a channel named in hold_after is held once its
// status has been delivered that many times.
namespace slices {
std::vector<int> calls;
int left[4], silent = -1, hold_channel = -1, hold_after = 0;
void slice() {
    calls.push_back(usrnum);
    if (usrnum == silent) {
        btuinj(usrnum, ::status);
        return;
    }
    prf(".");
    outprf(usrnum);
    if (--left[usrnum] > 0) btuinj(usrnum, 240);
}
module_descriptor module = {"slices", nullptr, nullptr, slice,   nullptr,
                            nullptr,  nullptr, nullptr, nullptr, nullptr};
}  // namespace slices

// A channel's turn is a few statuses in a row, while its files are fresh;
// turns go round the channels in the order they queued. A budget counts
// every status, a channel held or fallen asleep loses the rest of its turn,
// and every status delivered is reported once.
TEST(StatusPump, ATurnIsAFewStatusesInARowAndTurnsGoRound) {
    constexpr int T = frontend::StatusPump::kTurn;
    static_assert(T >= 3, "the rows below need turns of three or more");
    host::init(4);
    host::set_output_sink([](int, std::string_view) {});
    const int number = host::add_module(&slices::module, "SLICES");
    frontend::StatusPump pump;
    std::vector<int> reported;
    pump.set_delivered([&](int channel) { reported.push_back(channel); });
    pump.set_hold([](int channel) {
        return channel == slices::hold_channel &&
               std::count(slices::calls.begin(), slices::calls.end(), channel) >=
                   slices::hold_after;
    });
    auto run = [&](int budget) {
        slices::calls.clear();
        reported.clear();
        pump.run(budget, frontend::StatusPump::Clock::now());
        EXPECT_EQ(reported, slices::calls) << "each delivery reported once, as it came";
        return slices::calls;
    };
    auto turns = [](std::vector<std::pair<int, int>> runs) {  // (channel, statuses in a row)
        std::vector<int> calls;
        for (auto [channel, n] : runs)
            calls.insert(calls.end(), static_cast<size_t>(n), channel);
        return calls;
    };
    for (int ch = 0; ch < 4; ++ch)
        host::user(ch).shared.current_module = number;

    // Channel 1 has two turns and a half of work, 2 less than a turn, 3 a
    // turn and a half; a budget cuts channel 3's first turn short.
    slices::left[1] = 2 * T + 2, slices::left[2] = T - 1, slices::left[3] = T + T / 2;
    for (int ch : {1, 2, 3})
        btuinj(ch, 240);
    EXPECT_EQ(run(2 * T + 1), turns({{1, T}, {2, T - 1}, {3, 2}}));
    EXPECT_EQ(run(100), turns({{1, T}, {3, T + T / 2 - 2}, {1, 2}}));
    EXPECT_EQ(host::pending_statuses(), 0u);

    // Channel 1 is held after its second status; channel 2 falls asleep at
    // once: each gives up the rest of its turn.
    slices::left[1] = 2 * T, slices::left[3] = T;
    slices::hold_channel = 1, slices::hold_after = 2;
    slices::silent = 2;
    for (int ch : {1, 2, 3})
        btuinj(ch, 240);
    EXPECT_EQ(run(100), turns({{1, 2}, {2, 1}, {3, T}}));
    EXPECT_EQ(host::sleeping_channels(), 1u);
    slices::hold_channel = -1;
    EXPECT_EQ(run(100), turns({{1, T}, {1, T - 2}}));
    host::drop_statuses(2);
    slices::silent = -1;
}

// A "w" open empties a file that has data and leaves an empty one (a file
// just made) alone: a truncation to nothing makes ext4 write the data out
// at close, and the hand-off file of every visit, removed moments later,
// then cost a disk block and, on a file system mounted with `discard`, a
// wait for the device. Its modification time shows whether it was truncated.
TEST(RegularFile, AWriteOpenEmptiesAFileButLeavesAnEmptyOneAlone) {
    const std::string dir = test::make_scratch_dir("regular-file");
    const std::string full = dir + "/FULL.TMP", empty = dir + "/EMPTY.TMP";
    for (const std::string& path : {full, empty}) {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        if (path == full) std::fputs("KXPVORN\n12\n", f);
        std::fclose(f);
        const timespec long_ago[2] = {{946684800, 0}, {946684800, 0}};  // 2000-01-01
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), long_ago, 0), 0);
    }
    for (const std::string& path : {full, empty, dir + "/NEW.TMP"}) {
        std::FILE* f = files::fopen_regular(path.c_str(), "w");
        ASSERT_NE(f, nullptr) << path;
        std::fclose(f);
    }
    struct stat st {};
    ASSERT_EQ(stat(full.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_GT(st.st_mtim.tv_sec, 946684800);
    ASSERT_EQ(stat(empty.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800) << "an empty file was truncated";
    ASSERT_EQ(stat((dir + "/NEW.TMP").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    std::filesystem::remove_all(dir);
}

// The index answers like a walk of PLAYER.DAT would (first record of a
// name, ignoring case) as the file changes through the game and behind its back.
TEST(PlayerIndex, FollowsNewPlayersRenamesAndAFileChangedBehindItsBack) {
    const std::string world = test::make_scratch_dir("player-index");
    game::PlayerFile file(world + "/KXPVORN");
    ASSERT_TRUE(file.create_if_missing());
    for (const char* name : {"Ardo", "Mira", "ARDO"})
        ASSERT_GE(file.append(game::new_player(name, game::kMystical, game::kMale)), 0);
    file.build_index();
    auto write_behind = [&](const char* name) {
        FILE* f = std::fopen(file.path().c_str(), "ab");
        auto r = game::new_player(name, game::kThieving, game::kFemale);
        std::fwrite(r.bytes.data(), 1, r.bytes.size(), f);
        std::fclose(f);
    };

    using Finds = std::vector<std::pair<const char*, int>>;
    const std::vector<std::pair<std::function<void()>, Finds>> steps = {
        {[] {}, {{"ardo", 0}, {"Mira", 1}, {"Zed", -1}}},
        {[&] { file.append(game::new_player("Zed", game::kThieving, game::kMale)); },
         {{"zed", 3}, {"Mira", 1}}},
        {[&] { write_behind("Nox"); }, {{"NOX", 4}}},
        {[&] { file.store(1, game::new_player("Wren", game::kMystical, game::kFemale)); },
         {{"wren", 1}, {"Mira", -1}}},
        {[&] { std::filesystem::resize_file(file.path(), 2 * game::kRecordSize); },
         {{"Zed", -1}, {"Wren", 1}, {"Ardo", 0}}},
        {[&] { write_behind("Mira"); }, {{"mira", 2}}},
    };
    for (size_t step = 0; step < steps.size(); ++step) {
        steps[step].first();
        for (auto [name, index] : steps[step].second)
            EXPECT_EQ(file.find(name), index) << "step " << step << ": " << name;
    }
    std::filesystem::remove_all(world);
}

}  // namespace
