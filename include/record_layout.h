// The byte layouts of the records the module keeps: the game's 248-byte
// PlayerRecord, the script engine's 472-byte ScriptState, the 4-byte
// TripRecord, and the 724-byte per-user area that holds the three in turn.
// Layouts and offset tables only; shared by the module, the game and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "include/bytes.h"

namespace zmb {

// Block sizes and where each block stands in the per-user area.
inline constexpr size_t kPlayerRecordSize = 248;
inline constexpr size_t kScriptStateSize = 472;
inline constexpr size_t kTripRecordSize = 4;
inline constexpr size_t kPlayerBase = 0;
inline constexpr size_t kStateBase = kPlayerBase + kPlayerRecordSize;  // 248
inline constexpr size_t kTripBase = kStateBase + kScriptStateSize;     // 720
inline constexpr size_t kUserContextSize = kTripBase + kTripRecordSize;
static_assert(kUserContextSize == 724);

// Typed views of fields at absolute offsets in the per-user area. A
// PlayerRecord read on its own (the game's PLAYER.DAT) starts at offset 0,
// the same as in the area, so the player offsets serve both.
struct U8Field {
    size_t at;
};
struct I16Field {
    size_t at;
};
struct U16Field {
    size_t at;
};
struct I32Field {
    size_t at;
};
struct TextField {
    size_t at;
    size_t size;  // includes the terminator
};

inline uint8_t get(const uint8_t* area, U8Field f) {
    return area[f.at];
}
inline int16_t get(const uint8_t* area, I16Field f) {
    return load_i16le(area + f.at);
}
inline uint16_t get(const uint8_t* area, U16Field f) {
    return load_u16le(area + f.at);
}
inline int32_t get(const uint8_t* area, I32Field f) {
    return load_i32le(area + f.at);
}
inline void set(uint8_t* area, U8Field f, uint8_t v) {
    area[f.at] = v;
}
inline void set(uint8_t* area, I16Field f, int16_t v) {
    store_i16le(area + f.at, v);
}
inline void set(uint8_t* area, U16Field f, uint16_t v) {
    store_u16le(area + f.at, v);
}
inline void set(uint8_t* area, I32Field f, int32_t v) {
    store_i32le(area + f.at, v);
}

// A text field as it stands, without touching it: up to its NUL, or its
// first size-1 bytes when it has none (the record's names come from a file).
inline std::string_view text_view(const uint8_t* area, TextField f) {
    const auto* at = reinterpret_cast<const char*>(area + f.at);
    size_t n = 0;
    while (n + 1 < f.size && at[n] != '\0')
        ++n;
    return {at, n};
}
// Copies at most size-1 characters (stopping at a NUL) and terminates.
inline void set_text(uint8_t* area, TextField f, std::string_view s) {
    size_t n = 0;
    while (n < s.size() && n + 1 < f.size && s[n] != '\0') {
        area[f.at + n] = static_cast<uint8_t>(s[n]);
        ++n;
    }
    area[f.at + n] = 0;
}

// PlayerRecord: one 248-byte record of the game's PLAYER.DAT.
//
//  offset size type  field               offset size type  field
//   0      1   u8    name_length         124    2   i16   charm
//   1     71   text  name (opaque tail)  126    4   -     opaque
//  72      2   i16   hit_points          130    2   i16   level
//  74      4   -     opaque              132    3   -     opaque
//  78      2   i16   max_hit_points      135   25   text  armour_name
//  80      3   -     opaque              160    2   i16   gems
//  83     23   text  weapon_name         162    2   -     opaque
// 106      2   i16   forest_fights       164    4   i32   experience
// 108      2   i16   player_fights       168    1   u8    sex (5 female)
// 110      2   -     opaque              169   17   -     opaque
// 112      4   i32   gold                186    1   u8    class (1 DK, 2 MY, 3 TH)
// 116      4   i32   bank                187    1   -     opaque
// 120      2   i16   defence             188    2   i16   horse (1 has one)
// 122      2   i16   strength            190   32   -     opaque
//                                        222..227 u8     skills, then uses
//                                        228   20   -     opaque
// Every byte not named is kept exactly as read and written back unchanged.
namespace player {
inline constexpr U8Field name_length{kPlayerBase + 0};
inline constexpr size_t name = kPlayerBase + 1;  // name_length characters
inline constexpr I16Field hit_points{kPlayerBase + 72};
inline constexpr I16Field max_hit_points{kPlayerBase + 78};
inline constexpr TextField weapon_name{kPlayerBase + 83, 23};
inline constexpr I16Field forest_fights{kPlayerBase + 106};
inline constexpr I16Field player_fights{kPlayerBase + 108};
inline constexpr I32Field gold{kPlayerBase + 112};
inline constexpr I32Field bank{kPlayerBase + 116};
inline constexpr I16Field defence{kPlayerBase + 120};
inline constexpr I16Field strength{kPlayerBase + 122};
inline constexpr I16Field charm{kPlayerBase + 124};
inline constexpr I16Field level{kPlayerBase + 130};
inline constexpr TextField armour_name{kPlayerBase + 135, 25};
inline constexpr I16Field gems{kPlayerBase + 160};
inline constexpr I32Field experience{kPlayerBase + 164};
inline constexpr U8Field sex{kPlayerBase + 168};
inline constexpr U8Field player_class{kPlayerBase + 186};
inline constexpr I16Field horse{kPlayerBase + 188};
inline constexpr U8Field death_knight_skill{kPlayerBase + 222};
inline constexpr U8Field mystical_skill{kPlayerBase + 223};
inline constexpr U8Field thieving_skill{kPlayerBase + 224};
inline constexpr U8Field death_knight_uses{kPlayerBase + 225};
inline constexpr U8Field mystical_uses{kPlayerBase + 226};
inline constexpr U8Field thieving_uses{kPlayerBase + 227};
}  // namespace player

// ScriptState: the script engine's per-user block, fields in declared order
// with no padding between them; the tail up to 472 bytes is reserved (zero).
//
//  offset size type  field                offset size type  field
//   0      2   i16   return_substate      334   28   text  saved_script_file
//   2     40   text  script_file          362    4   i32   saved_line_offset
//  42     32   text  script_title         366    4   i32   saved_return_offset
//  74      4   i32   last_amount          370    4   i32   saved_loop_offset
//  78      4   i32   loop_offset          374    4   i32   saved_end_offset
//  82      4   i32   choice_count         378    2   i16   reward_given
//  86      2   i16   skip_mode            380    2   i16   player_index
//  88      4   i32   return_offset        382   10   text  game_name (with its LF)
//  92     16   text  skip_target          392   21   text  player_name
// 108      4   i32   end_offset           413   21   text  ledger_file
// 112      4   i32   line_offset          434    4   i32   wait_until
// 116     36   i32   VAL1..VAL9           438   34   -     reserved
// 152    156   text  STRING1..STRING6 (26 bytes each)
// 308     26   text  input_prompt
namespace state {
inline constexpr I16Field return_substate{kStateBase + 0};
inline constexpr TextField script_file{kStateBase + 2, 40};
inline constexpr TextField script_title{kStateBase + 42, 32};
inline constexpr I32Field last_amount{kStateBase + 74};
inline constexpr I32Field loop_offset{kStateBase + 78};
inline constexpr I32Field choice_count{kStateBase + 82};
inline constexpr I16Field skip_mode{kStateBase + 86};
inline constexpr I32Field return_offset{kStateBase + 88};
inline constexpr TextField skip_target{kStateBase + 92, 16};
inline constexpr I32Field end_offset{kStateBase + 108};
inline constexpr I32Field line_offset{kStateBase + 112};
inline constexpr size_t kValues = kStateBase + 116;   // 9 x i32
inline constexpr size_t kStrings = kStateBase + 152;  // 6 x 26 bytes
inline constexpr size_t kStringSize = 26;             // 25 characters and the terminator
inline constexpr TextField input_prompt{kStateBase + 308, 26};
inline constexpr TextField saved_script_file{kStateBase + 334, 28};
inline constexpr I32Field saved_line_offset{kStateBase + 362};
inline constexpr I32Field saved_return_offset{kStateBase + 366};
inline constexpr I32Field saved_loop_offset{kStateBase + 370};
inline constexpr I32Field saved_end_offset{kStateBase + 374};
inline constexpr I16Field reward_given{kStateBase + 378};
inline constexpr I16Field player_index{kStateBase + 380};
inline constexpr TextField game_name{kStateBase + 382, 10};
inline constexpr TextField player_name{kStateBase + 392, 21};
inline constexpr TextField ledger_file{kStateBase + 413, 21};
inline constexpr I32Field wait_until{kStateBase + 434};
inline constexpr size_t kUsedSize = 438;
static_assert(kUsedSize <= kScriptStateSize);
static_assert(kValues + 9 * 4 == kStrings && kStrings + 6 * kStringSize == input_prompt.at);

// VAL1..VAL9 and STRING1..STRING6, numbered from 1. Callers check the range.
constexpr I32Field value(int n) {
    return I32Field{kValues + 4 * static_cast<size_t>(n - 1)};
}
constexpr TextField string(int n) {
    return TextField{kStrings + kStringSize * static_cast<size_t>(n - 1), kStringSize};
}
}  // namespace state

// TripRecord: the player's trips for one day, the same 4 bytes as a ledger record.
//  offset size type field
//   0      2   i16  trips_used
//   2      2   u16  trip_day   (host today() value)
namespace trip {
inline constexpr I16Field trips_used{kTripBase + 0};
inline constexpr U16Field trip_day{kTripBase + 2};
}  // namespace trip

}  // namespace zmb
