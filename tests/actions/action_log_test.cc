// The action log: exact lines with their status suffixes, the time stamp,
// truncation by a second run, standard output when the file cannot be
// opened (action_log_posix_test.cc: a reader that goes away in a host that
// left the broken-pipe signal alone).
#include "common/action_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "actions/action_log_test_util.h"
#include "common/status.h"
#include "common/test_files.h"

namespace {

namespace fs = std::filesystem;
using action_log_test::ActionLogTest;
using action_log_test::maskedLines;
using korva_test_common::readText;

TEST_F(ActionLogTest, StatusLinesEndWithTheirSuffix) {
  const fs::path log = dir_ / "publish.log";
  ActionLog::open(log.string().c_str());
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
  EXPECT_EQ(maskedLines(readText(log)), expected);
}

TEST_F(ActionLogTest, LongMessagesAreWrittenWhole) {
  const fs::path log = dir_ / "long.log";
  ActionLog::open(log.string().c_str());
  const std::string text(3000, 'x');
  ActionLog::logStatusLine(kStatusSystem, "%s|%d", text.c_str(), 42);
  EXPECT_EQ(maskedLines(readText(log)),
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
  ActionLog::open(log.string().c_str());
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "first run %d", 1);
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "first run %d", 2);
  EXPECT_EQ(maskedLines(readText(log)),
            (std::vector<std::string>{" - --- INFO  --- (action): first run 1",
                                      " - --- INFO  --- (action): first run 2"}));
  ActionLog::open(log.string().c_str());
  ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "second run");
  EXPECT_EQ(maskedLines(readText(log)),
            std::vector<std::string>{" - --- INFO  --- (action): second run"});
}

TEST_F(ActionLogTest, LinesGoToStandardOutputWhenTheLogCannotBeOpened) {
  const fs::path missing = dir_ / "no such directory" / "publish.log";
  const fs::path other = dir_ / "other.log";
  // An open log file must be left for standard output, not kept.
  ActionLog::open(other.string().c_str());
  const std::string missingPath = missing.string();
  for (const char* path : {missingPath.c_str(), "", static_cast<const char*>(nullptr)}) {
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
  EXPECT_EQ(readText(other), "");
}

}  // namespace
