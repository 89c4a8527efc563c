// Who may change what, with the real programs: after the Administrator
// published the example, sales1 (View on the top-level folders) is refused
// every change by the server, with the engine's failure lines and the
// server's reason, and leaves the repository as it was; audit1 (FullControl)
// publishes below its folders.
#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

class RightsTest : public PublishedExampleTest {
 protected:
  void SetUp() override {
    PublishedExampleTest::SetUp();
    // Everything may be overwritten; titles as the example gives them.
    writeFile(instructions(),
              "<publish><folders overwrite=\"1\"/><reports overwrite=\"1\">"
              "<report name=\"Q1 Summary\" title=\"First Quarter Summary\"/></reports></publish>");
  }

  fs::path instructions() const { return work() / "overwrite.xml"; }
  std::string dumpText() const { return server().tool({"dump", "-apsname", kAps}).out; }
  ProgramRun pushAs(const std::string& user) const {
    return push(instructions().string(), tree().string(), {"-apsuser", user});
  }

  // The title a report file is published under.
  static std::string titleOf(const fs::path& file) {
    const std::string stem = file.stem().string();
    return stem == "Q1 Summary" ? "First Quarter Summary" : stem;
  }

  // The lines of a run over the tree in which every folder is added or
  // updated and every report gets `reportLines`, with the ids of the dump.
  Lines walkLines(const Json& server,
                  const std::function<Lines(const std::string& title, int64_t id)>& reportLines) {
    Lines lines;
    appendWalkLines(
        &lines, tree(),
        [&](const std::string& path) -> Lines {
          fs::path p(path);
          if (fs::is_directory(tree() / path)) {
            int64_t id = folderIdAt(server, path);
            return {p.filename() == "New"
                        ? addedLine("folder", "New", e2e::id(id))
                        : updatedLine("folder", p.filename().string(), e2e::id(id))};
          }
          const std::string title = titleOf(p);
          return reportLines(title, reportIdAt(server, p.parent_path().string(), title));
        },
        [](const std::string&) { return true; });
    return lines;
  }
};

std::string refusal(const std::string& user, const std::string& action) {
  return LOG_DETAIL "The commit was refused: access denied. User \"" + user + "\" may not " +
         action + ": that needs FullControl on it or on a folder above it.";
}

TEST_F(RightsTest, AViewUsersPublishIsRefusedAndChangesNothing) {
  const std::string before = dumpText();
  const Json server = dump();
  ProgramRun run = pushAs("sales1");
  EXPECT_EQ(run.exitCode, 0);
  Lines expected = {connected(kAps, "sales1")};
  // Folders without changes pass; every report's new content is refused.
  append(&expected, walkLines(server, [](const std::string& title, int64_t id) -> Lines {
    return {LOG_ERROR_PUB "Failed to commit report changes while adding report " + title + ".",
            LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
            refusal("sales1", "change Report " + e2e::id(id) + " \"" + title + "\""),
            LOG_ERROR_PUB "Failed to add report " + title + " to Veltrane Enterprise."};
  }));
  append(&expected, publishSummary(instructions().string(), 0, 0, 0, 0, 3, 0, 0, 0, 3));
  EXPECT_EQ(maskedLines(run.out), expected);
  EXPECT_EQ(dumpText(), before);
}

TEST_F(RightsTest, AViewUsersDeleteIsRefusedAndChangesNothing) {
  const std::string before = dumpText();
  const Json server = dump();
  ProgramRun run = drop({"-apsuser", "sales1", "-delrpt", "HR\\staff", "-delfld", "Finance"});
  EXPECT_EQ(run.exitCode, 0);
  Lines expected = {
      connected(kAps, "sales1"),
      LOG_ERROR_PUB "Failed to commit report changes while deleting report staff.",
      LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
      refusal("sales1", "delete Report " + id(reportIdAt(server, "HR", "staff")) + " \"staff\""),
      LOG_ERROR_PUB "Failed to delete report staff from Veltrane Enterprise.",
      LOG_ERROR_PUB "Failed to commit folder changes while deleting folder Finance.",
      LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
      refusal("sales1", "delete Folder " + id(folderIdAt(server, "Finance")) + " \"Finance\""),
      LOG_ERROR_PUB "Failed to delete folder Finance from Veltrane Enterprise.",
  };
  append(&expected, deleteSummary(0, 1, 0, 1));
  EXPECT_EQ(maskedLines(run.out), expected);
  EXPECT_EQ(dumpText(), before);
}

TEST_F(RightsTest, AFullControlUserPublishesBelowItsFolder) {
  writeFile(tree() / "Finance" / "New" / "n.rpt", "new report\n");
  ProgramRun run = pushAs("audit1");
  EXPECT_EQ(run.exitCode, 0);
  const Json server = dump();
  const int64_t added = reportIdAt(server, "Finance/New", "n");
  ASSERT_GE(added, 0);
  Lines expected = {connected(kAps, "audit1")};
  append(&expected, walkLines(server, [&](const std::string& title, int64_t id) -> Lines {
    return {id == added ? addedLine("report", title, e2e::id(id))
                        : updatedLine("report", title, e2e::id(id))};
  }));
  append(&expected, publishSummary(instructions().string(), 0, 0, 0, 1, 3, 0, 1, 3, 0));
  EXPECT_EQ(maskedLines(run.out), expected);
  const Json* report = findObject(server, "Report", "n", folderIdAt(server, "Finance/New"));
  ASSERT_NE(report, nullptr);
  EXPECT_EQ((*report)["file"]["sha256"].text, sha256OfFile(tree() / "Finance" / "New" / "n.rpt"));
}

}  // namespace
}  // namespace e2e
