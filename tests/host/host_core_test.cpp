// The host core without a plug-in: status queue, areas and memory, accounts, typed lines,
// output buffer, module table and loading, directory search, log, text helpers, the clock.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "server/core/host_core.h"
#include "tests/support/shared.h"

namespace {

namespace fs = std::filesystem;

// ---- a recording module: the statuses and the lines it is given ----

using Calls = std::vector<std::pair<int, int>>;  // (usrnum, status)
Calls delivered, requeue;                        // requeue: statuses to queue during the next call
bool nested_delivery = false;
// On wait_call's channel the recorder waits for the clock: its status call
// queues the status again and, unless told otherwise, changes nothing.
struct WaitCall {
    int channel = -1;
    bool output = false, area = false, substate = false;
} wait_call;

void recording_status() {
    delivered.emplace_back(usrnum, status);
    // A queued status must never be delivered inside this call.
    nested_delivery = nested_delivery || host::deliver_next_status();
    if (!requeue.empty()) prf("busy");  // a script at work, not one waiting for the clock
    if (usrnum == wait_call.channel) {
        btuinj(usrnum, status);
        if (wait_call.output) prf("tick");
        if (wait_call.area) ++vdaptr[700];
        if (wait_call.substate) ++usrptr->substate;
    }
    outprf(usrnum);
    for (auto [ch, code] : requeue)
        btuinj(ch, code);
    requeue.clear();
}

using Words = std::vector<std::string>;  // of a line, or names found

// What the input routine saw: the words, then the line after rstrin.
struct Seen {
    int channel = -1;
    Words words;
    std::string first_word_in_input;  // input before rstrin (up to the first NUL)
    std::string joined;               // input after rstrin
    std::string past_last_word;       // margv[margc]
} seen;
int input_result = 1;

int recording_input() {
    seen.channel = usrnum;
    seen.words.assign(margv, margv + margc);
    seen.past_last_word = margv[margc] ? margv[margc] : "(null)";
    seen.first_word_in_input = input;
    rstrin();
    seen.joined = input;
    return input_result;
}

module_descriptor recorder = {"recorder", nullptr, recording_input, recording_status, nullptr,
                              nullptr,    nullptr, nullptr,         nullptr,          nullptr};
module_descriptor other = {"other", nullptr, nullptr, recording_status, nullptr,
                           nullptr, nullptr, nullptr, nullptr,          nullptr};

class Core : public ::testing::Test {
  protected:
    void SetUp() override {
        host::init(4);
        number_ = host::add_module(&recorder, "RECORDER");
        for (int ch = 0; ch < 4; ++ch)
            host::user(ch).shared.current_module = number_;
        delivered.clear();
        requeue.clear();
        nested_delivery = false;
        wait_call = {};
        seen = {};
        input_result = 1;
        ASSERT_FALSE(dir_.empty());
        fs::current_path(dir_);  // for the file tests
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    int number_ = 0;
    const std::string dir_ = test::make_scratch_dir("hostcore");
    const fs::path previous_ = fs::current_path();
};

int pump() {
    int n = 0;
    while (host::deliver_next_status() && n < 1000)
        ++n;
    return n;
}

// Many channels, some held for a while and one dropped and queued again:
// every channel's statuses come in order, channels take turns in the order
// their first status came, and no channel gets its n+1-th turn while
// another that is not held still waits for its n-th.
TEST_F(Core, ManyChannelsTakeFairTurnsEachInItsOwnOrder) {
    constexpr int kChannels = 40;
    host::init(kChannels);
    constexpr size_t total = kChannels / 4 * (1 + 2 + 3 + 4);
    for (int ch = 0; ch < kChannels; ++ch)
        host::user(ch).shared.current_module = number_;
    for (int turn = 0; turn < 4; ++turn)
        for (int ch = kChannels - 1; ch >= 0; --ch)
            if (turn <= ch % 4) btuinj(ch, turn);  // channel ch queues ch % 4 + 1 statuses
    host::drop_statuses(7);  // its four go while it is listed; one comes again
    btuinj(7, 0);
    EXPECT_TRUE(delivered.empty()) << "btuinj only queues";
    EXPECT_EQ(host::pending_statuses(7), 1u);
    EXPECT_EQ(host::pending_statuses(), total - 3);

    auto held = [](int ch) { return ch % 5 == 0; };
    for (int ch; (ch = host::deliver_next_status_except(held)) >= 0;)
        EXPECT_EQ(ch, delivered.back().first) << "the channel served is the one reported";
    const size_t first_phase = delivered.size();
    while (host::deliver_next_status()) {
    }
    EXPECT_EQ(host::pending_statuses(), 0u);
    ASSERT_EQ(delivered.size(), total - 3);

    std::vector<int> turns(kChannels, 0);
    for (size_t i = 0; i < delivered.size(); ++i) {
        auto [ch, turn] = delivered[i];
        EXPECT_EQ(turn, turns[ch]++) << "channel " << ch << " out of order";
        EXPECT_EQ(held(ch), i >= first_phase) << "channel " << ch << " at " << i;
        if (i == 0 || i == first_phase) continue;
        const auto [before, before_turn] = delivered[i - 1];
        EXPECT_GE(turn, before_turn) << "channel " << ch << " out of turn";
        // In a round, channels follow their first statuses: from 39 down.
        if (turn == before_turn && i < first_phase) {
            EXPECT_LT(ch, before) << "channel " << ch << " out of its place in the round";
        }
    }
}

// Only a call that changed nothing makes its channel sleep, and it sleeps
// until the clock's next second, its user's next line or output to it.
TEST_F(Core, AChannelWaitingForTheClockSleepsUntilTheNextSecondALineOrOutput) {
    dclvda(724);
    const struct {
        const char* what;
        WaitCall call;
        void (*wake)();
    } rows[] = {
        {"silent, the clock moves", {.channel = 1}, [] { host::set_clock(1001); }},
        {"silent, a line typed", {.channel = 1}, [] { host::type_line(1, "hello"); }},
        {"silent, output sent",
         {.channel = 1},
         [] {
             prf("page");
             outprf(1);
         }},
        {"output", {.channel = 1, .output = true}, nullptr},
        {"area", {.channel = 1, .area = true}, nullptr},
        {"sub-state", {.channel = 1, .substate = true}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        host::set_clock(1000);
        host::init(4);
        for (int ch : {1, 2})
            host::user(ch).shared.current_module = number_;
        wait_call = row.call;
        btuinj(1, 240);
        btuinj(2, 7);
        ASSERT_EQ(pump(), row.wake ? 2 : 1000);
        EXPECT_EQ(host::pending_statuses(), 1u);
        EXPECT_EQ(host::sleeping_channels(), row.wake ? 1u : 0u);
        if (!row.wake) continue;
        row.wake();
        EXPECT_EQ(host::deliver_next_status_except(nullptr), 1);
        EXPECT_FALSE(host::deliver_next_status()) << "asleep again within the second";
    }
    host::clear_clock();
}

TEST_F(Core, StatusGoesToTheCurrentModuleAfterAnyQueuedBeforeAndDroppedOrUnknownOnesGetNone) {
    int second = host::add_module(&other, "OTHER");
    host::user(2).shared.current_module = 0;  // no module: dropped
    btuinj(2, 3);
    host::user(3).shared.current_module = second;
    btuinj(3, 3);
    btuinj(1, 5);
    host::drop_statuses(1);
    btuinj(99, 240);
    btuinj(-1, 240);
    btuinj(0, 9);
    // Channel 3 queues again during its call, as a running script does: the
    // status comes after the call and after channel 0's.
    requeue = {{3, 4}};
    EXPECT_EQ(pump(), 4);
    EXPECT_FALSE(nested_delivery) << "a status was delivered inside a module call";
    EXPECT_EQ(delivered, (Calls{{3, 3}, {0, 9}, {3, 4}}));
    EXPECT_EQ(status, 4);
}

TEST_F(Core, AreasTakeTheLargestDeclarationGrowZeroedVdaptrFollowsAndAlcmemBlocksStay) {
    dclvda(16);
    ASSERT_GE(host::user_area_size(), 16u);
    size_t base = host::user_area_size();
    std::memset(host::user_area(1), 0x77, base);
    dclvda(base / 2);  // smaller: no change
    EXPECT_EQ(host::user_area_size(), base);
    dclvda(base + 724);
    ASSERT_EQ(host::user_area_size(), base + 724);
    for (size_t i = 0; i < base + 724; ++i) {
        ASSERT_EQ(host::user_area(1)[i], i < base ? 0x77 : 0) << "byte " << i;  // old bytes stay
        ASSERT_EQ(host::user_area(2)[i], 0);
    }
    // vdaptr follows the selected channel and its area.
    host::select_channel(2);
    EXPECT_EQ(vdaptr, host::user_area(2));
    dclvda(host::user_area_size() + 100000);  // a reallocation moves the areas
    EXPECT_EQ(vdaptr, host::user_area(2));
    host::call_status(3, 7);
    EXPECT_EQ(vdaptr, host::user_area(3));
    EXPECT_EQ(usrnum, 3);
    // alcmem gives zeroed blocks that stay.
    auto* a = static_cast<unsigned char*>(alcmem(1048));
    auto* b = static_cast<unsigned char*>(alcmem(275));
    ASSERT_TRUE(a && b);
    ASSERT_EQ(std::count(a, a + 1048, 0), 1048);
    std::memset(a, 1, 1048);  // the whole block is usable
    EXPECT_TRUE(b + 275 <= a || a + 1048 <= b);
    EXPECT_NE(alcmem(0), nullptr);
}

TEST_F(Core, HaskeyLooksAtTheCurrentUsersKeysIgnoringCase) {
    host::account(1).keys = {"SYSOP", "Gamer"};
    host::account(0).keys = {""};  // an empty key is never held, even when listed
    host::select_channel(1);
    EXPECT_TRUE(haskey("sysop"));
    EXPECT_TRUE(haskey("GAMER"));
    EXPECT_FALSE(haskey("SYS"));
    EXPECT_FALSE(haskey(nullptr));
    host::select_channel(2);
    EXPECT_FALSE(haskey("SYSOP"));
    host::select_channel(0);
    EXPECT_FALSE(haskey(""));
}

TEST_F(Core, TypedLinesAreSplitAtBlanksRstrinGivesThemBackAndTheResultReturns) {
    std::string many_words;
    for (int i = 0; i < host::kMaxWords + 10; ++i)
        many_words += "w ";
    std::string long_line(10000, 'x');
    long_line[5] = ' ';
    const std::string cut(host::kInputSize - 1 - 6, 'x');  // the rest of the input buffer
    const struct {
        std::string typed;
        Words words = {};
        std::string joined = "";
    } cases[] = {
        // Runs of blanks and the trailing blank are kept by rstrin.
        {"buy  3   swords ", {"buy", "3", "swords"}, "buy  3   swords "},
        // Leading blanks and control characters go.
        {"   \x1b[Ahel\tlo\x7f world\r\n", {"[Ahello", "world"}, "[Ahello world"},
        // Nothing but blanks and line ends: no words.
        {""},
        {"     "},
        {"\r\n"},
        {" \t "},
        {"caf\xe9 \xfe", {"caf\xe9", "\xfe"}, "caf\xe9 \xfe"},  // bytes above 127 stay
        {long_line, {"xxxxx", cut}, "xxxxx " + cut},
        // Words beyond the limit stay in the line.
        {many_words, Words(host::kMaxWords, "w"), many_words},
    };
    host::account(2).shared.age = 44;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 40));
        EXPECT_EQ(host::type_line(2, c.typed), 1);
        EXPECT_EQ(seen.channel, 2);  // the channel selected for the call
        EXPECT_EQ(usrptr, &host::user(2).shared);
        EXPECT_EQ(usaptr->age, 44);
        EXPECT_EQ(seen.words, c.words);
        EXPECT_EQ(seen.first_word_in_input, c.words.empty() ? "" : c.words[0]);  // split in place
        EXPECT_EQ(seen.joined, c.joined);
        EXPECT_EQ(seen.past_last_word, "");  // margv[margc] is always a valid ""
    }
    input_result = 0;
    EXPECT_EQ(host::type_line(3, "bye"), 0);  // the input routine's result
    seen = Seen{};
    for (int module : {0, 999}) {
        host::user(1).shared.current_module = module;
        EXPECT_EQ(host::type_line(1, "hello"), -1) << "no input routine in module " << module;
    }
    EXPECT_EQ(seen.channel, -1) << "an input routine was called";
}

