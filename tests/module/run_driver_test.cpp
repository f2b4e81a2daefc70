// The run driver as a player meets it: slices, waits, damaged scripts, the
// record written back, and several users' runs kept apart.
#include <string>
#include <vector>

#include "tests/support/session.h"

namespace test {
namespace {

using RunDriver = ScriptTest;

// "Line 1\nLine 2\n" for ("Line ", 1, 2).
std::string numbered(const std::string& x, int from, int to) {
    std::string out;
    for (int n = from; n <= to; ++n)
        out += x + std::to_string(n) + "\n";
    return out;
}

TEST_F(RunDriver, ThirteenLinesRunAsSixSixAndTheLastWithTheEndText) {
    start(numbered("Line ", 1, 13));
    for (int first : {1, 7}) {
        EXPECT_EQ(slice(), numbered("Line ", first, first + 5));
        EXPECT_EQ(p.substate(), sub::kRunning);
        EXPECT_EQ(host.pending(), 1u);
    }

    EXPECT_EQ(slice(), std::string("Line 13\n") + kEndText);
    EXPECT_EQ(p.substate(), sub::kAfterScript);
    EXPECT_EQ(host.pending(), 1u);  // handled by the host's default in sub-state 7

    const int defaults = host::counters().dfsthn;
    EXPECT_EQ(slice(), "");
    EXPECT_EQ(host::counters().dfsthn, defaults + 1);
    EXPECT_EQ(host.pending(), 0u);
}

// Statuses other than 240 are ignored everywhere; a 240 while the user is
// waiting for a line goes to the host's default.
TEST_F(RunDriver, StatusesThatAreNotItsOwnTurnChangeNothing) {
    start(numbered("Line ", 1, 3));
    const int32_t offset = p.get(state::line_offset);
    for (int substate : {sub::kRunning, sub::kPause, sub::kAnswer, sub::kQuitPause,
                         sub::kMenuHalted, sub::kAfterScript, sub::kMenuCommand}) {
        p.set_substate(substate);
        const int defaults = host::counters().dfsthn;
        for (int code : {0, 3, 239, 241})
            EXPECT_EQ(status(code), "") << "status " << code << " in " << substate;
        EXPECT_EQ(host::counters().dfsthn, defaults) << substate;
        if (substate == sub::kRunning || substate == sub::kMenuHalted) continue;
        EXPECT_EQ(status(zmb::kRunStatus), "") << substate;
        EXPECT_EQ(host::counters().dfsthn, defaults + 1) << substate;
        EXPECT_EQ(p.substate(), substate);
    }
    EXPECT_EQ(p.get(state::line_offset), offset);
}

// A wait reads two characters; it holds the next line until the clock has
// moved, also when it is the sixth line of a slice; a negative wait is over.
TEST_F(RunDriver, WaitHoldsTheNextLineUntilTheClockHasMoved) {
    test::set_time(1'000'000);
    start({"Before", "/WAIT:5", "After"});
    EXPECT_EQ(slice(), "Before\n");
    EXPECT_EQ(p.get(state::wait_until), 1'000'005);
    for (int second = 1; second <= 4; ++second) {
        test::advance_time(1);
        EXPECT_EQ(slice(), "") << "after " << second << " s";
        EXPECT_EQ(p.substate(), sub::kRunning);
        EXPECT_EQ(host.pending(), 1u);
    }
    test::advance_time(1);
    EXPECT_EQ(slice(), std::string("After\n") + kEndText);
    EXPECT_EQ(p.get(state::wait_until), 0);

    start({"1", "2", "3", "4", "5", "/WAIT:3", "After"});
    EXPECT_EQ(slice(), "1\n2\n3\n4\n5\n");
    EXPECT_EQ(p.get(state::wait_until), 1'000'008);
    test::advance_time(2);
    EXPECT_EQ(slice(), "");
    test::advance_time(1);
    EXPECT_THAT(slice(), HasSubstr("After\n"));

    start({"/WAIT:120", "Twelve", "/WAIT:-5", "Next"});
    EXPECT_EQ(slice(), "");
    EXPECT_EQ(p.get(state::wait_until), 1'000'020);
    test::advance_time(12);
    EXPECT_EQ(slice(), "Twelve\n");
    EXPECT_EQ(p.get(state::wait_until), 1'000'020 - 5);
    EXPECT_THAT(slice(), HasSubstr("Next\n"));  // no time has passed
}

// A script deleted is reported and its position left as it was; one cut
// short ends at its new end.
TEST_F(RunDriver, AScriptDeletedOrTruncatedBetweenSlices) {
    start(numbered("Line ", 1, 8));
    slice();
    const int32_t offset = p.get(state::line_offset);
    world.remove(kScriptFile);
    EXPECT_EQ(slice(),
              "The IGM file \"QHYVIGMS\\CAVE.LOR\" could not be used!\n"
              "Please notify your sysop of this message.\n"
              "After writing down this message, press <Enter>\n");
    EXPECT_EQ(p.substate(), sub::kScriptMissing);
    EXPECT_EQ(host.pending(), 0u);
    EXPECT_EQ(p.get(state::line_offset), offset);

    start(numbered("Line ", 1, 10));
    slice();
    world.write(kScriptFile, std::string(kHeader) + numbered("Line ", 1, 7));
    EXPECT_EQ(slice(), std::string("Line 7\n") + kEndText);
    EXPECT_EQ(p.substate(), sub::kAfterScript);
}

// ---- the player record goes back to PLAYER.DAT ----

class RecordWriteBack : public ScriptTest {
  protected:
    PlayerBytes before = PlayerBytes().name("Ardo").gold(100).charm(3);
    PlayerBytes neighbour = PlayerBytes().name("Nell").gold(5);

