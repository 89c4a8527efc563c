// The repository file: a newer or foreign file is refused with a clear
// description (and what to do about it), init builds a repository whole
// before it appears under its name, and two processes can write one
// repository at once.
#include "reportserver/store/repository.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/reportserver/repository_fixture.h"

namespace korva_rs_test {
namespace {

TEST_F(RepositoryTest, ANewerSchemaIsRefused) {
  setUserVersion(2);
  HRESULT hr = S_OK;
  EXPECT_FALSE(logon(L"Administrator", L"", L"localhost", &hr));
  EXPECT_EQ(hr, E_FAIL);
  const std::string expected = "The repository " + repositoryPath() +
                               " has schema version 2, newer than this server understands (1); "
                               "use a newer korvaserver.";
  EXPECT_EQ(lastError(), expected);
  std::string text, error;
  EXPECT_FALSE(korva::dumpRepository("localhost", &text, &error));
  EXPECT_EQ(error, expected);
  setUserVersion(1);
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
