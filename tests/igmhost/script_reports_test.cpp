// Script problems in igmhost's log: the checker's findings at start-up, each
// once, and the scripts the module reports to a caller as missing or
// unusable, with the caller's name.
#include "tests/igmhost/igmhost_harness.h"

namespace igmtest {
namespace {

TEST(IgmhostScriptReports, FindingsAtStartUpOnceAndMissingScriptsWithTheCallersName) {
    Scratch scratch;
    scratch.make_demo_world();
    write_place(scratch.world(), "BROKEN.LOR", "A Broken Place", {"/CLEAR", "/GOTO:;NOWHERE"});
    // Line 3 names a file that is not there: choosing the place cannot find it.
    write_file(scratch.world() / "QHYVIGMS" / "GATE.LOR",
               "Vorn IGM Script: The Gate\nThe Gate\nGONE.LOR\n/CLEAR\n");
    fs::remove(scratch.world() / "ZMB_VORN.NEW");
    Server server(scratch);
    ASSERT_TRUE(server.wait_for_log("listening on"));
    const std::string log = server.log();
    const std::string finding =
        "script QHYVIGMS\\BROKEN.LOR:5: error: label ';NOWHERE' does not appear after this line";
    const size_t first = log.find(finding);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(finding, first + 1), std::string::npos) << "logged twice:\n" << log;
    EXPECT_EQ(log.find("script QHYVIGMS\\WELL.LOR"), std::string::npos)
        << "the demo places check clean";

    Client ardo(server.port());
    ASSERT_TRUE(at_module_menu(ardo, "Ardo"));
    const std::string gate = place_number(ardo.text(), "The Gate");
    ASSERT_FALSE(gate.empty()) << ardo.text();
    ASSERT_TRUE(ardo.say(gate, "could not be found!"));
    EXPECT_TRUE(server.wait_for_log("channel 0 (Ardo): script QHYVIGMS\\GONE.LOR not found"));
    ASSERT_TRUE(ardo.say("", "Your Command, "));
    ASSERT_TRUE(ardo.say("I", "could not be found!"));
    EXPECT_TRUE(server.wait_for_log("channel 0 (Ardo): script ZMB_VORN.NEW not found"));
}

}  // namespace
}  // namespace igmtest
