// korvapush when things go wrong: a refused logon, a missing instructions
// file (or one whose path is too long to read), a missing source directory, a folder that cannot be
// added, a right that does not exist, and a commit that the server fails.
#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

using PublishFailureTest = E2ETest;

TEST_F(PublishFailureTest, WrongPasswordEndsTheRunWithTheServersReason) {
  ProgramRun run = push(examplePublishXml(), tree().string(), {"-apspass", "wrong"});
  EXPECT_EQ(run.exitCode, kExitFatal);
  std::string logon = std::string("Failed to logon to APS ") + kAps +
                      " as Administrator with secEnterprise authentication.";
  Lines expected = {
      kWarnNoName,
      kWarnOutside,
      LOG_ERROR_PUB + logon,
      LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
      LOG_DETAIL "Logon refused: the password of user \"Administrator\" is wrong.",
      LOG_ERROR_PUB "Failed to establish connection to APS " + std::string(kAps) +
          " as Administrator with secEnterprise authentication.",
      kPublishFailed,
  };
  EXPECT_EQ(maskedLines(run.out), expected);
  Json server = dump();
  EXPECT_EQ(server["objects"].size(), 0u);
  EXPECT_EQ(findUser(server, "sales1"), nullptr);
}

TEST_F(PublishFailureTest, MissingInstructionsFileStopsBeforeLogon) {
  // A path too long for the reader's URL cannot be parsed either.
  const std::string names[] = {
      (work() / "missing.xml").string(),
      (work() / std::string(200, 'a') / std::string(200, 'b') / std::string(200, 'c')).string()};
  for (const std::string& missing : names) {
    SCOPED_TRACE(missing.size());
    ProgramRun run = push(missing, tree().string());
    EXPECT_EQ(run.exitCode, kExitFatal);
    Lines expected = {
        "--- ERROR --- (config): Error occurred while parsing the XML file " + missing + ".",
        kPublishFailed,
    };
    EXPECT_EQ(maskedLines(run.out), expected);
    EXPECT_EQ(dump()["objects"].size(), 0u);
  }
}

TEST_F(PublishFailureTest, MissingSourceDirectoryPublishesTheUsersThenFails) {
  std::string missing = (work() / "nowhere").string();
  ProgramRun run = push(examplePublishXml(), missing);
  EXPECT_EQ(run.exitCode, kExitFatal);
  Json server = dump();
  Lines expected = {
      kWarnNoName,
      kWarnOutside,
      connected(),
      addedLine("user", "audit1", id(userIdOf(server, "audit1"))),
      addedLine("user", "sales1", id(userIdOf(server, "sales1"))),
      LOG_ERROR_ACT "Failed to publish content of " + missing +
          " to Veltrane Enterprise. System function failed.",
      std::string(kPublishFailed) + " System function failed.",
  };
  EXPECT_EQ(maskedLines(run.out), expected);
  EXPECT_EQ(server["objects"].size(), 0u);
}

TEST_F(PublishFailureTest, FolderThatCannotBeAddedSkipsItsWholeSubtree) {
  // Finance may not be overwritten; everything else may.
  fs::path instructions = work() / "keep-finance.xml";
  writeFile(instructions,
            "<publish><users/>"
            "<folders overwrite=\"1\"><folder name=\"Finance\" overwrite=\"0\"/></folders>"
            "<reports overwrite=\"1\"/></publish>");
  ASSERT_EQ(push(instructions.string(), tree().string()).exitCode, 0);
  Json server = dump();
  int64_t hr = folderIdAt(server, "HR");
  const Json* staff = findObject(server, "Report", "staff", hr);
  ASSERT_NE(staff, nullptr);

  ProgramRun run = push(instructions.string(), tree().string());
  EXPECT_EQ(run.exitCode, 0);
  Lines expected = {connected()};
  appendWalkLines(
      &expected, tree(),
      {{"Finance",
        {LOG_ERROR_PUB "Failed to add folder Finance as the folder already exists.",
         LOG_ERROR_PUB "Failed to add folder Finance to Veltrane Enterprise.",
         LOG_ERROR_ACT "Failed to add folder Finance. All reports and folders within it would "
                       "be skipped."}},
       {"HR", {updatedLine("folder", "HR", id(hr))}},
       {"HR/staff.rpt", {updatedLine("report", "staff", id((*staff)["id"].integer()))}}},
      [](const std::string& path) { return path != "Finance"; });
  // Nothing inside Finance is counted: not added, not updated, not skipped.
  append(&expected, publishSummary(instructions.string(), 0, 0, 0, 0, 1, 1, 0, 1, 0));
  EXPECT_EQ(maskedLines(run.out), expected);
}

