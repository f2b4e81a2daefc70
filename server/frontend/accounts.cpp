// ACCOUNTS.TXT: reading, checking and appending accounts.
#include "server/frontend/accounts.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

namespace frontend {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Calls `each(line_number, line)` for every line of the file.
template <typename F>
void for_each_line(F each) {
    std::ifstream in(kAccountsFile, std::ios::binary);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number)
        each(number, std::string_view(line));
}

bool is_note(std::string_view line) {
    line = trim(line);
    return line.empty() || line.front() == '#';
}

}  // namespace

std::optional<std::string> clean_name(std::string_view typed) {
    std::string name;
    for (char c : trim(typed)) {
        auto byte = static_cast<unsigned char>(c);
        if (c == ' ') {
            if (!name.empty() && name.back() != ' ') name += ' ';
        } else if (byte < 0x80 && std::isalnum(byte)) {
            name += c;
        } else {
            return std::nullopt;
        }
    }
    if (name.empty() || name.size() > kMaxNameLength) return std::nullopt;
    return name;
}

std::optional<int> parse_age(std::string_view typed) {
    typed = trim(typed);
    int age = 0;
    auto [end, ec] = std::from_chars(typed.data(), typed.data() + typed.size(), age);
    if (typed.empty() || ec != std::errc{} || end != typed.data() + typed.size()) {
        return std::nullopt;
    }
    if (age < 1 || age > kMaxAge) return std::nullopt;
    return age;
}

std::optional<AccountEntry> parse_account_line(std::string_view line) {
    if (is_note(line)) return std::nullopt;
    size_t bar1 = line.find('|');
    if (bar1 == std::string_view::npos) return std::nullopt;
    size_t bar2 = line.find('|', bar1 + 1);
    std::string_view age_text = line.substr(
        bar1 + 1, bar2 == std::string_view::npos ? std::string_view::npos : bar2 - bar1 - 1);
    auto name = clean_name(line.substr(0, bar1));
    auto age = parse_age(age_text);
    if (!name || !age) return std::nullopt;
    AccountEntry entry{*name, *age, {}};
    if (bar2 != std::string_view::npos) {
        std::string_view keys = line.substr(bar2 + 1);
        while (!keys.empty()) {
            size_t comma = keys.find(',');
            std::string_view key = trim(keys.substr(0, comma));
            if (!key.empty()) entry.keys.emplace_back(key);
            if (comma == std::string_view::npos) break;
            keys.remove_prefix(comma + 1);
        }
    }
    return entry;
}

std::string format_account_line(const AccountEntry& entry) {
    std::string line = entry.name + "|" + std::to_string(entry.age) + "|";
    for (size_t i = 0; i < entry.keys.size(); ++i) {
        if (i > 0) line += ',';
        line += entry.keys[i];
    }
    return line;
}

std::optional<AccountEntry> find_account(std::string_view name) {
    std::optional<AccountEntry> found;
    for_each_line([&](int, std::string_view line) {
        if (found) return;
        auto entry = parse_account_line(line);
        if (entry && strcasecmp(entry->name.c_str(), std::string(name).c_str()) == 0) {
            found = std::move(entry);
        }
    });
    return found;
}

bool add_account(const AccountEntry& entry, std::string* error) {
    // A file whose last line lacks its line end must not swallow the new one.
    bool needs_newline = false;
    {
        std::ifstream in(kAccountsFile, std::ios::binary | std::ios::ate);
        if (in && in.tellg() > 0) {
            in.seekg(-1, std::ios::end);
            needs_newline = in.get() != '\n';
        }
    }
    std::ofstream out(kAccountsFile, std::ios::binary | std::ios::app);
    if (needs_newline) out << '\n';
    out << format_account_line(entry) << '\n';
    out.flush();
    if (!out) {
        if (error)
            *error = std::string("cannot write ") + kAccountsFile + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::vector<int> malformed_account_lines() {
    std::vector<int> bad;
    for_each_line([&](int number, std::string_view line) {
        if (!is_note(line) && !parse_account_line(line)) bad.push_back(number);
    });
    return bad;
}

}  // namespace frontend
