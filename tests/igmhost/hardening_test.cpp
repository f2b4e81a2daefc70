// igmhost against hostile callers and a hostile world folder: compressed
// input, pipes in place of files, descriptor exhaustion, lines typed during
// a hand-back under load, half-closed callers, SIGHUP, repeated starts.
#include <zlib.h>

#include <memory>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

constexpr size_t kCharm = 124, kHorse = 188;  // PLAYER.DAT offsets
const std::string kIac = "\xff", kSb = "\xfa", kSe = "\xf0";
const std::string kCompressSb = kIac + kSb + "\x56" + kIac + kSe;  // IAC SB COMPRESS2 IAC SE

std::string deflated_zeros(size_t size) {
    std::string zeros(size, '\0');
    uLongf length = compressBound(static_cast<uLong>(size));
    std::string out(length, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &length,
             reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uLong>(size));
    out.resize(length);
    return out;
}

// Waits for a child's exit; its status, or -1 (and the child killed) at the timeout.
int exit_status_within(pid_t pid, double seconds) {
    auto deadline = deadline_after(seconds);
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

void make_fifo(const fs::path& path) {
    fs::create_directories(path.parent_path());
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path;
}

TEST(IgmhostHardening, CompressionIsRefusedNeverInflatedAndOptionsNotAgreedIgnored) {
    Scratch scratch;
    scratch.make_demo_world();
    Server server(scratch);
    // Plain text after the subnegotiation is typed text, not a zlib stream.
    Client plain(server.port());
    ASSERT_TRUE(plain.expect("Name: "));
    plain.send_raw(kCompressSb + "Ardo\r\n");
    ASSERT_TRUE(plain.expect("Password: "));
    EXPECT_TRUE(server.wait_for_log("compression refused (option 86)"));

    // A bomb (32 MB of zeros deflated) costs no more than its own bytes,
    // and another caller is answered at once meanwhile.
    Client other(server.port());
    ASSERT_TRUE(other.expect("Name: "));
    Client bomber(server.port());
    ASSERT_TRUE(bomber.expect("Name: "));
    double cpu_before = server.cpu_seconds();
    bomber.send_raw(kCompressSb + deflated_zeros(32 << 20));
    ASSERT_TRUE(other.say("Ardo", "Password: ", 1.0));
    EXPECT_LT(server.cpu_seconds() - cpu_before, 1.0);

    // One who keeps at it is hung up.
    Client stubborn(server.port());
    ASSERT_TRUE(stubborn.expect("Name: "));
    for (int i = 0; i < 5; ++i)
        stubborn.send_raw(kCompressSb);
    EXPECT_TRUE(stubborn.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("compression refused, and the client keeps sending it"));

    // A subnegotiation of an option not agreed is ignored.
    Client c(server.port(), "");  // refuses to send a terminal type
    ASSERT_TRUE(c.expect("Name: "));
    c.send_raw(kIac + kSb + "\x18" + std::string(1, '\0') + "VT100" + kIac + kSe);
    ASSERT_TRUE(c.say("Ardo", "Password: "));
    EXPECT_EQ(server.log().find("terminal type VT100"), std::string::npos) << server.log();
}

// A pipe where igmhost only reads a file is a missing file: the server starts and serves.
TEST(IgmhostHardening, PipesInPlaceOfFilesOnlyReadAreMissingFiles) {
    Scratch scratch;
    scratch.make_demo_world();
    for (const char* file : {"IGMLIST.DAT", "ACCOUNTS.TXT", "QHYVIGMS/PIPE.LOR"})
        make_fifo(scratch.world() / file);
    Server server(scratch);
    Client c(server.port());
    EXPECT_TRUE(sign_on(c, "Ardo", 1));
}

// A pipe where igmhost would create a missing file stops it with the file's name.
TEST(IgmhostHardening, PipeInPlaceOfAFileCreatedIsAnErrorNamingIt) {
    struct Case {
        const char* file;
        std::vector<std::string> extra;
        const char* said;
    };
    const Case cases[] = {
        {"IGMHOST.LOCK", {}, "IGMHOST.LOCK in"},
        {"IGMHOST.DB", {}, "IGMHOST.DB is not a regular file"},
        {"KXPVORN/PLAYER.DAT", {}, "KXPVORN/PLAYER.DAT is not a regular file"},
        {"PIPE.LOG", {"--log", "PIPE.LOG"}, "the log PIPE.LOG is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Scratch scratch;
        scratch.make_demo_world();
        make_fifo(scratch.world() / c.file);
        fs::path output = scratch.root() / "output";
        pid_t pid = Server::spawn(Server::args(scratch, c.extra), output);
        int status = exit_status_within(pid, 10);
        EXPECT_GT(status, 0) << "igmhost hung or served";
        EXPECT_NE(read_file(output).find(c.said), std::string::npos) << read_file(output);
        EXPECT_TRUE(fs::is_fifo(scratch.world() / c.file)) << "replaced by an empty file";
    }
}

TEST(IgmhostHardening, SilentSocketsLeaveDescriptorsForTheModule) {
    Scratch scratch;
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own";
#endif
    scratch.make_demo_world();
    Server server(scratch, {"--max-per-address", "0", "--max-users", "100"}, 64);
    Client ardo(server.port());
    ASSERT_TRUE(at_module_menu(ardo, "Ardo"));
    std::vector<std::unique_ptr<Client>> silent;
    for (int i = 0; i < 80; ++i)
        silent.push_back(std::make_unique<Client>(server.port()));
    ASSERT_TRUE(server.wait_for_log("connect refused: out of file descriptors"));
    EXPECT_TRUE(silent.back()->expect("Sorry, the server is too busy."));
    std::string lantern = place_number(ardo.text(), "The Lantern Inn");
    ASSERT_FALSE(lantern.empty()) << ardo.text();
    EXPECT_TRUE(ardo.say(lantern, "(Your name, traveller)"));
    EXPECT_TRUE(server.running());
    std::string log = server.log();
    size_t first = log.find("out of file descriptors");
    EXPECT_EQ(log.find("out of file descriptors", first + 1), std::string::npos) << "said once";
}

// 120 callers whose scripts wait keep the status queue full; a player who
// leaves the module and fights in the same packet must not have the game
// fight with the record it held before the visit.
TEST(IgmhostHardening, LineTypedBehindAHandBackWaitsForItUnderLoad) {
    Scratch scratch;
    scratch.make_demo_world();
    write_place(scratch.world(), "WAITHALL.LOR", "Waiting Hall", {"/LABEL", "/WAIT:99", "/LOOP"});
    write_place(scratch.world(), "TRADER.LOR", "Horse Trader", {"/REMOVEHORSE", "`2Sold."});
    write_place(scratch.world(), "CHARMS.LOR", "Charm School", {"/CHARM:1", "`2Charming."});
    Server server(scratch, {"--max-per-address", "0", "--max-users", "130", "--max-new-accounts",
                            "0", "--idle", "0", "--idle-signon", "0"});
    constexpr int kBusy = 120;
    std::vector<std::unique_ptr<Client>> busy;
    for (int i = 0; i < kBusy; ++i)
        busy.push_back(std::make_unique<Client>(server.port()));
    // Each step goes to every caller before any answer is awaited.
    const std::vector<std::pair<std::string, std::string>> steps = {
        {"", "Name: "},
        {"@", "Create a new account for "},
        {"", "Choose a password"},
        {"busy-demo", "Type it again: "},
        {"busy-demo", "How old are you"},
        {"30", "Your choice: "},
        {"1", "Which skill draws you?"},
        {"1", "(M)ale or (F)emale?"},
        {"", "Your choice, "},
        {"1", "Press Enter"},
        {"", "Your Command, "}};
    for (const auto& [typed, reply] : steps) {
        for (int i = 0; i < kBusy && !reply.starts_with("Name"); ++i)
            busy[i]->line(typed == "@" ? "Busy " + std::to_string(i) : typed);
        for (auto& c : busy)
            ASSERT_TRUE(c->expect(reply, 30)) << reply;
    }
    std::string hall = place_number(busy[0]->text(), "Waiting Hall");
    ASSERT_FALSE(hall.empty()) << busy[0]->text();
    for (auto& c : busy)
        c->line(hall);

    Client ardo(server.port());
    ASSERT_TRUE(at_module_menu(ardo, "Ardo"));
    std::string trader = place_number(ardo.text(), "Horse Trader");
    std::string charms = place_number(ardo.text(), "Charm School");
    ASSERT_FALSE(trader.empty() || charms.empty()) << ardo.text();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(ardo.say(round == 0 ? trader : charms, round == 0 ? "Sold." : "Charming.", 10));
        ASSERT_TRUE(ardo.say("", "Your Command, ", 10));
        ardo.send_raw("X\r\nF\r\n");
        ASSERT_TRUE(ardo.expect("Welcome back", 10));
        ASSERT_TRUE(ardo.expect("Your choice, Ardo?", 10));
        ASSERT_TRUE(ardo.expect("Your choice, Ardo?", 10));  // after the fight
        if (round < 4) {
            ASSERT_TRUE(enter_far_reaches(ardo));
        }
    }
    std::string record = player_record(scratch.world(), "KXPVORN", 0);
    ASSERT_EQ(record.size(), 248u);
    EXPECT_EQ(field_i16(record, kHorse), 0) << "the horse sold stays sold";
    EXPECT_EQ(field_i16(record, kCharm), 9 + 4);
}

TEST(IgmhostHardening, LinesSentBeforeAHalfCloseAreServed) {
    Scratch scratch;
    scratch.make_demo_world();
    Server server(scratch);
    Client c(server.port());
    ASSERT_TRUE(c.expect("Name: "));
    c.send_raw("Ardo\r\n" + password_for("Ardo") + "\r\n1\r\nV\r\n");
    c.half_close();
    ASSERT_TRUE(c.expect("Welcome, Ardo!"));
    ASSERT_TRUE(c.expect("Your choice, Ardo?"));
    ASSERT_TRUE(c.expect("Gold in hand"));  // V, the last line
    EXPECT_TRUE(c.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("disconnect: carrier lost"));
}

TEST(IgmhostHardening, SighupReopensTheLogAndDoesNotStopTheServer) {
    Scratch scratch;
    scratch.make_demo_world();
    fs::path log = scratch.world() / "HUP.LOG", rotated = scratch.world() / "HUP.LOG.1";
    pid_t pid = Server::spawn(Server::args(scratch, {"--log", "HUP.LOG"}), scratch.root() / "out");
    std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
    std::smatch m;
    auto deadline = deadline_after(10);
    std::string text;
    while (Clock::now() < deadline && !std::regex_search(text = read_file(log), m, listening))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(m.empty()) << text;
    int port = std::stoi(m[1]);
    fs::rename(log, rotated);
    kill(pid, SIGHUP);
    deadline = deadline_after(5);
    while (Clock::now() < deadline && read_file(log).find("reopened") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        Client c(port);
        EXPECT_TRUE(c.expect("Name: "));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_NE(read_file(log).find("connect from"), std::string::npos) << read_file(log);
    EXPECT_EQ(read_file(rotated).find("connect from"), std::string::npos);
    kill(pid, SIGTERM);
    EXPECT_EQ(exit_status_within(pid, 5), 0);
}

// A pipe in place of the hand-off file blocks only the road; SIGHUP without a
// log file is said and changes nothing.
TEST(IgmhostHardening, PipedHandOffFileAndSighupWithoutALogKeepServing) {
    Scratch scratch;
    scratch.make_demo_world();
    Server server(scratch);
    Client ardo(server.port());
    ASSERT_TRUE(sign_on(ardo, "Ardo", 1));
    make_fifo(scratch.world() / "TEMP0.TMP");
    ASSERT_TRUE(ardo.say("1", "The road is blocked; try again later."));
    kill(server.pid(), SIGHUP);
    ASSERT_TRUE(server.wait_for_log("SIGHUP: no log file to reopen"));
    Client c(server.port());
    EXPECT_TRUE(c.expect("Name: "));
    EXPECT_TRUE(server.running());
}

TEST(IgmhostHardening, ModuleListHoldsOneEntryAfterFourStarts) {
    Scratch scratch;
    scratch.make_demo_world();
    for (int start = 0; start < 4; ++start) {
        Server server(scratch);
        ASSERT_EQ(server.stop(), 0);
    }
    std::istringstream list(read_file(scratch.world() / "IGMLIST.DAT"));
    int entries = 0;
    for (std::string line; std::getline(list, line);)
        entries += strcasecmp(line.c_str(), "ZMB_VORN") == 0 ? 1 : 0;
    EXPECT_EQ(entries, 1) << read_file(scratch.world() / "IGMLIST.DAT");
}

}  // namespace
}  // namespace igmtest
