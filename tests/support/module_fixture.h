// The one fixture of the module's scenario tests: a scratch world, the test
// host with the real zmb_vorn.so, and the player Ardo on channel 1, to whom
// scripts are handed straight through the run driver; and Visit, a small
// world of five places for whole visits from the game's hand-over.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>

#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "module/data/module_state.h"
#include "server/core/host_core.h"
#include "tests/support/session.h"

namespace test {

namespace sub = zmb::sub;

inline constexpr int kChannel = 1;
inline constexpr const char* kScriptPath = "QHYVIGMS\\CAVE.LOR";
inline constexpr const char* kScriptFile = "QHYVIGMS/CAVE.LOR";
inline constexpr const char* kHeader = "Vorn IGM Script: The Cave\n";
inline constexpr const char* kEndText = "\nPlease press <enter> to continue: ";

// While one lives, the files named are read-only and file checks are made
// as "nobody" (root ignores modes), the world's folders opened for reading.
class ReadOnlyAsNobody {
  public:
    ReadOnlyAsNobody(const World& world, std::initializer_list<std::string_view> files) {
        namespace fs = std::filesystem;
        for (std::string_view file : files)
            fs::permissions(world.dir() + "/" + std::string(file),
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        const auto open_up = [](const fs::path& p) {
            fs::permissions(p, fs::perms::others_read | fs::perms::others_exec,
                            fs::perm_options::add);
        };
        for (const auto& entry : fs::recursive_directory_iterator(world.dir()))
            if (entry.is_directory()) open_up(entry.path());
        open_up(world.dir());
        previous_group_ = setfsgid(kNobody);
        previous_ = setfsuid(kNobody);
    }
    ~ReadOnlyAsNobody() {
        setfsuid(previous_);
        setfsgid(previous_group_);
    }
    ReadOnlyAsNobody(const ReadOnlyAsNobody&) = delete;
    ReadOnlyAsNobody& operator=(const ReadOnlyAsNobody&) = delete;

  private:
    static constexpr int kNobody = 65534;
    int previous_ = 0;
    int previous_group_ = 0;
};

// Ardo on channel 1, inside the module as a player of KXPVORN record 0.
class ScriptTest : public ::testing::Test {
  protected:
    World world;
    Host host{world};
    Player& p = host.player(kChannel);

    void SetUp() override {
        p.set_current_module(host.module_number());
        p.set(state::game_name, "KXPVORN\n");
        p.set(state::player_index, 0);
        p.set(state::player_name, "Ardo");
    }

    // QHYVIGMS/CAVE.LOR (header, then `body`) handed to the run driver.
    void start(std::string_view body, int return_substate = sub::kAfterScript) {
        world.write(kScriptFile, std::string(kHeader).append(body));
        p.run_script(kScriptPath, return_substate);
    }
    void start(std::initializer_list<std::string_view> each,
               int return_substate = sub::kAfterScript) {
        start(lines(each), return_substate);
    }
    // start(body), then every status until none is queued; the text shown.
    std::string run(std::string_view body) {
        start(body);
        return run();
    }

    // One status / every queued status / one status of `code` now: the text.
    std::string slice() {
        return shown_by([&] { host.pump_one(); });
    }
    std::string run() {
        return shown_by([&] { host.pump(); });
    }
    std::string status(int code) {
        return shown_by([&] { host::call_status(kChannel, code); });
    }

    // The registers: VAL1..VAL9 and STRING1..STRING6.
    int32_t val(int n) const { return p.get(state::value(n)); }
    void set_val(int n, int32_t v) { p.set(state::value(n), v); }
    std::vector<int32_t> vals() const {
        std::vector<int32_t> all;
        for (int n = 1; n <= 9; ++n)
            all.push_back(val(n));
        return all;
    }
    std::string str(int n) const { return p.get(state::string(n)); }
    void set_str(int n, std::string_view s) { p.set(state::string(n), s); }
    std::vector<std::string> strs() const {
        std::vector<std::string> all;
        for (int n = 1; n <= 6; ++n)
            all.push_back(str(n));
        return all;
    }
    // A new visit: the one-reward-per-visit flag is down again.
    void new_visit() { p.set(state::reward_given, 0); }

  private:
    template <typename Deliver>
    std::string shown_by(Deliver deliver) {
        const size_t before = p.screen().size();
        deliver();
        return strip_ansi(std::string_view(p.screen()).substr(before));
    }
};

// ---- whole visits ----

inline constexpr std::time_t kClock = 1700000000;  // a fixed mid-November day

// Five places P1.LOR..P5.LOR on the menu (in that order), the player Ardo at
// record 0 of KXPVORN, a fixed clock; the host starts with start().
struct Visit {
    World world;
    std::unique_ptr<Host> host;

    Visit() {
        set_time(kClock);
        const char* names[] = {"one", "two", "three", "four", "five"};
        for (int n = 1; n <= 5; ++n) {
            const std::string file = std::string("P").append(std::to_string(n)).append(".LOR");
            world.script(file, names[n - 1],
                         {std::string("`2Place ") + names[n - 1], file,
                          std::string("`2You reach place ").append(std::to_string(n)).append(".")});
        }
        world.player("KXPVORN", 0, PlayerBytes().name("Ardo").gold(500));
    }
    // The module loaded, the game's entry after its own in IGMLIST.DAT.
    Host& start(int channels = 8) {
        host = std::make_unique<Host>(world, channels);
        host->register_game_entry("KXPVORN");
        return *host;
    }
    // start(), `used` trips today, Ardo (holding `key`) arrived on channel 1.
    Player& at_menu(int16_t used = 0, std::string_view key = "") {
        start();
        world.ledger_record("ZMBVIGMS.SV1", 0, used, today());
        Player& p = host->player(1);
        if (!key.empty()) p.grant_key(key);
        p.arrive();
        p.clear_screen();
        return p;
    }
    // at_menu(0, key), then into the sysop menu with "S".
    Player& at_sysop_menu(std::string_view key = "SYSOP") {
        Player& p = at_menu(0, key);
        p.say("S");
        EXPECT_EQ(p.substate(), sub::kSysopMenu);
        return p;
    }
    // The day value the module uses today: a fresh ledger holds it.
    uint16_t today() const { return world.ledger_record("ZMBVIGMS.SV3", 499).second; }
    int16_t trips_in_ledger(int index = 0) const {
        return world.ledger_record("ZMBVIGMS.SV1", index).first;
    }
};

}  // namespace test
