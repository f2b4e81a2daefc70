// The interpreter through the real module: lines, skips, jumps, loading other
// scripts, pauses and questions, and every keyword of the command table.
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>

#include "module/script/keywords.h"
#include "tests/support/session.h"

namespace test {
namespace {

using Interpreter = ScriptTest;
constexpr const char* kSide = "QHYVIGMS/SIDE.LOR";  // the script /LOAD:SIDE.LOR starts

TEST_F(Interpreter, SkipModeLastsAcrossSlicesAndConsumesItsTarget) {
    start({"/GOTO:TARGET", "h1", "h2", "h3", "h4", "h5", "h6", "h7", "TARGET line", "shown"});
    EXPECT_EQ(slice(), "");
    EXPECT_EQ(p.get(state::skip_mode), 1);
    EXPECT_EQ(p.get(state::skip_target), "TARGET");
    EXPECT_EQ(slice(), std::string("shown\n") + kEndText);
    EXPECT_EQ(p.get(state::skip_mode), 0);
}

TEST_F(Interpreter, ScriptsThatRunToTheirEndShowTheRightLines) {
    const std::string full(256, 'y'), cut(257, 'x'), long_line(600, 'x');
    const struct {
        const char* rule;
        std::string body, shown;
    } cases[] = {
        {"comments vanish, indentation goes, blank lines stay",
         lines({";a comment", "  \t`2indented", "    ", "   ;indented comment", "/ENDSEX",
                "/2CHOICE is no command", "/RANDOMIZE"}),
         "indented\n\n/2CHOICE is no command\n"},
        // Substitution comes before the line is judged, but only a line
        // written with a slash is a command; an expansion that begins with
        // ";" is a comment, as any line that begins with one.
        {"a player's text is data", lines({"|T", "  |U", "|V", "still running"}),
         "/MONEY:3\n/HALT\nstill running\n"},
        {"a slash line takes its arguments from the registers",
         lines({"/GOTO:|N", "hidden", "PLACE", "shown"}), "shown\n"},
        {"skip targets compare the expanded text",
         lines({"/GOTO:DONE", "hidden", "|O here", "shown"}), "shown\n"},
        {"a jump in lower case ends at a later line in capitals",
         lines({"/goto:end", "hidden", "   END of the road", "shown"}), "shown\n"},
        {"labels are cut to twelve characters",
         lines({"/GOTO:ABCDEFGHIJKLMNOP", "hidden", "ABCDEFGHIJKLzz", "shown"}), "shown\n"},
        {"a jump only looks forward", lines({"BACK", "/GOTO:BACK", "never", "never again"}),
         "BACK\n"},
        {"needs runs its block only above command level",
         lines({"/NEEDS:15", "level 15 block", "/ENDNEED", "/NEEDS:016", "level 16 block",
                "/ENDNEED", "after"}),
         "level 16 block\nafter\n"},
        {"gosub returns to the line after it",
         lines({"/GOSUB:SUB", "after", "/GOTO:DONE", "SUB", "in sub", "/RETURN", "DONE", "end"}),
         "in sub\nafter\nend\n"},
        {"return goes back after the latest gosub only",
         lines({"/GOSUB:ONE", "after first", "ONE", "/GOSUB:TWO", "after second", "/GOTO:END",
                "TWO", "/RETURN", "END"}),
         "after second\n"},
        {"unload with nothing loaded is ignored", lines({"/UNLOAD", "next"}), "next\n"},
        // 257 + 257 + 86 characters, then the next line, all in one slice.
        {"a line longer than 256 characters runs in pieces", long_line + "\nAfter\n",
         long_line + "\nAfter\n"},
        // The 258th character of a longer line starts a piece of its own,
        // here a comment that shows nothing.
        {"a piece holds exactly 257 characters, line end included",
         full + "\n" + cut + ";hidden\nAfter\n", full + "\n" + cut + "After\n"},
        {"NUL bytes cut their line but not the script", std::string("abc\0def\n\0\nAfter\n", 16),
         "abcAfter\n"},
        {"carriage returns, high bytes and a missing final line end are harmless",
         "one\rtwo\n\xB0\xFE\xFF\nlast", "one\rtwo\n\xB0\xFE\xFF\nlast"},
    };
    p.set_record(PlayerBytes().name("Ardo").gold(50).level(5));
    set_strs({"PLACE", "DONE", "", "/MONEY:3", "/HALT", ";a comment"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        start(c.body);
        EXPECT_EQ(run(), c.shown + kEndText);
        EXPECT_EQ(p.substate(), sub::kAfterScript);
    }
    EXPECT_EQ(p.get(pl::gold), 50);
    EXPECT_EQ(p.get(state::reward_given), 0);
}

TEST_F(Interpreter, ReturnOrLoopBeforeTheirMarkersRestartAtTheFileStart) {
    for (const char* back : {"/RETURN", "/LOOP"}) {
        start({"first", back});
        EXPECT_EQ(slice(), "first\n" + std::string(kHeader) + "first\n" + kHeader) << back;
        EXPECT_EQ(p.get(state::return_offset), 0);
    }
}

// The header's prefix ignores case; the title follows it.
TEST_F(Interpreter, LoadRunsTheOtherScriptAndUnloadComesBack) {
    const std::string header = "vORN igm sCRIPT: `!Side Quest\r\n",
                      body = "side 1\n/UNLOAD\nnever\n";
    world.write(kSide, header + body);
    start({"main 1", "/LABEL", "/LOAD:SIDE.LOR", "main 2"});
    const int32_t after_load = static_cast<int32_t>(
        std::string(kHeader).size() + lines({"main 1", "/LABEL", "/LOAD:SIDE.LOR"}).size());

    EXPECT_EQ(slice(), "main 1\n");
    EXPECT_EQ(p.get(state::script_file), "QHYVIGMS\\SIDE.LOR");
    EXPECT_EQ(p.get(state::script_title), "`!Side Quest");
    EXPECT_EQ(p.get(state::line_offset), static_cast<int32_t>(header.size()));
    EXPECT_EQ(p.get(state::end_offset), static_cast<int32_t>(header.size() + body.size()));
    EXPECT_EQ(p.get(state::saved_script_file), kScriptPath);
    EXPECT_EQ(p.get(state::saved_line_offset), after_load);
    EXPECT_EQ(p.get(state::saved_loop_offset), after_load - 15);
    EXPECT_EQ(p.get(state::loop_offset), 0);
    EXPECT_EQ(host.pending(), 1u);
    EXPECT_EQ(p.substate(), sub::kRunning);

    EXPECT_EQ(slice(), "side 1\n");
    EXPECT_EQ(p.get(state::script_file), kScriptPath);
    EXPECT_EQ(p.get(state::line_offset), after_load);
    EXPECT_EQ(p.get(state::loop_offset), after_load - 15);
    EXPECT_EQ(p.get(state::saved_script_file), "");
    EXPECT_EQ(p.get(state::saved_line_offset), 0);
    EXPECT_EQ(p.get(state::script_title), "`!Side Quest");  // the title is not restored

    EXPECT_EQ(run(), std::string("main 2\n") + kEndText);
    EXPECT_EQ(p.substate(), sub::kAfterScript);
}

TEST_F(Interpreter, PausesAndAbortShowTheirText) {
    const struct {
        const char* line;
        const char* shown;
        int substate;
        size_t pending;
    } cases[] = {
        {"/PAUSE", "\xFE Press <enter> To Continue \xFE ", sub::kPause, 0},
        {"/PAUSE:`4Hold on...", "Hold on... ", sub::kPause, 0},
        {"/ANYQUIT", "\xFE Press <enter> To Continue or <Q> To Quit \xFE ", sub::kQuitPause, 0},
        {"/ANYQUIT:Q to leave", "Q to leave ", sub::kQuitPause, 0},
        {"/ABORT", "\nPlease press <enter> to continue: ", sub::kAfterScript, 1},
        {"/ABORT:`2Off you go", "Off you go ", sub::kAfterScript, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        host.pump();  // what the row before left queued
        start({"before", c.line, "after"});
        EXPECT_EQ(slice(), std::string("before\n") + c.shown);
        EXPECT_EQ(p.substate(), c.substate);
        EXPECT_EQ(host.pending(), c.pending);
    }
}

// A halted menu shows the command line once, queueing nothing: the name,
// never as a format, after the sysop hint for a holder of the key.
TEST_F(Interpreter, TheCommandLineShowsTheNameAndTheHintForAKeyHolder) {
    p.set(state::script_file, "ZMBVIGMS.TXT");  // the menu is the current script
    const auto halted_menu_prompt = [&] {
        p.set_substate(sub::kMenuHalted);
        return status(zmb::kRunStatus);
    };
    EXPECT_EQ(halted_menu_prompt(), kPrompt);
    EXPECT_EQ(p.substate(), sub::kMenuCommand);  // where a 240 shows nothing
    EXPECT_EQ(host.pending(), 0u);
    EXPECT_THAT(p.screen(),
                HasSubstr("\x1b[0;32;40mYour Command, \x1b[1;32;40mArdo\x1b[0;32;40m? : "
                          "\x1b[1;32;40m"));
    p.set(state::player_name, "%s%n%d%%");
    EXPECT_EQ(halted_menu_prompt(), "Your Command, %s%n%d%%? : ");
    p.grant_key("SYSOP");
    EXPECT_EQ(halted_menu_prompt(), "Enter S for Sysop Menu...\nYour Command, %s%n%d%%? : ");
    EXPECT_EQ(p.say(""), "Enter S for Sysop Menu...\nYour Command, %s%n%d%%? : ");
}

// A question lists its answers (one digit, 1 to 9 of them), or the input's
// prompt (25 characters, never a format), before the command line; an empty
// answer repeats that prompt without the sysop hint.
TEST_F(Interpreter, AQuestionListsItsAnswersOrPromptBeforeTheCommandLine) {
    p.grant_key("SYSOP");
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // line, the list shown, the prompt kept
        {"/CHOICE:9", "123456789", ""},
        {"/CHOICE:3", "123", ""},
        {"/CHOICE:12", "1", ""},
        {"/CHOICE:0", "1", ""},
        {"/CHOICE:", "1", ""},
        {"/CHOICE:x", "1", ""},
        {"/INPUT", "INPUT", "`&INPUT"},
        {"/INPUT:Your name, stranger, if you please?", "Your name, stranger, if y",
         "Your name, stranger, if y"},
        {"/INPUT:Your %s name?", "Your %s name?", "Your %s name?"},
    };
    for (const auto& [line, list, kept] : cases) {
        p.set(state::input_prompt, "");
        start({line});
        const std::string prompt = std::string(1, '(').append(list).append(") - ") + kPrompt;
        EXPECT_EQ(slice(), prompt) << line;
        EXPECT_EQ(p.get(state::input_prompt), kept) << line;
        EXPECT_EQ(p.get(state::choice_count), line[1] == 'C' ? strlen(list) : 0) << line;
        EXPECT_EQ(p.say(""), prompt) << line;
    }
}

TEST_F(Interpreter, ClearClosesTheChannelLineAndClearsTheScreen) {
    const int closes = host::counters().btuclo;
    start({"/CLEAR", "fresh"});
    slice();
    EXPECT_EQ(host::counters().btuclo, closes + 1);
    EXPECT_THAT(p.screen(), StartsWith("\x1b[2Jfresh\n"));
}

// 255 characters are read as the header; the other 166 and the line end are
// the first line the script shows. The title keeps 30 of them.
TEST_F(Interpreter, TheLoadedTitleFollowsTheHeaderInItsRoom) {
    world.write(kSide, "Vorn IGM Script: Long" + std::string(400, '=') + "\nfirst line\n");
    start({"/LOAD:SIDE.LOR"});
    slice();
    EXPECT_EQ(p.get(state::script_title), "Long" + std::string(26, '='));
    EXPECT_EQ(run(), std::string(166, '=') + "\nfirst line\n" + kEndText);

    world.write(kSide, "Vorn IGM Script: \nside\n");  // an empty title
    start({"/LOAD:SIDE.LOR"});
    slice();
    EXPECT_EQ(p.get(state::script_title), "");
}

// The file loaded is read-only and the checks are a stranger's; the end of
// the loaded script ends the whole run.
TEST_F(Interpreter, ALoadStartsAfreshKeepsTheReturnSubstateAndNeedsOnlyToRead) {
    world.write(kSide, "Vorn IGM Script: Side\nside\n");
    start({"/LABEL", "/GOSUB:X", "X", "/LOAD:SIDE.LOR", "main 2"}, sub::kMenuHalted);
    p.set(state::last_amount, 55);
    ReadOnlyAsNobody nobody(world, {kSide});
    slice();
    EXPECT_EQ(p.get(state::loop_offset), 0);
    EXPECT_EQ(p.get(state::return_offset), 0);
    EXPECT_EQ(p.get(state::last_amount), 0);
    EXPECT_EQ(p.get(state::skip_mode), 0);
    EXPECT_EQ(p.get(state::return_substate), sub::kMenuHalted);
    EXPECT_EQ(run(), std::string("side\n") + kEndText + kPrompt);
}

// A missing or invalid script returns the user without running anything and
// leaves what the driver saved before it called the loader untouched.
TEST_F(Interpreter, AFailedLoadRunsNothingAndSavesNothingOfItsOwn) {
    const std::string invalid =
        "\nScript file QHYVIGMS\\SIDE.LOR Is not a valid Vorn IGM script!\n\npress enter...";
    const struct {
        const char* bytes;  // nullptr: no file
        std::string shown;
        int substate;
    } cases[] = {
        {nullptr, "\nScript file QHYVIGMS\\SIDE.LOR could not be found!\n\n", sub::kScriptMissing},
        {"Vorn IGM Script:no blank\nside 1\n", invalid, sub::kAfterScript},
        {"", invalid, sub::kAfterScript},
        {"side 1\n", invalid, sub::kAfterScript},
        {"Vorn IGM\nScript: side 1\n", invalid, sub::kAfterScript},
    };
    for (const auto& c : cases) {
        world.remove(kSide);
        if (c.bytes != nullptr) world.write(kSide, c.bytes);
        start({"/LABEL", "/LOAD:SIDE.LOR", "never"});
        EXPECT_EQ(run(), c.shown);
        EXPECT_EQ(p.substate(), c.substate);
        EXPECT_EQ(host.pending(), 0u);
        EXPECT_EQ(p.get(state::saved_script_file), kScriptPath);
        EXPECT_EQ(p.get(state::script_file), "QHYVIGMS\\SIDE.LOR");
        EXPECT_EQ(p.get(state::line_offset), 26 + 7 + 15);  // the header, /LABEL, /LOAD:
        EXPECT_EQ(p.get(state::loop_offset), 26 + 7);
        EXPECT_EQ(p.get(state::script_title), "The Cave");
    }
}

// Visits 1 to 6 each take one of the six rewards, then run everything else
// and end at /ABORT; visit 7 jumps straight to /HALT.
constexpr std::string_view kEveryCommand =
    "/IFVAL9>=6\n/GOTO:HALTING\n/ENDVAL9\n/VAL9+1\n"
    "/IFVAL9=1\n/CHARM:1\n/ENDVAL9\n/IFVAL9=2\n/MONEY:2\n/ENDVAL9\n"
    "/IFVAL9=3\n/EXPER:3\n/ENDVAL9\n/IFVAL9=4\n/HEALHITS\n/ENDVAL9\n"
    "/IFVAL9=5\n/FIGHTS:2\n/ENDVAL9\n/IFVAL9=6\n/GIVEGEMS:3\n/ENDVAL9\n"
    "/WAIT:00\n/CLEAR\n/NEEDS:16\nneeds-block\n/ENDNEED\n"
    "/GOSUB:SUBROUTINE\n/GOTO:AFTERSUB\nSUBROUTINE\nin-subroutine\n/RETURN\nAFTERSUB\n"
    "/VAL8=0\n/LABEL\n/VAL8+1\n/IFVAL8<3\n/LOOP\n/ENDVAL8\n"
    "/RANDOM:2\n/1RANDOM\n/GOTO:;RANDOMDONE\n/2RANDOM\n;RANDOMDONE\n/RAND:6\n"
    "/STRING1 `4Hello World  \n/STRIP1\n/UCASE1\n/LCASE1\n/MCASE1\n/OCASE1\n/ALLTRIM1\n"
    "/INSIDE1 LL\n/ENDINSIDE1\n/SAMETO1 H\n/ENDSAMETO1\n/SAMEND1 D\n/ENDSAMEND1\n"
    "/SAMEAS1 STRING1\n/ENDSTRING1\n/COPY1->2\n/MID2,3\n/COPY1->3\n"
    "/GIVEHORSE\n/REMOVEHORSE\n/REMOVEFIGHT\n/REMOVEGEM\n"
    "/HASFIGHTS:1\n/ENDFIGHTS\n/KNIGHT\n/ENDCLASS\n/THIEF\n/ENDCLASS\n/MYSTIC\n/ENDCLASS\n"
    "/MALE\n/ENDSEX\n/FEMALE\n/ENDSEX\n/ADULT\n/ENDADULT\n/HASCHARM:1\n/ENDCHARM\n"
    "/HASHORSE:\n/ENDHORSE\n/HASGEMS:1\n/ENDGEMS\n/LEVEL:1\n/ENDLEVEL\n"
    "/CHOICE:2\n/1CHOICE\n/GOTO:;CHOSEN\n/2CHOICE\n;CHOSEN\n/INPUT:Say something\n"
    "/PAUSE\n/ANYQUIT\n/LOAD:SUB.LOR\nback-from-sub\nend-of-visit |*\n/ABORT\n"
    "HALTING\n/HALT\n";

// SUB.LOR, the script that /LOAD: starts.
constexpr std::string_view kLoaded = "in-the-loaded-script\n/UNLOAD\nnot-after-unload\n";

using EveryCommand = Interpreter;

TEST_F(EveryCommand, AScriptUsingEveryCommandRunsToItsEndVisitAfterVisit) {
    const std::string both = "\n" + std::string(kEveryCommand) + std::string(kLoaded);
    for (const auto& entry : zmb::script::kKeywords)
        ASSERT_NE(both.find(std::string("\n").append(entry.text)), std::string::npos) << entry.text;
    world.write("QHYVIGMS/SUB.LOR", std::string("Vorn IGM Script: Sub\n").append(kLoaded));
    world.write("QHYVIGMS/ALL.LOR", std::string("Vorn IGM Script: All\n").append(kEveryCommand));
    p.set_record(PlayerBytes().level(3).gold(10).forest_fights(2).gems(2).charm(2).horse(1));
    p.set_age(20);
    for (int visit = 1; visit <= 6; ++visit) {
        new_visit();
        p.clear_screen();
        p.run_script("QHYVIGMS\\ALL.LOR");
        host.pump();
        // /CHOICE:2, /INPUT:, /PAUSE and /ANYQUIT wait in turn.
        const int waits[] = {sub::kAnswer, sub::kAnswer, sub::kPause, sub::kQuitPause};
        const char* typed[] = {"2", "some words", "", ""};
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(p.substate(), waits[i]) << "visit " << visit << ", wait " << i;
            p.say(typed[i]);
        }
        EXPECT_THAT(strip_ansi(p.take()),
                    AllOf(HasSubstr("needs-block"), HasSubstr("in-subroutine"),
                          HasSubstr("in-the-loaded-script"), Not(HasSubstr("not-after-unload")),
                          HasSubstr("back-from-sub"),
                          HasSubstr("end-of-visit 3")));  // /LOOP ran three times
        EXPECT_EQ(p.substate(), zmb::sub::kAfterScript) << "visit " << visit;
        EXPECT_EQ(val(9), visit);
    }
    EXPECT_THAT(strs(), ElementsAre("some words", "HeLLo WoRLD", "eLL", "", "", ""));
    EXPECT_EQ(p.get(pl::horse), 0);

    p.run_script("QHYVIGMS\\ALL.LOR");  // visit 7: straight to /HALT, then the command prompt
    host.pump();
    EXPECT_EQ(p.substate(), zmb::sub::kMenuCommand);
}

// Each keyword with no argument, with register texts that fill the line
// past its cut, with long runs of junk and with numbers far out of range.
// /RETURN and /LOOP are left out: as the first line of a file they restart
// it for ever, which is what they are for.
TEST_F(EveryCommand, HostileArgumentsKeepEveryFieldWithinItsSize) {
    for (int n = 1; n <= 6; ++n)
        set_str(n, "|A`4|N~~~~~~~~~~~~~~~~~~~");
    for (const auto& entry : zmb::script::kKeywords) {
        const std::string_view keyword = entry.text;
        if (keyword == "/RETURN" || keyword == "/LOOP") continue;
        const std::string k(keyword);
        new_visit();
        run(k + "\n" + k + "|N|O|P|T|U|V|A|I|J|N|O|P|T|U|V\n" + k + std::string(240, '~') + "\n" +
            k + "-1,-99999999999\n" + k + "\t\x01\x1b" + std::string(240, '\x7f') + "\n");
        for (int n = 1; n <= 6; ++n)
            EXPECT_LE(str(n).size(), 25u) << keyword << " STRING" << n;
        EXPECT_LE(p.get(zmb::state::skip_target).size(), 15u) << keyword;
        EXPECT_LE(p.get(zmb::state::input_prompt).size(), 25u) << keyword;
        EXPECT_LE(p.get(zmb::state::script_file).size(), 39u) << keyword;
    }
}

}  // namespace
}  // namespace test
