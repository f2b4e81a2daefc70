// The test host: the host core with a stand-in game and the real plug-in,
// and players on channels who are handed over, type and read their screen.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "module/data/context.h"
#include "server/core/host_core.h"
#include "tests/support/session.h"

namespace test {
namespace {

constexpr int kRunStatus = 240;
constexpr int kRunningSubstate = 4;
constexpr size_t kHeaderPrefix = 17;  // "Vorn IGM Script: "
constexpr size_t kTitleMax = 30;

// The Host whose stand-in game receives statuses (one at a time).
Host* current_host = nullptr;

int game_input() {
    return 1;
}
void game_status();
module_descriptor game_descriptor = {"KXPVORN test game",
                                     nullptr,
                                     game_input,
                                     game_status,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr};

// A zeroed stand-in for a per-user area the module never declared, so a
// test reads zeros and fails on its own checks instead of crashing.
uint8_t missing_area[zmb::kUserContextSize];

// Opens a DOS-style relative path the way the module does: `\` is a folder
// separator and a component that does not exist is matched ignoring case.
std::string map_path(std::string_view dos) {
    std::string path(dos);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string out;
    size_t i = 0;
    while (i <= path.size()) {
        size_t end = std::min(path.find('/', i), path.size());
        std::string part = path.substr(i, end - i);
        i = end + 1;
        std::string candidate = out.empty() ? part : out + "/" + part;
        if (access(candidate.c_str(), F_OK) != 0) {
            if (DIR* d = opendir(out.empty() ? "." : out.c_str())) {
                while (dirent* e = readdir(d)) {
                    if (strcasecmp(e->d_name, part.c_str()) == 0) {
                        candidate = out.empty() ? e->d_name : out + "/" + e->d_name;
                        break;
                    }
                }
                closedir(d);
            }
        }
        out = candidate;
    }
    return out;
}

}  // namespace

// ---- Player ----

Player::Player(Host& host, int channel) : host_(host), channel_(channel) {}

void Player::hand_over(std::string_view game, int index) {
    std::string file = "TEMP" + std::to_string(channel_) + ".TMP";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << game << "\n" << index << "\n";
    set_current_module(host_.module_number());
    set_substate(0);
}

void Player::arrive(std::string_view game, int index) {
    hand_over(game, index);
    type("");
    host_.pump();
}

void Player::run_script(std::string_view path, int return_substate) {
    std::ifstream in(map_path(path), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "run_script: cannot open " << path;
        return;
    }
    std::string header;
    std::getline(in, header);
    bool had_line_end = !in.eof();
    in.clear();
    in.seekg(0, std::ios::end);
    auto end = static_cast<int32_t>(in.tellg());
    auto line_offset = static_cast<int32_t>(header.size() + (had_line_end ? 1 : 0));

    std::string title;
    for (size_t i = kHeaderPrefix; i < header.size() && title.size() < kTitleMax; ++i) {
        if (static_cast<unsigned char>(header[i]) >= 32) title += header[i];
    }

    using namespace zmb::state;
    set_area_i16(zmb::state::return_substate.at, static_cast<int16_t>(return_substate));
    set_area_text(script_file.at, script_file.size, path);
    set_area_text(script_title.at, script_title.size, title);
    set_area_i32(last_amount.at, 0);
    set_area_i32(loop_offset.at, 0);
    set_area_i16(skip_mode.at, 0);
    set_area_i32(return_offset.at, 0);
    set_area_i32(end_offset.at, end);
    set_area_i32(zmb::state::line_offset.at, line_offset);
    set_area_i32(wait_until.at, 0);
    set_current_module(host_.module_number());
    set_substate(kRunningSubstate);
    btuinj(channel_, kRunStatus);
}

void Player::set_record(const PlayerBytes& record) {
    if (host::user_area_size() < record.bytes.size()) {
        ADD_FAILURE() << "set_record: the per-user area is " << host::user_area_size()
                      << " bytes; did the module declare it?";
        return;
    }
    std::memcpy(host::user_area(channel_), record.bytes.data(), record.bytes.size());
}

namespace {
bool area_fits(size_t offset, size_t size) {
    if (offset + size <= host::user_area_size()) return true;
    ADD_FAILURE() << "per-user area access at " << offset << "+" << size << " past its "
                  << host::user_area_size() << " bytes (did the module declare it?)";
    return false;
}
}  // namespace

void Player::set_area_i16(size_t offset, int16_t v) {
    if (area_fits(offset, 2))
        zmb::store_i16le(reinterpret_cast<uint8_t*>(host::user_area(channel_)) + offset, v);
}
void Player::set_area_i32(size_t offset, int32_t v) {
    if (area_fits(offset, 4))
        zmb::store_i32le(reinterpret_cast<uint8_t*>(host::user_area(channel_)) + offset, v);
}
void Player::set_area_text(size_t offset, size_t size, std::string_view s) {
    if (size == 0 || !area_fits(offset, size)) return;
    char* p = host::user_area(channel_) + offset;
    std::memset(p, 0, size);
    std::memcpy(p, s.data(), std::min(s.size(), size - 1));
}

int Player::type(std::string_view line) {
    return host::type_line(channel_, line);
}

std::string Player::say(std::string_view line) {
    size_t before = screen_.size();
    type(line);
    host_.pump();
    return strip_ansi(std::string_view(screen_).substr(before));
}

std::string Player::screen() const {
    return screen_;
}
std::string Player::text() const {
    return strip_ansi(screen_);
}
std::string Player::take() {
    std::string s = std::move(screen_);
    screen_.clear();
    return s;
}
std::string Player::take_text() {
    return strip_ansi(take());
}
void Player::clear_screen() {
    screen_.clear();
}

int Player::substate() const {
    return host::user(channel_).shared.substate;
}
void Player::set_substate(int s) {
    host::user(channel_).shared.substate = s;
}
int Player::current_module() const {
    return host::user(channel_).shared.current_module;
}
void Player::set_current_module(int m) {
    host::user(channel_).shared.current_module = m;
}
void Player::set_age(uint8_t age) {
    host::account(channel_).shared.age = age;
}
void Player::grant_key(std::string_view key) {
    host::account(channel_).keys.emplace_back(key);
}

const uint8_t* Player::area() const {
    if (host::user_area_size() < zmb::kUserContextSize) {
        ADD_FAILURE() << "the per-user area is " << host::user_area_size() << " bytes, not "
                      << zmb::kUserContextSize << " (did the module declare it?)";
        return missing_area;
    }
    return reinterpret_cast<const uint8_t*>(host::user_area(channel_));
}

int16_t Player::area_i16(size_t offset) const {
    if (!area_fits(offset, 2)) return 0;
    return zmb::load_i16le(reinterpret_cast<const uint8_t*>(host::user_area(channel_)) + offset);
}
int32_t Player::area_i32(size_t offset) const {
    if (!area_fits(offset, 4)) return 0;
    return zmb::load_i32le(reinterpret_cast<const uint8_t*>(host::user_area(channel_)) + offset);
}
std::string Player::area_text(size_t offset) const {
    if (!area_fits(offset, 1)) return "";
    const char* p = host::user_area(channel_) + offset;
    return std::string(p, strnlen(p, host::user_area_size() - offset));
}

// ---- Host ----

namespace {
void game_status() {
    if (current_host) current_host->record_game_status(usrnum, status);
}
}  // namespace

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
    module_number_ = host::load_module(module_path(), &error);
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

void Host::register_game_entry(std::string_view name) {
    world_.append("IGMLIST.DAT",
                  std::string(name) + "\n" + std::to_string(game_number_) + "\nA test game\n");
}

bool Host::pump_one() {
    return host::deliver_next_status();
}

int Host::pump(int limit) {
    int delivered = 0;
    while (delivered < limit && host::deliver_next_status())
        ++delivered;
    return delivered;
}

size_t Host::pending() const {
    return host::pending_statuses();
}

const std::vector<std::pair<int, int>>& Host::game_statuses() const {
    return game_statuses_;
}

void Host::record_game_status(int channel, int code) {
    game_statuses_.emplace_back(channel, code);
}

std::string Host::console() const {
    std::string out;
    const auto& lines = host::counters().console;
    for (size_t i = console_start_; i < lines.size(); ++i)
        out += lines[i] + "\n";
    return out;
}

void* Host::symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

// ---- free helpers ----

std::string module_path() {
    return ZMB_MODULE_PATH;
}

}  // namespace test
