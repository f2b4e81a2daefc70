// The accounts of a world in the SQLite database IGMHOST.DB in its folder.
// WAL mode lets the account tools work while igmhost runs; every change is
// one short transaction. The schema is made and migrated here, by the
// database's user_version; an ACCOUNTS.TXT of an older world is imported
// once by whichever program opens the database first, then renamed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace accounts {

inline constexpr const char* kDatabaseFile = "IGMHOST.DB";
inline constexpr const char* kImportedSuffix = ".imported";

struct Account {
    int64_t id = 0;
    std::string name;  // as first typed
    std::string hash;  // Argon2id string; "" while the account has no password
    int age = 0;
    std::vector<std::string> keys;  // access keys, e.g. "SYSOP"
    int64_t created = 0;            // seconds since 1970
    int64_t last_on = 0;            // 0: never signed on
    std::string last_from;          // address of the last sign-on
    int calls = 0;
    bool imported = false;  // came from ACCOUNTS.TXT
    bool retired = false;   // deleted: the name can never be taken again
    bool colour = true;     // the terminal is sent ANSI colour (C at the realm list)
};

enum class DbStatus {
    ok,
    missing,  // no such account
    taken,    // the name exists already (or is retired)
    busy,     // another program holds the write lock: try again later
    failed,   // anything else; see last_error()
};

class AccountDb {
  public:
    using Log = std::function<void(const std::string&)>;

    // Opens (making and migrating as needed) the database `path`, importing
    // `accounts_txt` when it exists. `busy_ms` is how long one statement may
    // wait for a lock held by another program. Nothing, with *error naming
    // the file, when it is damaged, locked or of a newer schema.
    static std::unique_ptr<AccountDb> open(const std::string& path, const std::string& accounts_txt,
                                           int busy_ms, Log log, std::string* error);
    ~AccountDb();
    AccountDb(const AccountDb&) = delete;
    AccountDb& operator=(const AccountDb&) = delete;

    // Looks a name up ignoring case; retired accounts are found too.
    DbStatus find(std::string_view name, Account* out);
    std::vector<Account> list();
    // Adds `account` (its name, hash, age, keys, created) in one transaction.
    DbStatus create(const Account& account);
    // A sign-on: when and from where; `new_hash` replaces the hash when not "".
    DbStatus record_sign_on(int64_t id, int64_t when, std::string_view from,
                            std::string_view new_hash);
    DbStatus set_password(std::string_view name, std::string_view hash);
    DbStatus set_colour(int64_t id, bool colour);
    DbStatus grant(std::string_view name, std::string_view key);
    DbStatus revoke(std::string_view name, std::string_view key);
    // Retires the account: hash and keys gone, the name kept so that nobody
    // registering it later inherits the player records it left.
    DbStatus retire(std::string_view name);
    // A consistent copy of the database into `path` (SQLite's backup API).
    DbStatus backup_to(const std::string& path);

    const std::string& last_error() const { return error_; }

  private:
    explicit AccountDb(sqlite3* db) : db_(db) {}
    bool migrate(std::string* error);
    bool import_text_file(const std::string& accounts_txt, const Log& log, std::string* error);
    DbStatus fail(int code);
    DbStatus change_keys(std::string_view name, std::string_view key, bool add);

    sqlite3* db_;
    std::string error_;
};

// The name in the form that is unique: ASCII letters in lower case.
std::string name_key(std::string_view name);
std::string join_keys(const std::vector<std::string>& keys);
std::vector<std::string> split_keys(std::string_view text);

}  // namespace accounts