TEST_F(Core, PrfCollectsWithoutLimitAndOutprfSendsToOneChannel) {
    std::vector<std::pair<int, std::string>> sent;
    host::set_output_sink(
        [&](int ch, std::string_view bytes) { sent.emplace_back(ch, std::string(bytes)); });
    prf("Hello %s, ", "Ardo");
    prf("%d gold%c", 42, '\n');
    outprf(2);
    outprf(2);  // the buffer was emptied: nothing more is sent
    prf("dropped");
    clrmlt();
    prf("%s", "%d %s %n");  // data, not a format
    outprf(1);
    std::string line(5000, 'a');
    prf("%s|%s", line.c_str(), line.c_str());
    for (int i = 0; i < 100; ++i)
        prf("%03d", i);
    outprf(0);
    host::set_output_sink(nullptr);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], (std::pair<int, std::string>{2, "Hello Ardo, 42 gold\n"}));
    EXPECT_EQ(sent[1], (std::pair<int, std::string>{1, "%d %s %n"}));
    EXPECT_EQ(sent[2].second.size(), 10001u + 300u) << "long output is never cut";
    EXPECT_EQ(sent[2].second.substr(4998, 5), "aa|aa");
    EXPECT_EQ(sent[2].second.substr(10301 - 6), "098099");
}

