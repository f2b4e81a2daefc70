// What every test binary shares: a scratch folder taken from the
// environment, and a screen's text without its ANSI sequences.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace test {

// A fresh folder under TMPDIR (or the system's temporary folder), named
// <prefix>-XXXXXX; "" with a test failure when it cannot be made.
inline std::string make_scratch_dir(std::string_view prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create the scratch folder " << pattern;
        return "";
    }
    return pattern;
}

// Removes ESC [ parameters (0x30-0x3F), intermediates (0x20-0x2F) and one
// final byte (0x40-0x7E); a lone or broken ESC goes on its own, so a cut
// sequence never eats a line end.
inline std::string strip_ansi(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\x1b') {
            out += s[i];
            continue;
        }
        if (i + 1 < s.size() && s[i + 1] == '[') {
            size_t j = i + 2;
            while (j < s.size() && s[j] >= 0x20 && s[j] <= 0x3F)
                ++j;
            const bool final_byte = j < s.size() && s[j] >= 0x40 && s[j] <= 0x7E;
            i = final_byte ? j : j - 1;
        }
    }
    return out;
}

}  // namespace test
