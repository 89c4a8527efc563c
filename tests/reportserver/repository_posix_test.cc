// Two processes (forked) write one repository at once, and two create it
// at once: exactly one creation wins.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/reportserver/repository_fixture.h"

namespace korva_rs_test {
namespace {

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
