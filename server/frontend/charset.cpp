// CP437 <-> Unicode for the terminals, and the choice of set per terminal.
#include "server/frontend/charset.h"

#include <array>
#include <cctype>

namespace frontend {
namespace {

// Unicode of CP437 bytes 128..255, sixteen to a row (0x80, 0x90, ... 0xF0).
constexpr std::array<char16_t, 128> kHighHalf = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  //
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  //
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  //
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  //
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  //
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  //
};

// Terminal types (compared ignoring case, as prefixes) that expect the PC
// code page, and those known to take UTF-8. Any other is probed.
constexpr std::array<std::string_view, 7> kCp437Terminals = {
    "ANSI", "SCOANSI", "PCANSI", "SYNCTERM", "CTERM", "NETRUNNER", "QODEM",
};
constexpr std::array<std::string_view, 16> kUtf8Terminals = {
    "XTERM", "SCREEN",  "TMUX",  "LINUX",     "RXVT",  "PUTTY",   "VT1",  "VT2",
    "DUMB",  "KONSOLE", "GNOME", "ALACRITTY", "KITTY", "WEZTERM", "FOOT", "ST-",
};

bool starts_with_ignoring_case(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(s[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && starts_with_ignoring_case(a, b);
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::optional<Charset> parse_charset(std::string_view name) {
    if (equal_ignoring_case(name, "cp437")) return Charset::cp437;
    if (equal_ignoring_case(name, "utf8") || equal_ignoring_case(name, "utf-8"))
        return Charset::utf8;
    return std::nullopt;
}

const char* charset_name(Charset cs) {
    return cs == Charset::cp437 ? "cp437" : "utf8";
}

std::optional<Charset> charset_for_terminal(std::string_view terminal_type) {
    for (std::string_view prefix : kCp437Terminals) {
        if (starts_with_ignoring_case(terminal_type, prefix)) return Charset::cp437;
    }
    for (std::string_view prefix : kUtf8Terminals) {
        if (starts_with_ignoring_case(terminal_type, prefix)) return Charset::utf8;
    }
    return std::nullopt;
}

bool terminal_without_colour(std::string_view terminal_type) {
    return equal_ignoring_case(terminal_type, "DUMB");
}

Charset charset_for_codeset(std::string_view codeset) {
    return equal_ignoring_case(codeset, "CP437") || equal_ignoring_case(codeset, "IBM437") ||
                   equal_ignoring_case(codeset, "437")
               ? Charset::cp437
               : Charset::utf8;
}

char32_t cp437_to_unicode(uint8_t byte) {
    return byte < 0x80 ? char32_t{byte} : char32_t{kHighHalf[byte - 0x80]};
}

uint8_t unicode_to_cp437(char32_t cp) {
    if (cp < 0x80) return static_cast<uint8_t>(cp);
    for (size_t i = 0; i < kHighHalf.size(); ++i) {
        if (kHighHalf[i] == cp) return static_cast<uint8_t>(0x80 + i);
    }
    return 0;
}

void append_for_terminal(std::string& out, std::string_view text, Charset cs) {
    char previous = 0;
    for (char c : text) {
        if (c == '\n' && previous != '\r') out += '\r';
        auto byte = static_cast<uint8_t>(c);
        if (cs == Charset::utf8 && byte >= 0x80) {
            append_utf8(out, cp437_to_unicode(byte));
        } else {
            out += c;
        }
        previous = c;
    }
}

std::optional<char32_t> Utf8Decoder::feed(uint8_t byte) {
    if (remaining_ > 0) {
        if ((byte & 0xC0) == 0x80) {
            partial_ = (partial_ << 6) | (byte & 0x3F);
            if (--remaining_ > 0) return std::nullopt;
            bool bad = partial_ < minimum_ || partial_ > 0x10FFFF ||
                       (partial_ >= 0xD800 && partial_ <= 0xDFFF);
            return bad ? char32_t{0xFFFD} : partial_;
        }
        // A sequence cut short is dropped; this byte starts afresh.
        remaining_ = 0;
    }
    if (byte < 0x80) return char32_t{byte};
    if ((byte & 0xE0) == 0xC0) {
        partial_ = byte & 0x1F, remaining_ = 1, minimum_ = 0x80;
    } else if ((byte & 0xF0) == 0xE0) {
        partial_ = byte & 0x0F, remaining_ = 2, minimum_ = 0x800;
    } else if ((byte & 0xF8) == 0xF0) {
        partial_ = byte & 0x07, remaining_ = 3, minimum_ = 0x10000;
    } else {
        return char32_t{0xFFFD};
    }
    return std::nullopt;
}

}  // namespace frontend
