// One small script per diagnostic: each row is the script after its header
// line and the findings igmcheck must make, each as the start of
// "LINE:COLUMN: severity: message", lines and findings apart by '\n'.
// Scripts are side trips (CASE.TXT), so the menu's own checks stay out of
// the way; the menu lines have a table of their own.
#include <sstream>
#include <string>
#include <vector>

#include "tests/checker/checker_fixture.h"

namespace {

using checker_test::Folder;
using checker_test::without_file;

struct Case {
    std::string script;    // after "Vorn IGM Script: Test"
    std::string expected;  // each finding's start, in order
};

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part);)
        parts.push_back(part);
    return parts;
}

void expect_findings(const Case& c) {
    SCOPED_TRACE(c.script);
    Folder folder;
    const auto path = folder.write(
        "QHYVIGMS/CASE.TXT", std::string("Vorn IGM Script: Test\n").append(c.script).append("\n"));
    const std::vector<std::string> found = without_file(checker::check_files({path}));
    const std::vector<std::string> expected = split(c.expected);
    ASSERT_EQ(found.size(), expected.size()) << ::testing::PrintToString(found);
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(found[i].substr(0, expected[i].size()), expected[i]) << found[i];
}

TEST(CheckerLines, EachDiagnosticOnASmallScript) {
    const Case cases[] = {
        {"/GOT:;X\n;X",
         "2:1: warning: unknown command '/GOT:;X': the line is shown as text; "
         "did you mean '/GOTO:'?"},
        {"/FROBNICATE:3",
         "2:1: warning: unknown command '/FROBNICATE:3': the line is shown as "
         "text"},
        {"`2Hello |S", "2:9: warning: unknown substitution code '|S'"},
        {"`2Hello |", "2:9: warning: '|' at the end of the line"},
        {"`ZHello", "2:1: warning: unknown colour code '`Z'"},
        {"Hello`", "2:6: warning: '`' at the end of the line"},
        {"/PAUSE:`~wait", "2:8: warning: unknown colour code '`~'"},
        {std::string(300, 'x'), "2:258: warning: line 2 is longer than 256 characters"},
        {"/GOTO:NOWHERE", "2:1: error: label 'NOWHERE' does not appear after this line"},
        {";BACK\n/GOSUB:;BACK",
         "3:1: error: label ';BACK' does not appear after this line\n"
         "2:1: note: ';BACK' stands here, before the line that looks"},
        {"/GOTO:;ABCDEFGHIJKLMN\n;ABCDEFGHIJKLMN",
         "2:19: warning: label ';ABCDEFGHIJKLMN' is longer than 12 characters"},
        {"/GOTO:\nx", "2:7: warning: /GOTO: with no label"},
        {"/LABEL\n/CHOICE:2\n/1CHOICE\nOne", "3:1: error: no /2CHOICE after this /CHOICE:2"},
        {"/RANDOM:2\n/1RANDOM\nOne", "2:1: error: no /2RANDOM after this /RANDOM:"},
        {"/KNIGHT\nFor knights", "2:1: error: no '/ENDCLASS' after this /KNIGHT"},
        {"/IFVAL1=3\nThree", "2:1: error: no '/ENDVAL1' after this /IFVAL1=3"},
        {"/SAMEAS2 yes\nYes", "2:1: error: no '/ENDSTRING2' after this /SAMEAS2 YES"},
        {"/3CHOICE",
         "2:1: warning: '/3CHOICE' is no answer or alternative of any /CHOICE:\n"
         "2:1: warning: the run reaches /3CHOICE without a jump and shows it"},
        {"/LABEL\n/CHOICE:2\n/1CHOICE\nOne\n/2CHOICE\nTwo",
         "6:1: warning: the run reaches /2CHOICE without a jump and shows it as text"},
        {"/ENDSEX", "2:1: warning: '/ENDSEX' ends no block"},
        {"/ENDING", "2:1: warning: '/ENDING' is no end marker"},
        {"/MONEY:1\n/HASGEMS:1\n/CHARM:1\n/ENDGEMS",
         "4:1: warning: a second reward in one visit\n2:1: note: the reward given before it"},
        {"/GIVEHORSE\n/HEALHITS",  // a horse counts as the reward
         "3:1: warning: a second reward in one visit\n2:1: note: the reward given before it"},
        {"/LABEL\n/FIGHTS:1\n/LOOP", "3:1: warning: this reward can run twice in one visit"},
        {"/WAIT:120", "2:7: warning: /WAIT: reads two characters: '120' waits 12"},
        {"/FIGHTS:-1", "2:9: warning: /FIGHTS: has no loss form"},
        {"/GIVEGEMS:12", "2:11: warning: only one character after /GIVEGEMS: is read: '12'"},
        {"/CHARM:9", "2:8: warning: /CHARM: with 9 changes nothing but uses up the visit's"},
        {"/HASGEMS:1000\n/ENDGEMS",
         "2:10: warning: only 3 characters after /HASGEMS: are read: '1000' is taken as 100"},
        {"/LEVEL:five\n/ENDLEVEL", "2:8: warning: 'five' is no number: /LEVEL: reads it as 0"},
        {"/LABEL\n/CHOICE:12\n/1CHOICE", "3:9: warning: /CHOICE: reads one digit: '12' asks"},
        {"/UCASE7", "2:7: warning: STRING register digit '7'"},
        {"/VAL1%3", "2:6: warning: operator '%' is none of"},
        {"/VAL1/0", "2:7: warning: division by 0"},
        {"/IFVAL1?3\n/ENDVAL1", "2:8: warning: no comparison (= < > <= >= <>) after the register"},
        {"/RANDOMIZE", "2:1: warning: '/RANDOMIZE' is neither"},
        {"/STRING1 abcdefghijklmnopqrstuvwxyz0123",
         "2:35: warning: a string register keeps 25 characters"},
        {"/MID123,2", "2:5: warning: /MID needs a start of one or two"},
        {"/LOOPING",
         "2:1: warning: /LOOP before any /LABEL goes back to the start of the file\n"
         "2:6: warning: /LOOP reads nothing after it: 'ING' is ignored"},
        {"/PAUSE now", "2:7: warning: /PAUSE reads nothing after it: ' now' is ignored; write"},
        {"/INPUT:Name", "2:1: warning: no /LABEL before this question: a '?' answer goes back"},
        {"/RETURN", "2:1: warning: /RETURN before any /GOSUB: goes back to the start of the file"},
        {"/LOAD:LONGERNAME.LOR",
         "2:7: error: 'LONGERNAME.L' is not in the script folder\n"
         "2:19: warning: /LOAD: reads 12 characters of the file name"},
        {"/LOAD:GONE.LOR", "2:7: error: 'GONE.LOR' is not in the script folder"},
    };
    for (const Case& c : cases)
        expect_findings(c);
}

