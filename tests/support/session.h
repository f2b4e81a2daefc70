// Test support that reads like a player's session (a world folder, the host
// with the real zmb_vorn.so, players on channels), and the fixtures ScriptTest
// (scripts handed straight to the run driver) and Visit (whole visits).
#pragma once

#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "include/host_interface.h"
#include "include/record_layout.h"
#include "module/data/module_state.h"
#include "server/core/host_core.h"
#include "tests/support/shared.h"

namespace test {

namespace pl = zmb::player;
namespace state = zmb::state;
namespace sub = zmb::sub;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// The module's rand, srand and time land here: queued values first, then a
// fixed generator; a World's end resets all of it.
void queue_rand(const std::vector<int>& values);
void clear_rand();
const std::vector<unsigned>& srand_seeds();  // every seed given, in order
void set_time(std::time_t t);                // also the host clock (today, now)
void set_local_time(int year, int month, int day, int hour, int minute);
void advance_time(int seconds);
void reset_random_and_time();

// The binary's own write and rename: once armed, the n-th such call (1: the
// next) kills the process with SIGKILL before it takes effect, as kill -9
// or a power cut at that moment would.
enum class FileCall { kWrite, kRename };
void kill_at(FileCall call, int nth);

// Lines joined, each with its line end.
std::string lines(std::initializer_list<std::string_view> each);

// A 248-byte player record built field by field (offsets pinned by
// record_offsets_test.cpp).
class PlayerBytes {
  public:
    PlayerBytes();  // name "Tester", level 1, 10/20 hit points, opaque bytes 0xA5
    PlayerBytes& name(std::string_view n);  // sets name_length too
    PlayerBytes& name_length(uint8_t n) { return put(pl::name_length, n); }
    PlayerBytes& hit_points(int16_t v) { return put(pl::hit_points, v); }
    PlayerBytes& max_hit_points(int16_t v) { return put(pl::max_hit_points, v); }
    PlayerBytes& weapon(std::string_view s) { return put(pl::weapon_name, s); }
    PlayerBytes& armour(std::string_view s) { return put(pl::armour_name, s); }
    PlayerBytes& forest_fights(int16_t v) { return put(pl::forest_fights, v); }
    PlayerBytes& player_fights(int16_t v) { return put(pl::player_fights, v); }
    PlayerBytes& gold(int32_t v) { return put(pl::gold, v); }
    PlayerBytes& bank(int32_t v) { return put(pl::bank, v); }
    PlayerBytes& defence(int16_t v) { return put(pl::defence, v); }
    PlayerBytes& strength(int16_t v) { return put(pl::strength, v); }
    PlayerBytes& charm(int16_t v) { return put(pl::charm, v); }
    PlayerBytes& level(int16_t v) { return put(pl::level, v); }
    PlayerBytes& gems(int16_t v) { return put(pl::gems, v); }
    PlayerBytes& experience(int32_t v) { return put(pl::experience, v); }
    PlayerBytes& sex(uint8_t v) { return put(pl::sex, v); }
    PlayerBytes& player_class(uint8_t v) { return put(pl::player_class, v); }
    PlayerBytes& horse(int16_t v) { return put(pl::horse, v); }
    PlayerBytes& skills(uint8_t dk, uint8_t my, uint8_t th) {
        return put(pl::death_knight_skill, dk)
            .put(pl::mystical_skill, my)
            .put(pl::thieving_skill, th);
    }
    PlayerBytes& uses(uint8_t dk, uint8_t my, uint8_t th) {
        return put(pl::death_knight_uses, dk).put(pl::mystical_uses, my).put(pl::thieving_uses, th);
    }
    std::array<uint8_t, 248> bytes{};

