// The publish runner in-process against the embedded server: what the walk
// takes as a report, a tree with symbolic links that lead back to where the
// walk already is, an entry whose status cannot be read, an empty source
// directory, a user that fails and so gets no rights, and the item count for
// the progress bar.
#include "actions/publish_runner.h"

#include <gtest/gtest.h>

#include "actions/runner_test_util.h"
#include "reportserver/fault_plan.h"

namespace runner_test {
namespace {

using Lines = std::vector<std::string>;

class PublishRunnerTest : public RunnerTest {
 protected:
  int publish(const fs::path& xml, const fs::path& source) {
    runner_.readActionTexts(0);
    return runner_.publishRun(0, kAps, "Administrator", "", "secEnterprise", logPath().c_str(),
                              xml.c_str(), source.c_str());
  }
  static std::vector<int> counts(const CMAPublishCounters& c) {
    return {c.usersAdded,     c.usersUpdated, c.usersSkipped,   c.foldersAdded,  c.foldersUpdated,
            c.foldersSkipped, c.reportsAdded, c.reportsUpdated, c.reportsSkipped};
  }

  CMARunnerPublish runner_;
};

// Reads the id after "with id " in a line of the log that starts with prefix.
int idIn(const Lines& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      std::string::size_type at = line.find(" with id ");
      if (at != std::string::npos) return std::stoi(line.substr(at + 9));
    }
  }
  return -1;
}

