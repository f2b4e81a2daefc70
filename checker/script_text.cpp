// Reading a script the way the module's fgets calls do: a piece ends after a
// line feed or when the room is full, whichever comes first.
#include "checker/script_text.h"

#include "checker/language.h"

namespace checker {
namespace {

// Reads one piece of at most `room` characters starting at `at`.
std::string_view next_piece(std::string_view bytes, size_t at, size_t room) {
    const size_t end_of_line = bytes.find('\n', at);
    size_t length =
        end_of_line == std::string_view::npos ? bytes.size() - at : end_of_line + 1 - at;
    if (length > room) length = room;
    return bytes.substr(at, length);
}

}  // namespace

ScriptText read_pieces(std::string_view bytes) {
    ScriptText script;
    int line = 1;
    int column = 1;
    size_t at = 0;
    bool header = true;
    while (at < bytes.size()) {
        const std::string_view piece =
            next_piece(bytes, at, header ? language::kHeaderRoom : language::kLineRoom);
        script.pieces.push_back({line, column, std::string(piece)});
        at += piece.size();
        header = false;
        if (!piece.empty() && piece.back() == '\n') {
            ++line;
            column = 1;
        } else {
            column += static_cast<int>(piece.size());
        }
    }
    if (script.pieces.empty()) script.pieces.push_back({1, 1, ""});  // an empty file
    return script;
}

std::array<std::string, 3> menu_header_lines(std::string_view bytes) {
    std::array<std::string, 3> lines;
    size_t at = 0;
    for (std::string& line : lines) {
        if (at >= bytes.size()) break;
        const std::string_view piece = next_piece(bytes, at, language::kMenuLineRoom);
        line = std::string(piece);
        at += piece.size();
    }
    return lines;
}

std::vector<std::string_view> physical_lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

}  // namespace checker