TEST(CheckerLines, CleanScriptsGiveNoFinding) {
    const Case cases[] = {
        // The worked question.
        {"/LABEL\n`2Fight or flee?\n/CHOICE:2\n/1CHOICE\n`4You fight!\n/GOTO:;DONE\n/2CHOICE\n"
         "`2You flee!\n;DONE",
         ""},
        // One reward on each branch; a reward in a subroutine called once.
        {"/LABEL\n/CHOICE:2\n/1CHOICE\n/MONEY:2\n/GOTO:;END\n/2CHOICE\n/EXPER:-1\n;END", ""},
        {"/GOSUB:;GIFT\n/GOTO:;END\n;GIFT\n/CHARM:1\n/RETURN\n;END", ""},
        // Blocks, values and strings.
        {"/STRING1 yes\n/SAMEAS1 YES\nsame\n/ENDSTRING1\n/VAL1=3\n/VAL1+VAL1\n/IFVAL1>=6\n"
         "six or more\n/ENDVAL1\n/NEEDS:016\nnewer\n/ENDNEED\n/RANDOM:2\n/1RANDOM\n/GOTO:;R\n"
         "/2RANDOM\n;R\nLevel |H, gold |F`0!",
         ""},
        {"/GOTO:;X\n;X |A", ""},  // codes in a label line after the label
    };
    for (const Case& c : cases)
        expect_findings(c);
}

}  // namespace
