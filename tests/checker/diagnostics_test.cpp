// One small script per diagnostic: each row is the script after its header
// line and the findings igmcheck must make, as "LINE:COLUMN: severity: the
// start of the message". Scripts are side trips (CASE.TXT), so the menu's
// own checks stay out of the way; the menu lines have a table of their own.
#include <string>
#include <vector>

#include "tests/checker/checker_fixture.h"

namespace {

using checker_test::Folder;
using checker_test::without_file;

struct Case {
    const char* what;
    std::vector<std::string> lines;     // after "Vorn IGM Script: Test"
    std::vector<std::string> expected;  // each finding's start, in order
};

std::vector<std::string> check_side_trip(const std::vector<std::string>& lines) {
    Folder folder;
    std::string text = "Vorn IGM Script: Test\n";
    for (const std::string& line : lines)
        text += line + "\n";
    const auto path = folder.write("QHYVIGMS/CASE.TXT", text);
    return without_file(checker::check_files({path}));
}

void expect_findings(const Case& c) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> found = check_side_trip(c.lines);
    ASSERT_EQ(found.size(), c.expected.size()) << ::testing::PrintToString(found);
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(found[i].substr(0, c.expected[i].size()), c.expected[i]) << found[i];
}

TEST(CheckerLines, EachDiagnosticOnASmallScript) {
    const Case cases[] = {
        {"unknown command, near a keyword",
         {"/GOT:;X", ";X"},
         {"2:1: warning: unknown command '/GOT:;X': the line is shown as text; did you mean "
          "'/GOTO:'?"}},
        {"unknown command, near nothing",
         {"/FROBNICATE:3"},
         {"2:1: warning: unknown command '/FROBNICATE:3': the line is shown as text"}},
        {"unknown substitution code",
         {"`2Hello |S"},
         {"2:9: warning: unknown substitution code '|S'"}},
        {"a bar at the end of the line",
         {"`2Hello |"},
         {"2:9: warning: '|' at the end of the line"}},
        {"unknown colour code", {"`ZHello"}, {"2:1: warning: unknown colour code '`Z'"}},
        {"a backquote at the end of the line",
         {"Hello`"},
         {"2:6: warning: '`' at the end of the line"}},
        {"colour codes in a pause text",
         {"/PAUSE:`~wait"},
         {"2:8: warning: unknown colour code '`~'"}},
        {"a line over 256 characters",
         {std::string(300, 'x')},
         {"2:258: warning: line 2 is longer than 256 characters: from column 258 on"}},
        {"jump to a label that never comes",
         {"/GOTO:NOWHERE"},
         {"2:1: error: label 'NOWHERE' does not appear after this line"}},
        {"jump to a label that stands before it",
         {";BACK", "/GOSUB:;BACK"},
         {"3:1: error: label ';BACK' does not appear after this line",
          "2:1: note: ';BACK' stands here, before the line that looks for it"}},
        {"a label over 12 characters",
         {"/GOTO:;ABCDEFGHIJKLMN", ";ABCDEFGHIJKLMN"},
         {"2:19: warning: label ';ABCDEFGHIJKLMN' is longer than 12 characters"}},
        {"an empty label", {"/GOTO:", "x"}, {"2:7: warning: /GOTO: with no label"}},
        {"a question without its second answer",
         {"/LABEL", "/CHOICE:2", "/1CHOICE", "One"},
         {"3:1: error: no /2CHOICE after this /CHOICE:2: answering 2"}},
        {"a random choice without an alternative",
         {"/RANDOM:2", "/1RANDOM", "One"},
         {"2:1: error: no /2RANDOM after this /RANDOM:"}},
        {"a condition block without its end",
         {"/KNIGHT", "For knights"},
         {"2:1: error: no '/ENDCLASS' after this /KNIGHT"}},
        {"a value block without its end",
         {"/IFVAL1=3", "Three"},
         {"2:1: error: no '/ENDVAL1' after this /IFVAL1=3"}},
        {"a string block without its end",
         {"/SAMEAS2 yes", "Yes"},
         {"2:1: error: no '/ENDSTRING2' after this /SAMEAS2 YES"}},
        {"an answer marker outside any question",
         {"/3CHOICE"},
         {"2:1: warning: '/3CHOICE' is no answer or alternative of any /CHOICE: or /RANDOM:",
          "2:1: warning: the run reaches /3CHOICE without a jump and shows it as text"}},
        {"a marker the run falls into",
         {"/LABEL", "/CHOICE:2", "/1CHOICE", "One", "/2CHOICE", "Two"},
         {"6:1: warning: the run reaches /2CHOICE without a jump and shows it as text"}},
        {"an end marker that ends no block",
         {"/ENDSEX"},
         {"2:1: warning: '/ENDSEX' ends no block"}},
        {"a line that only begins with /END",
         {"/ENDING"},
         {"2:1: warning: '/ENDING' is no end marker"}},
        {"two rewards on one path",
         {"/MONEY:1", "/HASGEMS:1", "/CHARM:1", "/ENDGEMS"},
         {"4:1: warning: a second reward in one visit", "2:1: note: the reward given before it"}},
        {"a horse counts as the reward",
         {"/GIVEHORSE", "/HEALHITS"},
         {"3:1: warning: a second reward in one visit", "2:1: note: the reward given before it"}},
        {"a second reward in a loop",
         {"/LABEL", "/FIGHTS:1", "/LOOP"},
         {"3:1: warning: this reward can run twice in one visit"}},
        {"/WAIT: over 99",
         {"/WAIT:120"},
         {"2:7: warning: /WAIT: reads two characters: '120' waits 12"}},
        {"/FIGHTS: with a negative number",
         {"/FIGHTS:-1"},
         {"2:9: warning: /FIGHTS: has no loss form"}},
        {"/GIVEGEMS: with two digits",
         {"/GIVEGEMS:12"},
         {"2:11: warning: only one character after /GIVEGEMS: is read: '12' is taken as 1"}},
        {"a reward amount out of range",
         {"/CHARM:9"},
         {"2:8: warning: /CHARM: with 9 changes nothing but uses up the visit's one reward"}},
        {"a number longer than its field",
         {"/HASGEMS:1000", "/ENDGEMS"},
         {"2:10: warning: only 3 characters after /HASGEMS: are read: '1000' is taken as 100"}},
        {"an argument that is no number",
         {"/LEVEL:five", "/ENDLEVEL"},
         {"2:8: warning: 'five' is no number: /LEVEL: reads it as 0"}},
        {"/CHOICE: with two digits",
         {"/LABEL", "/CHOICE:12", "/1CHOICE"},
         {"3:9: warning: /CHOICE: reads one digit: '12' asks for 1 answer"}},
        {"a register digit out of range", {"/UCASE7"}, {"2:7: warning: STRING register digit '7'"}},
        {"a /VAL operator that is none", {"/VAL1%3"}, {"2:6: warning: operator '%' is none of"}},
        {"division by zero", {"/VAL1/0"}, {"2:7: warning: division by 0"}},
        {"/IFVAL without a comparison",
         {"/IFVAL1?3", "/ENDVAL1"},
         {"2:8: warning: no comparison (= < > <= >= <>) after the register"}},
        {"/RAND with another ending", {"/RANDOMIZE"}, {"2:1: warning: '/RANDOMIZE' is neither"}},
        {"a string longer than a register",
         {"/STRING1 abcdefghijklmnopqrstuvwxyz0123"},
         {"2:35: warning: a string register keeps 25 characters"}},
        {"/MID without its comma",
         {"/MID123,2"},
         {"2:5: warning: /MID needs a start of one or two"}},
        {"text after a command that takes none",
         {"/LOOPING"},
         {"2:1: warning: /LOOP before any /LABEL goes back to the start of the file",
          "2:6: warning: /LOOP reads nothing after it: 'ING' is ignored"}},
        {"text after /PAUSE without its colon",
         {"/PAUSE now"},
         {"2:7: warning: /PAUSE reads nothing after it: ' now' is ignored; write /PAUSE:text"}},
        {"a question before any /LABEL",
         {"/INPUT:Name"},
         {"2:1: warning: no /LABEL before this question: a '?' answer goes back"}},
        {"/RETURN before any /GOSUB:",
         {"/RETURN"},
         {"2:1: warning: /RETURN before any /GOSUB: goes back to the start of the file"}},
        {"a /LOAD: name over 12 characters",
         {"/LOAD:LONGERNAME.LOR"},
         {"2:7: error: 'LONGERNAME.L' is not in the script folder",
          "2:19: warning: /LOAD: reads 12 characters of the file name"}},
        {"/LOAD: of a missing file",
         {"/LOAD:GONE.LOR"},
         {"2:7: error: 'GONE.LOR' is not in the script folder"}},
    };
    for (const Case& c : cases)
        expect_findings(c);
}

