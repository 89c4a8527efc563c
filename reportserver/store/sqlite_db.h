// Thin RAII owners over SQLite: a connection, a prepared statement, an
// immediate write transaction and a stretch of commits that do not wait for
// the disk. Values always go in through bind calls.
//
// A connection keeps the statements it has prepared, by their SQL text, and
// hands them out again: preparing the same few texts for every query and
// commit was a large part of a publish's processor time.
//
// Thread-safety: one owner per thread at a time, like the connection itself.
// Ownership: Database owns its connection and the statements kept for reuse;
// a Statement borrows one (and must not outlive the Database), resets it and
// gives it back; Transaction rolls back unless committed; UnsyncedCommits
// puts full synchronous writes back when it goes.
#ifndef KORVA_REPORTSERVER_STORE_SQLITE_DB_H_
#define KORVA_REPORTSERVER_STORE_SQLITE_DB_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace korva {

class Database {
 public:
  Database() = default;
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens the file with the SQLITE_OPEN_* flags; on failure *error names
  // the file and the reason.
  bool open(const std::string& path, int flags, std::string* error);
  void close();
  bool isOpen() const { return db_ != nullptr; }
  sqlite3* handle() const { return db_; }
  // The path given to open (in the process's encoding).
  const std::string& path() const { return path_; }

  // Runs statements without values; on failure *error holds SQLite's text.
  bool exec(const char* sql, std::string* error);
  std::string lastMessage() const;

  // A prepared statement for the text, kept or new; null when it does not
  // prepare. Given back reset and without bindings.
  sqlite3_stmt* acquireStatement(const char* sql);
  void giveBackStatement(sqlite3_stmt* stmt);

 private:
  void finalizeKept();

  sqlite3* db_ = nullptr;
  std::string path_;
  std::unordered_map<std::string, std::vector<sqlite3_stmt*>> kept_;
  size_t keptCount_ = 0;
};

class Statement {
 public:
  Statement(Database& db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  void bind(int index, int64_t value);
  void bind(int index, const std::string& text);
  // The bytes must stay valid until the statement is stepped.
  void bindBlobStatic(int index, const void* data, int size);
  void bindNull(int index);
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step();
  // Steps once and answers whether it finished without error.
  bool run();
  void reset();

  int64_t columnInt(int index) const;
  std::string columnText(int index) const;
  bool columnIsNull(int index) const;
  // Valid until the next step or reset.
  const void* columnBlob(int index, int* size) const;

 private:
  Database& db_;
  sqlite3* connection_ = nullptr;  // the connection the statement belongs to
  sqlite3_stmt* stmt_ = nullptr;
  int firstError_ = SQLITE_OK;
};

// BEGIN IMMEDIATE ... COMMIT; the destructor rolls back an open transaction.
class Transaction {
 public:
  explicit Transaction(Database& db) : db_(db) {}
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool begin(std::string* error);
  bool commit(std::string* error);
  void rollback();

 private:
  Database& db_;
  bool open_ = false;
};

// While it lives, the connection's commits do not wait for the disk
// (synchronous=NORMAL; the repository keeps its write-ahead log): each is
// whole or absent after a crash, and becomes durable with the next commit
// that does wait (full synchronous writes, put back when it goes). For work
// that no client sees until such a commit.
class UnsyncedCommits {
 public:
  explicit UnsyncedCommits(Database& db);
  ~UnsyncedCommits();
  UnsyncedCommits(const UnsyncedCommits&) = delete;
  UnsyncedCommits& operator=(const UnsyncedCommits&) = delete;

 private:
  Database& db_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_SQLITE_DB_H_
