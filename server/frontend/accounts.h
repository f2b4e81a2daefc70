// What a name and an age may be, and the plain text file ACCOUNTS.TXT of
// older worlds, which the account database imports once: one account a
// line, "name|age|keys" with the access keys separated by commas
// ("Sysop|40|SYSOP"). Blank lines and lines that begin with "#" are notes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace frontend {

inline constexpr const char* kAccountsFile = "ACCOUNTS.TXT";
inline constexpr size_t kMaxNameLength = 20;
inline constexpr int kMaxAge = 120;

struct AccountEntry {
    std::string name;
    int age = 0;
    std::vector<std::string> keys;
};

// A typed name made fit to use: blanks at the ends removed, runs of blanks
// made one. Nothing when it is empty, longer than 20 characters or holds
// anything but letters, digits and blanks.
std::optional<std::string> clean_name(std::string_view typed);

// An age typed at sign-on: a whole number from 1 to 120, nothing else.
std::optional<int> parse_age(std::string_view typed);

// One line of the file; nothing for a note or a malformed line.
std::optional<AccountEntry> parse_account_line(std::string_view line);
// A note: blank, or beginning with "#".
bool is_note(std::string_view line);

}  // namespace frontend
