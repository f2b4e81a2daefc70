// The test host: the host core with a stand-in game and the real plug-in, and
// the rand, srand, time, write and rename the module binds to (-rdynamic).
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>

#include "module/data/context.h"
#include "server/core/host_core.h"
#include "tests/support/session.h"

namespace fs = std::filesystem;

namespace test {
namespace {

// The Host whose stand-in game receives statuses (one at a time).
Host* current_host = nullptr;

module_descriptor game_descriptor = [] {
    module_descriptor d{};
    std::strcpy(d.description, "KXPVORN test game");
    d.input = [] { return 1; };
    d.status = [] {
        if (current_host) current_host->record_game_status(usrnum, status);
    };
    return d;
}();

// A zeroed stand-in for a per-user area the module never declared, so a
// test reads zeros and fails on its own checks instead of crashing.
uint8_t missing_area[zmb::kUserContextSize];

}  // namespace

// ---- Player ----

void Player::arrive(std::string_view game, int index) {
    std::ofstream("TEMP" + std::to_string(channel_) + ".TMP", std::ios::binary | std::ios::trunc)
        << game << "\n"
        << index << "\n";
    set_current_module(host_.module_number());
    set_substate(0);
    type("");
    host_.pump();
}

void Player::run_script(std::string_view path, int return_substate) {
    std::string file(path);
    std::replace(file.begin(), file.end(), '\\', '/');
    std::ifstream in(file, std::ios::binary);
    if (!in) ADD_FAILURE() << "run_script: cannot open " << path;
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    const size_t header_end = std::min(bytes.find('\n'), bytes.size());
    std::string title;  // after "Vorn IGM Script: ", control characters left out
    for (size_t i = 17; i < header_end && title.size() < 30; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 32) title += bytes[i];

    set(state::return_substate, static_cast<int16_t>(return_substate));
    set(state::script_file, path);
    set(state::script_title, title);
    for (auto f : {state::last_amount, state::loop_offset, state::return_offset, state::wait_until})
        set(f, 0);
    set(state::skip_mode, int16_t{0});
    set(state::end_offset, static_cast<int32_t>(bytes.size()));
    set(state::line_offset, static_cast<int32_t>(std::min(header_end + 1, bytes.size())));
    set_current_module(host_.module_number());
    set_substate(zmb::sub::kRunning);
    btuinj(channel_, zmb::kRunStatus);
}

void Player::set_record(const PlayerBytes& record) {
    std::memcpy(area(), record.bytes.data(), record.bytes.size());
}

std::string Player::say(std::string_view line) {
    return shown_by([&] {
        type(line);
        host_.pump();
    });
}

uint8_t* Player::area() const {
    if (host::user_area_size() < zmb::kUserContextSize) {
        ADD_FAILURE() << "the per-user area is " << host::user_area_size() << " bytes, not "
                      << zmb::kUserContextSize << " (did the module declare it?)";
        return missing_area;
    }
    return reinterpret_cast<uint8_t*>(host::user_area(channel_));
}

std::string Player::get(zmb::TextField f) const {
    const auto* at = reinterpret_cast<const char*>(area() + f.at);
    return std::string(at, strnlen(at, zmb::kUserContextSize - f.at));
}

// ---- Host ----

Host::Host(World& world, int channels, std::string_view module_name) : world_(world) {
    current_host = this;
    host::init(channels);
    for (int ch = 0; ch < channels; ++ch) {
        host::Account& a = host::account(ch);
        a.name = "Player" + std::to_string(ch);
        a.shared.age = 20;
        a.keys.clear();
    }
    host::set_output_sink(
        [this](int channel, std::string_view bytes) { player(channel).receive(bytes); });
    console_start_ = host::counters().console.size();
    game_number_ = host::add_module(&game_descriptor, "KXPVORN");
    host::set_definition_name("ZMB_VORN.MDF",
                              module_name.empty() ? "Far Reaches" : std::string(module_name));
    std::string error;
    module_number_ = host::load_module(ZMB_MODULE_PATH, &error);
    if (module_number_ < 0) {
        ADD_FAILURE() << "the module did not load: " << error;
        return;
    }
    handle_ = host::module(module_number_)->handle;
}

Host::~Host() {
    // A failed scenario is read from the players' screens: show them.
    if (::testing::Test::HasFailure()) {
        for (const auto& [channel, p] : players_) {
            if (p->screen().empty()) continue;
            std::printf(
                "---- screen of channel %d (sub-state %d) ----\n%s\n---- end of screen ----\n",
                channel, p->substate(), p->text().c_str());
        }
    }
    host::set_output_sink(nullptr);
    if (current_host == this) current_host = nullptr;
}

Player& Host::player(int channel) {
    auto& slot = players_[channel];
    if (!slot) {
        if (channel < 0 || channel >= host::channel_count()) {
            ADD_FAILURE() << "no channel " << channel << " (the host has " << host::channel_count()
                          << ")";
        }
        slot = std::make_unique<Player>(*this, channel);
    }
    return *slot;
}

void Host::register_game_entry() {
    world_.write("IGMLIST.DAT", world_.read("IGMLIST.DAT") + "KXPVORN\n" +
                                    std::to_string(game_number_) + "\nA test game\n");
}

std::string Host::console() const {
    std::string out;
    const auto& lines = host::counters().console;
    for (size_t i = console_start_; i < lines.size(); ++i)
        out += lines[i] + "\n";
    return out;
}

// Every named field starts at zero; the opaque bytes are 0xA5, so a writer
// that does not keep them is caught.
PlayerBytes::PlayerBytes() {
    bytes.fill(0xA5);
    for (auto f : {pl::hit_points, pl::max_hit_points, pl::forest_fights, pl::player_fights,
                   pl::defence, pl::strength, pl::charm, pl::level, pl::gems, pl::horse})
        put(f, int16_t{0});
    for (auto f : {pl::gold, pl::bank, pl::experience})
        put(f, int32_t{0});
    put(pl::weapon_name, std::string_view{}).put(pl::armour_name, std::string_view{});
    for (auto f : {pl::sex, pl::player_class, pl::death_knight_skill, pl::mystical_skill,
                   pl::thieving_skill, pl::death_knight_uses, pl::mystical_uses, pl::thieving_uses})
        put(f, uint8_t{0});
    name("Tester").level(1).hit_points(10).max_hit_points(20);
}

// The name's 70 bytes from offset 1: the name, then opaque bytes.
PlayerBytes& PlayerBytes::name(std::string_view n) {
    n = n.substr(0, 70);
    std::memset(&bytes[pl::name], 0xA5, 70);
    std::memcpy(&bytes[pl::name], n.data(), n.size());
    return name_length(static_cast<uint8_t>(n.size()));
}

World::World() : dir_(make_scratch_dir("farreaches")), previous_(fs::current_path()) {
    if (!dir_.empty()) fs::current_path(dir_);
}

World::~World() {
    fs::current_path(previous_);
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
    reset_random_and_time();
}

void World::write(std::string_view rel, std::string_view bytes) {
    fs::path p{std::string(rel)};
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << rel;
}

// The bytes a (possibly growing) file gets at `offset`.
void World::write_at(std::string_view rel, size_t offset, const uint8_t* bytes, size_t size) {
    std::string data = read(rel);
    if (data.size() < offset + size) data.resize(offset + size, '\0');
    std::memcpy(data.data() + offset, bytes, size);
    write(rel, data);
}

std::string World::read(std::string_view rel) const {
    std::ifstream in(std::string(rel), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void World::script(std::string_view name, std::string_view title,
                   std::initializer_list<std::string_view> each) {
    write(std::string("QHYVIGMS/").append(name),
          std::string("Vorn IGM Script: ").append(title).append("\n").append(lines(each)));
}

std::string lines(std::initializer_list<std::string_view> each) {
    std::string out;
    for (std::string_view line : each)
        out.append(line).append("\n");
    return out;
}

void World::player(std::string_view game, int index, const PlayerBytes& record) {
    write_at(std::string(game) + "/PLAYER.DAT", static_cast<size_t>(index) * 248,
             record.bytes.data(), record.bytes.size());
}

std::array<uint8_t, 248> World::player_record(std::string_view game, int index) const {
    std::array<uint8_t, 248> out{};
    std::string data = read(std::string(game) + "/PLAYER.DAT");
    size_t at = static_cast<size_t>(index) * 248;
    if (index >= 0 && data.size() >= at + out.size())
        std::memcpy(out.data(), &data[at], out.size());
    return out;
}

void World::ledger_record(std::string_view ledger, int index, int16_t trips, uint16_t day) {
    uint8_t bytes[4];
    zmb::store_i16le(bytes, trips);
    zmb::store_u16le(bytes + 2, day);
    write_at(ledger, static_cast<size_t>(index) * 4, bytes, 4);
}

std::pair<int16_t, uint16_t> World::ledger_record(std::string_view ledger, int index) const {
    std::string data = read(ledger);
    size_t at = static_cast<size_t>(index) * 4;
    if (index < 0 || data.size() < at + 4) return {0, 0};
    auto* p = reinterpret_cast<const uint8_t*>(&data[at]);
    return {zmb::load_i16le(p), zmb::load_u16le(p + 2)};
}

namespace {

std::deque<int> queued;
uint64_t generator_state = 0x853c49e6748fea9bULL;  // fixed: srand does not reseed it
std::vector<unsigned> seeds;
bool time_fixed = false;
std::time_t fixed_time = 0;
FileCall armed_call = FileCall::kWrite;
int calls_to_kill = 0;  // calls of the armed kind until the kill, that one included

std::time_t current_time() {
    timespec now{};
    if (!time_fixed) clock_gettime(CLOCK_REALTIME, &now);
    return time_fixed ? fixed_time : now.tv_sec;
}
void maybe_kill(FileCall call) {
    if (calls_to_kill > 0 && armed_call == call && --calls_to_kill == 0) raise(SIGKILL);
}

}  // namespace

void queue_rand(const std::vector<int>& values) {
    queued.insert(queued.end(), values.begin(), values.end());
}
void clear_rand() {
    queued.clear();
}
const std::vector<unsigned>& srand_seeds() {
    return seeds;
}
void set_time(std::time_t t) {
    time_fixed = true;
    fixed_time = t;
    host::set_clock(t);
}
void set_local_time(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_isdst = -1;
    set_time(std::mktime(&tm));
}
void advance_time(int seconds) {
    set_time(current_time() + seconds);
}
void reset_random_and_time() {
    queued.clear();
    seeds.clear();
    time_fixed = false;
    host::clear_clock();
}
void kill_at(FileCall call, int nth) {
    armed_call = call;
    calls_to_kill = nth;
}

}  // namespace test

extern "C" {

int rand() noexcept {
    using test::queued;
    if (!queued.empty()) {
        const int v = queued.front();
        queued.pop_front();
        return v;
    }
    auto& state = test::generator_state;
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((state >> 33) % (static_cast<uint64_t>(RAND_MAX) + 1));
}

void srand(unsigned s) noexcept {
    test::seeds.push_back(s);
}

time_t time(time_t* out) noexcept {
    const std::time_t t = test::current_time();
    if (out) *out = t;
    return t;
}

ssize_t write(int fd, const void* bytes, size_t size) {
    test::maybe_kill(test::FileCall::kWrite);
    return syscall(SYS_write, fd, bytes, size);
}

int rename(const char* from, const char* to) noexcept {
    test::maybe_kill(test::FileCall::kRename);
    return renameat(AT_FDCWD, from, AT_FDCWD, to);
}

}  // extern "C"
