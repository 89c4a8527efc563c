// The repository file: a newer or foreign file is refused with a clear
// description (and what to do about it), one of the older schema is
// upgraded whole, init builds a repository whole before it appears under its
// name, and two processes can write one repository at once.
#include "reportserver/store/repository.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/reportserver/repository_fixture.h"

namespace korva_rs_test {
namespace {

TEST_F(RepositoryTest, ANewerSchemaIsRefused) {
  setUserVersion(3);
  HRESULT hr = S_OK;
  EXPECT_FALSE(logon(L"Administrator", L"", L"localhost", &hr));
  EXPECT_EQ(hr, E_FAIL);
  const std::string expected = "The repository " + repositoryPath() +
                               " has schema version 3, newer than this server understands (2); "
                               "use a newer korvaserver.";
  EXPECT_EQ(lastError(), expected);
  std::string text, error;
  EXPECT_FALSE(korva::viewLocalRepository("localhost", korva::dumpRepository, &text, &error));
  EXPECT_EQ(error, expected);
  setUserVersion(2);
  EXPECT_TRUE(logon(L"Administrator", L""));
}

TEST_F(RepositoryTest, FilesThatAreNoRepositoryAreRefused) {
  struct Case {
    std::string content;
    std::string description;
  };
  const std::string path = repositoryPath("foreign");
  const std::string remove =
      " Remove the file, then create the repository again with korvaserver init.";
  const std::vector<Case> cases = {
      {"this is not a database, just some text that is long enough to have a header....",
       "Cannot read the repository " + path + ": file is not a database." + remove},
      {"", "The file " + path + " is not a complete repository (schema version 0)." + remove},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    std::filesystem::remove(path);
    writeFile("foreign.db", c.content);
    HRESULT hr = S_OK;
    EXPECT_FALSE(logon(L"Administrator", L"", L"foreign", &hr));
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(lastError(), c.description);
    std::string error;
    EXPECT_FALSE(korva::initRepository("foreign", "", &error));
    EXPECT_EQ(error, c.description);
    EXPECT_EQ(readFile(path), c.content);  // left as it was
  }
}

// Schema version 1, as repositories were made with it.
const char kVersion1Schema[] = R"sql(
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE id_sequence(next_id INTEGER NOT NULL);
CREATE TABLE plugins(
  id INTEGER PRIMARY KEY,
  type_id INTEGER NOT NULL UNIQUE,
  name TEXT NOT NULL UNIQUE,
  kind TEXT NOT NULL CHECK(kind IN ('user', 'folder', 'report', 'other')),
  position INTEGER NOT NULL);
CREATE TABLE objects(
  id INTEGER PRIMARY KEY,
  type_id INTEGER NOT NULL REFERENCES plugins(type_id),
  parent_id INTEGER NOT NULL DEFAULT 0,
  title TEXT NOT NULL DEFAULT '',
  description TEXT NOT NULL DEFAULT '');
CREATE INDEX objects_by_parent ON objects(parent_id, type_id);
CREATE TABLE users(
  id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE CASCADE,
  full_name TEXT NOT NULL DEFAULT '',
  license_type INTEGER NOT NULL DEFAULT 1,
  password TEXT,
  option1 INTEGER NOT NULL DEFAULT 0,
  option2 INTEGER NOT NULL DEFAULT 0,
  option3 INTEGER NOT NULL DEFAULT 0);
CREATE TABLE reports(
  id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE CASCADE,
  report_type TEXT NOT NULL DEFAULT '',
  thumbnail INTEGER NOT NULL DEFAULT 0,
  file_name TEXT,
  file_size INTEGER,
  file_sha256 TEXT);
CREATE TABLE report_chunks(
  report_id INTEGER NOT NULL REFERENCES reports(id) ON DELETE CASCADE,
  seq INTEGER NOT NULL,
  data BLOB NOT NULL);
CREATE UNIQUE INDEX report_chunks_order ON report_chunks(report_id, seq);
CREATE TABLE rights(
  object_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,
  user_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,
  role INTEGER NOT NULL,
  PRIMARY KEY(object_id, user_id));
CREATE INDEX rights_by_user ON rights(user_id);
)sql";

TEST_F(RepositoryTest, AVersion1RepositoryIsUpgradedWithItsContents) {
  std::vector<std::pair<int32_t, std::string>> reports;
  {
    Connection c = connect();
    const int32_t folder = addFolder(c, L"F", 0, L"folder");
    ASSERT_EQ(grant(c, folder, addUser(c, L"Alice", L"pw"), 2), S_OK);
    addReport(c, L"No file", folder, "");
    for (const std::string& content :
         {std::string(), std::string("x"), std::string(5 * 1024 * 1024 / 2, 'q') + "end"}) {
      const std::string file = writeFile("r" + std::to_string(content.size()) + ".rpt", content);
      reports.emplace_back(addReport(c, L"R" + widen(std::to_string(content.size())), folder, file),
                           content);
    }
  }
  const std::string expected = dump();
  // The same things as version 1 held them, as repository "old"; with a
  // table in the way, as "blocked", whose upgrade cannot finish.
  for (const char* aps : {"old", "blocked"}) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(repositoryPath(aps).c_str(), &db), SQLITE_OK);
    const std::string copy =
        std::string(kVersion1Schema) + "ATTACH '" + repositoryPath() +
        "' AS now;"
        "INSERT INTO settings SELECT * FROM now.settings;"
        "INSERT INTO id_sequence SELECT * FROM now.id_sequence;"
        "INSERT INTO plugins SELECT * FROM now.plugins;"
        "INSERT INTO objects SELECT * FROM now.objects;"
        "INSERT INTO users SELECT * FROM now.users;"
        "INSERT INTO reports SELECT id, report_type, thumbnail, file_name,"
        " file_size, file_sha256 FROM now.reports;"
        "INSERT INTO report_chunks SELECT r.id, k.seq, k.data FROM now.reports r"
        " JOIN now.content_chunks k ON k.content_id = r.content_id;"
        "INSERT INTO rights SELECT * FROM now.rights;"
        "PRAGMA user_version = 1;" +
        (aps == std::string("blocked") ? "CREATE TABLE contents(x);" : "");
    EXPECT_EQ(sqlite3_exec(db, copy.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  }

  std::string text, error;
  ASSERT_TRUE(korva::viewLocalRepository("old", korva::dumpRepository, &text, &error)) << error;
  EXPECT_EQ(text, expected);
  for (const auto& [id, content] : reports) {
    const std::string copy = (home_ / ("copy" + std::to_string(id))).string();
    ASSERT_TRUE(korva::exportReportContent("old", id, copy, &error)) << error;
    EXPECT_EQ(readFile(copy), content);
  }
  EXPECT_FALSE(korva::viewLocalRepository("blocked", korva::dumpRepository, &text, &error));
  EXPECT_EQ(error, "Cannot bring the repository " + repositoryPath("blocked") +
                       " up to date. Cannot upgrade the schema: table contents already exists.");
  struct Check {
    const char* aps;
    const char* sql;
    int64_t value;
  };
  const Check checks[] = {
      {"old", "PRAGMA user_version", 2},
      {"old", "SELECT COUNT(*) FROM sqlite_schema WHERE name = 'report_chunks'", 0},
      {"old", "SELECT COUNT(*) FROM pragma_foreign_key_check", 0},
      // Nothing of the upgrade stayed.
      {"blocked", "PRAGMA user_version", 1},
      {"blocked", "SELECT COUNT(*) FROM report_chunks", 4},
      {"blocked", "SELECT COUNT(*) FROM pragma_table_info('reports') WHERE name = 'content_id'", 0},
  };
  for (const Check& c : checks) {
    korva::Database db;
    ASSERT_TRUE(db.open(repositoryPath(c.aps), SQLITE_OPEN_READONLY, &error)) << error;
    korva::Statement st(db, c.sql);
    ASSERT_EQ(st.step(), SQLITE_ROW) << c.sql;
    EXPECT_EQ(st.columnInt(0), c.value) << c.aps << ": " << c.sql;
  }
}

// Records the name of every file SQLite opens while it is installed as the
// default file system of SQLite.
class SqliteOpenSpy {
 public:
  explicit SqliteOpenSpy(std::vector<std::string>* opened) {
    opened_ = opened;
    real_ = sqlite3_vfs_find(nullptr);
    spy_ = *real_;
    spy_.zName = "korva-open-spy";
    spy_.pNext = nullptr;
    spy_.xOpen = [](sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
      if (name) opened_->push_back(name);
      return real_->xOpen(real_, name, file, flags, outFlags);
    };
    sqlite3_vfs_register(&spy_, 1);
  }
  ~SqliteOpenSpy() {
    sqlite3_vfs_unregister(&spy_);
    sqlite3_vfs_register(real_, 1);
  }
  SqliteOpenSpy(const SqliteOpenSpy&) = delete;
  SqliteOpenSpy& operator=(const SqliteOpenSpy&) = delete;

 private:
  sqlite3_vfs spy_;
  static inline sqlite3_vfs* real_ = nullptr;
  static inline std::vector<std::string>* opened_ = nullptr;
};

TEST_F(RepositoryTest, InitBuildsTheRepositoryWholeBeforeItAppearsUnderItsName) {
  namespace fs = std::filesystem;
  const std::string path = fs::weakly_canonical(repositoryPath("whole")).string();
  std::vector<std::string> opened;
  {
    SqliteOpenSpy spy(&opened);
    std::string error;
    ASSERT_TRUE(korva::initRepository("whole", "pw", &error)) << error;
  }
  // A killed init can leave its own build file, never a file under the
  // repository's name (nor its journals) that is not complete.
  EXPECT_FALSE(opened.empty());
  for (const std::string& name : opened) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) EXPECT_NE(name, path + suffix);
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(home_)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("whole.db", 0) == 0) left.push_back(name);
  }
  EXPECT_EQ(left, std::vector<std::string>{"whole.db"});
  EXPECT_TRUE(logon(L"Administrator", L"pw", L"whole"));
}

}  // namespace
}  // namespace korva_rs_test
