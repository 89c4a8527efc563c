// The delete runner in-process: how a "\"-separated path is split, the
// counters of a run that finds nothing to delete, and a path that cannot be
// split for want of memory.
#include "actions/delete_runner.h"

#include <gtest/gtest.h>

#include "common/action_log.h"
#include "actions/runner_test_util.h"

namespace runner_test {
namespace {

TEST(DeletePathSplitTest, EmptyPartsAreDroppedAndTheArrayStartsEmpty) {
  const struct {
    const char* text;
    std::vector<std::string> parts;
  } cases[] = {
      {"\\Sales\\\\2002\\", {"Sales", "2002"}},
      {"Monthly", {"Monthly"}},
      {"", {}},
      {"\\\\\\", {}},
      {"a\\b\\c", {"a", "b", "c"}},
      {"with blank\\and.dot", {"with blank", "and.dot"}},
  };
  for (const auto& c : cases) {
    SIArray<SAnsiString> parts;
    parts.add(SAnsiString("left over"));
    EXPECT_TRUE(CMARunnerDelete::splitPathList(parts, SAnsiString(c.text), SAnsiString("\\")));
    std::vector<std::string> got;
    for (int i = 0; i < parts.getCount(); ++i) got.emplace_back(parts[i].getBuffer());
    EXPECT_EQ(got, c.parts) << c.text;
  }
}

using DeleteRunnerTest = RunnerTest;

TEST_F(DeleteRunnerTest, MissingObjectsAreCountedAsSkippedAndTheRunSucceeds) {
  CMARunnerDelete runner;
  runner.readActionTexts(0);
  EXPECT_EQ(runner.deleteRun(kAps, "Administrator", "", "secEnterprise", logPath().string().c_str(),
                             "Missing\\Child", "Monthly"),
            kStatusOk);
  EXPECT_EQ(runner.counters().foldersDeleted, 0);
  EXPECT_EQ(runner.counters().foldersSkipped, 1);
  EXPECT_EQ(runner.counters().reportsDeleted, 0);
  EXPECT_EQ(runner.counters().reportsSkipped, 1);
  std::vector<std::string> expected = {
      connectedLine(),
      LOG_ERROR_PUB "Failed to delete report Monthly as the report does not exist.",
      LOG_ERROR_PUB "Failed to delete report Monthly from Veltrane Enterprise.",
      LOG_ERROR_PUB "Failed to get folder Missing as the folder does not exist.",
      LOG_ERROR_PUB "Failed to get folder Missing from Veltrane Enterprise.",
      LOG_INFO_ACT "Successfully deleted folder and/or report.",
      LOG_INFO_ACT "0 folders deleted.",
      LOG_INFO_ACT "1 folders skipped.",
      LOG_INFO_ACT "0 reports deleted.",
      LOG_INFO_ACT "1 reports skipped.",
  };
  EXPECT_EQ(logLines(), expected);
  // A second run starts from zero again.
  runner.readActionTexts(0);
  EXPECT_EQ(runner.counters().foldersSkipped, 0);
  EXPECT_EQ(runner.counters().reportsSkipped, 0);
}

TEST_F(DeleteRunnerTest, APathThatCannotBeSplitIsOutOfMemoryAndNamesItsKind) {
  CMARunnerDelete runner;
  runner.readActionTexts(0);
  ActionLog::open(logPath().string().c_str());
  const SAnsiString path("Sales\\Monthly");
  // The first allocation is the separator's, the second the split's.
  sstringFailAllocationAt(2);
  const int folder = runner.deleteFolderPath(path);
  sstringFailAllocationAt(2);
  const int report = runner.deleteReportPath(path);
  sstringFailAllocationAt(0);
  ActionLog::open(nullptr);
  EXPECT_EQ(folder, kStatusOutOfMemory);
  EXPECT_EQ(report, kStatusOutOfMemory);
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            LOG_ERROR_ACT "Failed to delete folder with path Sales\\Monthly.",
                            LOG_ERROR_ACT "Failed to delete report with path Sales\\Monthly.",
                        }));
  EXPECT_EQ(runner.counters().foldersSkipped + runner.counters().reportsSkipped, 0);
}

}  // namespace
}  // namespace runner_test
