// The interpreter through the real module: what a line is (display,
// comment, command), skip mode, jumps, subroutines, loading other scripts,
// pauses and questions, and player text that must never run.
#include <string>

#include "tests/support/module_fixture.h"

namespace test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

using Interpreter = ScriptTest;

// ---- what a line is ----

TEST_F(Interpreter, CommentsVanishIndentationGoesAndBlankLinesStay) {
    start({";a comment", "  \t`2indented", "    ", "   ;indented comment", "/ENDSEX",
           "/2CHOICE is no command", "/RANDOMIZE"});
    EXPECT_EQ(run(), std::string("indented\n\n/2CHOICE is no command\n") + kEndText);
}

TEST_F(Interpreter, KeywordsMatchAsPrefixesInAnyCase) {
    // A halt ends in the halted menu whatever the return sub-state, with the
    // status that shows the prompt queued.
    start({"/Halted now", "never"}, sub::kAfterScript);
    EXPECT_EQ(slice(), "");
    EXPECT_EQ(p.substate(), sub::kMenuHalted);
    EXPECT_EQ(host.pending(), 1u);
    EXPECT_EQ(slice(), "Your Command, Ardo? : ");
    EXPECT_EQ(p.substate(), sub::kMenuCommand);

    start({"/label", "again", "/LOOPING"});
    EXPECT_EQ(slice(), "again\nagain\nagain\n");  // 6 lines: label, again, loop, again, ...
}

// A player's text is data: substitution comes before the line is judged,
// but only a line written with a slash is a command. An expansion that
// begins with ";" is a comment, as any line that begins with one.
TEST_F(Interpreter, PlayerTextThatLooksLikeACommandIsShownNeverRun) {
    p.set_record(test::PlayerBytes().name("Ardo").gold(50).level(5));
    set_text(state::string(1), "/MONEY:3");
    set_text(state::string(2), "/HALT");
    set_text(state::string(3), ";a comment");
    start({"|N", "  |O", "|P", "still running"});
    EXPECT_EQ(run(), std::string("/MONEY:3\n/HALT\nstill running\n") + kEndText);
    EXPECT_EQ(p.record().gold(), 50);
    EXPECT_EQ(i16(state::reward_given), 0);
    EXPECT_EQ(p.substate(), sub::kAfterScript);
}

// ---- skip mode ----

TEST_F(Interpreter, SkipModeLastsAcrossSlicesAndConsumesItsTarget) {
    start({"/GOTO:TARGET", "h1", "h2", "h3", "h4", "h5", "h6", "h7", "TARGET line", "shown"});
    EXPECT_EQ(slice(), "");
    EXPECT_EQ(i16(state::skip_mode), 1);
    EXPECT_EQ(text(state::skip_target), "TARGET");
    EXPECT_EQ(slice(), std::string("shown\n") + kEndText);
    EXPECT_EQ(i16(state::skip_mode), 0);
}

// Scripts that run to their end in one go: what each shows.
TEST_F(Interpreter, JumpsBlocksAndSubroutinesShowTheRightLines) {
    const struct {
        const char* rule;
        std::initializer_list<std::string_view> script;
        const char* shown;
    } cases[] = {
        {"a slash line takes its arguments from the registers",
         {"/GOTO:|N", "hidden", "PLACE", "shown"},
         "shown\n"},
        {"skip targets compare the expanded text",
         {"/GOTO:DONE", "hidden", "|O here", "shown"},
         "shown\n"},
        {"a jump in lower case ends at a later line in capitals",
         {"/goto:end", "hidden", "   END of the road", "shown"},
         "shown\n"},
        {"labels are cut to twelve characters",
         {"/GOTO:ABCDEFGHIJKLMNOP", "hidden", "ABCDEFGHIJKLzz", "shown"},
         "shown\n"},
        {"a jump only looks forward", {"BACK", "/GOTO:BACK", "never", "never again"}, "BACK\n"},
        {"needs runs its block only above command level",
         {"/NEEDS:15", "level 15 block", "/ENDNEED", "/NEEDS:016", "level 16 block", "/ENDNEED",
          "after"},
         "level 16 block\nafter\n"},
        {"gosub returns to the line after it",
         {"/GOSUB:SUB", "after", "/GOTO:DONE", "SUB", "in sub", "/RETURN", "DONE", "end"},
         "in sub\nafter\nend\n"},
        {"return goes back after the latest gosub only",
         {"/GOSUB:ONE", "after first", "ONE", "/GOSUB:TWO", "after second", "/GOTO:END", "TWO",
          "/RETURN", "END"},
         "after second\n"},
        {"unload with nothing loaded is ignored", {"/UNLOAD", "next"}, "next\n"},
    };
    set_text(state::string(1), "PLACE");
    set_text(state::string(2), "DONE");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        start(c.script);
        EXPECT_EQ(run(), c.shown + std::string(kEndText));
        EXPECT_EQ(p.substate(), sub::kAfterScript);
    }
}

