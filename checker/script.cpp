// Reading a script into lines the way the interpreter classifies them, the
// forward label search, and the report that keeps each finding once.
#include "checker/script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "checker/language.h"
#include "include/regular_file.h"

namespace checker {

namespace kw = zmb::script;

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (kw::upper(text[i]) != kw::upper(prefix[i])) return false;
    return true;
}

int keyword_row(std::string_view text) {
    for (size_t row = 0; row < kw::kKeywords.size(); ++row)
        if (starts_with_ignoring_case(text, kw::kKeywords[row].text)) return static_cast<int>(row);
    return -1;
}

std::string upper_case(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = kw::upper(c);
    return out;
}

std::string in_quotes(std::string_view text) {
    // Appended, not "'" + string: GCC 12's -Wrestrict misreads that at -O3.
    std::string out(1, '\'');
    out += strip_controls(text);
    out += '\'';
    return out;
}

std::string strip_controls(std::string_view text) {
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 32) out += c;
    return out;
}

std::string_view slice(std::string_view text, size_t first, size_t last) {
    if (first >= text.size() || last < first) return {};
    return text.substr(first, last - first + 1);
}

long number_of(std::string_view text) {
    const std::string copy(text);
    return std::strtol(copy.c_str(), nullptr, 10);
}

bool has_digits_at_start(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

std::string format_marker(std::string_view before, int value, std::string_view after) {
    return std::string(before) + std::to_string(value) + std::string(after);
}

std::string_view Line::body() const {
    std::string_view view(text);
    while (!view.empty() && static_cast<unsigned char>(view.back()) < 32)
        view.remove_suffix(1);
    return view;
}

namespace {

// "/" then digits then CHOICE or RANDOM (any case): an answer or alternative marker.
bool is_marker(std::string_view text) {
    size_t i = 1;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    if (i == 1) return false;
    const std::string_view rest = text.substr(i);
    return starts_with_ignoring_case(rest, "CHOICE") || starts_with_ignoring_case(rest, "RANDOM");
}

// Whether a skip for `target` ends at this line.
bool ends_skip(const Line& line, std::string_view target) {
    const std::string_view text(line.text);
    for (size_t i = 0; i < target.size(); ++i) {
        if (i >= text.size()) return false;
        if (text[i] == kw::kBar) return false;  // a label is plain text
        if (kw::upper(text[i]) != kw::upper(target[i])) return false;
    }
    return true;
}

}  // namespace

Script Script::read(const fs::path& path, std::string name, fs::path folder, Role role) {
    Script script;
    script.name = std::move(name);
    script.path = path;
    script.folder = std::move(folder);
    script.role = role;
    // A pipe or a device in place of a script would block the read: it is
    // a script that cannot be read, as a missing one is.
    if (!files::read_regular(path.c_str(), &script.bytes)) return script;
    script.readable = true;
    script.text = read_pieces(script.bytes);
    script.valid_header =
        starts_with_ignoring_case(script.text.pieces[0].text, language::kHeaderPrefix);
    for (const Piece& piece : script.text.pieces) {
        Line line;
        line.piece = &piece;
        while (line.indent < piece.text.size() &&
               (piece.text[line.indent] == ' ' || piece.text[line.indent] == '\t'))
            ++line.indent;
        line.text = piece.text.substr(line.indent);
        if (line.is_slash()) {
            line.keyword = keyword_row(line.text);
            line.marker = line.keyword < 0 && is_marker(line.text);
        }
        script.lines.push_back(std::move(line));
    }
    return script;
}

int Script::find_forward(int from, std::string_view target) const {
    for (size_t i = static_cast<size_t>(from) + 1; i < lines.size(); ++i)
        if (ends_skip(lines[i], target)) return static_cast<int>(i);
    return -1;
}

int Script::find_backward(int before, std::string_view target) const {
    for (int i = before - 1; i >= 1; --i)
        if (ends_skip(lines[static_cast<size_t>(i)], target)) return i;
    return -1;
}

bool Report::push(Finding finding) {
    auto key = std::make_tuple(finding.file, finding.line, finding.column, finding.message);
    if (!seen_.insert(std::move(key)).second) return false;
    findings_.push_back(std::move(finding));
    return true;
}

bool Report::add(const Script& script, const Line& line, size_t at, Severity severity,
                 std::string message) {
    return push({script.name, line.piece->line, line.column(at), severity, std::move(message)});
}

bool Report::add_file(const Script& script, Severity severity, std::string message) {
    return push({script.name, 0, 0, severity, std::move(message)});
}

void Report::add_note(const Script& script, const Line& line, std::string message) {
    findings_.push_back(
        {script.name, line.piece->line, line.column(0), Severity::note, std::move(message)});
}

}  // namespace checker
