// igmcheck on scripts in a scratch folder: one small script per diagnostic, the menu lines of
// a place, a world of side trips and news, the clean demo world, and the exit status for CI.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "checker/checker.h"
#include "tests/support/shared.h"

namespace {

namespace fs = std::filesystem;

// A scratch world folder, removed at the end.
struct Folder {
    const fs::path root = test::make_scratch_dir("igmcheck-test");
    ~Folder() { fs::remove_all(root); }
    fs::path write(const fs::path& relative, std::string_view bytes) const {
        const fs::path path = root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

// Each finding, as "FILE:LINE:COLUMN: severity: message" ("LINE:..." when it
// names no file), must begin with `prefix` and its line of `expected`.
void expect_starts(const std::vector<checker::Finding>& findings, const std::string& expected,
                   const std::string& prefix = "") {
    std::vector<std::string> found, want;
    for (const checker::Finding& f : findings)
        found.push_back(checker::format_finding(f).substr(f.file.empty() ? 1 : 0));
    std::istringstream in(expected);
    for (std::string part; std::getline(in, part);)
        want.push_back(prefix + part);
    ASSERT_EQ(found.size(), want.size()) << ::testing::PrintToString(found);
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(found[i].substr(0, want[i].size()), want[i]) << found[i];
}

// Each row: a side trip's lines after its header and the findings it gets.
// Side trips keep the menu's own checks out of the way.
TEST(CheckerLines, EachDiagnosticOnASmallScript) {
    const std::pair<std::string, std::string> cases[] = {
        {"/GOT:;X\n;X",
         "2:1: warning: unknown command '/GOT:;X': the line is shown as text; "
         "did you mean '/GOTO:'?"},
        {"`2Hello |S", "2:9: warning: unknown substitution code '|S'"},
        {"`2Hello |", "2:9: warning: '|' at the end of the line"},
        {"`ZHello", "2:1: warning: unknown colour code '`Z'"},
        {"Hello`", "2:6: warning: '`' at the end of the line"},
        {"/PAUSE:`~wait", "2:8: warning: unknown colour code '`~'"},
        {std::string(300, 'x'), "2:258: warning: line 2 is longer than 256 characters"},
        {"/GOTO:NOWHERE", "2:1: error: label 'NOWHERE' does not appear after this line"},
        {";BACK\n/GOSUB:;BACK",
         "3:1: error: label ';BACK' does not appear after this line\n2:1: note: ';BACK' stands"},
        {"/GOTO:;ABCDEFGHIJKLMN\n;ABCDEFGHIJKLMN",
         "2:19: warning: label ';ABCDEFGHIJKLMN' is longer than 12"},
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
         "6:1: warning: the run reaches /2CHOICE without a jump"},
        {"/ENDSEX", "2:1: warning: '/ENDSEX' ends no block"},
        {"/ENDING", "2:1: warning: '/ENDING' is no end marker"},
        {"/MONEY:1\n/HASGEMS:1\n/CHARM:1\n/ENDGEMS",
         "4:1: warning: a second reward in one visit\n2:1: note: the reward given before it"},
        {"/GIVEHORSE\n/HEALHITS", "3:1: warning: a second reward\n2:1: note: the reward"},
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
        {"/STRING1 abcdefghijklmnopqrstuvwxyz0123", "2:35: warning: a string register keeps 25"},
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
        // Clean: a question, one reward on each branch, a reward in a
        // subroutine called once, blocks, values and strings.
        {"/LABEL\n`2Fight or flee?\n/CHOICE:2\n/1CHOICE\n`4You fight!\n/GOTO:;DONE\n/2CHOICE\n"
         "`2You flee!\n;DONE",
         ""},
        {"/LABEL\n/CHOICE:2\n/1CHOICE\n/MONEY:2\n/GOTO:;END\n/2CHOICE\n/EXPER:-1\n;END", ""},
        {"/GOSUB:;GIFT\n/GOTO:;END\n;GIFT\n/CHARM:1\n/RETURN\n;END", ""},
        {"/STRING1 yes\n/SAMEAS1 YES\nsame\n/ENDSTRING1\n/VAL1=3\n/VAL1+VAL1\n/IFVAL1>=6\n"
         "six or more\n/ENDVAL1\n/NEEDS:016\nnewer\n/ENDNEED\n/RANDOM:2\n/1RANDOM\n/GOTO:;R\n"
         "/2RANDOM\n;R\nLevel |H, gold |F`0!",
         ""},
        {"/GOTO:;X\n;X |A", ""},  // codes in a label line after the label
    };
    for (const auto& [script, expected] : cases) {
        SCOPED_TRACE(script);
        Folder folder;
        const auto path =
            folder.write("QHYVIGMS/CASE.TXT", "Vorn IGM Script: Test\n" + script + "\n");
        expect_starts(checker::check_files({path}), expected, path.string() + ":");
    }
}

TEST(CheckerWorld, MenuLinesOfAPlace) {
    const struct {
        const char* file;  // in QHYVIGMS
        std::string text, expected;
    } cases[] = {
        {"CAVE.LOR", "Vorn IGM Script:Cave\nThe Cave\nCAVE.LOR\n/CLEAR\n",
         ":1:1: error: the header must begin with 'Vorn IGM Script: ' (colon and blank): the menu"},
        {"CAVE.LOR", "A cave\nThe Cave\nCAVE.LOR\n",
         ": warning: no player can reach this script\n:1:1: error: the header must begin with "
         "'Vorn IGM Script: ': the module refuses to start this script"},
        {"CAVE.LOR",
         "Vorn IGM Script: The Very Deep And Dark Cave Of The North\nThe Cave\nCAVE.LOR\n/CLEAR\n",
         ":1:48: warning: the title is 40 characters long"},
        {"CAVE.LOR", "Vorn IGM Script: Cave\nThe Cave\nGROTTO.LOR\n/CLEAR\n",
         ":3:1: error: line 3 names 'GROTTO.LOR', but this file is 'CAVE.LOR'"},
        {"CAVE.LOR", "Vorn IGM Script: Cave\nThe Cave\nTHE CAVE.LOR\n/CLEAR\n",
         ":3:1: error: line 3 names the place's file, 'THE CAVE.LOR', which is not an 8.3 name"},
        {"DEEPCAVERN.LOR", "Vorn IGM Script: Cave\nThe Cave\nDEEPCAVERN.LOR\n/CLEAR\n",
         ": error: the file name 'DEEPCAVERN.LOR' is not an 8.3 name\n"
         ":3:1: error: line 3 names the place's file, 'DEEPCAVERN.LOR'"},
        {"CAVE.LOR", "Vorn IGM Script: Cave\n`2" + std::string(72, 'c') + "\nCAVE.LOR\n/CLEAR\n",
         ":2:1: warning: the menu title is 72 characters wide"},
        {"CAVE.LOR", "Vorn IGM Script: Cave\nThe Cave\nCAVE.LOR\nA dark cave.\n",
         ":3:1: warning: the file-name line runs as a display line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Folder folder;
        folder.write("ZMB_VORN.NEW", "Vorn IGM Script: News\nNothing new.\n");
        folder.write(std::string("QHYVIGMS/") + c.file, c.text);
        expect_starts(checker::check_world(folder.root, checker::Naming::module), c.expected,
                      std::string("QHYVIGMS\\") + c.file);
    }
}

TEST(CheckerWorld, SideTripsAndNewsAndTheCleanDemoWorld) {
    Folder folder;
    folder.write("QHYVIGMS/CAVE.LOR",
                 "Vorn IGM Script: Cave\nThe Cave\nCAVE.LOR\n/CLEAR\n/MONEY:1\n/LOAD:POOL.LOR\n"
                 "/LOAD:NOTES.TXT\n/LOAD:BROKEN.LOR\n");
    // Line 3 empty: not in the menu, a side trip.
    folder.write("QHYVIGMS/POOL.LOR", "Vorn IGM Script: Pool\nThe Pool\n\n/GIVEGEMS:1\n/UNLOAD\n");
    folder.write("NOTES.TXT", "Vorn IGM Script: Notes\n");
    folder.write("QHYVIGMS/BROKEN.LOR", "Pool\n");
    folder.write("QHYVIGMS/LOST.LOR", "Vorn IGM Script: Lost\nLost\n\nNobody comes here.\n");
    expect_starts(
        checker::check_world(folder.root, checker::Naming::module),
        "QHYVIGMS\\BROKEN.LOR:1:1: error: the header must begin with 'Vorn IGM Script: '\n"
        "QHYVIGMS\\CAVE.LOR:7:7: error: 'NOTES.TXT' is not in the script folder: /LOAD: "
        "shows the player 'could not be found' (it lies in the world folder\n"
        "QHYVIGMS\\CAVE.LOR:8:7: error: 'BROKEN.LOR' is no valid script\n"
        "QHYVIGMS\\LOST.LOR: warning: no player can reach this script\n"
        "QHYVIGMS\\POOL.LOR:4:1: warning: a second reward in one visit\n"
        "QHYVIGMS\\CAVE.LOR:5:1: note: the reward given before it on that path\n"
        "ZMB_VORN.NEW: warning: there is no news script");
    expect_starts(
        checker::check_world(fs::path(ZMB_SOURCE_DIR) / "demo/world", checker::Naming::module), "");
}

// igmcheck itself: the exit status CI relies on and the findings it prints.
TEST(Igmcheck, ExitStatusTellsCleanWarningsAndErrors) {
    Folder folder;
    std::string output;  // of the last run
    const auto run = [&](const std::string& arguments) {
        const std::string out = (folder.root / "igmcheck.out").string();
        const int raw = std::system(
            (std::string(IGMCHECK_PATH) + " " + arguments + " >" + out + " 2>&1").c_str());
        std::ifstream in(out);
        output.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    const auto clean = folder.write("QHYVIGMS/CLEAN.TXT", "Vorn IGM Script: Clean\nHello.\n");
    const auto warned = folder.write("QHYVIGMS/WARNED.TXT", "Vorn IGM Script: W\n/FROB\n");
    const auto broken = folder.write("QHYVIGMS/BROKEN.LOR", "Vorn IGM Script: B\n\n\n/GOTO:;X\n");
    EXPECT_EQ(run(clean.string()), 0);
    EXPECT_EQ(run(warned.string()), 0);
    EXPECT_EQ(run("--werror " + warned.string()), 1);
    EXPECT_EQ(run("--werror " + broken.string()), 2);
    EXPECT_NE(output.find(broken.string() + ":4:1: error: label ';X' does not appear after"),
              std::string::npos)
        << output;
    EXPECT_EQ(run("--world " + folder.root.string()), 2);
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("--frob x"), 2);
}

}  // namespace
