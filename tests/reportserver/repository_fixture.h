// Fixture of the repository file tests: the schema version written behind
// the server's back, and SQLite's integrity check of the repository.
//
// Thread-safety: tests run one at a time on one thread.
// Ownership: the fixture owns its temporary home (server_fixture.h).
#ifndef KORVA_TESTS_REPORTSERVER_REPOSITORY_FIXTURE_H_
#define KORVA_TESTS_REPORTSERVER_REPOSITORY_FIXTURE_H_

#include <string>

#include "reportserver/store/repository.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {

class RepositoryTest : public ServerTest {
 protected:
  void setUserVersion(int version) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(repositoryPath().c_str(), &db), SQLITE_OK);
    std::string sql = "PRAGMA user_version = " + std::to_string(version);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }

  std::string integrity() {
    korva::Database db;
    std::string error;
    EXPECT_TRUE(korva::openRepository(repositoryPath(), &db, &error)) << error;
    korva::Statement st(db, "PRAGMA integrity_check");
    return st.step() == SQLITE_ROW ? st.columnText(0) : "<no answer>";
  }
};

}  // namespace korva_rs_test

#endif  // KORVA_TESTS_REPORTSERVER_REPOSITORY_FIXTURE_H_
