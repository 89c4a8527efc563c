// korvadrop against a server that holds the published example: paths with
// doubled and trailing separators, a missing folder on the way, a missing
// report, empty paths, a whole subtree, and a refused logon.
#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

using DeleteTest = PublishedExampleTest;

TEST_F(DeleteTest, PathsWithDoubledAndTrailingSeparatorsDeleteTheNamedObjects) {
  Json before = dump();
  int64_t finance = folderIdAt(before, "Finance");
  ASSERT_GE(reportIdAt(before, "Finance", "First Quarter Summary"), 0);

  ProgramRun run =
      drop({"-delrpt", "\\Finance\\\\First Quarter Summary\\", "-delfld", "Finance\\\\Archive\\"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  Lines expected = {
      connected(),
      LOG_INFO_PUB "Successfully deleted report First Quarter Summary from Veltrane Enterprise.",
      LOG_INFO_PUB "Successfully deleted folder Archive from Veltrane Enterprise.",
  };
  append(&expected, deleteSummary(1, 0, 1, 0));
  EXPECT_EQ(maskedLines(run.out), expected);

  // Finance stays, empty; Archive went with the report inside it; HR is
  // untouched.
  Json after = dump();
  EXPECT_EQ(folderIdAt(after, "Finance"), finance);
  EXPECT_EQ(reportIdAt(after, "Finance", "First Quarter Summary"), -1);
  EXPECT_EQ(folderIdAt(after, "Finance/Archive"), -1);
  EXPECT_GE(reportIdAt(after, "HR", "staff"), 0);
  EXPECT_EQ(after["objects"].size(), 3u);
}

TEST_F(DeleteTest, MissingFolderOnTheWayAndMissingReportAreSkippedNotFailed) {
  ProgramRun run = drop({"-delrpt", "HR\\nothere", "-delfld", "Missing\\Child"});
  EXPECT_EQ(run.exitCode, 0);
  Lines expected = {
      connected(),
      LOG_ERROR_PUB "Failed to delete report nothere as the report does not exist.",
      LOG_ERROR_PUB "Failed to delete report nothere from Veltrane Enterprise.",
      LOG_ERROR_PUB "Failed to get folder Missing as the folder does not exist.",
      LOG_ERROR_PUB "Failed to get folder Missing from Veltrane Enterprise.",
  };
  append(&expected, deleteSummary(0, 1, 0, 1));
  EXPECT_EQ(maskedLines(run.out), expected);
  EXPECT_EQ(dump()["objects"].size(), 6u);
}

TEST_F(DeleteTest, EmptyPathsConnectAndDeleteNothing) {
  // Not given at all, given empty, and made of separators only.
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-delfld", "", "-delrpt", ""},
      {"-delfld", "\\\\", "-delrpt", "\\"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? std::string("no paths") : args[1] + "|" + args[3]);
    ProgramRun run = drop(args);
    EXPECT_EQ(run.exitCode, 0);
    Lines expected = {connected()};
    append(&expected, deleteSummary(0, 0, 0, 0));
    EXPECT_EQ(maskedLines(run.out), expected);
  }
  EXPECT_EQ(dump()["objects"].size(), 6u);
}

TEST_F(DeleteTest, TopLevelFolderGoesWithEverythingInIt) {
  ProgramRun run = drop({"-delfld", "Finance"});
  EXPECT_EQ(run.exitCode, 0);
  Lines expected = {connected(),
                    LOG_INFO_PUB "Successfully deleted folder Finance from Veltrane Enterprise."};
  append(&expected, deleteSummary(1, 0, 0, 0));
  EXPECT_EQ(maskedLines(run.out), expected);
  Json after = dump();
  EXPECT_EQ(after["objects"].size(), 2u);
  EXPECT_GE(folderIdAt(after, "HR"), 0);
}

TEST_F(DeleteTest, RefusedLogonDeletesNothing) {
  ProgramRun run = drop({"-apspass", "wrong", "-delfld", "Finance"});
  EXPECT_EQ(run.exitCode, kExitFatal);
  Lines lines = maskedLines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), LOG_ERROR_ACT "Failed to delete Veltrane Enterprise objects.");
  EXPECT_EQ(lines.front(), LOG_ERROR_PUB "Failed to logon to APS " + std::string(kAps) +
                               " as Administrator with secEnterprise authentication.");
  EXPECT_EQ(dump()["objects"].size(), 6u);
}

}  // namespace
}  // namespace e2e
