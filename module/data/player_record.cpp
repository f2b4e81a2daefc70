// Moving one 248-byte PlayerRecord between the game's PLAYER.DAT and
// memory. The file belongs to the game: it is never created, never grown,
// and nothing outside the one record is ever written. Each access opens the
// file, moves exactly one record and closes it again.
#include "module/data/player_record.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "module/data/context.h"
#include "module/data/lines.h"
#include "module/host/paths.h"

namespace zmb {

namespace {

constexpr long kRecordSize = static_cast<long>(kPlayerRecordSize);

long record_start(int16_t index) {
    return static_cast<long>(index) * kRecordSize;
}

}  // namespace

// A missing file, a negative index, or a file that ends before the record
// does leaves `record` exactly as it was: the bytes are read into a block of
// their own and copied only when all 248 of them came.
void load_player_record(uint8_t* record, const char* path, int16_t index) {
    if (index < 0 || !file_exists(path)) return;
    std::FILE* file = open_file(path, "rb");
    if (file == nullptr) return;
    std::array<uint8_t, kPlayerRecordSize> block{};
    if (std::fseek(file, record_start(index), SEEK_SET) == 0 &&
        std::fread(block.data(), 1, block.size(), file) == block.size()) {
        std::memcpy(record, block.data(), block.size());
    }
    std::fclose(file);
}

// Writes the whole record, opaque bytes included, but only over a record
// that already exists in full: the file is never extended. A file that
// cannot be opened for updating (read-only) is silently left alone.
void store_player_record(const uint8_t* record, const char* path, int16_t index) {
    if (index < 0 || !file_exists(path)) return;
    std::FILE* file = open_file(path, "r+b");
    if (file == nullptr) return;
    const long start = record_start(index);
    if (std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) >= start + kRecordSize &&
        std::fseek(file, start, SEEK_SET) == 0) {
        std::fwrite(record, 1, kPlayerRecordSize, file);
    }
    std::fclose(file);
}

// The game name arrives with its line end; every line end is dropped so the
// path reads "KXPVORN\PLAYER.DAT".
void player_file_path(char* out, size_t out_size) {
    if (out_size == 0) return;
    std::array<char, state::game_name.size> name{};
    std::snprintf(name.data(), name.size(), "%.*s", static_cast<int>(name.size() - 1),
                  text(state::game_name));
    replace_text("\n", "", name.data());
    replace_text("\r", "", name.data());
    const size_t n = std::strlen(name.data());
    // The game's folder is one component of the working directory: an empty
    // name, "." or "..", or one with a separator in it names no player file.
    const std::string_view dir(name.data(), n);
    if (dir.empty() || dir == "." || dir == ".." || dir.find_first_of("\\/") != dir.npos) {
        out[0] = '\0';
        return;
    }
    std::snprintf(out, out_size, "%s\\PLAYER.DAT", name.data());
}

void save_current_player() {
    std::array<char, 32> path{};
    player_file_path(path.data(), path.size());
    store_player_record(player::record(), path.data(), get(state::player_index));
}

}  // namespace zmb