    void SetUp() override {
        ScriptTest::SetUp();
        world.player("KXPVORN", 0, neighbour);
        world.player("KXPVORN", 1, before);
        world.player("KXPVORN", 2, neighbour);
        p.set(state::player_index, 1);
        p.set_record(PlayerBytes(before).gold(777));
    }
    bool stored(std::string_view game = "KXPVORN") const {
        return std::equal(p.area(), p.area() + 248, world.player_record(game, 1).begin());
    }
    void expect_neighbours_untouched() const {
        EXPECT_EQ(world.player_record("KXPVORN", 0), neighbour.bytes);
        EXPECT_EQ(world.player_record("KXPVORN", 2), neighbour.bytes);
        EXPECT_EQ(world.read("KXPVORN/PLAYER.DAT").size(), 3u * 248);
    }
};

// Written when the script ends, aborts, halts, asks or pauses (a caller may
// hang up there and the module never be called for him again), never at a
// slice end.
TEST_F(RecordWriteBack, WhenTheScriptEndsOrStopsWithEveryOpaqueByte) {
    for (const char* stop :
         {"last", "/ABORT", "/HALT", "/CHOICE:2", "/INPUT", "/PAUSE", "/ANYQUIT:Q to stop: "}) {
        world.player("KXPVORN", 1, before);
        start({"1", "2", "3", "4", "5", "6", stop, "never"});
        slice();
        EXPECT_EQ(world.player_record("KXPVORN", 1), before.bytes) << stop;
        slice();
        EXPECT_TRUE(stored()) << stop;
        EXPECT_EQ(zmb::get(world.player_record("KXPVORN", 1).data(), pl::gold), 777);
        expect_neighbours_untouched();
    }
}

TEST_F(RecordWriteBack, GoesToTheNamedGameWhateverEndsItsLine) {
    for (const char* game_line : {"KXPVORN2\n", "KXPVORN2\r\n", "KXPVORN2"}) {
        world.player("KXPVORN2", 1, before);
        p.set(state::game_name, game_line);
        start({"text"});
        run();
        EXPECT_TRUE(stored("KXPVORN2")) << game_line;
    }
    EXPECT_EQ(world.player_record("KXPVORN", 1), before.bytes);
    expect_neighbours_untouched();
}

// The file is the game's: no record of its own, no file or folder made, and
// a file that ends inside the record is neither grown nor written.
TEST_F(RecordWriteBack, NoRecordOfThePlayersOwnIsWritten) {
    const std::string whole = world.read("KXPVORN/PLAYER.DAT");
    const struct {
        const char* rule;
        int16_t index;
        std::string file;  // "" for no file and no folder
    } cases[] = {{"a negative index", -1, whole},
                 {"a record past the end", 3, whole},
                 {"a file that ends inside the record", 1, whole.substr(0, 248 + 100)},
                 {"no file at all", 1, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        world.remove("KXPVORN");
        if (!c.file.empty()) world.write("KXPVORN/PLAYER.DAT", c.file);
        p.set(state::player_index, c.index);
        start({"/CHOICE:2"});
        EXPECT_THAT(slice(), HasSubstr("(12)"));  // a stop that writes the record back
        EXPECT_EQ(world.read("KXPVORN/PLAYER.DAT"), c.file);
        EXPECT_EQ(world.exists("KXPVORN"), !c.file.empty());
    }
}

// A read-only script runs, and a read-only player file is silently left alone.
TEST_F(RecordWriteBack, ReadOnlyScriptAndPlayerFile) {
    const std::string whole = world.read("KXPVORN/PLAYER.DAT");
    start({"text"});
    std::string shown;
    {
        ReadOnlyAsNobody nobody(world, {kScriptFile, "KXPVORN/PLAYER.DAT"});
        shown = run();
    }
    EXPECT_EQ(shown, std::string("text\n") + kEndText);
    EXPECT_EQ(world.read("KXPVORN/PLAYER.DAT"), whole);
}

// ---- several users at once ----

// Eight lines, a pause, four more (two slices before the pause), for A and B.
void write_a_and_b(World& world) {
    for (const std::string x : {"A", "B"})
        world.write("QHYVIGMS/" + x + ".LOR",
                    kHeader + numbered(x, 1, 8) + "/PAUSE\n" + numbered(x, 9, 12));
}

using UserContext = ScriptTest;

TEST_F(UserContext, TwoUsersInterleavedKeepTheirOwnState) {
    write_a_and_b(world);
    Player* users[] = {&host.player(1), &host.player(2)};
    const std::string names[] = {"A", "B"};
    for (int i : {0, 1}) {
        users[i]->set_record(PlayerBytes().name(names[i]).gold(111 * (i + 1)));
        users[i]->set(state::value(1), 1001 * (i + 1));
        users[i]->set(zmb::trip::trips_used, 3 + 4 * i);
        users[i]->run_script("QHYVIGMS\\" + names[i] + ".LOR");
    }
    host.pump();  // statuses alternate between the two channels
    for (int i : {0, 1}) {
        EXPECT_EQ(users[i]->substate(), sub::kPause);
        EXPECT_THAT(strip_ansi(users[i]->take()),
                    AllOf(StartsWith(numbered(names[i], 1, 8)), Not(HasSubstr(names[1 - i]))));
    }
    users[1]->say("");  // resumed in the other order
    users[0]->say("");
    for (int i : {0, 1}) {
        const Player& u = *users[i];
        EXPECT_THAT(u.text(), HasSubstr(numbered(names[i], 9, 12)));
        EXPECT_THAT(u.text(), Not(HasSubstr(names[1 - i] + "1")));
        EXPECT_EQ(u.get(state::script_file), "QHYVIGMS\\" + names[i] + ".LOR");
        EXPECT_EQ(u.get(pl::gold), 111 * (i + 1));
        EXPECT_EQ(u.get(state::value(1)), 1001 * (i + 1));
        EXPECT_EQ(u.get(zmb::trip::trips_used), 3 + 4 * i);
    }
}

// A status that reaches the module for a user who already belongs to the
// game: the run driver works on whatever the working copy holds, but nothing
// is loaded from or saved into that user's area.
TEST_F(UserContext, AreaOfAUserOfAnotherModuleIsNeverWritten) {
    write_a_and_b(world);
    Player& b = host.player(2);
    p.run_script("QHYVIGMS\\A.LOR");
    host.pump();  // p waits at the pause; the working copy is p's
    ASSERT_EQ(p.substate(), sub::kPause);

    b.set_record(PlayerBytes().name("Bryn").gold(222));
    b.set(state::script_file, "QHYVIGMS\\B.LOR");
    b.set(state::line_offset, 5);
    b.set_current_module(host.game_module_number());
    b.set_substate(sub::kRunning);
    const std::vector<uint8_t> a_before(p.area(), p.area() + zmb::kUserContextSize);
    const std::vector<uint8_t> b_before(b.area(), b.area() + zmb::kUserContextSize);
    host::select_channel(2);
    ::status = zmb::kRunStatus;
    host::module(host.module_number())->descriptor->status();

    EXPECT_EQ(std::vector<uint8_t>(b.area(), b.area() + zmb::kUserContextSize), b_before);
    EXPECT_EQ(std::vector<uint8_t>(p.area(), p.area() + zmb::kUserContextSize), a_before);
    EXPECT_THAT(b.text(), Not(HasSubstr("B9")));  // the run was p's working copy
    // p's own area still says where p stands: the lines after the pause, once.
    EXPECT_THAT(p.say(""), HasSubstr("A9\nA10\nA11\nA12\n"));
}

}  // namespace
}  // namespace test