TEST_F(Core, ModuleNumbersGmdnamALibraryWithoutInitAndStampedLogLines) {
    int a = host::add_module(&other, "A");
    int b = host::add_module(&other, "B");
    EXPECT_GT(number_, 0);
    EXPECT_EQ(a, number_ + 1);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(host::module_count(), b);
    ASSERT_NE(host::module(a), nullptr);
    EXPECT_EQ(host::module(a)->descriptor, &other);
    EXPECT_EQ(host::module(a)->name, "A");
    EXPECT_EQ(host::module(0), nullptr);
    EXPECT_EQ(host::module(b + 1), nullptr);

    EXPECT_STREQ(gmdnam("OTHER.MDF"), "OTHER");
    host::set_definition_name("ZMB_VORN.MDF", "Far Reaches");
    EXPECT_STREQ(gmdnam("zmb_vorn.mdf"), "Far Reaches");
    host::set_definition_name("zmb_vorn.MDF", "Renamed");
    EXPECT_STREQ(gmdnam("ZMB_VORN.MDF"), "Renamed");

    // A library without the init function is refused: the C library, where
    // the loader found it. A missing or broken file is igmhost's start-up test's.
    std::string error;
    void* libc = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
    link_map* map = nullptr;
    ASSERT_TRUE(libc && dlinfo(libc, RTLD_DI_LINKMAP, &map) == 0) << dlerror();
    EXPECT_EQ(host::load_module(map->l_name, &error, "zmb_vorn"), -1);
    EXPECT_NE(error.find("init__zmb_vorn"), std::string::npos) << error;

    // What a module says at start-up, and the host's own log: one stamped line each.
    std::vector<std::string> lines;
    host::set_log_sink([&](std::string_view line) { lines.emplace_back(line); });
    shocst("Igm \"Far Reaches\" installed.", "Initialized Successfully");
    host::log("two\nlines %d", 2);
    host::set_log_sink(nullptr);
    ASSERT_EQ(lines.size(), 2u);  // shocst's console line: the module's start-up test
    EXPECT_NE(lines[0].find("installed. Initialized Successfully"), std::string::npos);
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d two lines 2)");
    EXPECT_TRUE(std::regex_match(lines[1], stamped)) << lines[1];
}

