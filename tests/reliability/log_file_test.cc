// The action log's file in a shared temporary directory, where another user
// may have planted a link or a file under the log's name before the run.
// What was chosen: the log never follows a symbolic link at its name (in any
// directory), refuses another user's file and a hard-linked file in a shared
// (world-writable or sticky) directory without truncating it, never blocks
// on a named pipe, and in each of these cases writes its lines to standard
// output instead, as for any log file that cannot be opened.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/log_file.h"
#include "reliability/reliability_util.h"

namespace rel {
namespace {

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(shared());
    ::chmod(shared().c_str(), 01777);
    fs::create_directories(own());
    e2e::writeFile(victim(), "precious\n");
  }

  fs::path shared() const { return work_.path() / "shared"; }
  fs::path own() const { return work_.path() / "own"; }
  fs::path victim() const { return work_.path() / "victim.txt"; }

  // Opens through the service and writes one line; the answer.
  static int openAndWrite(const fs::path& path) {
    std::FILE* f = nullptr;
    int error = korva::openLogFile(path.c_str(), &f);
    EXPECT_EQ(error == 0, f != nullptr);
    if (f) {
      std::fputs("a log line\n", f);
      std::fclose(f);
    }
    return error;
  }

  WorkDir work_;
};

TEST_F(LogFileTest, ALinkAtTheLogsNameIsNeverFollowed) {
  for (const fs::path& dir : {shared(), own()}) {
    SCOPED_TRACE(dir.string());
    const fs::path link = dir / "publish.log";
    fs::create_symlink(victim(), link);
    EXPECT_EQ(openAndWrite(link), ELOOP);
    EXPECT_EQ(e2e::readFile(victim()), "precious\n");
    fs::remove(link);
    // A dangling link would create its target.
    fs::create_symlink(work_.path() / "created-through-link", link);
    EXPECT_EQ(openAndWrite(link), ELOOP);
    EXPECT_FALSE(fs::exists(work_.path() / "created-through-link"));
    fs::remove(link);
  }
}

TEST_F(LogFileTest, InASharedDirectoryAHardLinkOrAnotherUsersFileIsNotTruncated) {
  const fs::path hard = shared() / "hard.log";
  fs::create_hard_link(victim(), hard);
  EXPECT_EQ(openAndWrite(hard), EMLINK);
  EXPECT_EQ(e2e::readFile(victim()), "precious\n");

  uid_t uid;
  gid_t gid;
  if (::geteuid() != 0 || !unprivilegedUser(&uid, &gid)) {
    GTEST_SKIP() << "another user's file needs root to make";
  }
  for (const fs::path& dir : {shared(), own()}) {
    const fs::path planted = dir / "planted.log";
    e2e::writeFile(planted, "someone else's\n");
    ASSERT_EQ(::chown(planted.c_str(), uid, gid), 0);
    // Refused where anyone could have put it; a private directory's owner
    // chose what is in it.
    EXPECT_EQ(openAndWrite(planted), dir == shared() ? EPERM : 0);
    EXPECT_EQ(e2e::readFile(planted), dir == shared() ? "someone else's\n" : "a log line\n");
  }
}

TEST_F(LogFileTest, OwnFilesAreCreatedOrTruncatedAndNothingBlocks) {
  for (const fs::path& dir : {shared(), own()}) {
    SCOPED_TRACE(dir.string());
    const fs::path log = dir / "run.log";
    EXPECT_EQ(openAndWrite(log), 0);
    EXPECT_EQ(e2e::readFile(log), "a log line\n");
    e2e::writeFile(log, "an older and longer run's log\n");
    EXPECT_EQ(openAndWrite(log), 0);
    EXPECT_EQ(e2e::readFile(log), "a log line\n");  // truncated first
  }
  // A named pipe without a reader is refused at once instead of blocking.
  const fs::path pipe = own() / "pipe.log";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(openAndWrite(pipe), ENXIO);
  EXPECT_EQ(openAndWrite(own()), EISDIR);
  EXPECT_EQ(openAndWrite("/dev/null"), 0);
  EXPECT_EQ(openAndWrite(own() / "missing" / "run.log"), ENOENT);
}

TEST_F(LogFileTest, APublishRunWhoseLogIsAPlantedLinkWritesToStandardOutput) {
  fs::create_directories(work_.path() / "home");
  e2e::ServerHome home(work_.path() / "home");
  ASSERT_EQ(home.init("logtest").exitCode, 0);
  e2e::writeFile(work_.path() / "tree" / "A" / "r.rpt", "report\n");
  e2e::writeFile(work_.path() / "p.xml", "<publish/>");
  const fs::path link = shared() / "publish.log";
  fs::create_symlink(victim(), link);

  e2e::ProgramRun run = e2e::runProgram(
      e2e::binPath("korvapush"),
      {"-apsname", "logtest", "-srcfile", (work_.path() / "p.xml").string(), "-srcpath",
       (work_.path() / "tree").string(), "-logfile", link.string()},
      {home.homeEnv(), "KORVA_SERVER_FAULTS"});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(e2e::readFile(victim()), "precious\n");
  EXPECT_TRUE(fs::is_symlink(link));
  const std::vector<std::string> lines = e2e::maskedLines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), e2e::connected("logtest"));
  EXPECT_EQ(lines.back(), E2E_INFO_ACT "0 reports skipped.");
}

}  // namespace
}  // namespace rel
