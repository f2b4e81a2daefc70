// The telnet front end against awkward callers: character sets, line ends,
// vanished users, junk bytes, a full server, and clients that read slowly
// or never.
#include <memory>

#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

constexpr size_t kCharm = 124;

// A world of our own: accounts, and places that pause, wait or run away.
void write_small_world(const Scratch& scratch) {
    write_file(scratch.world() / "ACCOUNTS.TXT", "Sysop|40|SYSOP\nAnna|30|\nBert|30|\nCora|30|\n");
    scratch.set_passwords({"Anna", "Bert", "Cora"});
    write_place(scratch.world(), "PAUSE.LOR", "Pause Place",
                {"`2A quiet room.", "/PAUSE", "/INPUT:Say something", "`2You said: |N", "/PAUSE"});
    write_place(scratch.world(), "WAITING.LOR", "Waiting Room",
                {"`2You sit down.", "/CHARM:1", "/CHOICE:1", "/1CHOICE", "`2The clock ticks.",
                 "/WAIT:9", "`2Your name is called."});
    // A place that never stops talking.
    std::string long_line = "`2" + std::string(240, 'x');
    write_place(scratch.world(), "RUNAWAY.LOR", "Runaway Place",
                {"/LABEL", long_line, long_line, long_line, "/LOOP"});
}

// Signs `name` on in realm 1 (a new player there: class and sex asked) and
// walks into the place titled `title`.
void visit_place(Client& c, std::string_view name, std::string_view title) {
    ASSERT_TRUE(sign_in(c, name));
    ASSERT_TRUE(c.say("1", "Which skill draws you?"));
    ASSERT_TRUE(c.say("1", "(M)ale or (F)emale?"));
    ASSERT_TRUE(c.say("", "Your choice, "));
    ASSERT_TRUE(enter_far_reaches(c));
    std::string number = place_number(c.text(), title);
    ASSERT_FALSE(number.empty()) << c.text();
    c.line(number);
}

TEST(IgmhostTelnet, Cp437BytesAreTranslatedForUtf8TerminalsUnlessTheCharsetIsForced) {
    Scratch scratch;
    write_small_world(scratch);
    Server server(scratch);
    Client xterm(server.port(), "XTERM-256COLOR");
    Client ansi(server.port(), "ANSI");
    visit_place(xterm, "Anna", "Pause Place");
    visit_place(ansi, "Bert", "Pause Place");
    ASSERT_TRUE(xterm.expect("Press <enter> To Continue"));
    ASSERT_TRUE(ansi.expect("Press <enter> To Continue"));

    // The pause prompt's small square, CP437 254, is U+25A0 in UTF-8.
    EXPECT_NE(xterm.data().find("\xE2\x96\xA0 "), std::string::npos);
    EXPECT_EQ(xterm.data().find('\xFE'), std::string::npos);
    EXPECT_NE(ansi.data().find("\xFE "), std::string::npos);
    EXPECT_EQ(ansi.data().find("\xE2\x96\xA0"), std::string::npos);
    EXPECT_TRUE(server.wait_for_log("terminal type XTERM-256COLOR, utf8"));
    EXPECT_TRUE(server.wait_for_log("terminal type ANSI, cp437"));

    // Typed UTF-8 reaches the module as CP437 and comes back as UTF-8.
    ASSERT_TRUE(xterm.say("", "(Say something)"));
    ASSERT_TRUE(xterm.say("caf\xC3\xA9 \xE2\x96\xA0", "You said: caf\xC3\xA9 \xE2\x96\xA0"));
    ASSERT_TRUE(ansi.say("", "(Say something)"));
    ASSERT_TRUE(ansi.say("caf\x82", "You said: caf\x82"));

    // A forced character set overrides the terminal type.
    EXPECT_EQ(server.stop(), 0);
    Server forced(scratch, {"--charset", "cp437"});
    Client cp437(forced.port(), "XTERM");
    visit_place(cp437, "Cora", "Pause Place");
    ASSERT_TRUE(cp437.expect("Press <enter> To Continue"));
    EXPECT_NE(cp437.data().find('\xFE'), std::string::npos);
}

TEST(IgmhostTelnet, EveryKindOfLineEndEndsOneLineAndEditingWorks) {
    Scratch scratch;
    write_small_world(scratch);
    Server server(scratch);
    Client c(server.port());
    ASSERT_TRUE(c.expect("Name: "));
    // A false start rubbed out with DEL, a typo with backspace, then CR NUL;
    // after it a lone LF, then a lone CR.
    std::string typed = "Bx\x7f\x7f";
    typed += "Annx\ba\r";
    typed += '\0';
    c.send_raw(typed);
    ASSERT_TRUE(c.expect("Password: "));
    ASSERT_TRUE(c.say(password_for("Anna"), "Welcome, Anna!"));
    c.send_raw("1\n");
    ASSERT_TRUE(c.expect("Which skill draws you?"));
    // A lone ESC (and ESC O) right before the line end: the line still ends.
    c.send_raw("2\x1b\r");
    ASSERT_TRUE(c.expect("(M)ale or (F)emale?"));
    ASSERT_TRUE(c.say("", "Your choice, Anna?"));
    std::string screen = c.text();
    size_t realms = 0;
    for (size_t at = 0; (at = screen.find("The realms of K-VORN", at)) != std::string::npos; ++at) {
        ++realms;
    }
    EXPECT_EQ(realms, 1u) << "a line end was taken for two lines";
    EXPECT_EQ(screen.find("Which skill draws you?", screen.find("Which skill") + 1),
              std::string::npos);
}

