// Passwords: what a good one is, and Argon2id hashing through libsodium.
// A typed password arrives as CP437 (the line editor's set) and is hashed
// as UTF-8, so callers on either kind of terminal typing the same
// characters match. Clear passwords live only as long as the hashing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace accounts {

inline constexpr size_t kMinPasswordLength = 4;
inline constexpr size_t kMaxPasswordLength = 64;

// The Argon2id cost. Memory in KiB: 65536 (libsodium's interactive preset)
// by default; kMinHashMemoryKib is only fit for tests.
struct HashCost {
    unsigned long long ops = 2;
    size_t memory_kib = 65536;
};
inline constexpr size_t kMinHashMemoryKib = 8;

// Starts libsodium; false when it cannot run (no entropy source).
bool init_hashing();

// The typed password as UTF-8, or nothing when it is not 4 to 64
// printable characters.
std::optional<std::string> password_for_hashing(std::string_view typed_cp437);

// The hash string of `password` (UTF-8), or "" when out of memory.
std::string hash_password(const std::string& password, HashCost cost);
bool password_matches(const std::string& password, const std::string& hash);
// The stored hash was made at another cost than `cost`.
bool needs_rehash(const std::string& hash, HashCost cost);

// Overwrites a string that held a password.
void wipe(std::string& secret);

}  // namespace accounts
