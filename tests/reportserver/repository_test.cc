// The repository file: a newer or foreign file is refused with a clear
// description (and what to do about it), init builds a repository whole
// before it appears under its name, and two processes can write one
// repository at once.
#include "reportserver/repository.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

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

// Runs fn in a child process once the parent closes the pipe's write end;
// answers the child's pid.
template <typename Fn>
pid_t forkWorker(const int go[2], Fn fn) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(300);  // a stuck worker ends instead of holding the test
    ::close(go[1]);
    char c;
    while (::read(go[0], &c, 1) > 0) {
    }
    int code = fn();
    std::fflush(nullptr);
    ::_exit(code);
  }
  return pid;
}

int exitCode(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(RepositoryTest, TwoProcessesWriteOneRepositoryAtOnce) {
  constexpr int kObjects = 20;
  const std::string file = writeFile("shared.rpt", std::string(300 * 1024, 'z'));
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> workers;
  for (int w = 0; w < 2; ++w) {
    workers.push_back(forkWorker(go, [w, &file]() {
      Connection c = connect();
      if (!c.store) return 2;
      for (int i = 0; i < kObjects; ++i) {
        std::wstring title = L"W" + std::to_wstring(w) + L"-" + std::to_wstring(i);
        int32_t folder = addFolder(c, title);
        if (folder <= 0) return 3;
        if (addReport(c, title, folder, file) <= folder) return 4;
      }
      return ::testing::Test::HasFailure() ? 5 : 0;
    }));
  }
  ::close(go[0]);
  ::close(go[1]);  // go
  for (pid_t pid : workers) EXPECT_EQ(exitCode(pid), 0);

  Connection c = connect();
  Ref<korva::InfoObjects> all = query(c, L"SELECT * FROM CI_INFOOBJECTS");
  ASSERT_EQ(countOf(all), 4 * kObjects);
  std::set<int32_t> ids;
  std::set<std::string> titles;
  for (int32_t i = 1; i <= countOf(all); ++i) {
    ids.insert(idOf(itemOf(all, i)));
    titles.insert(titleOf(itemOf(all, i)));
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(4 * kObjects));
  EXPECT_EQ(titles.size(), static_cast<size_t>(2 * kObjects));
  EXPECT_EQ(integrity(), "ok");
}

TEST_F(RepositoryTest, TwoProcessesCreatingOneRepositoryMakeExactlyOne) {
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> workers;
  for (int w = 0; w < 2; ++w) {
    workers.push_back(forkWorker(go, [w]() {
      std::string error;
      bool ok = korva::initRepository("contended", w == 0 ? "zero" : "one", &error);
      return ok ? 0 : 1;
    }));
  }
  ::close(go[0]);
  ::close(go[1]);
  int succeeded = 0;
  for (pid_t pid : workers) {
    int code = exitCode(pid);
    EXPECT_TRUE(code == 0 || code == 1) << code;
    if (code == 0) ++succeeded;
  }
  EXPECT_EQ(succeeded, 1);
  EXPECT_TRUE(logon(L"Administrator", L"zero", L"contended") ||
              logon(L"Administrator", L"one", L"contended"));
}

}  // namespace
}  // namespace korva_rs_test
