// SQLite owners.
#include "reportserver/store/sqlite_db.h"

#include "platform/file_name_utf8.h"

namespace korva {

Database::~Database() { close(); }

bool Database::open(const std::string& path, int flags, std::string* error) {
  close();
  // SQLite takes UTF-8 file names; the path is in the local encoding.
  std::string name;
  if (!fileNameAsUtf8(path, &name)) {
    if (error) *error = "Cannot open the repository " + path + ": the name is no valid file name.";
    return false;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    if (error) {
      *error = "Cannot open the repository " + path + ": " +
               (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + ".";
    }
    sqlite3_close_v2(db);
    return false;
  }
  db_ = db;
  path_ = path;
  sqlite3_extended_result_codes(db_, 1);
  return true;
}

void Database::close() {
  if (db_) {
    finalizeKept();
    sqlite3_close_v2(db_);
    db_ = nullptr;
    path_.clear();
  }
}

namespace {
// Enough for every text the server runs; beyond it statements are not kept.
constexpr size_t kMaxKeptStatements = 128;
}  // namespace

sqlite3_stmt* Database::acquireStatement(const char* sql) {
  if (!db_) return nullptr;
  auto it = kept_.find(sql);
  if (it != kept_.end() && !it->second.empty()) {
    sqlite3_stmt* stmt = it->second.back();
    it->second.pop_back();
    --keptCount_;
    return stmt;
  }
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  return stmt;
}

void Database::giveBackStatement(sqlite3_stmt* stmt) {
  if (!stmt) return;
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (!db_ || sqlite3_db_handle(stmt) != db_ || keptCount_ >= kMaxKeptStatements) {
    sqlite3_finalize(stmt);
    return;
  }
  kept_[sqlite3_sql(stmt)].push_back(stmt);
  ++keptCount_;
}

void Database::finalizeKept() {
  for (auto& [sql, statements] : kept_) {
    for (sqlite3_stmt* stmt : statements) sqlite3_finalize(stmt);
  }
  kept_.clear();
  keptCount_ = 0;
}

bool Database::exec(const char* sql, std::string* error) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    if (error) *error = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return false;
  }
  return true;
}

std::string Database::lastMessage() const { return db_ ? sqlite3_errmsg(db_) : "no database"; }

Statement::Statement(Database& db, const char* sql) : db_(db), connection_(db.handle()) {
  stmt_ = db.acquireStatement(sql);
}

Statement::~Statement() {
  if (!stmt_) return;
  // A connection closed or reopened meanwhile does not take it back.
  if (db_.handle() == connection_) {
    db_.giveBackStatement(stmt_);
  } else {
    sqlite3_finalize(stmt_);
  }
}

void Statement::bind(int index, int64_t value) {
  if (!stmt_) return;
  int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK && firstError_ == SQLITE_OK) firstError_ = rc;
}

void Statement::bind(int index, const std::string& text) {
  if (!stmt_) return;
  int rc =
      sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK && firstError_ == SQLITE_OK) firstError_ = rc;
}

void Statement::bindBlobStatic(int index, const void* data, int size) {
  if (!stmt_) return;
  int rc = sqlite3_bind_blob(stmt_, index, data, size, SQLITE_STATIC);
  if (rc != SQLITE_OK && firstError_ == SQLITE_OK) firstError_ = rc;
}

void Statement::bindNull(int index) {
  if (!stmt_) return;
  int rc = sqlite3_bind_null(stmt_, index);
  if (rc != SQLITE_OK && firstError_ == SQLITE_OK) firstError_ = rc;
}

int Statement::step() {
  if (!stmt_) return SQLITE_MISUSE;
  if (firstError_ != SQLITE_OK) return firstError_;
  return sqlite3_step(stmt_);
}

bool Statement::run() { return step() == SQLITE_DONE; }

void Statement::reset() {
  if (!stmt_) return;
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  firstError_ = SQLITE_OK;
}

int64_t Statement::columnInt(int index) const { return sqlite3_column_int64(stmt_, index); }

std::string Statement::columnText(int index) const {
  const unsigned char* text = sqlite3_column_text(stmt_, index);
  int size = sqlite3_column_bytes(stmt_, index);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size))
              : std::string();
}

const void* Statement::columnBlob(int index, int* size) const {
  const void* data = sqlite3_column_blob(stmt_, index);
  *size = sqlite3_column_bytes(stmt_, index);
  return data;
}

bool Statement::columnIsNull(int index) const {
  return sqlite3_column_type(stmt_, index) == SQLITE_NULL;
}

Transaction::~Transaction() { rollback(); }

bool Transaction::begin(std::string* error) {
  if (!db_.exec("BEGIN IMMEDIATE", error)) return false;
  open_ = true;
  return true;
}

bool Transaction::commit(std::string* error) {
  if (!open_) return false;
  if (!db_.exec("COMMIT", error)) return false;  // still open: the destructor rolls back
  open_ = false;
  return true;
}

void Transaction::rollback() {
  if (!open_) return;
  open_ = false;
  if (sqlite3_get_autocommit(db_.handle()) == 0) db_.exec("ROLLBACK", nullptr);
}

UnsyncedCommits::UnsyncedCommits(Database& db) : db_(db) {
  Statement(db_, "PRAGMA synchronous=NORMAL").run();
}

UnsyncedCommits::~UnsyncedCommits() { Statement(db_, "PRAGMA synchronous=FULL").run(); }

}  // namespace korva
