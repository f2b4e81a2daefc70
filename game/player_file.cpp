// PLAYER.DAT records of the stand-in game.
#include "game/player_file.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <utility>

#include "game/igm_list.h"
#include "include/regular_file.h"

namespace game {
namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// Only a regular file: a pipe in place of PLAYER.DAT would block the server.
File open(const std::string& path, const char* mode) {
    return File(files::fopen_regular(path.c_str(), mode), &std::fclose);
}

}  // namespace

std::string PlayerRecord::name() const {
    size_t length = std::min<size_t>(get(zmb::player::name_length), kNameField);
    std::string out;
    for (size_t i = 0; i < length && bytes[zmb::player::name + i] != 0; ++i) {
        out += static_cast<char>(bytes[zmb::player::name + i]);
    }
    return out;
}

void PlayerRecord::set_name(std::string_view name) {
    name = name.substr(0, kNameField);
    for (size_t i = 0; i < kNameField; ++i) {
        bytes[zmb::player::name + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
    }
    set(zmb::player::name_length, static_cast<uint8_t>(name.size()));
}

std::string PlayerRecord::text(zmb::TextField f) const {
    std::string out;
    for (size_t i = 0; i + 1 < f.size && bytes[f.at + i] != 0; ++i) {
        out += static_cast<char>(bytes[f.at + i]);
    }
    return out;
}

void PlayerRecord::set_text(zmb::TextField f, std::string_view s) {
    for (size_t i = 0; i < f.size; ++i) {
        bytes[f.at + i] = i + 1 < f.size && i < s.size() ? static_cast<uint8_t>(s[i]) : 0;
    }
}

PlayerRecord new_player(std::string_view name, uint8_t player_class, uint8_t sex) {
    namespace p = zmb::player;
    PlayerRecord r;
    r.set_name(name);
    r.set(p::hit_points, 20);
    r.set(p::max_hit_points, 20);
    r.set_text(p::weapon_name, "Stick");
    r.set_text(p::armour_name, "Coat");
    r.set(p::forest_fights, 15);
    r.set(p::player_fights, 3);
    r.set(p::gold, 200);
    r.set(p::defence, 1);
    r.set(p::strength, 5);
    r.set(p::charm, 1);
    r.set(p::level, 1);
    r.set(p::sex, sex);
    r.set(p::player_class, player_class);
    // One point, and one use a day, in the skill the player chose.
    constexpr std::array<std::pair<zmb::U8Field, zmb::U8Field>, 3> kSkillFields = {{
        {p::death_knight_skill, p::death_knight_uses},
        {p::mystical_skill, p::mystical_uses},
        {p::thieving_skill, p::thieving_uses},
    }};
    if (player_class >= kDeathKnight && player_class <= kThieving) {
        auto [skill, uses] = kSkillFields[player_class - kDeathKnight];
        r.set(skill, 1);
        r.set(uses, 1);
    }
    return r;
}

PlayerFile::PlayerFile(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/PLAYER.DAT") {}

bool PlayerFile::create_if_missing() const {
    struct stat st {};
    if (stat(folder_.c_str(), &st) != 0 && mkdir(folder_.c_str(), 0777) != 0) return false;
    if (files::present_but_not_regular(path_.c_str())) return false;
    if (stat(path_.c_str(), &st) == 0) return S_ISREG(st.st_mode);
    return open(path_, "wb") != nullptr;
}

int PlayerFile::count() const {
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0) return 0;
    auto records = static_cast<long long>(st.st_size) / static_cast<long long>(kRecordSize);
    return records > 32767 ? 32767 : static_cast<int>(records);  // the hand-off index is 16-bit
}

bool PlayerFile::load(int index, PlayerRecord& record) const {
    if (index < 0 || index >= count()) return false;
    File f = open(path_, "rb");
    if (!f || std::fseek(f.get(), static_cast<long>(index) * kRecordSize, SEEK_SET) != 0)
        return false;
    PlayerRecord read;
    if (std::fread(read.bytes.data(), 1, kRecordSize, f.get()) != kRecordSize) return false;
    record = read;
    return true;
}

bool PlayerFile::store(int index, const PlayerRecord& record) {
    if (index < 0 || index >= count()) return false;
    File f = open(path_, "r+b");
    if (!f || std::fseek(f.get(), static_cast<long>(index) * kRecordSize, SEEK_SET) != 0)
        return false;
    if (std::fwrite(record.bytes.data(), 1, kRecordSize, f.get()) != kRecordSize ||
        std::fflush(f.get()) != 0)
        return false;
    // A renamed record is found under its new name; its old name's entry is
    // caught by the check find() makes of every hit.
    if (index < indexed_) note_name(record.name(), index);
    return true;
}

namespace {

std::string name_key(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace

void PlayerFile::note_name(std::string_view name, int index) {
    auto [entry, added] = index_.emplace(name_key(name), index);
    if (!added && entry->second > index) entry->second = index;  // the first of a name wins
}

void PlayerFile::build_index() {
    forget_names();
    read_names(count());
}

void PlayerFile::forget_names() {
    index_.clear();
    indexed_ = 0;
}

void PlayerFile::read_names(int records) {
    File f = open(path_, "rb");
    if (!f || std::fseek(f.get(), static_cast<long>(indexed_) * kRecordSize, SEEK_SET) != 0) return;
    PlayerRecord r;
    for (; indexed_ < records; ++indexed_) {
        if (std::fread(r.bytes.data(), 1, kRecordSize, f.get()) != kRecordSize) break;
        note_name(r.name(), indexed_);
    }
}

int PlayerFile::find(std::string_view name) {
    const std::string key = name_key(name);
    auto found = index_.find(key);
    if (found != index_.end()) {
        PlayerRecord r;
        if (load(found->second, r) && same_name(r.name(), name)) return found->second;
        forget_names();  // the file was changed behind our back: read it again
    }
    // Not known: records may have been added behind our back, or the file cut.
    const int records = count();
    if (records < indexed_) forget_names();
    if (records > indexed_) read_names(records);
    found = index_.find(key);
    return found != index_.end() ? found->second : -1;
}

int PlayerFile::append(const PlayerRecord& record) {
    int index = count();
    if (index >= 32767) return -1;
    File f = open(path_, "r+b");
    if (!f) f = open(path_, "w+b");
    // A file cut in the middle of a record gets the new record at the next
    // whole-record place, not glued to the broken tail.
    if (!f || std::fseek(f.get(), static_cast<long>(index) * kRecordSize, SEEK_SET) != 0) return -1;
    if (std::fwrite(record.bytes.data(), 1, kRecordSize, f.get()) != kRecordSize) return -1;
    if (std::fflush(f.get()) != 0) return -1;
    if (index == indexed_) {  // else the records between are read in at the next miss
        note_name(record.name(), index);
        ++indexed_;
    }
    return index;
}

}  // namespace game
