// The action log: exact lines with their status suffixes, the time stamp,
// truncation by a second run, standard output when the file cannot be
// opened, and a reader that goes away in a host that left the broken-pipe
// signal alone.
#include "common/action_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/status.h"
#include "common/log_lines.h"

namespace {

namespace fs = std::filesystem;

// The lines of a text with the stamp checked and cut off, each still starting
// with " - " (common/log_lines.h); the last line must be ended.
std::vector<std::string> maskedLines(const std::string& text) {
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "last line not ended";
  std::vector<std::string> lines = korva_test_common::maskedLines(text);
  for (std::string& line : lines) line.insert(0, " - ");
  return lines;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class ActionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("korva_action_log_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    ActionLog::open(nullptr);  // let go of the file before removing it
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(ActionLogTest, StatusLinesEndWithTheirSuffix) {
  const fs::path log = dir_ / "publish.log";
  ActionLog::open(log.c_str());
  struct Case {
    int status;
    const char* expected;
  };
  const Case cases[] = {
      {kStatusOutOfMemory,
       " - --- ERROR --- (action): Failed to initialize the publisher module. Out of memory."},
      {kStatusSystem,
       " - --- ERROR --- (action): Failed to initialize the publisher module. System function "
       "failed."},
      {kStatusOk, " - --- ERROR --- (action): Failed to initialize the publisher module."},
      {kStatusParse, " - --- ERROR --- (action): Failed to initialize the publisher module."},
      {kStatusServer, " - --- ERROR --- (action): Failed to initialize the publisher module."},
      {kStatusLogical, " - --- ERROR --- (action): Failed to initialize the publisher module."},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    ActionLog::logStatusLine(c.status, KORVA_ERROR KORVA_CTX_ACTION "%s",
                             "Failed to initialize the publisher module.");
    expected.push_back(c.expected);
  }
  ActionLog::logLine(KORVA_INFO KORVA_CTX_PUBLISH "Added %d of %s.", 3, "reports");
  expected.push_back(" - --- INFO  --- (publish): Added 3 of reports.");
  ActionLog::logLine(KORVA_WARN KORVA_CTX_CONFIG "100%% sure");
  expected.push_back(" - --- WARN  --- (config): 100% sure");
  // Lines are flushed as they are written: the file holds them while open.
  EXPECT_EQ(maskedLines(readFile(log)), expected);
}

TEST_F(ActionLogTest, LongMessagesAreWrittenWhole) {
  const fs::path log = dir_ / "long.log";
  ActionLog::open(log.c_str());
  const std::string text(3000, 'x');
  ActionLog::logStatusLine(kStatusSystem, "%s|%d", text.c_str(), 42);
  EXPECT_EQ(maskedLines(readFile(log)),
            std::vector<std::string>{" - " + text + "|42 System function failed."});
}

TEST_F(ActionLogTest, TimeStampHasFixedEnglishNamesAndBlankPaddedDay) {
  struct Case {
    int year, month, day, hour, minute, second;
    const char* expected;
  };
  const Case cases[] = {
      {2003, 1, 14, 10, 2, 33, "Tue Jan 14 10:02:33 2003"},
      {2003, 1, 4, 9, 5, 7, "Sat Jan  4 09:05:07 2003"},
      {2024, 2, 29, 23, 59, 59, "Thu Feb 29 23:59:59 2024"},
      {1999, 12, 31, 0, 0, 0, "Fri Dec 31 00:00:00 1999"},
      {2010, 8, 1, 12, 0, 0, "Sun Aug  1 12:00:00 2010"},
  };
  for (const Case& c : cases) {
    std::tm local{};
    local.tm_year = c.year - 1900;
    local.tm_mon = c.month - 1;
    local.tm_mday = c.day;
    local.tm_hour = c.hour;
    local.tm_min = c.minute;
    local.tm_sec = c.second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    const std::string stamp = ActionLog::timeStamp(when);
    EXPECT_EQ(stamp, c.expected);
    EXPECT_EQ(stamp.size(), 24u);
  }
}

TEST_F(ActionLogTest, SecondRunTruncatesTheLog) {
  const fs::path log = dir_ / "publish.log";
  {
    std::ofstream old(log);
    old << "left over from an older run\n";
  }
  ActionLog::open(log.c_str());
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "first run %d", 1);
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "first run %d", 2);
  EXPECT_EQ(maskedLines(readFile(log)),
            (std::vector<std::string>{" - --- INFO  --- (action): first run 1",
                                      " - --- INFO  --- (action): first run 2"}));
  ActionLog::open(log.c_str());
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "second run");
  EXPECT_EQ(maskedLines(readFile(log)),
            std::vector<std::string>{" - --- INFO  --- (action): second run"});
}

TEST_F(ActionLogTest, LinesGoToStandardOutputWhenTheLogCannotBeOpened) {
  const fs::path missing = dir_ / "no such directory" / "publish.log";
  const fs::path other = dir_ / "other.log";
  // An open log file must be left for standard output, not kept.
  ActionLog::open(other.c_str());
  for (const char* path : {missing.c_str(), "", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(path ? path : "(null)");
    ::testing::internal::CaptureStdout();
    ActionLog::open(path);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "to the console");
    ActionLog::logStatusLine(kStatusSystem, KORVA_ERROR KORVA_CTX_ACTION "failed");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(maskedLines(out), (std::vector<std::string>{
                                    " - --- INFO  --- (action): to the console",
                                    " - --- ERROR --- (action): failed System function failed."}));
  }
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(readFile(other), "");
}

// This process plays a host that left SIGPIPE at its default action, which
// ends the process: a write to a FIFO whose reader left must only fail.
TEST_F(ActionLogTest, AReaderThatWentAwayFailsTheWritesWithoutEndingTheProcess) {
  struct sigaction host = {};
  struct sigaction plain = {};
  plain.sa_handler = SIG_DFL;
  ASSERT_EQ(::sigaction(SIGPIPE, &plain, &host), 0);
  const fs::path fifo = dir_ / "log.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ActionLog::open(fifo.c_str());
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
  ActionLog::open(next.c_str());
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "next run");
  EXPECT_EQ(maskedLines(readFile(next)),
            std::vector<std::string>{" - --- INFO  --- (action): next run"});
}

}  // namespace
