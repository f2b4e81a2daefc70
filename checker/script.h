// One script as the checker sees it: its pieces (the lines the module reads),
// each with its keyword found the way the interpreter finds it, and the
// forward label search that every jump, answer and block end relies on.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "checker/finding.h"
#include "checker/script_text.h"
#include "module/script/keywords.h"

namespace checker {

namespace fs = std::filesystem;
using zmb::script::Command;

// What a file is to the world: it decides which checks apply.
enum class Role {
    place,      // listed in the menu: header, title line, file-name line
    side_trip,  // started by /LOAD: from another script
    news,       // ZMB_VORN.NEW, started by the news command
};

struct Line {
    const Piece* piece = nullptr;
    size_t indent = 0;    // blanks and tabs the interpreter passes over
    std::string text;     // the piece from its first other character, line end included
    int keyword = -1;     // row in the keyword table; -1 when the line runs no command
    bool marker = false;  // "/<digits>CHOICE" or "/<digits>RANDOM": shown as text when run

    bool is_command() const { return keyword >= 0; }
    Command command() const { return zmb::script::kKeywords[static_cast<size_t>(keyword)].command; }
    bool is_slash() const { return !text.empty() && text[0] == '/'; }
    bool is_comment() const { return !text.empty() && text[0] == ';'; }
    // The file column of position `at` of text (from 0).
    int column(size_t at) const { return piece->column + static_cast<int>(indent + at); }
    // text without its line end and other trailing control characters.
    std::string_view body() const;
};

struct Script {
    std::string name;  // how findings name it
    fs::path path;
    fs::path folder;  // the script folder that /LOAD: looks in
    Role role = Role::place;
    bool readable = false;
    std::string bytes;
    ScriptText text;
    std::vector<Line> lines;    // one per piece; lines[0] is the header
    bool valid_header = false;  // what the loader accepts

    static Script read(const fs::path& path, std::string name, fs::path folder, Role role);
    // Index of the first line after `from` that ends a skip for `target`
    // (a prefix of its text, ignoring case), or -1 when none does. A line
    // with a substitution code before the end of the target is taken as no
    // match: labels and markers are written as plain text.
    int find_forward(int from, std::string_view target) const;
    // The same search backwards, for the note that a label stands before its jump.
    int find_backward(int before, std::string_view target) const;
};

// Findings, each kept once however many paths lead to it.
class Report {
  public:
    // Each returns false when the same finding was made before; a caller
    // adds its notes only after a finding that was new.
    bool add(const Script& script, const Line& line, size_t at, Severity severity,
             std::string message);
    bool add_file(const Script& script, Severity severity, std::string message);
    void add_note(const Script& script, const Line& line, std::string message);
    const std::vector<Finding>& findings() const { return findings_; }
    std::vector<Finding> take() { return std::move(findings_); }

  private:
    bool push(Finding finding);
    std::set<std::tuple<std::string, int, int, std::string>> seen_;
    std::vector<Finding> findings_;
};

// Helpers shared by the checks.
bool starts_with_ignoring_case(std::string_view text, std::string_view prefix);
int keyword_row(std::string_view text);  // -1 when no keyword matches
std::string upper_case(std::string_view text);
std::string strip_controls(std::string_view text);
// strip_controls(text) in single quotes, as findings quote script text.
std::string in_quotes(std::string_view text);
// The characters at first..last (both included) of text, as slice_text cuts.
std::string_view slice(std::string_view text, size_t first, size_t last);
// atol: blanks, a sign, digits; 0 when there are none.
long number_of(std::string_view text);
bool has_digits_at_start(std::string_view text);
// "/ENDVAL%d", "/%dCHOICE" and "/%dRANDOM" with the number filled in.
// "/ENDVAL3", "/2CHOICE": a marker with a number inside it.
std::string format_marker(std::string_view before, int value, std::string_view after);

}  // namespace checker
