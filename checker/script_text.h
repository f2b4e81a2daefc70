// A script file cut into the pieces the module reads from it: the header with
// room for 255 characters, then script lines with room for 257, line end
// included. A longer line arrives in pieces and each piece runs on its own,
// so the checker looks at exactly those pieces.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace checker {

struct Piece {
    int line = 0;      // physical line of the file, from 1
    int column = 0;    // column of the piece's first character in that line, from 1
    std::string text;  // as read: the line end is included when the piece reaches it
};

// pieces[0] is the header as the loader reads it; the run driver reads the
// rest. Offset 0 of the file (where /LOOP before any /LABEL goes) is pieces[0].
struct ScriptText {
    std::vector<Piece> pieces;
};

ScriptText read_pieces(std::string_view bytes);

// The three header lines as the menu generator reads them (249 characters
// each, line end included); a line the file does not have is empty.
std::array<std::string, 3> menu_header_lines(std::string_view bytes);

// Every physical line with its length without the line end, for the checks
// that speak of the file as an author sees it.
std::vector<std::string_view> physical_lines(std::string_view bytes);

}  // namespace checker