  private:
    template <typename Field, typename Value>
    PlayerBytes& put(Field f, Value v) {
        zmb::set(bytes.data(), f, v);
        return *this;
    }
    PlayerBytes& put(zmb::TextField f, std::string_view s) {
        std::fill_n(&bytes[f.at], f.size, uint8_t{0});
        zmb::set_text(bytes.data(), f, s);
        return *this;
    }
};

// A scratch folder the module runs in.
class World {
  public:
    World();   // creates a fresh scratch folder and makes it the working directory
    ~World();  // goes back and removes it
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    const std::string& dir() const { return dir_; }
    void write(std::string_view rel, std::string_view bytes);
    std::string read(std::string_view rel) const;  // "" when missing
    bool exists(std::string_view rel) const { return std::filesystem::exists(std::string(rel)); }
    void remove(std::string_view rel) { std::filesystem::remove_all(std::string(rel)); }
    void mkdir(std::string_view rel) { std::filesystem::create_directories(std::string(rel)); }

    // QHYVIGMS/<name>: "Vorn IGM Script: <title>\n", then the lines.
    void script(std::string_view name, std::string_view title,
                std::initializer_list<std::string_view> each);
    // Writes record `index` of <game>/PLAYER.DAT (the file grows as needed).
    void player(std::string_view game, int index, const PlayerBytes& record);
    std::array<uint8_t, 248> player_record(std::string_view game, int index) const;
    // 4-byte record `index` of a ledger: trips used and day.
    void ledger_record(std::string_view ledger, int index, int16_t trips, uint16_t day);
    std::pair<int16_t, uint16_t> ledger_record(std::string_view ledger, int index) const;

  private:
    void write_at(std::string_view rel, size_t offset, const uint8_t* bytes, size_t size);
    std::string dir_;
    std::string previous_;
};

class Host;

// One user on one channel.
class Player {
  public:
    Player(Host& host, int channel) : host_(host), channel_(channel) {}

    // TEMP<channel>.TMP "<game>\n<index>\n", module current, sub-state 0, the
    // first line typed (the arrival), pumped until quiet.
    void arrive(std::string_view game = "KXPVORN", int index = 0);
    // Hands a script to the run driver as the loader leaves it (sub-state 4,
    // status 240 queued, nothing pumped).
    void run_script(std::string_view path, int return_substate = 7);
    void set_record(const PlayerBytes& record);

    int type(std::string_view line) { return host::type_line(channel_, line); }  // input's result
    std::string say(std::string_view line);  // shown_by(type, then pump until quiet)
    template <typename Deliver>  // runs `deliver`; the text (ANSI removed) shown meanwhile
    std::string shown_by(Deliver deliver) {
        const size_t before = screen_.size();
        deliver();
        return strip_ansi(std::string_view(screen_).substr(before));
    }

    std::string screen() const { return screen_; }  // every byte sent so far
    std::string text() const { return strip_ansi(screen_); }
    std::string take() { return std::exchange(screen_, {}); }  // screen, then forget it
    void clear_screen() { screen_.clear(); }
    void receive(std::string_view bytes) { screen_.append(bytes); }  // the host's output sink

    int substate() const { return host::user(channel_).shared.substate; }
    void set_substate(int s) { host::user(channel_).shared.substate = s; }
    int current_module() const { return host::user(channel_).shared.current_module; }
    void set_current_module(int m) { host::user(channel_).shared.current_module = m; }
    void set_age(uint8_t age) { host::account(channel_).shared.age = age; }
    void grant_key(std::string_view key) { host::account(channel_).keys.emplace_back(key); }

    // The per-user area (724 bytes) and its fields (record_layout.h). A
    // text is read up to its NUL even past its field, so an overrun shows.
    uint8_t* area() const;
    template <typename Field>
    auto get(Field f) const {
        return zmb::get(area(), f);
    }
    std::string get(zmb::TextField f) const;
    template <typename Field, typename Value>
    requires(!std::is_same_v<Field, zmb::TextField>) void set(Field f, Value v) {
        zmb::set(area(), f, v);
    }
    void set(zmb::TextField f, std::string_view s) {  // the whole field cleared first
        std::fill_n(area() + f.at, f.size, uint8_t{0});
        zmb::set_text(area(), f, s);
    }
    int32_t area_i32(size_t offset) const { return get(zmb::I32Field{offset}); }
    void set_area_i32(size_t offset, int32_t v) { set(zmb::I32Field{offset}, v); }