TEST_F(PublishFailureTest, UnknownRightIsReportedOnEveryTopLevelFolder) {
  fs::path instructions = work() / "bad-right.xml";
  writeFile(instructions,
            "<publish><users right=\"Admin\"><user name=\"viewer\"/></users>"
            "<folders/><reports/></publish>");
  ProgramRun run = push(instructions.string(), tree().string());
  EXPECT_EQ(run.exitCode, 0);
  Json server = dump();
  int64_t viewer = userIdOf(server, "viewer");
  Lines expected = {connected(), addedLine("user", "viewer", id(viewer))};
  appendWalkLines(
      &expected, tree(),
      [&](const std::string& path) -> Lines {
        fs::path p(path);
        if (fs::is_directory(tree() / path)) {
          int64_t folder = folderIdAt(server, path);
          Lines l = {addedLine("folder", p.filename().string(), id(folder))};
          if (p.parent_path().empty()) {
            l.push_back(LOG_ERROR_PUB
                        "Failed to set right as the specified right Admin is not "
                        "valid.");
            l.push_back(LOG_ERROR_PUB "Failed to set the right to Admin on object " + id(folder) +
                        " for user " + id(viewer) + ".");
          }
          return l;
        }
        std::string base = p.stem().string();
        return {addedLine("report", base, id(reportIdAt(server, p.parent_path().string(), base)))};
      },
      [](const std::string&) { return true; });
  append(&expected, publishSummary(instructions.string(), 1, 0, 0, 3, 0, 0, 3, 0, 0));
  EXPECT_EQ(maskedLines(run.out), expected);
  for (const Json& object : server["objects"].items) EXPECT_TRUE(rightsOf(object).empty());
}

TEST_F(PublishFailureTest, FailingFolderCommitSkipsThatFolderAndGoesOn) {
  // Commits 1 and 2 store the two users; the third is the first top-level
  // folder the walk meets.
  ProgramRun run = push(examplePublishXml(), tree().string(), {}, {"KORVA_SERVER_FAULTS=commit#3"});
  EXPECT_EQ(run.exitCode, 0);
  std::vector<std::string> top = listingOrder(tree());
  ASSERT_EQ(top.size(), 2u);
  const std::string failed = top[0];
  const std::string kept = top[1];

  Json server = dump();
  EXPECT_EQ(findObject(server, "Folder", failed, 0), nullptr);
  int64_t keptId = folderIdAt(server, kept);
  ASSERT_GE(keptId, 0);
  int64_t audit1 = userIdOf(server, "audit1");
  int64_t sales1 = userIdOf(server, "sales1");

  Lines expected = {
      kWarnNoName,
      kWarnOutside,
      connected(),
      addedLine("user", "audit1", id(audit1)),
      addedLine("user", "sales1", id(sales1)),
      LOG_ERROR_PUB "Failed to commit folder changes while adding folder " + failed + ".",
      LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
      LOG_DETAIL "Injected fault in commit.",
      LOG_ERROR_PUB "Failed to add folder " + failed + " to Veltrane Enterprise.",
      LOG_ERROR_ACT "Failed to add folder " + failed +
          ". All reports and folders within it would be skipped.",
      addedLine("folder", kept, id(keptId)),
      rightLine("FullControl", id(keptId), id(audit1)),
      rightLine("View", id(keptId), id(sales1))};
  // The rest of the kept folder's lines, in the walk's order.
  int foldersAdded = 1;
  int reportsAdded = 0;
  appendWalkLines(
      &expected, tree() / kept,
      [&](const std::string& path) -> Lines {
        fs::path p(path);
        if (fs::is_directory(tree() / kept / path)) {
          ++foldersAdded;
          return {addedLine("folder", p.filename().string(),
                            id(folderIdAt(server, kept + "/" + path)))};
        }
        ++reportsAdded;
        std::string title =
            p.stem().string() == "Q1 Summary" ? "First Quarter Summary" : p.stem().string();
        std::string folder = p.parent_path().empty() ? kept : kept + "/" + p.parent_path().string();
        return {addedLine("report", title, id(reportIdAt(server, folder, title)))};
      },
      [](const std::string&) { return true; });
  append(&expected,
         publishSummary(examplePublishXml(), 2, 0, 0, foldersAdded, 0, 1, reportsAdded, 0, 0));
  EXPECT_EQ(maskedLines(run.out), expected);
}

}  // namespace
}  // namespace e2e
