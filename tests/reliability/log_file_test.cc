// The action log's file in a shared temporary directory, where another user
// may have planted a link or a file under the log's name, or a link on the
// way, before the run; and a reader of the log that goes away mid-run.
// What was chosen: the rules apply to the directory the log really lands in.
// That directory is shared when it is world-writable or sticky, owned by
// another user, or reached through another user's link. There the log never
// follows a link at its name and refuses another user's file and a
// hard-linked file without truncating it; another user's link never leads
// the log into a directory that user could not write; in a directory only
// we can write, a link is followed as any program would. A named pipe never
// blocks the open. A refused log writes its lines to standard output, as
// for any log file that cannot be opened; a reader that goes away fails the
// writes, never the run.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
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

TEST_F(LogFileTest, ALinkAtTheLogsNameIsRefusedInASharedDirectoryAndFollowedInAPrivateOne) {
  const fs::path mine = shared() / "mine.log";
  e2e::writeFile(mine, "my older log\n");
  const fs::path planted = shared() / "planted.log";
  fs::create_symlink(victim(), planted);
  const fs::path hard = shared() / "hard.log";
  fs::create_hard_link(victim(), hard);
  struct Case {
    const char* name;
    fs::path link;
    fs::path target;
    int error;
    fs::path written;  // the file that then holds the line; empty: none
  };
  const Case cases[] = {
      {"in a shared directory", shared() / "a.log", victim(), ELOOP, {}},
      // A dangling link would create its target.
      {"dangling, shared", shared() / "b.log", work_.path() / "created", ELOOP, {}},
      {"in a private directory", own() / "a.log", work_.path() / "followed.log", 0,
       work_.path() / "followed.log"},
      // Where the link leads, the rules of that directory apply.
      {"private to my file in a shared one", own() / "c.log", mine, 0, mine},
      {"private to a link in a shared one", own() / "d.log", planted, ELOOP, {}},
      {"private to a hard link in a shared one", own() / "e.log", hard, EMLINK, {}},
      {"dangling, private", own() / "b.log", work_.path() / "created", 0,
       work_.path() / "created"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_symlink(c.target, c.link);
    EXPECT_EQ(openAndWrite(c.link), c.error);
    if (!c.written.empty()) {
      EXPECT_EQ(e2e::readFile(c.written), "a log line\n");
    } else {
      EXPECT_FALSE(fs::exists(work_.path() / "created"));
    }
    EXPECT_EQ(e2e::readFile(victim()), "precious\n");
    EXPECT_TRUE(fs::is_symlink(c.link));
  }
}

// As another user: a link to a directory of ours, and a directory of theirs.
TEST_F(LogFileTest, AnotherUsersLinkOrDirectoryMakesWhereTheLogLandsShared) {
  uid_t uid;
  gid_t gid;
  if (::geteuid() != 0 || !unprivilegedUser(&uid, &gid)) {
    GTEST_SKIP() << "another user's link needs root to make";
  }
  const fs::path ours = work_.path() / "ours";
  fs::create_directories(ours);
  ::chmod(ours.c_str(), 0700);
  e2e::writeFile(ours / "f.conf", "precious\n");
  const fs::path theirs = work_.path() / "theirs";
  fs::create_directories(theirs);
  e2e::writeFile(theirs / "planted.log", "theirs\n");
  fs::create_symlink(victim(), theirs / "link.log");
  chownTree(theirs, uid, gid);
  fs::create_hard_link(victim(), theirs / "hard.log");  // still our file
  auto linkOf = [&](const char* name, const fs::path& target, uid_t owner) {
    fs::create_symlink(target, shared() / name);
    EXPECT_EQ(::lchown((shared() / name).c_str(), owner, gid), 0);
    return shared() / name;
  };
  const fs::path theirLink = linkOf("x", ours, uid);
  const fs::path ourLink = linkOf("y", ours, 0);
  const fs::path theirLinkHome = linkOf("z", theirs, uid);

  struct Case {
    fs::path path;
    int error;
  };
  const Case cases[] = {
      // Their link leads into a directory only we can write: nothing there is
      // truncated or created.
      {theirLink / "f.conf", EPERM},
      {theirLink / "new.log", EPERM},
      {theirLink / "." / "f.conf", EPERM},
      // Our own link leads where we chose.
      {ourLink / "ours.log", 0},
      // In their directory, what they could have planted is refused.
      {theirs / "planted.log", EPERM},
      {theirs / "link.log", ELOOP},
      {theirs / "hard.log", EMLINK},
      {theirs / "new.log", 0},
      // Their link into their own directory gives them nothing they had not.
      {theirLinkHome / "planted.log", EPERM},
      {theirLinkHome / "other.log", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    EXPECT_EQ(openAndWrite(c.path), c.error);
  }
  EXPECT_EQ(e2e::readFile(ours / "f.conf"), "precious\n");
  EXPECT_FALSE(fs::exists(ours / "new.log"));
  EXPECT_EQ(e2e::readFile(ours / "ours.log"), "a log line\n");
  EXPECT_EQ(e2e::readFile(theirs / "planted.log"), "theirs\n");
  EXPECT_EQ(e2e::readFile(victim()), "precious\n");
  EXPECT_EQ(e2e::readFile(theirs / "other.log"), "a log line\n");
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
  EXPECT_EQ(lines.back(), LOG_INFO_ACT "0 reports skipped.");
}

// One line from a FIFO's read end, waiting for the writer; what came before
// the writer left when it left without ending a line.
std::string readOneLine(int fd) {
  std::string line;
  char c = 0;
  while (c != '\n') {
    struct pollfd ready = {fd, POLLIN, 0};
    if (::poll(&ready, 1, -1) < 0 && errno != EINTR) break;
    const ssize_t n = ::read(fd, &c, 1);
    if (n == 0) break;
    if (n > 0) line += c;
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
  }
  return line;
}

// `korvapush ... | head -1`, and a FIFO given as -logfile whose reader
// leaves after the first line: every later write fails, and the run still
// publishes everything and ends with its normal result.
TEST_F(LogFileTest, AReaderOfTheLogThatGoesAwayNeverStopsTheRun) {
  fs::create_directories(work_.path() / "home");
  e2e::ServerHome home(work_.path() / "home");
  TreeShape shape;
  shape.folders = 3;
  shape.subFolders = 3;
  shape.reports = 4;  // 48 objects: a log far longer than the pipe holds
  buildTree(work_.path() / "tree", shape);
  writeInstructions(work_.path() / "p.xml", PublishValues());
  for (const bool toStandardOutput : {true, false}) {
    SCOPED_TRACE(toStandardOutput ? "standard output" : "-logfile");
    const std::string aps = toStandardOutput ? "gone-out" : "gone-log";
    ASSERT_EQ(home.init(aps).exitCode, 0);
    const fs::path fifo = own() / (aps + ".fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    // The run cannot have written its whole log before the reader leaves.
    ASSERT_GE(::fcntl(reader, F_SETPIPE_SZ, 4096), 0);
    std::vector<std::string> args = {"-apsname", aps, "-srcfile", (work_.path() / "p.xml").string(),
                                     "-srcpath", (work_.path() / "tree").string()};
    if (!toStandardOutput) {
      args.push_back("-logfile");
      args.push_back(fifo.string());
    }
    Process run(e2e::binPath("korvapush"), args,
                {{home.homeEnv(), "KORVA_SERVER_FAULTS"}, toStandardOutput ? fifo.string() : ""});
    const std::string first = readOneLine(reader);
    ::close(reader);
    EXPECT_EQ(run.wait(), 0);
    EXPECT_EQ(e2e::maskedLines(first), std::vector<std::string>{e2e::connected(aps)});
    EXPECT_EQ(home.dump(aps)["objects"].size(),
              static_cast<size_t>(folderCount(shape) + reportCount(shape)));
  }
}

}  // namespace
}  // namespace rel
