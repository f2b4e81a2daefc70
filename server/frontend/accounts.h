// The accounts of the users who sign on: the plain text file ACCOUNTS.TXT
// in the data folder, one account a line, "name|age|keys" with the access
// keys separated by commas ("Sysop|40|SYSOP"). Blank lines and lines that
// begin with "#" are notes. New users are appended without keys: keys such
// as the sysop key are granted only by editing the file.
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
std::string format_account_line(const AccountEntry& entry);

// The account with this name (compared ignoring case), read afresh from
// the file so that edits apply at the next sign-on.
std::optional<AccountEntry> find_account(std::string_view name);
// Appends a new account; false (with the reason in *error) when it cannot.
bool add_account(const AccountEntry& entry, std::string* error);
// Malformed lines of the file, for the start-up log (1-based line numbers).
std::vector<int> malformed_account_lines();

}  // namespace frontend
