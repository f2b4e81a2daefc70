// Small helpers shared by the command families: reading an argument at fixed
// positions of a script line, register digits, and the value and string
// registers of the working context, read without ever writing to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "module/data/context.h"
#include "module/script/text_slices.h"

namespace zmb {

inline constexpr int kValueRegisters = 9;
inline constexpr int kStringRegisters = 6;
inline constexpr size_t kRegisterChars = state::kStringSize - 1;  // 25

// True when line holds fewer than n characters; a null line counts as empty.
inline bool shorter_than(const char* line, size_t n) {
    return line == nullptr || strnlen(line, n) < n;
}

// Copies at most size-1 characters of text (null: nothing) into out and
// terminates it. out may not overlap text.
inline void copy_cut(char* out, size_t size, const char* text) {
    size_t n = 0;
    if (text != nullptr)
        for (; n + 1 < size && text[n] != '\0'; ++n)
            out[n] = text[n];
    out[n] = '\0';
}

// The number at the start of text as atol reads it (blanks, a sign, digits),
// held to the 32-bit range instead of overflowing.
inline int32_t number_of(const char* text) {
    const long n = std::strtol(text, nullptr, 10);
    if (n > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (n < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(n);
}

// The number at positions first..last of line (both included), as atol reads it.
inline int32_t number_at(const char* line, int16_t first, int16_t last) {
    return number_of(slice_text(line, first, last));
}

// The register named by one character: '1'..highest gives 1..highest, anything else 0.
inline int register_digit(char c, int highest) {
    const int n = c - '0';
    return n >= 1 && n <= highest ? n : 0;
}

// STRINGn (1..6) as it stands in the context, at most 25 characters.
inline std::string_view string_register(int n) {
    const char* at = reinterpret_cast<const char*>(working_copy() + state::string(n).at);
    return {at, strnlen(at, kRegisterChars)};
}
// Replaces STRINGn (1..6); text beyond 25 characters is dropped.
inline void set_string_register(int n, std::string_view text) {
    set_text(state::string(n), text);
}
// STRINGn copied out into a 26-byte buffer, terminated.
inline void copy_string_register(int n, char (&out)[state::kStringSize]) {
    const std::string_view text = string_register(n);
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
}

}  // namespace zmb
