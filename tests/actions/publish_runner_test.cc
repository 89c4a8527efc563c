// The publish runner in-process against the embedded server: what the walk
// takes as a report, an empty source directory, a user that fails and so gets
// no rights, user names that hold "\" or control characters, and the item
// count of a directory that is missing (the trees with symbolic links, and
// directory and file names that only POSIX allows, are in
// publish_runner_posix_test.cc).
#include <gtest/gtest.h>

#include "actions/publish_runner_fixture.h"
#include "reportserver/admin/repository_views.h"
#include "reportserver/testing/fault_plan.h"

namespace runner_test {
namespace {

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
    std::string prefix = LOG_INFO_PUB "Successfully added report " + title;
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
  Lines expected = {connectedLine(), LOG_INFO_PUB "Successfully added user only with id " +
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
  int top = idIn(lines, LOG_INFO_PUB "Successfully added folder Top");
  int report = idIn(lines, LOG_INFO_PUB "Successfully added report r");
  EXPECT_EQ(userId("alpha"), -1);
  Lines expected = {
      connectedLine(),
      LOG_ERROR_PUB "Failed to commit user changes while adding user alpha.",
      LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
      LOG_DETAIL "Injected fault in commit.",
      LOG_ERROR_PUB "Failed to add user alpha to Veltrane Enterprise.",
      LOG_INFO_PUB "Successfully added user beta with id " + std::to_string(beta) +
          " to Veltrane Enterprise.",
      LOG_INFO_PUB "Successfully added folder Top with id " + std::to_string(top) +
          " to Veltrane Enterprise.",
      LOG_INFO_PUB "Successfully set the right to View on object " + std::to_string(top) +
          " for user " + std::to_string(beta) + ".",
      LOG_INFO_PUB "Successfully added report r with id " + std::to_string(report) +
          " to Veltrane Enterprise.",
  };
  for (const std::string& l : summary(xml.string(), {1, 0, 1, 1, 0, 0, 1, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

TEST_F(PublishRunnerTest, UserWhoseNameHoldsTheSeparatorIsReportedAndSkipped) {
  fs::path xml = instructions("<users><user name=\"ok\"/><user name=\"A\\B\"/></users>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines expected = {
      connectedLine(),
      LOG_ERROR_ACT
      "The user A\\B is skipped: its name holds \"\\\", the separator of Veltrane "
      "Enterprise paths.",
      LOG_INFO_PUB "Successfully added user ok with id " + std::to_string(userId("ok")) +
          " to Veltrane Enterprise.",
  };
  for (const std::string& l : summary(xml.string(), {1, 0, 1, 0, 0, 0, 0, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(logLines(), expected);
  std::string users;
  std::string error;
  ASSERT_TRUE(korva::viewLocalRepository(kAps, korva::describeUsers, &users, &error)) << error;
  EXPECT_EQ(users.find("A\\\\B"), std::string::npos) << users;
}

TEST_F(PublishRunnerTest, ControlCharactersOfAUserNameAreEscapedInTheLog) {
  fs::path xml = instructions("<users><user name=\"two&#10;lines&#13;&#9;tab\"/></users>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  const std::string prefix = LOG_INFO_PUB "Successfully added user two\\nlines\\r\\ttab";
  Lines expected = {connectedLine(), prefix + " with id " + std::to_string(idIn(lines, prefix)) +
                                         " to Veltrane Enterprise."};
  for (const std::string& l : summary(xml.string(), {1, 0, 0, 0, 0, 0, 0, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
  EXPECT_GT(idIn(lines, prefix), 0);
}

TEST_F(PublishRunnerTest, CountOfAMissingDirectoryFails) {
  int count = 0;
  EXPECT_EQ(
      CMARunnerPublish::countItems(SAnsiString((work() / "missing").string().c_str()), &count),
      kStatusSystem);
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace runner_test
