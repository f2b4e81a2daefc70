// igmhost against awkward and hostile callers and a hostile world folder:
// line ends, junk and compressed input, half-closed and vanished callers, a
// full server, descriptor exhaustion, slow readers, pipes in place of
// files, lines typed during a hand-back under load, SIGHUP.
#include <zlib.h>

#include <memory>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

constexpr size_t kCharm = 124, kHorse = 188;             // PLAYER.DAT offsets
const std::string kCompressSb = "\xff\xfa\x56\xff\xf0";  // IAC SB COMPRESS2 IAC SE

std::string deflated_zeros(size_t size) {
    std::string zeros(size, '\0');
    uLongf length = compressBound(static_cast<uLong>(size));
    std::string out(length, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &length,
             reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uLong>(size));
    out.resize(length);
    return out;
}

// Signs `name` on in the third realm, where no demo account has a player
// yet (class and sex asked), and walks into the place titled `title`.
bool visit_place(Client& c, std::string_view name, std::string_view title) {
    return sign_in(c, name) &&
           c.walk({"3>Which skill draws you?", "1>(M)ale or (F)emale?", ">Your choice, "}) &&
           enter_far_reaches(c) && enter_place(c, title, "");
}

TEST(IgmhostTelnet, FullServerAndACallerDroppedMidScript) {
    DemoWorld scratch;
    write_place(scratch.world, "WAITING.LOR", "Waiting Room",
                {"`2You sit down.", "/CHARM:1", "/CHOICE:1", "/1CHOICE", "`2The clock ticks.",
                 "/WAIT:9", "`2Your name is called."});
    Server server(scratch, {"--max-users", "1"});
    {
        Client ardo(server.port());
        ASSERT_TRUE(visit_place(ardo, "Ardo", "Waiting Room"));
        // At the question the module has stored the charm; the answer
        // starts a nine-second wait, which costs no busy CPU.
        ASSERT_TRUE(ardo.walk({"(1)", "1>The clock ticks."}));
        double before = server.cpu_seconds();
        Client second(server.port());
        ASSERT_TRUE(second.expect("Sorry, all 1 lines are busy. Please call again later."));
        EXPECT_TRUE(second.closed_by_server());
        EXPECT_TRUE(server.wait_for_log("refused: all 1 lines busy"));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        EXPECT_LT(server.cpu_seconds() - before, 0.5) << "CPU seconds used while a script waits";
    }  // and the caller vanishes in the wait
    ASSERT_TRUE(server.wait_for_log("channel 0 (Ardo): disconnect: carrier lost"));
    EXPECT_FALSE(fs::exists(scratch.world / "TEMP0.TMP"));

    // The only line is free again, and nothing of the old visit leaks into it.
    Client again(server.port());
    ASSERT_TRUE(sign_in(again, "Ardo"));
    ASSERT_TRUE(again.walk({"3>welcome back, Ardo.", "Charm 2"}));
    EXPECT_EQ(field(player_record(scratch.world, "KXPVORN3", 1), kCharm), 2);
    ASSERT_TRUE(again.walk({"1>Press Enter", ">used 1 of your 10 trips"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(again.text().find("Your name is called"), std::string::npos);
}

TEST(IgmhostTelnet, LineEndsEditingJunkCompressionAndAHalfCloseDoNotHurtTheServerOrOthers) {
    DemoWorld scratch;
    Server server(scratch);
    // Name and password in one packet: the name with a false start rubbed
    // out with DEL and a typo with backspace, ended with CR NUL, the
    // password with a lone LF. The password typed ahead of its prompt must
    // not be echoed before the prompt hides it.
    Client good(server.port());
    ASSERT_TRUE(good.expect("Name: "));
    good.send_raw(std::string("Ax\177\177Brannx\boc\r\0", 15) + password_for("Brannoc") + "\n");
    ASSERT_TRUE(good.expect("Your choice: "));
    EXPECT_EQ(good.text().find(password_for("Brannoc")), std::string::npos);
    EXPECT_EQ(good.text().find("Wrong password"), std::string::npos) << "CR NUL taken as two";

    Client junk(server.port(), "");
    ASSERT_TRUE(sign_in(junk, "Ardo"));
    std::string bytes;
    bytes += "\xFF\xFB\x99\xFF\xFD\xC8\xFF\xFE\x63";         // options nobody knows
    bytes += "\xFF\xFA\x18\x00" + std::string(100000, 'x');  // a subnegotiation that never ends
    bytes += "\xFF\xF0\r\n";
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);  // every byte value
    bytes += "\r\n\x1b[A\x1b[1;5C\x1bOP\b\x7f\r\0\n";
    junk.send_raw(bytes);
    junk.send_raw(std::string(1 << 20, 'Q') + "\r\n");  // a line of a megabyte
    // Every junk line was refused as a realm, in order, and then a real one works.
    ASSERT_TRUE(junk.say("2", "Which skill draws you?", 10));
    // The megabyte line was cut at --max-line (250) characters: so many
    // were echoed (the echo may come in pieces between other output). The
    // Q of the line of every byte value came behind other lines in its
    // packet, and type-ahead is not echoed.
    std::string screen = junk.text();
    EXPECT_EQ(std::count(screen.begin(), screen.end(), 'Q'), 250);

    good.send_raw("1\r");  // a lone CR
    ASSERT_TRUE(good.expect("Which skill draws you?", 2));
    junk.send_raw("\xFF");  // a command cut off by the caller leaving
    junk.close();
    ASSERT_TRUE(server.wait_for_log("(Ardo): disconnect: carrier lost"));
    // Lines sent before a half-close are served, then the call ends; a
    // lone ESC right before a line end does not keep the line open.
    good.send_raw("1\x1b\r\r\nV\r\n");
    shutdown(good.fd(), SHUT_WR);  // a half-close
    ASSERT_TRUE(good.walk({"(M)ale or (F)emale?", "Your choice, Brannoc?", "Gold in hand"}));
    EXPECT_TRUE(good.closed_by_server());
    EXPECT_TRUE(server.wait_for_log("(Brannoc): disconnect: carrier lost"));
    // No line end was taken for two lines.
    EXPECT_EQ(occurrences(good.text(), "The realms of K-VORN"), 1u);
    EXPECT_EQ(occurrences(good.text(), "Which skill draws you?"), 1u);

    // Plain text after the subnegotiation is typed text, not a zlib stream.
    Client other(server.port());
    ASSERT_TRUE(other.expect("Name: "));
    other.send_raw(kCompressSb + "Zed\r\n");
    ASSERT_TRUE(other.expect("Create a new account for Zed"));
    EXPECT_TRUE(server.wait_for_log("compression refused (option 86)"));

    // A bomb (32 MB of zeros deflated) costs no more than its own bytes,
    // and another caller is answered at once meanwhile.
    Client bomber(server.port());
    ASSERT_TRUE(bomber.expect("Name: "));
    double cpu_before = server.cpu_seconds();
    bomber.send_raw(kCompressSb + deflated_zeros(32 << 20));
    ASSERT_TRUE(other.say("n", "Name: ", 1.0));
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
    c.send_raw(std::string("\xff\xfa\x18\0VT100\xff\xf0", 10));  // TERMINAL-TYPE IS VT100
    ASSERT_TRUE(c.say("Zed", "Create a new account"));
    EXPECT_EQ(server.log().find("terminal type VT100"), std::string::npos) << server.log();
}

// A pipe where igmhost only reads a file is a missing file, and one in
// place of the hand-off file blocks only the road. SIGHUP without a log
// file is said and changes nothing; with one, it reopens the log.
TEST(IgmhostHardening, PipesInPlaceOfFilesOnlyReadAndSighupKeepServing) {
    DemoWorld scratch;
    for (const char* file : {"IGMLIST.DAT", "ACCOUNTS.TXT", "QHYVIGMS/PIPE.LOR"})
        make_fifo(scratch.world / file);
    {
        Server server(scratch);
        Client ardo(server.port());
        ASSERT_TRUE(sign_on(ardo, "Ardo"));
        make_fifo(scratch.world / "TEMP0.TMP");
        ASSERT_TRUE(ardo.say("1", "The road is blocked; try again later."));
        kill(server.pid(), SIGHUP);
        ASSERT_TRUE(server.wait_for_log("SIGHUP: no log file to reopen"));
        EXPECT_TRUE(Client(server.port()).expect("Name: "));
    }
    Server server(scratch, {"--log", "HUP.LOG"});
    fs::rename(scratch.world / "HUP.LOG", scratch.world / "HUP.LOG.1");
    kill(server.pid(), SIGHUP);
    ASSERT_TRUE(server.wait_for_log("reopened"));
    EXPECT_TRUE(Client(server.port()).expect("Name: "));
    EXPECT_TRUE(server.wait_for_log("connect from"));
    EXPECT_EQ(read_file(scratch.world / "HUP.LOG.1").find("connect from"), std::string::npos);
    EXPECT_EQ(server.stop(), 0);
}

// Out of descriptors, igmhost hangs up on new callers without spinning and
// keeps enough for the module to open its files.
TEST(IgmhostHardening, RunningOutOfDescriptorsRefusesCallersButLeavesTheModuleItsFiles) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer runtime checks memory through a pipe of its own, which
    // it cannot make once the process is out of descriptors.
    GTEST_SKIP() << "not meaningful under the sanitizers";
#endif
    DemoWorld scratch;
    // Enough for the server's own files (its attach socket among them), the
    // reserve kept for the module's files and a few callers, not for all.
    Server server(scratch, {"--max-per-address", "0"}, 25);
    Client ardo(server.port());
    ASSERT_TRUE(at_module_menu(ardo, "Ardo"));
    std::vector<std::unique_ptr<Client>> callers;
    for (int i = 0; i < 8; ++i)
        callers.push_back(std::make_unique<Client>(server.port()));
    ASSERT_TRUE(server.wait_for_log("connect refused: out of file descriptors"));
    int served = 0, refused = 0;
    for (auto& c : callers) {
        if (c->closed_by_server(0.5)) {
            ++refused;
            EXPECT_NE(c->text().find("Sorry, the server is too busy."), std::string::npos);
        } else if (c->expect("Name: ", 3)) {  // a terminal type probe may come first
            ++served;
        }
    }
    EXPECT_GT(served, 0);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(served + refused, 8);
    double before = server.cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(server.cpu_seconds() - before, 0.3) << "the loop spins";
    EXPECT_TRUE(enter_place(ardo, "The Lantern Inn", "(Your name, traveller)"));
    EXPECT_EQ(occurrences(server.log(), "out of file descriptors"), 1u) << server.log();
    callers.clear();
    ASSERT_TRUE(server.wait_for_log("disconnect: carrier lost"));
    EXPECT_TRUE(Client(server.port()).expect("Name: "));
}

TEST(IgmhostTelnet, ClientThatNeverReadsIsDroppedASlowReaderStaysAndOthersGoOn) {
    DemoWorld scratch;
    const std::string talk = "`2" + std::string(240, 'x');  // a place that never stops talking
    write_place(scratch.world, "RUNAWAY.LOR", "Runaway Place",
                {"/LABEL", talk, talk, talk, "/LOOP"});
    Server server(scratch);
    Client sink(server.port());
    int small = 4096;  // a small receive buffer, before the data flows
    setsockopt(sink.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_TRUE(visit_place(sink, "Mira", "Runaway Place"));
    Client slow(server.port());
    ASSERT_TRUE(visit_place(slow, "Ardo", "Runaway Place"));
    // From here on the runaway place writes forever to both: `sink` reads
    // nothing, `slow` about 10 KB a second.
    Client other(server.port());
    ASSERT_TRUE(sign_in(other, "Brannoc"));
    // A script is held back while its output moves at all, and on loopback
    // the kernel takes in a few megabytes for the client first.
    size_t before = slow.data().size();
    const char* dropped = "(Mira): disconnect: output queue over 1 MB";
    for (auto until = deadline_after(120);
         Clock::now() < until && server.log().find(dropped) == std::string::npos;) {
        slow.read_some(deadline_after(0.1), 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_NE(server.log().find(dropped), std::string::npos) << server.log();
    EXPECT_GT(slow.data().size(), before + 1000) << "the slow reader's script went on";
    EXPECT_EQ(server.log().find("(Ardo): disconnect"), std::string::npos) << server.log();
    ASSERT_TRUE(other.say("1", "Which skill draws you?", 2));
    // Held back, the script costs no busy CPU either.
    double cpu = server.cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(server.cpu_seconds() - cpu, 0.5);
}

// 120 callers whose scripts wait keep the status queue full; a player who
// leaves the module and fights in the same packet must not have the game
// fight with the record it held before the visit.
TEST(IgmhostHardening, LineTypedBehindAHandBackWaitsForItUnderLoad) {
    DemoWorld scratch;
    write_place(scratch.world, "WAITHALL.LOR", "Waiting Hall", {"/LABEL", "/WAIT:99", "/LOOP"});
    write_place(scratch.world, "TRADER.LOR", "Horse Trader", {"/REMOVEHORSE", "`2Sold."});
    write_place(scratch.world, "CHARMS.LOR", "Charm School", {"/CHARM:1", "`2Charming."});
    Server server(scratch, {"--max-per-address", "0", "--max-users", "130", "--max-new-accounts",
                            "0", "--idle", "0", "--idle-signon", "0"});
    constexpr int kBusy = 120;
    std::vector<std::unique_ptr<Client>> busy;
    for (int i = 0; i < kBusy; ++i)
        busy.push_back(std::make_unique<Client>(server.port()));
    // Each step (typed, '>', the reply; @ for each caller's name) goes to
    // every caller before any answer is awaited.
    for (std::string_view step :
         {">Name: ", "@>Create a new account for ", ">Choose a password",
          "busy-demo>Type it again: ", "busy-demo>How old are you",
          "30>Your choice: ", "1>Which skill draws you?", "1>(M)ale or (F)emale?", ">Your choice, ",
          "1>Press Enter", ">Your Command, "}) {
        const std::string typed(step.substr(0, step.find('>')));
        for (int i = 0; i < kBusy && step != ">Name: "; ++i)
            busy[i]->line(typed == "@" ? "Busy " + std::to_string(i) : typed);
        for (auto& c : busy)
            ASSERT_TRUE(c->expect(step.substr(step.find('>') + 1), 30)) << step;
    }
    for (auto& c : busy)
        ASSERT_TRUE(enter_place(*c, "Waiting Hall", ""));

    Client ardo(server.port());
    ASSERT_TRUE(at_module_menu(ardo, "Ardo"));
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(round == 0 ? enter_place(ardo, "Horse Trader", "Sold.", 10)
                               : enter_place(ardo, "Charm School", "Charming.", 10));
        ASSERT_TRUE(ardo.say("", "Your Command, ", 10));
        ardo.send_raw("X\r\nF\r\n");  // the second prompt comes after the fight
        ASSERT_TRUE(ardo.walk({"Welcome back", "Your choice, Ardo?", "Your choice, Ardo?"}, 10));
        ASSERT_TRUE(round == 4 || enter_far_reaches(ardo));
    }
    std::string record = player_record(scratch.world, "KXPVORN", 0);
    ASSERT_EQ(record.size(), 248u);
    EXPECT_EQ(field(record, kHorse), 0) << "the horse sold stays sold";
    EXPECT_EQ(field(record, kCharm), 9 + 4);
}

}  // namespace
}  // namespace igmtest
