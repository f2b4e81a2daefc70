// Hostile files and names: named pipes and links out of the world in the
// module's files, /LOAD: names out of the script folder, long titles, a kill.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/session.h"

using ::testing::KilledBySignal;
namespace fs = std::filesystem;

namespace test {
namespace {

// A blocked open would hang the test for good; this ends it, failing.
struct HangGuard {
    HangGuard() {
        std::signal(SIGALRM, [](int) { _exit(3); });
        alarm(10);
    }
    ~HangGuard() { alarm(0); }
};

void make_fifo(World& world, const std::string& rel) {
    world.remove(rel);
    ASSERT_EQ(mkfifo(rel.c_str(), 0666), 0) << rel;
}
void make_link(World& world, const std::string& rel, const std::string& target) {
    world.remove(rel);
    fs::create_symlink(target, rel);
}

TEST(Hardening, APipeInPlaceOfAFileReadsAsMissing) {
    const struct {
        const char* file;   // becomes a named pipe after start-up
        const char* typed;  // typed after the arrival ("": nothing)
        const char* shown;  // what a missing file shows
    } cases[] = {{"QHYVIGMS/P1.LOR", "1", "could not be found!"},
                 {"ZMB_VORN.NEW", "I", "Script file ZMB_VORN.NEW could not be found!"},
                 {"ZMBVIGMS.SV1", "", "You have already used 0 of your 10 trips"},
                 {"KXPVORN/PLAYER.DAT", "", "Your Command"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Visit visit;
        Host& host = visit.start();
        make_fifo(visit.world, c.file);
        HangGuard guard;
        Player& p = host.player(1);
        p.arrive();
        EXPECT_THAT(c.typed[0] != '\0' ? p.say(c.typed) : p.text(), HasSubstr(c.shown));
        EXPECT_THAT(host.console(), HasSubstr(std::string("refused ") + c.file));
    }
}

// A folder outside the world, holding the file a link out of the world leads to.
class Outside : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = make_scratch_dir("outside");
        std::ofstream(dir + "/victim") << "outside\n";
    }
    void TearDown() override { fs::remove_all(dir); }
    void expect_untouched() {
        std::ifstream in(dir + "/victim");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "outside\n");
        EXPECT_FALSE(fs::exists(dir + "/made")) << "a dangling link created its target";
    }
    std::string dir;
};

