// Password rules and hashing.
#include "server/accounts/password.h"

#include <sodium.h>

#include "server/frontend/charset.h"

namespace accounts {

bool init_hashing() {
    return sodium_init() >= 0;
}

std::optional<std::string> password_for_hashing(std::string_view typed) {
    if (typed.size() < kMinPasswordLength || typed.size() > kMaxPasswordLength) {
        return std::nullopt;
    }
    std::string utf8;
    for (char c : typed) {
        auto byte = static_cast<uint8_t>(c);
        if (byte < 32 || byte == 127) {
            wipe(utf8);
            return std::nullopt;
        }
        char32_t cp = frontend::cp437_to_unicode(byte);
        if (cp < 0x80) {
            utf8 += static_cast<char>(cp);
        } else if (cp < 0x800) {
            utf8 += static_cast<char>(0xC0 | cp >> 6);
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | cp >> 12);
            utf8 += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return utf8;
}

std::string hash_password(const std::string& password, HashCost cost) {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), cost.ops,
                              cost.memory_kib * 1024, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return "";
    }
    return out;
}

bool password_matches(const std::string& password, const std::string& hash) {
    return !hash.empty() &&
           crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

bool needs_rehash(const std::string& hash, HashCost cost) {
    return crypto_pwhash_str_needs_rehash(hash.c_str(), cost.ops, cost.memory_kib * 1024) != 0;
}

void wipe(std::string& secret) {
    if (!secret.empty()) sodium_memzero(secret.data(), secret.size());
    secret.clear();
}

}  // namespace accounts
