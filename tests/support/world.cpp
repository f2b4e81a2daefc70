// The scratch folder a test runs in, and player records built field by
// field. Offsets come from the module's own layout header (its constexpr
// constants only; nothing of the module is linked in here).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "module/data/context.h"
#include "tests/support/session.h"

namespace fs = std::filesystem;

namespace test {
namespace {

constexpr uint8_t kOpaque = 0xA5;
constexpr size_t kNameBytes = 71;  // name text at 1, opaque after name_length

void put_i16(std::array<uint8_t, 248>& b, zmb::I16Field f, int16_t v) {
    zmb::store_i16le(&b[f.at], v);
}
void put_i32(std::array<uint8_t, 248>& b, zmb::I32Field f, int32_t v) {
    zmb::store_i32le(&b[f.at], v);
}
void put_text(std::array<uint8_t, 248>& b, zmb::TextField f, std::string_view s) {
    std::memset(&b[f.at], 0, f.size);
    std::memcpy(&b[f.at], s.data(), std::min(s.size(), f.size - 1));
}

// The bytes a (possibly growing) binary file gets at `offset`.
void write_at(const std::string& path, size_t offset, const uint8_t* bytes, size_t size) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::string data;
    {
        std::ifstream in(path, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (data.size() < offset + size) data.resize(offset + size, '\0');
    std::memcpy(data.data() + offset, bytes, size);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string script_text(std::string_view title, std::initializer_list<std::string_view> lines) {
    std::string text = "Vorn IGM Script: ";
    text.append(title);
    text += '\n';
    for (auto line : lines) {
        text.append(line);
        text += '\n';
    }
    return text;
}

}  // namespace

// ---- PlayerBytes ----

PlayerBytes::PlayerBytes() {
    namespace pl = zmb::player;
    bytes.fill(kOpaque);
    // Every named field starts at zero; the opaque bytes stay 0xA5 so a
    // writer that does not keep them is caught.
    for (auto f : {pl::hit_points, pl::max_hit_points, pl::forest_fights, pl::player_fights,
                   pl::defence, pl::strength, pl::charm, pl::level, pl::gems, pl::horse}) {
        put_i16(bytes, f, 0);
    }
    for (auto f : {pl::gold, pl::bank, pl::experience})
        put_i32(bytes, f, 0);
    put_text(bytes, pl::weapon_name, "");
    put_text(bytes, pl::armour_name, "");
    for (auto f :
         {pl::sex, pl::player_class, pl::death_knight_skill, pl::mystical_skill, pl::thieving_skill,
          pl::death_knight_uses, pl::mystical_uses, pl::thieving_uses}) {
        bytes[f.at] = 0;
    }
    name("Tester").level(1).hit_points(10).max_hit_points(20);
}

PlayerBytes& PlayerBytes::name(std::string_view n) {
    n = n.substr(0, kNameBytes - 1);
    std::memset(&bytes[zmb::player::name], kOpaque, kNameBytes - 1);
    std::memcpy(&bytes[zmb::player::name], n.data(), n.size());
    return name_length(static_cast<uint8_t>(n.size()));
}
PlayerBytes& PlayerBytes::name_length(uint8_t n) {
    bytes[zmb::player::name_length.at] = n;
    return *this;
}
PlayerBytes& PlayerBytes::hit_points(int16_t v) {
    put_i16(bytes, zmb::player::hit_points, v);
    return *this;
}
PlayerBytes& PlayerBytes::max_hit_points(int16_t v) {
    put_i16(bytes, zmb::player::max_hit_points, v);
    return *this;
}
PlayerBytes& PlayerBytes::weapon(std::string_view s) {
    put_text(bytes, zmb::player::weapon_name, s);
    return *this;
}
PlayerBytes& PlayerBytes::armour(std::string_view s) {
    put_text(bytes, zmb::player::armour_name, s);
    return *this;
}
PlayerBytes& PlayerBytes::forest_fights(int16_t v) {
    put_i16(bytes, zmb::player::forest_fights, v);
    return *this;
}
PlayerBytes& PlayerBytes::player_fights(int16_t v) {
    put_i16(bytes, zmb::player::player_fights, v);
    return *this;
}
PlayerBytes& PlayerBytes::gold(int32_t v) {
    put_i32(bytes, zmb::player::gold, v);
    return *this;
}
PlayerBytes& PlayerBytes::bank(int32_t v) {
    put_i32(bytes, zmb::player::bank, v);
    return *this;
}
PlayerBytes& PlayerBytes::defence(int16_t v) {
    put_i16(bytes, zmb::player::defence, v);
    return *this;
}
PlayerBytes& PlayerBytes::strength(int16_t v) {
    put_i16(bytes, zmb::player::strength, v);
    return *this;
}
PlayerBytes& PlayerBytes::charm(int16_t v) {
    put_i16(bytes, zmb::player::charm, v);
    return *this;
}
PlayerBytes& PlayerBytes::level(int16_t v) {
    put_i16(bytes, zmb::player::level, v);
    return *this;
}
PlayerBytes& PlayerBytes::gems(int16_t v) {
    put_i16(bytes, zmb::player::gems, v);
    return *this;
}
PlayerBytes& PlayerBytes::experience(int32_t v) {
    put_i32(bytes, zmb::player::experience, v);
    return *this;
}
PlayerBytes& PlayerBytes::sex(uint8_t v) {
    bytes[zmb::player::sex.at] = v;
    return *this;
}
PlayerBytes& PlayerBytes::player_class(uint8_t v) {
    bytes[zmb::player::player_class.at] = v;
    return *this;
}
PlayerBytes& PlayerBytes::horse(int16_t v) {
    put_i16(bytes, zmb::player::horse, v);
    return *this;
}
PlayerBytes& PlayerBytes::skills(uint8_t dk, uint8_t my, uint8_t th) {
    bytes[zmb::player::death_knight_skill.at] = dk;
    bytes[zmb::player::mystical_skill.at] = my;
    bytes[zmb::player::thieving_skill.at] = th;
    return *this;
}
PlayerBytes& PlayerBytes::uses(uint8_t dk, uint8_t my, uint8_t th) {
    bytes[zmb::player::death_knight_uses.at] = dk;
    bytes[zmb::player::mystical_uses.at] = my;
    bytes[zmb::player::thieving_uses.at] = th;
    return *this;
}

// ---- PlayerView ----

int16_t PlayerView::hit_points() const {
    return zmb::load_i16le(p + zmb::player::hit_points.at);
}
int16_t PlayerView::forest_fights() const {
    return zmb::load_i16le(p + zmb::player::forest_fights.at);
}
int32_t PlayerView::gold() const {
    return zmb::load_i32le(p + zmb::player::gold.at);
}
int32_t PlayerView::bank() const {
    return zmb::load_i32le(p + zmb::player::bank.at);
}
int16_t PlayerView::charm() const {
    return zmb::load_i16le(p + zmb::player::charm.at);
}
int16_t PlayerView::level() const {
    return zmb::load_i16le(p + zmb::player::level.at);
}
int16_t PlayerView::gems() const {
    return zmb::load_i16le(p + zmb::player::gems.at);
}
int32_t PlayerView::experience() const {
    return zmb::load_i32le(p + zmb::player::experience.at);
}
int16_t PlayerView::horse() const {
    return zmb::load_i16le(p + zmb::player::horse.at);
}

// ---- World ----

World::World() {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) previous_ = cwd;
    char pattern[] = "/tmp/farreaches-XXXXXX";
    if (!mkdtemp(pattern)) {
        ADD_FAILURE() << "cannot create a scratch folder under /tmp";
        return;
    }
    dir_ = pattern;
    if (chdir(dir_.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir_;
}

World::~World() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) {
        ADD_FAILURE() << "cannot go back to " << previous_;
    }
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

void World::append(std::string_view rel, std::string_view bytes) {
    fs::path p{std::string(rel)};
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot append to " << rel;
}

std::string World::read(std::string_view rel) const {
    std::ifstream in(std::string(rel), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool World::exists(std::string_view rel) const {
    return fs::exists(fs::path{std::string(rel)});
}

void World::remove(std::string_view rel) {
    std::error_code ignored;
    fs::remove_all(fs::path{std::string(rel)}, ignored);
}

void World::mkdir(std::string_view rel) {
    fs::create_directories(fs::path{std::string(rel)});
}

void World::script(std::string_view name, std::string_view title,
                   std::initializer_list<std::string_view> lines) {
    write("QHYVIGMS/" + std::string(name), script_text(title, lines));
}

void World::script_at(std::string_view rel, std::string_view title,
                      std::initializer_list<std::string_view> lines) {
    write(rel, script_text(title, lines));
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
    write_at(std::string(ledger), static_cast<size_t>(index) * 4, bytes, 4);
}

std::pair<int16_t, uint16_t> World::ledger_record(std::string_view ledger, int index) const {
    std::string data = read(ledger);
    size_t at = static_cast<size_t>(index) * 4;
    if (index < 0 || data.size() < at + 4) return {0, 0};
    auto* p = reinterpret_cast<const uint8_t*>(&data[at]);
    return {zmb::load_i16le(p), zmb::load_u16le(p + 2)};
}

}  // namespace test