// A file the module must write that is a folder, a named pipe or a link out
// of the world, or settings gone when the menu rereads them, stop the host
// with the module's own message; the file stays as it was. A module list
// that cannot be written costs its entry, not the start.
TEST_F(Outside, AFileTheModuleCannotWriteStopsTheHostWithItsMessage) {
    const std::string cnf_saving = "ZMBVIGMS.CNF could not be opened for CNF saving!";
    const std::string cnf_missing = "ZMBVIGMS.CNF was not found.!";
    const struct {
        const char* file;
        char kind;          // d folder, p pipe, l link to a file outside, m dangling link, r gone
        const char* typed;  // at the sysop menu; nullptr: at start-up
        std::string message;
        bool stops = true;  // false: the start goes on, `message` on the console
    } cases[] = {
        {"IGMLIST.DAT", 'd', nullptr, "Initialized Successfully", false},
        {"IGMLIST.DAT", 'l', nullptr, "refused IGMLIST.DAT", false},
        {"ZMBVIGMS.TXT", 'd', nullptr, "the ZMBVIGMS IGM TEXT file could not initialize!"},
        {"ZMBVIGMS.DAT", 'd', nullptr, "the ZMBVIGMS IGM DATA file could not initialize!"},
        {"ZMBVIGMS.CNF", 'd', nullptr, cnf_saving},
        {"ZMBVIGMS.SV2", 'd', nullptr, "The \"ZMBVIGMS.SV2\" igm save file could not initialize!"},
        {"ZMBVIGMS.SV2", 'p', nullptr, "\"ZMBVIGMS.SV2\" igm save file could not initialize!"},
        {"ZMBVIGMS.CNF", 'p', nullptr, cnf_saving},
        {"ZMBVIGMS.TXT", 'l', nullptr, "refused ZMBVIGMS.TXT.*the ZMBVIGMS IGM TEXT file"},
        {"ZMBVIGMS.DAT", 'l', nullptr, "refused ZMBVIGMS.DAT.*the ZMBVIGMS IGM DATA file"},
        {"ZMBVIGMS.SV1", 'm', nullptr, "refused ZMBVIGMS.SV1.*\"ZMBVIGMS.SV1\" igm save file"},
        {"ZMBVIGMS.CNF", 'l', nullptr, "refused ZMBVIGMS.CNF.*" + cnf_saving},
        {"ZMBVIGMS.CNF", 'p', "X", cnf_saving},
        {"ZMBVIGMS.CNF", 'd', "X", cnf_saving},
        {"ZMBVIGMS.CNF", 'p', "A", cnf_missing},
        {"ZMBVIGMS.CNF", 'r', "A", cnf_missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.kind + (c.typed ? c.typed : ""));
        Visit v;
        const auto spoil = [&] {
            v.world.remove(c.file);
            if (c.kind == 'd') v.world.mkdir(c.file);
            if (c.kind == 'p') make_fifo(v.world, c.file);
            if (c.kind == 'l' || c.kind == 'm')
                make_link(v.world, c.file, dir + (c.kind == 'l' ? "/victim" : "/made"));
        };
        if (!c.stops) {
            spoil();
            EXPECT_THAT(Host(v.world).console(), HasSubstr(c.message));
            EXPECT_EQ(v.world.read("ZMBVIGMS.SV3").size(), 2000u);
        } else if (c.typed == nullptr) {
            spoil();
            EXPECT_EXIT((HangGuard(), Host(v.world)), ExitedWithCode(70), c.message);
        } else {
            Player& p = v.at_sysop_menu();
            spoil();
            EXPECT_EXIT((HangGuard(), p.say(c.typed)), ExitedWithCode(70), c.message);
        }
        EXPECT_EQ(fs::is_directory(c.file), c.kind == 'd');
        EXPECT_EQ(fs::is_fifo(c.file), c.kind == 'p') << "never an empty file in its place";
        expect_untouched();
        if (c.kind == 'd' && c.file == std::string("ZMBVIGMS.SV2")) {  // made before it, not after
            EXPECT_EQ(v.world.read("ZMBVIGMS.SV1").size(), 2000u);
            EXPECT_FALSE(v.world.exists("ZMBVIGMS.SV3"));
        }
    }
}

TEST_F(Outside, PlayerRecordAndSettingsAreNotWrittenThroughLinks) {
    for (const char* target : {"/victim", "/made", "folder"}) {
        SCOPED_TRACE(target);
        Visit v;
        World& world = v.world;
        Player& p = v.at_sysop_menu();
        make_link(world, "ZMBVIGMS.CNF.new", dir + "/victim");  // where a save writes first
        p.say("X");
        EXPECT_EQ(world.read("ZMBVIGMS.CNF"), "SYSOP\n10\n");
        if (target[0] == '/') {
            make_link(world, "KXPVORN/PLAYER.DAT", dir + target);
        } else {  // the game's folder itself leads out
            world.remove("KXPVORN");
            make_link(world, "KXPVORN", dir);
            fs::create_symlink("victim", dir + "/PLAYER.DAT");
        }
        p.set_record(PlayerBytes().name("Ardo").gold(400));
        p.set(state::player_index, 0);
        world.write(kScriptFile, std::string(kHeader) + "/MONEY:1\n");
        p.run_script(kScriptPath);
        v.host->pump();
        EXPECT_GT(p.get(pl::gold), 400);            // the change was made, but not outside
        if (std::string_view(target) != "/made") {  // a dangling link is no record to rewrite
            EXPECT_THAT(v.host->console(), HasSubstr("refused KXPVORN/PLAYER.DAT"));
        }
        expect_untouched();
    }
}