  private:
    Host& host_;
    int channel_;
    std::string screen_;
};

// The host core with the real module loaded and its start-up run.
class Host {
  public:
    // A stand-in game module (its statuses recorded), then zmb_vorn.so.
    explicit Host(World& world, int channels = 8, std::string_view module_name = "");
    ~Host();

    Player& player(int channel);
    int module_number() const { return module_number_; }
    int game_module_number() const { return game_number_; }
    void register_game_entry();  // appends the stand-in game's entry to IGMLIST.DAT

    bool pump_one() { return host::deliver_next_status(); }  // false when none was queued
    // Until none is queued (at most 10000, so that a runaway script ends).
    void pump() {
        for (int n = 0; n < 10000 && host::deliver_next_status(); ++n) {
        }
    }
    size_t pending() const { return host::pending_statuses(); }

    // Statuses the stand-in game received: (channel, code).
    const std::vector<std::pair<int, int>>& game_statuses() const { return game_statuses_; }
    void record_game_status(int channel, int code) { game_statuses_.emplace_back(channel, code); }
    std::string console() const;  // what the module showed on the host console

    template <typename F>  // an export of the module, nullptr when missing
    F* fn(const char* name) const {
        return handle_ ? reinterpret_cast<F*>(dlsym(handle_, name)) : nullptr;
    }

  private:
    World& world_;
    void* handle_ = nullptr;
    int module_number_ = -1;
    int game_number_ = -1;
    size_t console_start_ = 0;  // console lines before this Host are not its own
    std::vector<std::pair<int, int>> game_statuses_;
    std::map<int, std::unique_ptr<Player>> players_;
};

// ---- the fixtures ----

inline constexpr int kChannel = 1;
inline constexpr const char* kScriptPath = "QHYVIGMS\\CAVE.LOR";
inline constexpr const char* kScriptFile = "QHYVIGMS/CAVE.LOR";
inline constexpr const char* kHeader = "Vorn IGM Script: The Cave\n";
inline constexpr const char* kEndText = "\nPlease press <enter> to continue: ";
inline const std::string kPrompt = "Your Command, Ardo? : ";
inline const std::string kInvalid = "That isn't a valid option. Try something else.\n";

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
        return p.shown_by([&] { host.pump_one(); });
    }
    std::string run() {
        return p.shown_by([&] { host.pump(); });
    }
    std::string status(int code) {
        return p.shown_by([&] { host::call_status(kChannel, code); });
    }

    // The registers: VAL1..VAL9 and STRING1..STRING6.
    int32_t val(int n) const { return p.get(state::value(n)); }
    void set_vals(std::initializer_list<int32_t> each) {  // VAL1 onwards
        int n = 0;
        for (int32_t v : each)
            p.set(state::value(++n), v);
    }
    std::vector<int32_t> vals() const {
        std::vector<int32_t> all;
        for (int n = 1; n <= 9; ++n)
            all.push_back(val(n));
        return all;
    }
    std::string str(int n) const { return p.get(state::string(n)); }
    void set_str(int n, std::string_view s) { p.set(state::string(n), s); }
    void set_strs(std::initializer_list<std::string_view> each) {  // STRING1 onwards
        int n = 0;
        for (std::string_view s : each)
            set_str(++n, s);
    }
    std::vector<std::string> strs() const {
        std::vector<std::string> all;
        for (int n = 1; n <= 6; ++n)
            all.push_back(str(n));
        return all;
    }
    // A new visit: the one-reward-per-visit flag is down again.
    void new_visit() { p.set(state::reward_given, 0); }
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
        host->register_game_entry();
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
    // at_menu(0, "SYSOP"), then into the sysop menu with "S".
    Player& at_sysop_menu() {
        Player& p = at_menu(0, "SYSOP");
        p.say("S");
        EXPECT_EQ(p.substate(), sub::kSysopMenu);
        return p;
    }
    // The day value the module uses today: a fresh ledger holds it.
    uint16_t today() const { return world.ledger_record("ZMBVIGMS.SV3", 499).second; }
    int16_t trips_in_ledger() const { return world.ledger_record("ZMBVIGMS.SV1", 0).first; }
};

}  // namespace test
