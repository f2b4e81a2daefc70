// Names, ages and the lines of ACCOUNTS.TXT.
#include "server/frontend/accounts.h"

#include <cctype>
#include <charconv>

namespace frontend {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

bool is_note(std::string_view line) {
    line = trim(line);
    return line.empty() || line.front() == '#';
}

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

}  // namespace frontend
