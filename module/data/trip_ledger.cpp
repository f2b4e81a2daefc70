// The daily trip ledgers. A ledger is a flat array of 4-byte TripRecords
// (see trip:: in record_layout.h), record n at byte n*4, opened and closed
// around every access. A ledger that does not exist (always so for
// "OOO.DAT") is never created here; its players count from 0 each arrival.
#include "module/data/trip_ledger.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "include/bytes.h"
#include "include/host_interface.h"
#include "module/data/context.h"
#include "module/host/paths.h"

namespace zmb {
namespace {

constexpr long kRecordBytes = static_cast<long>(kTripRecordSize);

struct LedgerName {
    const char* file;
    const char* failure;  // the catastro text when it can be neither opened nor made
};
constexpr LedgerName kLedgers[] = {
    {"ZMBVIGMS.SV1", "The \"ZMBVIGMS.SV1\" igm save file could not initialize!"},
    {"ZMBVIGMS.SV2", "The \"ZMBVIGMS.SV2\" igm save file could not initialize!"},
    {"ZMBVIGMS.SV3", "The \"ZMBVIGMS.SV3\" igm save file could not initialize!"},
};

// Writes zero bytes from the end of f up to offset, so that a record past
// the end of a ledger is preceded by empty records rather than a hole.
bool extend_to(std::FILE* f, long offset) {
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    long size = std::ftell(f);
    if (size < 0) return false;
    static constexpr std::array<uint8_t, 256> kZeros{};
    while (size < offset) {
        const size_t chunk = static_cast<size_t>(offset - size < 256 ? offset - size : 256);
        if (std::fwrite(kZeros.data(), 1, chunk, f) != chunk) return false;
        size += static_cast<long>(chunk);
    }
    return true;
}

}  // namespace

void create_missing_ledgers() {
    // 500 records of 0 trips on the day of creation.
    std::array<uint8_t, kLedgerRecords * kTripRecordSize> fresh{};
    const uint16_t day = today();
    for (size_t at = 0; at < fresh.size(); at += kTripRecordSize) {
        store_i16le(&fresh[at], 0);
        store_u16le(&fresh[at + 2], day);
    }
    for (const LedgerName& ledger : kLedgers) {
        std::FILE* f = open_file(ledger.file, "r+b");  // an existing ledger stays as it is
        if (f == nullptr) {
            f = open_file(ledger.file, "wb");
            if (f == nullptr) catastro("%s", ledger.failure);
            // A ledger cut short would count trips against missing records.
            const bool written = std::fwrite(fresh.data(), 1, fresh.size(), f) == fresh.size();
            if (std::fclose(f) != 0 || !written) catastro("%s", ledger.failure);
            continue;
        }
        std::fclose(f);
    }
}

void load_trip_record(int16_t index) {
    // 0 trips today unless the ledger holds the player's record: a missing
    // ledger, a negative index or a record past the end all count from 0.
    set(trip::trips_used, 0);
    set(trip::trip_day, today());
    if (index < 0) return;

    const char* ledger = text(state::ledger_file);
    if (!file_exists(ledger)) return;
    std::FILE* f = open_file(ledger, "rb");
    if (f == nullptr) return;
    std::array<uint8_t, kTripRecordSize> record{};
    const bool found = std::fseek(f, index * kRecordBytes, SEEK_SET) == 0 &&
                       std::fread(record.data(), 1, record.size(), f) == record.size();
    std::fclose(f);
    if (!found) return;
    std::memcpy(trip::record(), record.data(), record.size());

    // A new day starts a new count; a day later than today (clock set back) stays.
    const uint16_t day = today();
    if (day > get(trip::trip_day)) {
        set(trip::trips_used, 0);
        set(trip::trip_day, day);
        store_trip_record(index);
    }
}

void store_trip_record(int16_t index) {
    if (index < 0) return;
    const char* ledger = text(state::ledger_file);
    if (!file_exists(ledger)) return;
    std::FILE* f = open_file(ledger, "r+b");  // never creates nor truncates
    if (f == nullptr) return;
    const long offset = index * kRecordBytes;
    if (extend_to(f, offset) && std::fseek(f, offset, SEEK_SET) == 0) {
        std::fwrite(trip::record(), 1, kTripRecordSize, f);
    }
    std::fclose(f);
}

}  // namespace zmb
