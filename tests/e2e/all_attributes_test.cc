// examples/publish-all-attributes.xml end to end: every attribute of the
// instructions file reaches the server (connection values from the file,
// user passwords, full names, descriptions, licence kinds and rights, folder
// and report descriptions, titles and icons), and the overwrite values decide
// what a second run may change.
#include <algorithm>

#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

class AllAttributesTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    if (HasFatalFailure()) return;
    // The file names its own server: APS localhost, whose Administrator has
    // the password "example-admin".
    ProgramRun init = server().init("localhost", "example-admin");
    ASSERT_EQ(init.exitCode, 0) << init.err;
  }
  static std::string xml() { return sourcePath("examples/publish-all-attributes.xml"); }
  ProgramRun publish() const {
    // The run's own connection values lose against the file's.
    return push(xml(), tree().string(),
                {"-apsuser", "nobody", "-apspass", "nothing", "-apsauth", "secNone"});
  }
};

TEST_F(AllAttributesTest, EveryAttributeReachesTheServer) {
  ProgramRun run = publish();
  EXPECT_EQ(run.exitCode, 0) << run.out;
  std::vector<std::string> lines = maskedLines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), connected("localhost"));
  std::vector<std::string> tail(lines.end() - 9, lines.end());
  std::vector<std::string> summary = publishSummary(xml(), 3, 0, 0, 3, 0, 0, 3, 0, 0);
  EXPECT_EQ(tail, std::vector<std::string>(summary.begin() + 1, summary.end()));

  Json held = server().dump("localhost");
  EXPECT_EQ(dump()["objects"].size(), 0u);  // nothing went to the run's own APS

  const struct {
    const char* name;
    const char* fullName;
    const char* description;
    int64_t licence;
    int64_t role;
  } users[] = {
      {"controller", "Financial Controller", "Signs off the quarterly figures", 0, 5},
      {"reader", "Report reader", "Created by the example publish", 1, 2},
      {"scheduler", "Report reader", "Created by the example publish", 1, 3},
  };
  std::vector<std::pair<int64_t, int64_t>> expectedRights;
  for (const auto& u : users) {
    SCOPED_TRACE(u.name);
    const Json* user = findUser(held, u.name);
    ASSERT_NE(user, nullptr);
    EXPECT_EQ((*user)["fullName"].text, u.fullName);
    EXPECT_EQ((*user)["description"].text, u.description);
    EXPECT_EQ((*user)["licenseType"].integer(), u.licence);
    EXPECT_TRUE((*user)["hasPassword"].boolean);
    expectedRights.emplace_back((*user)["id"].integer(), u.role);
  }
  std::sort(expectedRights.begin(), expectedRights.end());

  const struct {
    const char* path;
    const char* description;
    bool topLevel;
  } folders[] = {
      {"Finance", "Finance department", true},
      {"Finance/Archive", "Earlier years", false},
      {"HR", "Published by Korva", true},
  };
  for (const auto& f : folders) {
    SCOPED_TRACE(f.path);
    fs::path p(f.path);
    const Json* folder = findObject(held, "Folder", p.filename().string(),
                                    folderIdAt(held, p.parent_path().string()));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ((*folder)["description"].text, f.description);
    auto rights = rightsOf(*folder);
    std::sort(rights.begin(), rights.end());
    EXPECT_EQ(rights, f.topLevel ? expectedRights : decltype(rights){});
  }

  const struct {
    const char* folder;
    const char* title;
    const char* description;
    const char* icon;
    const char* file;
  } reports[] = {
      {"Finance", "First Quarter Summary", "Revenue and costs, January to March", "Summary",
       "Finance/Q1 Summary.rpt"},
      {"Finance/Archive", "First Quarter Summary", "Revenue and costs, January to March", "Summary",
       "Finance/Archive/Q1 Summary.rpt"},
      {"HR", "staff", "Everyone on the payroll", "VeltraneReport", "HR/staff.rpt"},
  };
  for (const auto& r : reports) {
    SCOPED_TRACE(r.file);
    const Json* report = findObject(held, "Report", r.title, folderIdAt(held, r.folder));
    ASSERT_NE(report, nullptr);
    EXPECT_EQ((*report)["description"].text, r.description);
    EXPECT_EQ((*report)["reportType"].text, r.icon);
    EXPECT_EQ((*report)["file"]["sha256"].text, sha256OfFile(tree() / r.file));
  }
}

TEST_F(AllAttributesTest, SecondRunKeepsWhatMayNotBeOverwritten) {
  ASSERT_EQ(publish().exitCode, 0);
  ProgramRun run = publish();
  EXPECT_EQ(run.exitCode, 0);
  std::vector<std::string> lines = maskedLines(run.out);
  ASSERT_GE(lines.size(), 9u);
  // scheduler is kept; Archive is kept, and with it the report inside it.
  std::vector<std::string> tail(lines.end() - 9, lines.end());
  std::vector<std::string> summary = publishSummary(xml(), 0, 2, 1, 0, 2, 1, 0, 2, 0);
  EXPECT_EQ(tail, std::vector<std::string>(summary.begin() + 1, summary.end()));
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      LOG_ERROR_ACT "Failed to add folder Archive. All reports and folders "
                                    "within it would be skipped."),
            lines.end());
}

}  // namespace
}  // namespace e2e
