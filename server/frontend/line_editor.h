// Turns the bytes a user types into lines: line ends CR LF, CR NUL, a lone
// CR or a lone LF; backspace and delete; typed characters echoed; control
// characters and terminal escape sequences (cursor keys and the like)
// dropped; a line never longer than the limit, whatever arrives.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "server/frontend/charset.h"

namespace frontend {

class LineEditor {
  public:
    void set_charset(Charset cs) { charset_ = cs; }
    Charset charset() const { return charset_; }

    // Feeds typed bytes. Echo text (CP437, LF line ends) is appended to
    // `echo`; each finished line (CP437, no line end, no control
    // characters, at most `limit` characters) is appended to `lines`.
    // Characters typed beyond the limit are dropped and not echoed.
    void feed(std::string_view bytes, size_t limit, std::string& echo,
              std::deque<std::string>& lines);

    const std::string& partial() const { return line_; }

  private:
    enum class Escape { none, started, csi, single };
    void take_character(char32_t cp, size_t limit, std::string& echo);

    Charset charset_ = Charset::utf8;
    Utf8Decoder decoder_;
    std::string line_;
    bool after_cr_ = false;
    Escape escape_ = Escape::none;
};

}  // namespace frontend
