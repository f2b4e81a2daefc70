// Typed bytes to lines, with echo.
#include "server/frontend/line_editor.h"

namespace frontend {
namespace {
constexpr char kBackspace = 8;
constexpr char kDelete = 127;
constexpr char kEscape = 27;
}  // namespace

void LineEditor::feed(std::string_view bytes, size_t limit, std::string& echo,
                      std::deque<std::string>& lines) {
    for (char c : bytes) {
        auto byte = static_cast<uint8_t>(c);
        // A CR ends the line; the LF or NUL a telnet client sends after it
        // belongs to the same line end.
        if (after_cr_) {
            after_cr_ = false;
            if (c == '\n' || c == '\0') continue;
        }
        // ESC [ ... final, ESC O x and ESC x are keys, not text.
        // A line end is never part of a key: it ends the line as usual.
        if (escape_ != Escape::none && (c == '\r' || c == '\n')) escape_ = Escape::none;
        if (escape_ == Escape::started) {
            escape_ = c == '[' ? Escape::csi : c == 'O' ? Escape::single : Escape::none;
            continue;
        }
        if (escape_ == Escape::csi) {
            if (byte >= 0x40 && byte <= 0x7E) escape_ = Escape::none;
            if (byte >= 0x20 && byte < 0x80) continue;
            escape_ = Escape::none;  // a broken sequence: handle the byte as usual
        } else if (escape_ == Escape::single) {
            escape_ = Escape::none;
            continue;
        }
        if (c == '\r' || c == '\n') {
            after_cr_ = c == '\r';
            echo += '\n';
            lines.push_back(std::move(line_));
            line_.clear();
            decoder_ = Utf8Decoder{};
            continue;
        }
        if (c == kBackspace || c == kDelete) {
            if (!line_.empty()) {
                line_.pop_back();
                echo += "\b \b";
            }
            continue;
        }
        if (c == kEscape) {
            escape_ = Escape::started;
            continue;
        }
        if (byte < 32) continue;
        if (charset_ == Charset::cp437) {
            take_character(byte, limit, echo);
        } else if (auto cp = decoder_.feed(byte)) {
            take_character(*cp, limit, echo);
        }
    }
}

void LineEditor::take_character(char32_t cp, size_t limit, std::string& echo) {
    uint8_t byte = charset_ == Charset::cp437 ? static_cast<uint8_t>(cp) : unicode_to_cp437(cp);
    if (byte == 0) byte = '?';  // a character the code page lacks
    if (line_.size() >= limit) return;
    line_ += static_cast<char>(byte);
    echo += static_cast<char>(byte);
}

}  // namespace frontend