TEST_F(PublishRunnerTest, ReportsAreTheFilesEndingInRptInAnyLetterCase) {
  writeFile(src() / "A.RPT", "a");
  writeFile(src() / "b.Rpt", "b");
  writeFile(src() / "c.rpt.bak", "c");
  writeFile(src() / "notes.txt", "n");
  fs::path xml = instructions("<reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);

  Lines lines = logLines();
  Lines expected = {connectedLine()};
  for (const std::string& name : listingOrder(src())) {
    if (name != "A.RPT" && name != "b.Rpt") continue;
    std::string title = name.substr(0, 1);
    std::string prefix = RT_INFO_PUB "Successfully added report " + title;
    expected.push_back(prefix + " with id " + std::to_string(idIn(lines, prefix)) +
                       " to Veltrane Enterprise.");
  }
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 0, 0, 0, 2, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(counts(runner_.counters()), (std::vector<int>{0, 0, 0, 0, 0, 0, 2, 0, 0}));
}

TEST_F(PublishRunnerTest, EmptySourceDirectoryPublishesOnlyTheUsers) {
  fs::path xml = instructions("<users><user name=\"only\"/></users>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines expected = {connectedLine(), RT_INFO_PUB "Successfully added user only with id " +
                                         std::to_string(userId("only")) +
                                         " to Veltrane Enterprise."};
  for (const std::string& l : summary(xml.string(), {1, 0, 0, 0, 0, 0, 0, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(logLines(), expected);
}

TEST_F(PublishRunnerTest, UserThatFailsGetsNoRights) {
  // The first commit of the run is alpha's.
  korva::setServerFaultPlan("commit#1");
  writeFile(src() / "Top" / "r.rpt", "r");
  fs::path xml = instructions(
      "<users right=\"View\"><user name=\"alpha\"/><user name=\"beta\"/></users>"
      "<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);

  Lines lines = logLines();
  int beta = userId("beta");
  int top = idIn(lines, RT_INFO_PUB "Successfully added folder Top");
  int report = idIn(lines, RT_INFO_PUB "Successfully added report r");
  EXPECT_EQ(userId("alpha"), -1);
  Lines expected = {
      connectedLine(),
      RT_ERROR_PUB "Failed to commit user changes while adding user alpha.",
      RT_DETAIL "The following error is returned from Veltrane Enterprise:",
      RT_DETAIL "Injected fault in commit.",
      RT_ERROR_PUB "Failed to add user alpha to Veltrane Enterprise.",
      RT_INFO_PUB "Successfully added user beta with id " + std::to_string(beta) +
          " to Veltrane Enterprise.",
      RT_INFO_PUB "Successfully added folder Top with id " + std::to_string(top) +
          " to Veltrane Enterprise.",
      RT_INFO_PUB "Successfully set the right to View on object " + std::to_string(top) +
          " for user " + std::to_string(beta) + ".",
      RT_INFO_PUB "Successfully added report r with id " + std::to_string(report) +
          " to Veltrane Enterprise.",
  };
  for (const std::string& l : summary(xml.string(), {1, 0, 1, 1, 0, 0, 1, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

// Src/Top/r.rpt, Src/Top/Inner/i.rpt, and two links that lead back to a
// directory the walk is inside: Top/self -> Top and Top/Inner/up -> Src.
class LoopingTreeTest : public PublishRunnerTest {
 protected:
  void SetUp() override {
    PublishRunnerTest::SetUp();
    if (HasFatalFailure()) return;
    writeFile(src() / "Top" / "r.rpt", "r");
    writeFile(src() / "Top" / "Inner" / "i.rpt", "i");
    fs::create_directory_symlink(".", src() / "Top" / "self");
    fs::create_directory_symlink("../..", src() / "Top" / "Inner" / "up");
  }
};

TEST_F(LoopingTreeTest, LinkBackToAnAncestorIsReportedAndSkippedLikeAFailedFolder) {
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  int top = idIn(lines, RT_INFO_PUB "Successfully added folder Top");
  int inner = idIn(lines, RT_INFO_PUB "Successfully added folder Inner");
  int r = idIn(lines, RT_INFO_PUB "Successfully added report r");
  int i = idIn(lines, RT_INFO_PUB "Successfully added report i");

  auto loop = [](const fs::path& path) {
    return Lines{RT_ERROR_ACT "The directory " + path.string() +
                     " leads back to a directory that contains it.",
                 RT_ERROR_ACT "Failed to add folder " + path.filename().string() +
                     ". All reports and folders within it would be skipped."};
  };
  Lines expected = {connectedLine(), RT_INFO_PUB "Successfully added folder Top with id " +
                                         std::to_string(top) + " to Veltrane Enterprise."};
  for (const std::string& name : listingOrder(src() / "Top")) {
    if (name == "r.rpt") {
      expected.push_back(RT_INFO_PUB "Successfully added report r with id " + std::to_string(r) +
                         " to Veltrane Enterprise.");
    } else if (name == "self") {
      for (const std::string& l : loop(src() / "Top" / "self")) expected.push_back(l);
    } else if (name == "Inner") {
      expected.push_back(RT_INFO_PUB "Successfully added folder Inner with id " +
                         std::to_string(inner) + " to Veltrane Enterprise.");
      for (const std::string& n : listingOrder(src() / "Top" / "Inner")) {
        if (n == "i.rpt") {
          expected.push_back(RT_INFO_PUB "Successfully added report i with id " +
                             std::to_string(i) + " to Veltrane Enterprise.");
        } else {
          for (const std::string& l : loop(src() / "Top" / "Inner" / "up")) {
            expected.push_back(l);
          }
        }
      }
    }
  }
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 2, 0, 2, 2, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

TEST_F(LoopingTreeTest, CountTakesEachLoopingDirectoryOnceWithoutEnteringIt) {
  int count = 0;
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().c_str()), &count), kStatusOk);
  // Top, Inner, self, up and the two reports.
  EXPECT_EQ(count, 6);
}

TEST_F(LoopingTreeTest, LinkToADirectoryOutsideTheWalksPathIsPublishedAsAnyOther) {
  // Src/Alias -> Top/Inner: a second way into Inner, not a loop; inside it,
  // up -> Src is a loop again.
  fs::create_directory_symlink("Top/Inner", src() / "Alias");
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  // Top, Inner, Alias added; self, up (under Inner) and up (under Alias)
  // skipped; r, i and i again.
  EXPECT_EQ(counts(runner_.counters()), (std::vector<int>{0, 0, 0, 3, 0, 3, 3, 0, 0}));
  int count = 0;
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().c_str()), &count), kStatusOk);
  EXPECT_EQ(count, 9);
}

TEST_F(PublishRunnerTest, AnEntryThatCannotBeReadIsNamedBeforeItsDirectoryFails) {
  writeFile(src() / "Top" / "r.rpt", "r");
  fs::create_symlink(work() / "nowhere", src() / "Top" / "dangling");
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  int top = idIn(lines, RT_INFO_PUB "Successfully added folder Top");
  Lines expected = {
      connectedLine(),
      RT_INFO_PUB "Successfully added folder Top with id " + std::to_string(top) +
          " to Veltrane Enterprise.",
      RT_ERROR_ACT "The directory entry " + (src() / "Top" / "dangling").string() +
          " cannot be read: No such file or directory.",
      RT_ERROR_ACT "Failed to publish content of " + (src() / "Top").string() +
          " to Veltrane Enterprise. System function failed.",
  };
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 1, 0, 0, 0, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

TEST_F(PublishRunnerTest, CountOfAMissingDirectoryFails) {
  int count = 0;
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString((work() / "missing").c_str()), &count),
            kStatusSystem);
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace runner_test
