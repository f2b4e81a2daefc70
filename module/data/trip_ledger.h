// Daily trip ledgers ZMBVIGMS.SV1..SV3: flat files of 4-byte TripRecords,
// record n belonging to player index n. Operations work on the working
// context's TripRecord and its ledger_file; a missing ledger does nothing.
#pragma once

#include <cstdint>

namespace zmb {

inline constexpr int kLedgerRecords = 500;  // records in a new ledger

// Reads the player's record, then starts a new day when the stored day is older.
void load_trip_record(int16_t index);
void store_trip_record(int16_t index);

// Start-up: creates each missing ledger with 500 records of 0 trips today.
void create_missing_ledgers();

}  // namespace zmb