// The worked example of a question with two answers: "?" asks again from
// the label, and each answer runs its own part and the common end.
TEST_F(Interpreter, TheWorkedExampleOfAQuestion) {
    const std::string question = "Fight or flee?\n(12) - Your Command, Ardo? : ";
    for (const auto& [answer, shown] :
         {std::pair{"1", "You fight!\n"}, std::pair{"2", "You flee!\n"}}) {
        start({"/LABEL", "`2Fight or flee?", "/CHOICE:2", "/1CHOICE", "`4You fight!", "/GOTO:;DONE",
               "/2CHOICE", "`2You flee!", ";DONE", "The end."});
        EXPECT_EQ(run(), question);
        EXPECT_EQ(p.substate(), sub::kAnswer);
        EXPECT_EQ(p.say("?"), question);
        EXPECT_EQ(p.substate(), sub::kAnswer);
        EXPECT_EQ(p.say(answer), std::string(shown) + "The end.\n" + kEndText);
    }
}

// ---- subroutines and loops ----

TEST_F(Interpreter, ReturnOrLoopBeforeTheirMarkersRestartAtTheFileStart) {
    start({"first", "/RETURN"});
    EXPECT_EQ(slice(), "first\nVorn IGM Script: The Cave\nfirst\nVorn IGM Script: The Cave\n");
    EXPECT_EQ(i32(state::return_offset), 0);
    start({"first", "/LOOP"});
    EXPECT_EQ(slice(), "first\nVorn IGM Script: The Cave\nfirst\nVorn IGM Script: The Cave\n");
}

// ---- other scripts ----

class LoadingScripts : public Interpreter {
  protected:
    void side(std::initializer_list<std::string_view> each) {
        world.write("QHYVIGMS/SIDE.LOR", "Vorn IGM Script: The Side\n" + lines(each));
    }
};

TEST_F(LoadingScripts, LoadRunsTheOtherScriptAndUnloadComesBack) {
    side({"side 1", "/UNLOAD", "never"});
    start({"main 1", "/LABEL", "/LOAD:SIDE.LOR", "main 2"});
    const int32_t after_load = static_cast<int32_t>(
        std::string(kHeader).size() + lines({"main 1", "/LABEL", "/LOAD:SIDE.LOR"}).size());

    EXPECT_EQ(slice(), "main 1\n");
    EXPECT_EQ(text(state::script_file), "QHYVIGMS\\SIDE.LOR");
    EXPECT_EQ(text(state::script_title), "The Side");
    EXPECT_EQ(text(state::saved_script_file), kScriptPath);
    EXPECT_EQ(i32(state::saved_line_offset), after_load);
    EXPECT_EQ(i32(state::saved_loop_offset), after_load - 15);
    EXPECT_EQ(i32(state::loop_offset), 0);
    EXPECT_EQ(p.substate(), sub::kRunning);

    EXPECT_EQ(slice(), "side 1\n");
    EXPECT_EQ(text(state::script_file), kScriptPath);
    EXPECT_EQ(i32(state::line_offset), after_load);
    EXPECT_EQ(i32(state::loop_offset), after_load - 15);
    EXPECT_EQ(text(state::saved_script_file), "");
    EXPECT_EQ(i32(state::saved_line_offset), 0);
    EXPECT_EQ(text(state::script_title), "The Side");  // the title is not restored

    EXPECT_EQ(run(), std::string("main 2\n") + kEndText);
    EXPECT_EQ(p.substate(), sub::kAfterScript);
}

TEST_F(LoadingScripts, TheEndOfALoadedScriptEndsTheWholeRun) {
    side({"side 1"});
    start({"/LOAD:SIDE.LOR", "main 2"}, sub::kMenuHalted);
    EXPECT_EQ(run(), std::string("side 1\n") + kEndText + "Your Command, Ardo? : ");
    EXPECT_EQ(p.substate(), sub::kMenuCommand);
}

// ---- pauses and aborts ----

// Pauses wait with nothing queued; an abort ends the script with its text.
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

// ---- questions ----

TEST_F(Interpreter, ChoiceReadsOneCharacterAndAllowsOneToNine) {
    const std::pair<const char*, int32_t> cases[] = {{"/CHOICE:0", 1}, {"/CHOICE:", 1},
                                                     {"/CHOICE:9", 9}, {"/CHOICE:12", 1},
                                                     {"/CHOICE:x", 1}, {"/CHOICE:3", 3}};
    for (const auto& [line, count] : cases) {
        start({line});
        slice();
        EXPECT_EQ(i32(state::choice_count), count) << line;
        EXPECT_EQ(p.substate(), sub::kAnswer) << line;
    }
}

TEST_F(Interpreter, InputTakesItsPromptOrTheDefault) {
    start({"/INPUT"});
    EXPECT_EQ(slice(), "(INPUT) - Your Command, Ardo? : ");
    EXPECT_EQ(text(state::input_prompt), "`&INPUT");
    EXPECT_EQ(i32(state::choice_count), 0);

    start({"/INPUT:Your name, stranger, if you please?"});
    EXPECT_EQ(slice(), "(Your name, stranger, if y) - Your Command, Ardo? : ");
    EXPECT_EQ(text(state::input_prompt), "Your name, stranger, if y");
}

TEST_F(Interpreter, ClearClosesTheChannelLineAndClearsTheScreen) {
    const int closes = host::counters().btuclo;
    start({"/CLEAR", "fresh"});
    slice();
    EXPECT_EQ(host::counters().btuclo, closes + 1);
    EXPECT_THAT(p.screen(), StartsWith("\x1b[2Jfresh\n"));
}

}  // namespace
}  // namespace test
