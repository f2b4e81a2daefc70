// The checks that need a world around a script: the menu lines of a place,
// side trips and the news, /LOAD: across files, and the demo world, in
// which igmcheck must find nothing.
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/checker/checker_fixture.h"

namespace {

using checker_test::Folder;

// The findings of a world, each as "FILE:LINE:COLUMN: severity: message"
// with FILE as the module names it.
std::vector<std::string> world_findings(const std::filesystem::path& root) {
    std::vector<std::string> out;
    for (const auto& f : checker::check_world(root, checker::Naming::module))
        out.push_back(checker::format_finding(f));
    return out;
}

void expect_starts(const std::vector<std::string>& found,
                   const std::vector<std::string>& expected) {
    ASSERT_EQ(found.size(), expected.size()) << ::testing::PrintToString(found);
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(found[i].substr(0, expected[i].size()), expected[i]) << found[i];
}

const char* const kNews = "Vorn IGM Script: News\nNothing new.\n";

TEST(CheckerWorld, MenuLinesOfAPlace) {
    const struct {
        const char* file;  // in QHYVIGMS
        std::string text;
        std::vector<std::string> expected;
    } cases[] = {
        {"CAVE.LOR",
         "Vorn IGM Script:Cave\nThe Cave\nCAVE.LOR\n/CLEAR\n",
         {"QHYVIGMS\\CAVE.LOR:1:1: error: the header must begin with 'Vorn IGM Script: ' (colon "
          "and blank): the menu lists this place"}},
        {"CAVE.LOR",
         "A cave\nThe Cave\nCAVE.LOR\n",
         {"QHYVIGMS\\CAVE.LOR: warning: no player can reach this script",
          "QHYVIGMS\\CAVE.LOR:1:1: error: the header must begin with 'Vorn IGM Script: ': the "
          "module refuses to start this script"}},
        {"CAVE.LOR",
         "Vorn IGM Script: The Very Deep And Dark Cave Of The North\nThe Cave\nCAVE.LOR\n/CLEAR\n",
         {"QHYVIGMS\\CAVE.LOR:1:48: warning: the title is 40 characters long"}},
        {"CAVE.LOR",
         "Vorn IGM Script: Cave\nThe Cave\nGROTTO.LOR\n/CLEAR\n",
         {"QHYVIGMS\\CAVE.LOR:3:1: error: line 3 names 'GROTTO.LOR', but this file is 'CAVE.LOR'"}},
        {"CAVE.LOR",
         "Vorn IGM Script: Cave\nThe Cave\nTHE CAVE.LOR\n/CLEAR\n",
         {"QHYVIGMS\\CAVE.LOR:3:1: error: line 3 names the place's file, 'THE CAVE.LOR', which is "
          "not an 8.3 name"}},
        {"DEEPCAVERN.LOR",
         "Vorn IGM Script: Cave\nThe Cave\nDEEPCAVERN.LOR\n/CLEAR\n",
         {"QHYVIGMS\\DEEPCAVERN.LOR: error: the file name 'DEEPCAVERN.LOR' is not an 8.3 name",
          "QHYVIGMS\\DEEPCAVERN.LOR:3:1: error: line 3 names the place's file, 'DEEPCAVERN.LOR'"}},
        {"CAVE.LOR",
         std::string("Vorn IGM Script: Cave\n`2").append(72, 'c').append("\nCAVE.LOR\n/CLEAR\n"),
         {"QHYVIGMS\\CAVE.LOR:2:1: warning: the menu title is 72 characters wide"}},
        {"CAVE.LOR",
         "Vorn IGM Script: Cave\nThe Cave\nCAVE.LOR\nA dark cave.\n",
         {"QHYVIGMS\\CAVE.LOR:3:1: warning: the file-name line runs as a display line"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Folder folder;
        folder.write("ZMB_VORN.NEW", kNews);
        folder.write(std::string("QHYVIGMS/") + c.file, c.text);
        expect_starts(world_findings(folder.root()), c.expected);
    }
}

TEST(CheckerWorld, SideTripsAndNews) {
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
        world_findings(folder.root()),
        {"QHYVIGMS\\BROKEN.LOR:1:1: error: the header must begin with 'Vorn IGM Script: '",
         "QHYVIGMS\\CAVE.LOR:7:7: error: 'NOTES.TXT' is not in the script folder: /LOAD: "
         "shows the player 'could not be found' (it lies in the world folder",
         "QHYVIGMS\\CAVE.LOR:8:7: error: 'BROKEN.LOR' is no valid script",
         "QHYVIGMS\\LOST.LOR: warning: no player can reach this script",
         "QHYVIGMS\\POOL.LOR:4:1: warning: a second reward in one visit",
         "QHYVIGMS\\CAVE.LOR:5:1: note: the reward given before it on that path",
         "ZMB_VORN.NEW: warning: there is no news script"});
}

TEST(CheckerWorld, TheDemoWorldIsClean) {
    EXPECT_EQ(world_findings(std::string(ZMB_SOURCE_DIR) + "/demo/world"),
              std::vector<std::string>{});
}

// igmcheck itself: what it prints and the exit status CI relies on.
struct Outcome {
    int status;
    std::string output;
};

Outcome igmcheck(const std::string& arguments, const Folder& folder) {
    const std::string out = (folder.root() / "igmcheck.out").string();
    const int raw =
        std::system((std::string(IGMCHECK_PATH) + " " + arguments + " >" + out + " 2>&1").c_str());
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text};
}

TEST(Igmcheck, ExitStatusTellsCleanWarningsAndErrors) {
    Folder folder;
    const auto clean = folder.write("QHYVIGMS/CLEAN.TXT", "Vorn IGM Script: Clean\nHello.\n");
    const auto warned = folder.write("QHYVIGMS/WARNED.TXT", "Vorn IGM Script: W\n/FROB\n");
    const auto broken = folder.write("QHYVIGMS/BROKEN.LOR", "Vorn IGM Script: B\n\n\n/GOTO:;X\n");
    EXPECT_EQ(igmcheck(clean.string(), folder).status, 0);
    EXPECT_EQ(igmcheck(warned.string(), folder).status, 0);
    EXPECT_EQ(igmcheck("--werror " + warned.string(), folder).status, 1);
    const Outcome failed = igmcheck("--werror " + broken.string(), folder);
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.output.find(broken.string() +
                                 ":4:1: error: label ';X' does not appear after this line"),
              std::string::npos)
        << failed.output;
    EXPECT_EQ(igmcheck("--world " + folder.root().string(), folder).status, 2);
    EXPECT_EQ(igmcheck("", folder).status, 2);
    EXPECT_EQ(igmcheck("--frob x", folder).status, 2);
}

}  // namespace
