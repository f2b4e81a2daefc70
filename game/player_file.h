// The stand-in game's players: PLAYER.DAT in each instance's folder, a flat
// file of 248-byte little-endian records (record n at byte n * 248). The
// field offsets are the ones the in-game modules read; see the offset table
// in module/data/context.h. Bytes the game does not name stay zero
// in new records and are kept as read in old ones.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "include/record_layout.h"

namespace game {

inline constexpr size_t kRecordSize = zmb::kPlayerRecordSize;
static_assert(kRecordSize == 248);
inline constexpr size_t kNameField = 71;  // offsets 1..71: up to 71 name bytes

// Skill classes and sexes as the record stores them.
enum : uint8_t { kDeathKnight = 1, kMystical = 2, kThieving = 3 };
enum : uint8_t { kMale = 0, kFemale = 5 };

class PlayerRecord {
  public:
    std::array<uint8_t, kRecordSize> bytes{};

    std::string name() const;  // name_length characters, ending early at a NUL
    void set_name(std::string_view name);

    int16_t get(zmb::I16Field f) const { return zmb::load_i16le(&bytes[f.at]); }
    int32_t get(zmb::I32Field f) const { return zmb::load_i32le(&bytes[f.at]); }
    uint8_t get(zmb::U8Field f) const { return bytes[f.at]; }
    void set(zmb::I16Field f, int16_t v) { zmb::store_i16le(&bytes[f.at], v); }
    void set(zmb::I32Field f, int32_t v) { zmb::store_i32le(&bytes[f.at], v); }
    void set(zmb::U8Field f, uint8_t v) { bytes[f.at] = v; }
    // A NUL-terminated text field; `text` never reads past the field.
    std::string text(zmb::TextField f) const;
    void set_text(zmb::TextField f, std::string_view s);  // cut to size - 1
};

// A fresh level-1 player of the given class and sex.
PlayerRecord new_player(std::string_view name, uint8_t player_class, uint8_t sex);

// PLAYER.DAT in `folder` (the game's instance name, such as "KXPVORN"),
// with an index of its names, so that find() is a lookup and one record
// read, not a walk of the file. The names are read once (build_index, or
// the first find) and kept by append and store; records another writer adds at the end are
// read in when a name is missed, and a hit that no longer matches its
// record (the file changed behind the game's back) reads them all again.
class PlayerFile {
  public:
    explicit PlayerFile(std::string folder);

    // Makes the folder and an empty file when they are missing.
    bool create_if_missing() const;
    void build_index();  // reads every record's name
    int count() const;   // whole records in the file
    bool load(int index, PlayerRecord& record) const;
    bool store(int index, const PlayerRecord& record);
    int find(std::string_view name);         // ignoring case; -1 when absent
    int append(const PlayerRecord& record);  // its index, or -1
    const std::string& path() const { return path_; }

  private:
    void read_names(int records);  // indexes the records from indexed_ to `records`
    void note_name(std::string_view name, int index);
    void forget_names();

    std::string folder_;
    std::string path_;
    std::unordered_map<std::string, int> index_;  // upper-case name -> first record of it
    int indexed_ = 0;                             // records read into index_
};

}  // namespace game
