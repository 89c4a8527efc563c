// The action log as a POSIX host sees it: a reader that goes away in a host
// that left the broken-pipe signal alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "actions/action_log_test_util.h"
#include "common/action_log.h"
#include "common/status.h"
#include "common/test_files.h"

namespace {

namespace fs = std::filesystem;
using action_log_test::ActionLogTest;
using action_log_test::maskedLines;
using korva_test_common::readText;

// This process plays a host that left SIGPIPE at its default action, which
// ends the process: a write to a FIFO whose reader left must only fail.
TEST_F(ActionLogTest, AReaderThatWentAwayFailsTheWritesWithoutEndingTheProcess) {
  struct sigaction host = {};
  struct sigaction plain = {};
  plain.sa_handler = SIG_DFL;
  ASSERT_EQ(::sigaction(SIGPIPE, &plain, &host), 0);
  const fs::path fifo = dir_ / "log.fifo";
  ASSERT_EQ(::mkfifo(fifo.string().c_str(), 0600), 0);
  const int reader = ::open(fifo.string().c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ActionLog::open(fifo.string().c_str());
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "read");
  char buffer[256];
  const ssize_t n = ::read(reader, buffer, sizeof buffer);
  ASSERT_GT(n, 0);
  EXPECT_EQ(maskedLines(std::string(buffer, static_cast<size_t>(n))),
            std::vector<std::string>{" - --- INFO  --- (action): read"});
  ::close(reader);

  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "nobody reads this");
  ActionLog::logStatusLine(kStatusSystem, KORVA_ERROR KORVA_CTX_ACTION "nor this");
  // The host's handling of the signal is as it was, and none is left over.
  struct sigaction now = {};
  ASSERT_EQ(::sigaction(SIGPIPE, &host, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
  sigset_t blocked;
  sigset_t pending;
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, nullptr, &blocked), 0);
  ASSERT_EQ(::sigpending(&pending), 0);
  EXPECT_FALSE(::sigismember(&blocked, SIGPIPE));
  EXPECT_FALSE(::sigismember(&pending, SIGPIPE));
  // The next run logs as ever.
  const fs::path next = dir_ / "next.log";
  ActionLog::open(next.string().c_str());
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "next run");
  EXPECT_EQ(maskedLines(readText(next)),
            std::vector<std::string>{" - --- INFO  --- (action): next run"});
}

}  // namespace
