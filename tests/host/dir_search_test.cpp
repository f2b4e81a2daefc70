// Directory search with DOS-style patterns, in a scratch folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "server/core/host_core.h"
#include "tests/support/shared.h"

namespace fs = std::filesystem;

namespace {

class DirSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = test::make_scratch_dir("hostcore-dir");
        ASSERT_FALSE(dir_.empty());
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    static void touch(const std::string& rel) {
        fs::path p(rel);
        if (p.has_parent_path()) fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
    }
    // Every name fnd1st/fndnxt return for the pattern, in order; the search
    // then stays ended (a failed fnd1st leaves none open either).
    static std::vector<std::string> find_all(const char* pattern) {
        std::vector<std::string> names;
        file_info info;
        std::memset(&info, 0x5A, sizeof info);  // the module's record is not cleared
        for (int found = fnd1st(&info, pattern, 0); found; found = fndnxt(&info)) {
            names.emplace_back(info.name);
            if (names.size() > 100) break;  // a search that never ends
        }
        EXPECT_EQ(fndnxt(&info), 0) << pattern;
        return names;
    }
    std::string dir_;
    fs::path previous_;
};

using Names = std::vector<std::string>;

TEST_F(DirSearch, MatchesIgnoringCaseSortedOnlyEightDotThreeFilesAndSideBySide) {
    for (const char* name :
         {"QHYVIGMS/ZED.LOR", "QHYVIGMS/cave.lor", "QHYVIGMS/Abbey.Lor", "QHYVIGMS/NOTES.TXT",
          "Deep/Er/ONE.LOR", "ZMBVIGMS.TXT", "ZMBVIGMS.DAT", "OTHER.TXT", "D/LONGNAME1.LOR",
          "D/GOOD.LORD", "D/TWO.DOTS.LOR", "D/.HIDDEN", "D/EIGHTCHR.LOR", "D/NOEXT"})
        touch(name);
    fs::create_directories("D/SUBDIR.LOR");  // folders are not files
    const std::string overlong = std::string(300, 'a') + "/*.LOR";
    const std::pair<const char*, Names> searches[] = {
        {"QHYVIGMS\\*.LOR", {"Abbey.Lor", "cave.lor", "ZED.LOR"}},
        {"qhyvigms/c?ve.*", {"cave.lor"}},
        {"deep\\ER\\*.LOR", {"ONE.LOR"}},
        {"zmbvigms.*", {"ZMBVIGMS.DAT", "ZMBVIGMS.TXT"}},  // no folder: the current one
        // Not 9 before the dot, 4 after it, a second dot or nothing before it.
        {"D/*.LOR", {"EIGHTCHR.LOR"}},
        {"D/*.*", {"EIGHTCHR.LOR", "NOEXT"}},
        {"D/*", {"EIGHTCHR.LOR", "NOEXT"}},
        {"QHYVIGMS\\*.BAK", {}},
        {"NOWHERE\\*.LOR", {}},
        {"QHYVIGMS\\", {}},
        {"", {}},
        {overlong.c_str(), {}},
    };
    for (const auto& [pattern, expected] : searches)
        EXPECT_EQ(find_all(pattern), expected) << pattern;
    file_info first, second;
    std::memset(&first, 0, sizeof first);
    EXPECT_EQ(fndnxt(&first), 0) << "no search begun";
    // Two searches side by side; an ended one stays ended when a file comes.
    ASSERT_EQ(fnd1st(&first, "D\\*", 0), 1);
    ASSERT_EQ(fnd1st(&second, "Deep\\Er\\*.LOR", 0), 1);
    EXPECT_STREQ(first.name, "EIGHTCHR.LOR");
    EXPECT_STREQ(second.name, "ONE.LOR");
    ASSERT_EQ(fndnxt(&first), 1);
    EXPECT_STREQ(first.name, "NOEXT");
    EXPECT_EQ(fndnxt(&second), 0);
    EXPECT_EQ(fndnxt(&first), 0);
    touch("D/ZZZ.LOR");
    EXPECT_EQ(fndnxt(&first), 0);
}

// The host reuses a listing while the folder is unchanged; a change in the
// middle of a search (once the folder is old enough for its times to tell)
// is seen by the next call, as it would be by a fresh listing.
TEST_F(DirSearch, AChangeInTheMiddleOfASearchIsSeen) {
    struct Row {
        const char* change;
        void (*apply)();
        Names expected;
    };
    const Row rows[] = {
        {"added", [] { touch("D/C.LOR"); }, {"A.LOR", "C.LOR", "D.LOR", "E.LOR"}},
        {"removed", [] { fs::remove("D/D.LOR"); }, {"A.LOR", "E.LOR"}},
        {"became a folder",
         [] {
             fs::remove("D/D.LOR");
             fs::create_directories("D/D.LOR");
         },
         {"A.LOR", "E.LOR"}},
    };
    for (const Row& row : rows) {
        fs::remove_all("D");
        for (const char* name : {"D/A.LOR", "D/D.LOR", "D/E.LOR"})
            touch(name);
        // Older than the clock's coarseness: the first listing is kept.
        usleep(150'000);
        file_info info;
        Names names;
        for (int found = fnd1st(&info, "D\\*.LOR", 0); found; found = fndnxt(&info)) {
            names.emplace_back(info.name);
            if (names.size() == 1) row.apply();
            if (names.size() > 10) break;
        }
        EXPECT_EQ(names, row.expected) << row.change;
    }
}

}  // namespace