TEST(IgmhostTelnet, FullServerAndACallerDroppedMidScriptThenSigterm) {
    Scratch scratch;
    write_small_world(scratch);
    Server server(scratch, {"--max-users", "1"});
    {
        Client anna(server.port());
        visit_place(anna, "Anna", "Waiting Room");
        // At the question the module has stored the charm; the answer
        // starts a nine-second wait, which costs no busy CPU.
        ASSERT_TRUE(anna.expect("(1)"));
        ASSERT_TRUE(anna.say("1", "The clock ticks."));
        double before = server.cpu_seconds();
        Client second(server.port());
        ASSERT_TRUE(second.expect("Sorry, all 1 lines are busy. Please call again later."));
        EXPECT_TRUE(second.closed_by_server());
        EXPECT_TRUE(server.wait_for_log("refused: all 1 lines busy"));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        EXPECT_LT(server.cpu_seconds() - before, 0.5) << "CPU seconds used while a script waits";
    }  // and the caller vanishes in the wait
    ASSERT_TRUE(server.wait_for_log("channel 0 (Anna): disconnect: carrier lost"));
    EXPECT_FALSE(fs::exists(scratch.world() / "TEMP0.TMP"));

    // The only line is free again, and nothing of the old visit leaks into it.
    Client again(server.port());
    ASSERT_TRUE(sign_in(again, "Anna"));
    ASSERT_TRUE(again.say("1", "welcome back, Anna."));
    ASSERT_TRUE(again.expect("Charm 2"));
    EXPECT_EQ(field_i16(player_record(scratch.world(), "KXPVORN", 0), kCharm), 2);
    ASSERT_TRUE(enter_far_reaches(again));
    EXPECT_NE(again.text().find("used 1 of your 10 trips"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(again.text().find("Your name is called"), std::string::npos);

    // SIGTERM tells the users and stops cleanly.
    EXPECT_EQ(server.stop(SIGTERM), 0);
    EXPECT_TRUE(again.expect("igmhost is shutting down. Farewell!"));
    EXPECT_TRUE(again.closed_by_server());
    EXPECT_NE(server.log().find("(Anna): disconnect: server shutting down"), std::string::npos);
}

TEST(IgmhostTelnet, JunkAndHugeLinesDoNotHurtTheServerOrOthers) {
    Scratch scratch;
    write_small_world(scratch);
    Server server(scratch);
    // Name and password in one packet: the password typed ahead of its
    // prompt must not be echoed before the prompt hides it.
    Client good(server.port());
    ASSERT_TRUE(good.expect("Name: "));
    good.send_raw("Anna\r\n" + password_for("Anna") + "\r\n");
    ASSERT_TRUE(good.expect("Your choice: "));
    EXPECT_EQ(good.text().find(password_for("Anna")), std::string::npos);

    Client junk(server.port(), "");
    ASSERT_TRUE(sign_in(junk, "Bert"));
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

    ASSERT_TRUE(good.say("1", "Which skill draws you?", 2));
    EXPECT_TRUE(server.running());
    junk.send_raw("\xFF");  // a command cut off by the caller leaving
    junk.close();
    ASSERT_TRUE(server.wait_for_log("(Bert): disconnect: carrier lost"));
    ASSERT_TRUE(good.say("1", "(M)ale or (F)emale?"));
}

TEST(IgmhostTelnet, RunningOutOfFileDescriptorsHangsUpOnCallersWithoutSpinning) {
    Scratch scratch;
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer runtime checks memory through a pipe of its own, which
    // it cannot make once the process is out of descriptors, and then
    // reports a false error.
    GTEST_SKIP() << "not meaningful under the sanitizers";
#endif
    write_small_world(scratch);
    // Enough for the server's own files (its attach socket among them), the
    // reserve kept for the module's files and a few callers, not for all.
    Server server(scratch, {"--max-per-address", "0"}, 25);
    std::vector<std::unique_ptr<Client>> callers;
    for (int i = 0; i < 8; ++i)
        callers.push_back(std::make_unique<Client>(server.port()));
    ASSERT_TRUE(server.wait_for_log("connect refused: out of file descriptors"));
    int served = 0, refused = 0;
    for (auto& c : callers) {
        if (c->closed_by_server(0.5)) {
            ++refused;
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
    callers.clear();
    ASSERT_TRUE(server.wait_for_log("disconnect: carrier lost"));
    Client later(server.port());
    ASSERT_TRUE(later.expect("Name: "));
}

TEST(IgmhostTelnet, ClientThatNeverReadsIsDroppedASlowReaderStaysAndOthersGoOn) {
    Scratch scratch;
    write_small_world(scratch);
    Server server(scratch);
    Client sink(server.port());
    sink.shrink_receive_buffer();
    visit_place(sink, "Cora", "Runaway Place");
    Client slow(server.port());
    visit_place(slow, "Anna", "Runaway Place");
    // From here on the runaway place writes forever to both: `sink` reads
    // nothing, `slow` about 10 KB a second.
    Client other(server.port());
    ASSERT_TRUE(sign_in(other, "Bert"));
    // A script is held back while its output moves at all, and on loopback
    // the kernel takes in a few megabytes for the client first.
    size_t before = slow.data().size();
    auto until = deadline_after(120);
    const char* dropped = "(Cora): disconnect: output queue over 1 MB";
    while (Clock::now() < until && server.log().find(dropped) == std::string::npos) {
        slow.read_some(deadline_after(0.1), 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_NE(server.log().find(dropped), std::string::npos) << server.log();
    EXPECT_GT(slow.data().size(), before + 1000) << "the slow reader's script went on";
    EXPECT_EQ(server.log().find("(Anna): disconnect"), std::string::npos) << server.log();
    ASSERT_TRUE(other.say("1", "Which skill draws you?", 2));
    // Held back, the script costs no busy CPU either.
    double cpu = server.cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(server.cpu_seconds() - cpu, 0.5);
}

}  // namespace
}  // namespace igmtest