class SettingsKilledWhileSaving : public ::testing::TestWithParam<FileCall> {};

TEST_P(SettingsKilledWhileSaving, KeepTheOldFile) {
    Visit v;
    Player& p = v.at_sysop_menu();
    p.say("5");
    p.say("20");
    EXPECT_EXIT((kill_at(GetParam(), 1), p.say("X"), std::exit(0)), KilledBySignal(SIGKILL), "");
    EXPECT_EQ(v.world.read("ZMBVIGMS.CNF"), "SYSOP\n10\n");
    p.say("X");  // the same save, not killed
    EXPECT_EQ(v.world.read("ZMBVIGMS.CNF"), "SYSOP\n20\n");
    EXPECT_FALSE(v.world.exists("ZMBVIGMS.CNF.new"));
}

INSTANTIATE_TEST_SUITE_P(Hardening, SettingsKilledWhileSaving,
                         ::testing::Values(FileCall::kWrite, FileCall::kRename));

using Hardened = ScriptTest;

TEST_F(Hardened, LoadOutOfTheScriptFolderIsAScriptThatCannotBeFound) {
    for (const char* file : {"E.L", "QHYVIGMS/E.L", "QHYVIGMS/SUB/E.L"})
        world.write(file, "Vorn IGM Script: Out\nESCAPED\n");
    for (const char* line :
         {"/LOAD:..\\..\\..\\E.L\n", "/LOAD:..\\E.L\n", "/LOAD:SUB\\E.L\n", "/LOAD:\\E.L\n",
          "/LOAD:../E.L\n", "/STRING1=..\\E.L\n/LOAD:|N\n"}) {  // the last from a bar code
        EXPECT_THAT(run(line), AllOf(HasSubstr("could not be found!"), Not(HasSubstr("ESCAPED"))))
            << line;
        EXPECT_EQ(p.substate(), sub::kScriptMissing) << line;
    }
    EXPECT_THAT(host.console(), HasSubstr("refused QHYVIGMS\\"));
}

TEST(Hardening, MenuLineOfALongTitleIsCutToOneScriptLine) {
    // Titles are read 249 characters at a time and the rest of a longer line
    // names the script. Place 1's menu line has room for 240 of them.
    const std::string prefix = "`^    (`71`8) `2";
    const size_t room = 257 - prefix.size() - 1;
    const std::string longest = std::string(room + 1, 'A') + "/MONEY:3";  // 249
    const std::pair<std::string, std::string> cases[] = {
        // title, the file after its header
        {"A short title", "A short title\nLONG.LOR\n"},
        {std::string(room, 'B'), std::string(room, 'B') + "\nLONG.LOR\n"},
        {longest, longest + "LONG.LOR\n"},
    };
    for (const auto& [title, body] : cases) {
        SCOPED_TRACE(title.size());
        World world;
        world.write("QHYVIGMS/LONG.LOR", "Vorn IGM Script: Long\n" + body);
        world.player("KXPVORN", 0, PlayerBytes().name("Ardo").gold(1250));
        Host host(world);
        host.register_game_entry();
        std::istringstream menu(world.read("ZMBVIGMS.TXT"));
        for (std::string line; std::getline(menu, line);)
            EXPECT_LE(line.size() + 1, 257u) << line;
        EXPECT_THAT(world.read("ZMBVIGMS.TXT"), HasSubstr(prefix + title.substr(0, room) + "\n"));
        EXPECT_EQ(world.read("ZMBVIGMS.DAT"), "LONG.LOR\n");
        for (int arrival = 0; arrival < 3; ++arrival) {  // no part of it runs as a command
            host.player(1).arrive();
            EXPECT_EQ(host.player(1).get(pl::gold), 1250);
            host.player(1).say("X");
        }
    }
}

}  // namespace
}  // namespace test
