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
        put(f, int16_t{0});
    }
    for (auto f : {pl::gold, pl::bank, pl::experience})
        put(f, int32_t{0});
    put(pl::weapon_name, std::string_view{}).put(pl::armour_name, std::string_view{});
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
// ---- World ----

World::World() {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) previous_ = cwd;
    dir_ = make_scratch_dir("farreaches");
    if (dir_.empty()) return;
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
