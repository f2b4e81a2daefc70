// IGMHOST.DB: schema, migrations, the import of ACCOUNTS.TXT, and the
// account statements.
#include "server/accounts/account_db.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "include/regular_file.h"
#include "server/frontend/accounts.h"

namespace accounts {
namespace {

// Migrations in order: entry i takes the schema from user_version i to
// i + 1. Only ever append; a released step is never changed.
constexpr const char* kMigrations[] = {
    // 0 -> 1: the accounts. name_key is the name in lower case, so that
    // names are unique without regard to case while shown as first typed.
    "CREATE TABLE accounts ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL,"
    "  name_key TEXT NOT NULL UNIQUE,"
    "  password_hash TEXT NOT NULL DEFAULT '',"
    "  age INTEGER NOT NULL,"
    "  access_keys TEXT NOT NULL DEFAULT '',"
    "  created INTEGER NOT NULL,"
    "  last_on INTEGER NOT NULL DEFAULT 0,"
    "  last_from TEXT NOT NULL DEFAULT '',"
    "  calls INTEGER NOT NULL DEFAULT 0,"
    "  imported INTEGER NOT NULL DEFAULT 0,"
    "  retired INTEGER NOT NULL DEFAULT 0);",
    // 1 -> 2: whether the caller's terminal is sent colour (the realm
    // list's C key turns it off for terminals that cannot show it).
    "ALTER TABLE accounts ADD COLUMN colour INTEGER NOT NULL DEFAULT 1;",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

constexpr const char* kColumns =
    "id, name, password_hash, age, access_keys, created, last_on, last_from, calls, imported, "
    "retired, colour";

// A prepared statement, finalized when it goes out of scope.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepared() const { return rc_; }
    Statement& text(int at, std::string_view value) {
        sqlite3_bind_text(s_, at, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& integer(int at, int64_t value) {
        sqlite3_bind_int64(s_, at, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return rc_ == SQLITE_OK ? sqlite3_step(s_) : rc_; }
    int64_t column_int(int at) const { return sqlite3_column_int64(s_, at); }
    std::string column_text(int at) const {
        const unsigned char* t = sqlite3_column_text(s_, at);
        return t ? reinterpret_cast<const char*>(t) : "";
    }

    // The row in kColumns order.
    Account account() const {
        Account a;
        a.id = column_int(0);
        a.name = column_text(1);
        a.hash = column_text(2);
        a.age = static_cast<int>(column_int(3));
        a.keys = split_keys(column_text(4));
        a.created = column_int(5);
        a.last_on = column_int(6);
        a.last_from = column_text(7);
        a.calls = static_cast<int>(column_int(8));
        a.imported = column_int(9) != 0;
        a.retired = column_int(10) != 0;
        a.colour = column_int(11) != 0;
        return a;
    }

  private:
    sqlite3_stmt* s_ = nullptr;
    int rc_;
};

bool is_busy(int code) {
    code &= 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

int exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace

std::string name_key(std::string_view name) {
    std::string key;
    for (char c : name)
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

std::string join_keys(const std::vector<std::string>& keys) {
    std::string out;
    for (const std::string& k : keys)
        out += (out.empty() ? "" : ",") + k;
    return out;
}

std::vector<std::string> split_keys(std::string_view text) {
    std::vector<std::string> keys;
    while (!text.empty()) {
        size_t comma = text.find(',');
        if (comma != 0) keys.emplace_back(text.substr(0, comma));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return keys;
}

std::unique_ptr<AccountDb> AccountDb::open(const std::string& path, const std::string& accounts_txt,
                                           int busy_ms, Log log, std::string* error) {
    // SQLite would create the files it misses, but block on a pipe or read
    // a device put in their place: each is refused by name.
    for (const std::string& file : {path, path + "-wal", path + "-shm", path + "-journal"}) {
        if (files::present_but_not_regular(file.c_str())) {
            *error = file + " is not a regular file";
            return nullptr;
        }
    }
    sqlite3* handle = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &handle,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<AccountDb> db(new AccountDb(handle));
    auto refuse = [&](const std::string& why) {
        *error = path + ": " + why;
        return nullptr;
    };
    if (rc != SQLITE_OK) return refuse(handle ? sqlite3_errmsg(handle) : "cannot open");
    // Opening may meet another program mid-write: give it a moment, then
    // the caller's own limit applies.
    sqlite3_busy_timeout(handle, 2000);
    rc = Statement(handle, "PRAGMA journal_mode=WAL").step();
    if (rc != SQLITE_ROW) {
        return refuse(is_busy(rc)
                          ? "locked by another program"
                          : std::string("damaged or not a database (") + sqlite3_errstr(rc) + ")");
    }
    bool intact = false;
    {
        Statement check(handle, "PRAGMA quick_check");
        rc = check.step();
        intact = rc == SQLITE_ROW && check.column_text(0) == "ok";
    }
    if (!intact) {
        return refuse(is_busy(rc) ? "locked by another program"
                                  : "damaged (integrity check failed)");
    }
    exec(handle, "PRAGMA synchronous=NORMAL");
    if (!db->migrate(error) || !db->import_text_file(accounts_txt, log, error)) {
        *error = path + ": " + *error;
        return nullptr;
    }
    sqlite3_busy_timeout(handle, busy_ms);
    return db;
}

AccountDb::~AccountDb() {
    sqlite3_close(db_);
}

bool AccountDb::migrate(std::string* error) {
    // BEGIN IMMEDIATE: two programs opening a new world migrate one at a time.
    if (int rc = exec(db_, "BEGIN IMMEDIATE"); rc != SQLITE_OK) {
        *error = is_busy(rc) ? "locked by another program" : sqlite3_errmsg(db_);
        return false;
    }
    int version = -1;
    {
        Statement read(db_, "PRAGMA user_version");
        if (read.step() == SQLITE_ROW) version = static_cast<int>(read.column_int(0));
    }
    if (version < 0 || version > kSchemaVersion) {
        exec(db_, "ROLLBACK");
        *error = version < 0 ? sqlite3_errmsg(db_)
                             : "made by a newer igmhost (schema " + std::to_string(version) + ")";
        return false;
    }
    for (int v = version; v < kSchemaVersion; ++v) {
        if (exec(db_, kMigrations[v]) != SQLITE_OK) {
            *error =
                std::string("schema step ") + std::to_string(v + 1) + ": " + sqlite3_errmsg(db_);
            exec(db_, "ROLLBACK");
            return false;
        }
    }
    std::string set = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    if (exec(db_, set.c_str()) != SQLITE_OK || exec(db_, "COMMIT") != SQLITE_OK) {
        *error = sqlite3_errmsg(db_);
        exec(db_, "ROLLBACK");
        return false;
    }
    return true;
}

bool AccountDb::import_text_file(const std::string& accounts_txt, const Log& log,
                                 std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Only read, so anything but a regular file counts as no file at all
    // (a pipe would block the read for good).
    std::string text;
    if (accounts_txt.empty() || !files::read_regular(accounts_txt.c_str(), &text)) return true;
    if (exec(db_, "BEGIN IMMEDIATE") != SQLITE_OK) {
        *error = std::string("cannot import ") + accounts_txt + ": " + sqlite3_errmsg(db_);
        return false;
    }
    // Another program may have imported it while this one waited for the lock.
    if (!files::read_regular(accounts_txt.c_str(), &text)) return exec(db_, "COMMIT") == SQLITE_OK;
    std::istringstream in(text);
    int imported = 0, skipped = 0, number = 0;
    std::string line, bad;
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    while (std::getline(in, line)) {
        ++number;
        auto entry = frontend::parse_account_line(line);
        if (!entry) {
            if (!frontend::is_note(line)) bad += (skipped++ ? ", " : "") + std::to_string(number);
            continue;
        }
        Statement insert(db_,
                         "INSERT OR IGNORE INTO accounts (name, name_key, age, access_keys, "
                         "created, imported) VALUES (?, ?, ?, ?, ?, 1)");
        insert.text(1, entry->name).text(2, name_key(entry->name)).integer(3, entry->age);
        insert.text(4, join_keys(entry->keys)).integer(5, now);
        if (insert.step() != SQLITE_DONE) {
            *error = std::string("cannot import ") + accounts_txt + ": " + sqlite3_errmsg(db_);
            exec(db_, "ROLLBACK");
            return false;
        }
        imported += sqlite3_changes(db_);
    }
    if (exec(db_, "COMMIT") != SQLITE_OK) {
        *error = std::string("cannot import ") + accounts_txt + ": " + sqlite3_errmsg(db_);
        exec(db_, "ROLLBACK");
        return false;
    }
    std::string renamed = accounts_txt + kImportedSuffix;
    fs::rename(accounts_txt, renamed, ec);
    std::string note = "imported " + std::to_string(imported) + " account" +
                       (imported == 1 ? "" : "s") + " from " + accounts_txt;
    if (skipped)
        note += " (" + std::to_string(skipped) + " malformed line" + (skipped == 1 ? "" : "s") +
                " skipped: " + bad + ")";
    note += ec ? "; cannot rename it: " + ec.message() : "; it is now " + renamed;
    if (log) log(note);
    return true;
}

DbStatus AccountDb::fail(int code) {
    if (is_busy(code)) return DbStatus::busy;
    error_ = sqlite3_errmsg(db_);
    return DbStatus::failed;
}

DbStatus AccountDb::find(std::string_view name, Account* out) {
    std::string sql = std::string("SELECT ") + kColumns + " FROM accounts WHERE name_key = ?";
    Statement s(db_, sql.c_str());
    s.text(1, name_key(name));
    int rc = s.step();
    if (rc == SQLITE_DONE) return DbStatus::missing;
    if (rc != SQLITE_ROW) return fail(rc);
    *out = s.account();
    return DbStatus::ok;
}

std::vector<Account> AccountDb::list() {
    std::string sql = std::string("SELECT ") + kColumns + " FROM accounts ORDER BY name_key";
    Statement s(db_, sql.c_str());
    std::vector<Account> all;
    while (s.step() == SQLITE_ROW)
        all.push_back(s.account());
    return all;
}

DbStatus AccountDb::create(const Account& a) {
    Statement s(db_,
                "INSERT INTO accounts (name, name_key, password_hash, age, access_keys, created, "
                "last_on, last_from, calls) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.text(1, a.name).text(2, name_key(a.name)).text(3, a.hash).integer(4, a.age);
    s.text(5, join_keys(a.keys)).integer(6, a.created).integer(7, a.last_on);
    s.text(8, a.last_from).integer(9, a.calls);
    int rc = s.step();
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) return DbStatus::taken;
    return rc == SQLITE_DONE ? DbStatus::ok : fail(rc);
}

DbStatus AccountDb::record_sign_on(int64_t id, int64_t when, std::string_view from,
                                   std::string_view new_hash) {
    Statement s(db_,
                "UPDATE accounts SET last_on = ?, last_from = ?, calls = calls + 1, "
                "password_hash = CASE WHEN ? = '' THEN password_hash ELSE ? END WHERE id = ?");
    s.integer(1, when).text(2, from).text(3, new_hash).text(4, new_hash).integer(5, id);
    int rc = s.step();
    return rc == SQLITE_DONE ? DbStatus::ok : fail(rc);
}

DbStatus AccountDb::set_colour(int64_t id, bool colour) {
    Statement s(db_, "UPDATE accounts SET colour = ? WHERE id = ?");
    s.integer(1, colour ? 1 : 0).integer(2, id);
    int rc = s.step();
    return rc == SQLITE_DONE ? DbStatus::ok : fail(rc);
}

DbStatus AccountDb::set_password(std::string_view name, std::string_view hash) {
    Statement s(db_, "UPDATE accounts SET password_hash = ? WHERE name_key = ? AND retired = 0");
    s.text(1, hash).text(2, name_key(name));
    int rc = s.step();
    if (rc != SQLITE_DONE) return fail(rc);
    return sqlite3_changes(db_) ? DbStatus::ok : DbStatus::missing;
}

DbStatus AccountDb::change_keys(std::string_view name, std::string_view key, bool add) {
    if (int rc = exec(db_, "BEGIN IMMEDIATE"); rc != SQLITE_OK) return fail(rc);
    Account a;
    DbStatus found = find(name, &a);
    if (found != DbStatus::ok || a.retired) {
        exec(db_, "ROLLBACK");
        return found == DbStatus::ok ? DbStatus::missing : found;
    }
    std::vector<std::string> keys;
    for (const std::string& k : a.keys)
        if (name_key(k) != name_key(key)) keys.push_back(k);
    if (add) keys.emplace_back(key);
    int rc = Statement(db_, "UPDATE accounts SET access_keys = ? WHERE id = ?")
                 .text(1, join_keys(keys))
                 .integer(2, a.id)
                 .step();
    if (rc != SQLITE_DONE || (rc = exec(db_, "COMMIT")) != SQLITE_OK) {
        DbStatus status = fail(rc);
        exec(db_, "ROLLBACK");
        return status;
    }
    return DbStatus::ok;
}

DbStatus AccountDb::grant(std::string_view name, std::string_view key) {
    return change_keys(name, key, true);
}

DbStatus AccountDb::revoke(std::string_view name, std::string_view key) {
    return change_keys(name, key, false);
}

DbStatus AccountDb::retire(std::string_view name) {
    Statement s(db_,
                "UPDATE accounts SET retired = 1, password_hash = '', access_keys = '' "
                "WHERE name_key = ? AND retired = 0");
    s.text(1, name_key(name));
    int rc = s.step();
    if (rc != SQLITE_DONE) return fail(rc);
    return sqlite3_changes(db_) ? DbStatus::ok : DbStatus::missing;
}

DbStatus AccountDb::backup_to(const std::string& path) {
    sqlite3* target = nullptr;
    if (sqlite3_open(path.c_str(), &target) != SQLITE_OK) {
        error_ = path + ": " + (target ? sqlite3_errmsg(target) : "cannot open");
        sqlite3_close(target);
        return DbStatus::failed;
    }
    sqlite3_backup* b = sqlite3_backup_init(target, "main", db_, "main");
    int rc = SQLITE_ERROR;
    if (b != nullptr) {
        // In steps, so that a writer is never kept waiting long.
        while ((rc = sqlite3_backup_step(b, 64)) == SQLITE_OK || is_busy(rc))
            if (is_busy(rc)) sqlite3_sleep(10);
        sqlite3_backup_finish(b);
    }
    if (rc != SQLITE_DONE) error_ = path + ": " + sqlite3_errmsg(target);
    sqlite3_close(target);
    return rc == SQLITE_DONE ? DbStatus::ok : DbStatus::failed;
}

}  // namespace accounts