// ---- directory search: DOS-style patterns in a scratch folder ----

void touch(const std::string& rel) {
    fs::path p(rel);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

// Every name fnd1st/fndnxt return for the pattern, in order, with `midway`
// run after the first; the search then stays ended (a failed fnd1st leaves
// none open either).
Words find_all(const char* pattern, void (*midway)() = nullptr) {
    Words names;
    file_info info;
    std::memset(&info, 0x5A, sizeof info);  // the module's record is not cleared
    for (int found = fnd1st(&info, pattern, 0); found; found = fndnxt(&info)) {
        names.emplace_back(info.name);
        if (names.size() == 1 && midway) midway();
        if (names.size() > 100) break;  // a search that never ends
    }
    EXPECT_EQ(fndnxt(&info), 0) << pattern;
    return names;
}

TEST_F(Core, SearchesMatchIgnoringCaseSortedOnlyEightDotThreeFilesSideBySideAndSeeChanges) {
    for (const char* name :
         {"QHYVIGMS/ZED.LOR", "QHYVIGMS/cave.lor", "QHYVIGMS/Abbey.Lor", "QHYVIGMS/NOTES.TXT",
          "Deep/Er/ONE.LOR", "ZMBVIGMS.TXT", "ZMBVIGMS.DAT", "OTHER.TXT", "D/LONGNAME1.LOR",
          "D/GOOD.LORD", "D/TWO.DOTS.LOR", "D/.HIDDEN", "D/EIGHTCHR.LOR", "D/NOEXT"})
        touch(name);
    fs::create_directories("D/SUBDIR.LOR");  // folders are not files
    const std::string overlong = std::string(300, 'a') + "/*.LOR";
    const std::pair<const char*, Words> searches[] = {
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

    // The host reuses a listing while the folder is unchanged; a change in the
    // middle of a search (once the folder is old enough for its times to tell)
    // is seen by the next call, as it would be by a fresh listing.
    const struct {
        const char* change;
        void (*apply)();
        Words expected;
    } rows[] = {
        {"added", [] { touch("D/C.LOR"); }, {"A.LOR", "C.LOR", "D.LOR", "E.LOR"}},
        {"removed", [] { fs::remove("D/D.LOR"); }, {"A.LOR", "E.LOR"}},
        {"became a folder",
         [] {
             fs::remove("D/D.LOR");
             fs::create_directories("D/D.LOR");
         },
         {"A.LOR", "E.LOR"}},
    };
    for (const auto& row : rows) {
        fs::remove_all("D");
        for (const char* name : {"D/A.LOR", "D/D.LOR", "D/E.LOR"})
            touch(name);
        // Older than the clock's coarseness: the first listing is kept.
        usleep(150'000);
        EXPECT_EQ(find_all("D\\*.LOR", row.apply), row.expected) << row.change;
    }
}

TEST(SameFamily, CompareIgnoringCaseWithTheirArgumentsInTheirOwnOrder) {
    using Pairs = std::vector<std::pair<const char*, const char*>>;
    const struct {
        const char* name;
        int (*compare)(const char*, const char*);
        Pairs same, different;
    } families[] = {
        // Null is the empty text; a line end is a character like any other.
        {"sameas",
         sameas,
         {{"KXPVORN", "kxpVorn"}, {"", ""}, {nullptr, ""}},
         {{"KXPVORN", "KXPVORN2"},
          {"KXPVORN2", "KXPVORN"},
          {"abc", "abd"},
          {"abc\n", "abc"},
          {nullptr, "a"}}},
        // sameto(prefix, text)
        {"sameto",
         sameto,
         {{"/go", "/GOTO:home"},
          {"", "anything"},
          {"vorn igm script: ", "Vorn IGM Script: Cave"},
          {nullptr, "a"}},
         {{"/GOTO:home", "/go"}, {"Vorn IGM Script: ", "Vorn IGM Script:"}}},
        // samend(text, suffix)
        {"samend",
         samend,
         {{"CAVE.LOR", ".lor"}, {"x", ""}, {"abc", "ABC"}},
         {{".lor", "CAVE.LOR"}, {"CAVE.LORD", ".lor"}}},
        // samein(needle, haystack), an overlapping start among them
        {"samein",
         samein,
         {{"KXPVORN2", "kxpvorn2\n"}, {"vorn", "KXPVORN"}, {"N3", "kxpvorn3"}, {"aab", "aaab"}},
         {{"KXPVORN", "KXPVOR"}, {"KXPVORN\n", "MYGAME\n"}, {"kxpvorn3", "vorn"}, {"a", nullptr}}},
    };
    for (const auto& f : families) {
        for (bool expected : {true, false}) {
            for (auto [a, b] : expected ? f.same : f.different)
                EXPECT_EQ(f.compare(a, b) != 0, expected)
                    << f.name << "(" << (a ? a : "null") << ", " << (b ? b : "null") << ")";
        }
    }
}

TEST(TextHelpers, SkpwhtDepadStzcpyAndL2asOnTheirEdges) {
    // skpwht skips blanks and tabs only, and stops at a line end.
    for (auto [text, skipped] : {std::pair{" \t \tword", 4}, {"  \nx", 2}, {"word", 0}, {"   ", 3}})
        EXPECT_EQ(skpwht(text), text + skipped) << text;
    // depad takes only blanks, and only at the end.
    for (auto [padded, depadded] : {std::pair<std::string, std::string>{"gold   ", "gold"},
                                    {"  two words \t ", "  two words \t"},
                                    {"    ", ""}}) {
        EXPECT_EQ(depad(padded.data()), padded.data());
        EXPECT_STREQ(padded.c_str(), depadded.c_str());
    }
    // stzcpy copies at most n - 1 characters, terminates and writes nothing past n.
    using namespace std::string_literals;
    for (auto [from, n, written] :
         {std::tuple{"A module name of thirty chars!", 25, "A module name of thirty \0#"s},
          {"short", 25, "short\0#"s},
          {"abc", 1, "\0#"s},
          {"abc", 0, "#"s},
          {"abc", -5, "#"s}}) {
        char dst[32];
        std::memset(dst, '#', sizeof dst);
        EXPECT_EQ(stzcpy(dst, from, n), dst);
        EXPECT_EQ(std::string(dst, written.size()), written) << from << ", " << n;
    }
    for (long n : {0L, -1234567L, LONG_MAX, LONG_MIN})
        EXPECT_EQ(std::string(l2as(n)), std::to_string(n));
}

std::time_t local_noon(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

TEST(Clock, TodayCountsDaysSince1980NowPacksTheTimeAndTheirTextsShowThem) {
    const struct {
        int year, month, day;
        uint16_t today;
        const char* date;
    } days[] = {{1980, 1, 1, 0, "01/01/80"},
                {1980, 3, 1, 31 + 29, "03/01/80"},  // 1980 was a leap year
                {2024, 2, 28, 16129, "02/28/24"},
                {2024, 2, 29, 16130, "02/29/24"},
                {2024, 3, 1, 16131, "03/01/24"},
                {2031, 12, 31, 18992, "12/31/31"}};
    for (const auto& d : days) {
        host::set_clock(local_noon(d.year, d.month, d.day));
        EXPECT_EQ(today(), d.today) << d.date;
        EXPECT_STREQ(ncdate(d.today), d.date);
    }
    std::time_t noon = local_noon(2024, 7, 4);
    host::set_clock(noon + 3600 * 11 + 60 * 59 + 59);  // 23:59:59
    EXPECT_EQ(now(), 23 << 11 | 59 << 5 | 29);         // hours, minutes, seconds / 2
    EXPECT_STREQ(nctime(now()), "23:59:58");
    host::set_clock(noon - 12 * 3600 + 5 * 60 + 7);  // 00:05:07
    EXPECT_STREQ(nctime(now()), "00:05:06");
    EXPECT_STREQ(nctime(static_cast<uint16_t>(9 << 11 | 30 << 5 | 15)), "09:30:30");
    host::clear_clock();  // back to the real time
    EXPECT_LE(std::abs(host::clock_now() - std::time(nullptr)), 2);
}

}  // namespace
