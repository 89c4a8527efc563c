// korvadrop against a server that holds the published example: paths with
// doubled and trailing separators, a missing folder on the way, a missing
// report, empty paths, a whole subtree, and a refused logon.
#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

class DeleteTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    if (HasFatalFailure()) return;
    ProgramRun run = push(examplePublishXml(), tree().string());
    ASSERT_EQ(run.exitCode, 0) << run.out;
  }
};

// One korvadrop run: its arguments, the lines between the connection line
// and the summary, the summary's counts, and what the server holds after
// (objects gone, and objects kept under their ids).
struct DeleteCase {
  const char* name;
  std::vector<std::string> args;
  Lines lines;
  int foldersDeleted, foldersSkipped, reportsDeleted, reportsSkipped;
  size_t objectsLeft;
  // (folder path, report title or "" for the folder itself)
  std::vector<std::pair<std::string, std::string>> gone, kept;
};

void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class DeleteRunTest : public DeleteTest, public ::testing::WithParamInterface<DeleteCase> {};

int64_t idAt(const Json& dump, const std::pair<std::string, std::string>& object) {
  return object.second.empty() ? folderIdAt(dump, object.first)
                               : reportIdAt(dump, object.first, object.second);
}

TEST_P(DeleteRunTest, LogsEachObjectAndDeletesOnlyWhatItNames) {
  const DeleteCase& c = GetParam();
  Json before = dump();
  ProgramRun run = drop(c.args);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  Lines expected = {connected()};
  append(&expected, c.lines);
  append(&expected,
         deleteSummary(c.foldersDeleted, c.foldersSkipped, c.reportsDeleted, c.reportsSkipped));
  EXPECT_EQ(maskedLines(run.out), expected);

  Json after = dump();
  EXPECT_EQ(after["objects"].size(), c.objectsLeft);
  for (const auto& object : c.gone) {
    EXPECT_GE(idAt(before, object), 0) << object.first << "|" << object.second;
    EXPECT_EQ(idAt(after, object), -1) << object.first << "|" << object.second;
  }
  for (const auto& object : c.kept) {
    EXPECT_GE(idAt(after, object), 0) << object.first << "|" << object.second;
    EXPECT_EQ(idAt(after, object), idAt(before, object)) << object.first << "|" << object.second;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Delete, DeleteRunTest,
    ::testing::Values(
        DeleteCase{"DoubledAndTrailingSeparators",
                   {"-delrpt", "\\Finance\\\\First Quarter Summary\\", "-delfld",
                    "Finance\\\\Archive\\"},
                   {E2E_INFO_PUB "Successfully deleted report First Quarter Summary from "
                                 "Veltrane Enterprise.",
                    E2E_INFO_PUB "Successfully deleted folder Archive from Veltrane Enterprise."},
                   1, 0, 1, 0, 3, {{"Finance", "First Quarter Summary"}, {"Finance/Archive", ""}},
                   {{"Finance", ""}, {"HR", "staff"}}},
        DeleteCase{"MissingFolderOnTheWayAndMissingReportAreSkipped",
                   {"-delrpt", "HR\\nothere", "-delfld", "Missing\\Child"},
                   {E2E_ERROR_PUB "Failed to delete report nothere as the report does not exist.",
                    E2E_ERROR_PUB "Failed to delete report nothere from Veltrane Enterprise.",
                    E2E_ERROR_PUB "Failed to get folder Missing as the folder does not exist.",
                    E2E_ERROR_PUB "Failed to get folder Missing from Veltrane Enterprise."},
                   0, 1, 0, 1, 6, {}, {}},
        DeleteCase{"NoPaths", {}, {}, 0, 0, 0, 0, 6, {}, {}},
        DeleteCase{"EmptyPaths", {"-delfld", "", "-delrpt", ""}, {}, 0, 0, 0, 0, 6, {}, {}},
        DeleteCase{"SeparatorsOnly", {"-delfld", "\\\\", "-delrpt", "\\"}, {}, 0, 0, 0, 0, 6,
                   {}, {}},
        DeleteCase{"TopLevelFolder",
                   {"-delfld", "Finance"},
                   {E2E_INFO_PUB "Successfully deleted folder Finance from Veltrane Enterprise."},
                   1, 0, 0, 0, 2, {{"Finance", ""}}, {{"HR", ""}}}),
    [](const ::testing::TestParamInfo<DeleteCase>& info) { return info.param.name; });

TEST_F(DeleteTest, RefusedLogonDeletesNothing) {
  ProgramRun run = drop({"-apspass", "wrong", "-delfld", "Finance"});
  EXPECT_EQ(run.exitCode, kExitFatal);
  Lines lines = maskedLines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), E2E_ERROR_ACT "Failed to delete Veltrane Enterprise objects.");
  EXPECT_EQ(lines.front(), E2E_ERROR_PUB "Failed to logon to APS " + std::string(kAps) +
                               " as Administrator with secEnterprise authentication.");
  EXPECT_EQ(dump()["objects"].size(), 6u);
}

}  // namespace
}  // namespace e2e