TEST(CheckerLines, CleanScriptsGiveNoFinding) {
    const Case cases[] = {
        {"the worked question",
         {"/LABEL", "`2Fight or flee?", "/CHOICE:2", "/1CHOICE", "`4You fight!", "/GOTO:;DONE",
          "/2CHOICE", "`2You flee!", ";DONE"},
         {}},
        {"one reward on each branch",
         {"/LABEL", "/CHOICE:2", "/1CHOICE", "/MONEY:2", "/GOTO:;END", "/2CHOICE", "/EXPER:-1",
          ";END"},
         {}},
        {"a reward in a subroutine called once",
         {"/GOSUB:;GIFT", "/GOTO:;END", ";GIFT", "/CHARM:1", "/RETURN", ";END"},
         {}},
        {"blocks, values and strings",
         {"/STRING1 yes", "/SAMEAS1 YES", "same", "/ENDSTRING1", "/VAL1=3", "/VAL1+VAL1",
          "/IFVAL1>=6", "six or more", "/ENDVAL1", "/NEEDS:016", "newer", "/ENDNEED", "/RANDOM:2",
          "/1RANDOM", "/GOTO:;R", "/2RANDOM", ";R", "Level |H, gold |F`0!"},
         {}},
        {"codes in a label line after the label", {"/GOTO:;X", ";X |A"}, {}},
    };
    for (const Case& c : cases)
        expect_findings(c);
}

}  // namespace
