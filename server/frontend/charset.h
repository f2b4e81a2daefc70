// Character sets of the terminals igmhost talks to. Modules write bytes of
// the PC code page 437 (such as 254, a small filled square); a CP437
// terminal gets them as they are, a UTF-8 terminal gets each byte from 128
// up as its Unicode character. Typed UTF-8 comes back the other way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace frontend {

enum class Charset { cp437, utf8 };

// "cp437" or "utf8" (any case; "utf-8" too). Nothing for anything else.
std::optional<Charset> parse_charset(std::string_view name);
const char* charset_name(Charset cs);

// The set to use for a telnet TERMINAL-TYPE: the PC/BBS ANSI terminals
// ("ANSI", "SCOANSI", "PCANSI", "SYNCTERM", ...) take CP437, the known
// Unix terminals ("XTERM", "SCREEN", "LINUX", "DUMB", ...) UTF-8. Nothing
// for any other name: such a terminal is probed (telnet.h).
std::optional<Charset> charset_for_terminal(std::string_view terminal_type);
// Terminal types that cannot show colour ("DUMB").
bool terminal_without_colour(std::string_view terminal_type);

// The set of a locale's codeset name (nl_langinfo(CODESET)): CP437 for the
// PC code page's own names, UTF-8 for everything else, "ANSI_X3.4-1968"
// (LANG=C) included, since a console today shows UTF-8.
Charset charset_for_codeset(std::string_view codeset);

// The Unicode character of a CP437 byte; bytes below 128 stand for themselves.
char32_t cp437_to_unicode(uint8_t byte);
// The CP437 byte of a Unicode character, or 0 when the code page has none.
uint8_t unicode_to_cp437(char32_t cp);

// Appends `text` (CP437 bytes) to `out` in the terminal's set, turning each
// line feed that has no carriage return before it into CR LF.
void append_for_terminal(std::string& out, std::string_view text, Charset cs);

// Decodes typed UTF-8 one byte at a time. A stray or invalid byte and an
// overlong or surrogate sequence yield U+FFFD; a sequence cut short by a
// new lead byte is dropped.
class Utf8Decoder {
  public:
    // Returns a complete character, or nothing while a sequence is open.
    std::optional<char32_t> feed(uint8_t byte);

  private:
    char32_t partial_ = 0;
    int remaining_ = 0;
    char32_t minimum_ = 0;  // overlong sequences are malformed
};

}  // namespace frontend
