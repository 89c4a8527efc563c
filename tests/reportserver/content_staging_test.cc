// Report contents are staged before the commit: another session commits
// while a large file is being staged, and what a staging left behind (its
// commit failed, or its process died) is never seen and is removed.
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/reportserver/report_file_fixture.h"

namespace korva_rs_test {
namespace {

constexpr size_t kMiB = 1024 * 1024;

class ContentStagingTest : public ReportFileTest {
 protected:
  void TearDown() override {
    korva::setServerOperationHook(nullptr);
    ReportFileTest::TearDown();
  }

  // The marks of stagings beside the repository.
  int marks() const {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home_)) {
      n += entry.path().filename().string().rfind("localhost.db-staging-", 0) == 0;
    }
    return n;
  }

  // Contents no report holds, and marks of stagings.
  void expectNothingLeft() {
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM contents WHERE id NOT IN"
                     " (SELECT content_id FROM reports WHERE content_id IS NOT NULL)"),
              0);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM loose_contents"), 0);
    EXPECT_EQ(marks(), 0);
  }
};

TEST_F(ContentStagingTest, AnotherSessionCommitsWhileALargeFileIsStaged) {
  const std::string big = randomBytes(3 * kMiB + 5, 3);
  Connection other = connect();
  int32_t otherFolder = 0;
  int32_t otherReport = 0;
  int chunks = 0;
  korva::setServerOperationHook([&](const std::string& operation) {
    if (operation != "stageReportContent" || ++chunks != 2) return;
    // Between the big file's first and second chunk.
    otherFolder = addFolder(other, L"Meanwhile");
    otherReport = addReport(other, L"Small", otherFolder, writeFile("small.rpt", "small"));
  });
  const int32_t id = addReport(c_, L"Big", folder_, writeFile("big.rpt", big));
  korva::setServerOperationHook(nullptr);

  ASSERT_GT(otherReport, 0);
  EXPECT_GT(id, otherReport);
  EXPECT_TRUE(exported(id) == big);
  EXPECT_EQ(exported(otherReport), "small");
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM content_chunks"), 5);
  expectNothingLeft();
}

TEST_F(ContentStagingTest, WhatAStagingLeftIsNeverSeenAndIsRemoved) {
  const std::string big = writeFile("big.rpt", randomBytes(3 * kMiB, 5));
  // What a dead staging left: its contents listed loose under its token,
  // half written, and its mark.
  auto leaveDeadStaging = [this](bool contentLeft, bool markLeft) {
    korva::Database db;
    std::string error;
    ASSERT_TRUE(korva::openRepository(repositoryPath(), &db, &error)) << error;
    ASSERT_TRUE(!contentLeft ||
                db.exec("INSERT INTO contents(id) VALUES(900);"
                        "INSERT INTO content_chunks VALUES(900, 0, x'00');"
                        "INSERT INTO loose_contents VALUES(900, '00000000deadbeef');",
                        &error))
        << error;
    if (markLeft) std::ofstream(repositoryPath() + "-staging-00000000deadbeef");
  };
  // A commit of the big file that fails: by the fault plan, or for a right
  // of a user that does not exist (after the file was given to its report).
  auto failCommit = [this, &big](const std::string& plan, int32_t rightFor) {
    korva::setServerFaultPlan(plan);
    Ref<korva::InfoObjects> list;
    ASSERT_EQ(attachToNew(widen(big), &list), S_OK);
    if (rightFor != 0) {
      Ref<korva::SecurityPrincipal> principal;
      ASSERT_EQ(principalsOf(itemOf(list, countOf(list)))->addPrincipal(rightFor, principal.put()),
                S_OK);
      ASSERT_EQ(principal->setRole(2), S_OK);
    }
    EXPECT_EQ(c_.store->commit(list.get()), E_FAIL);
    korva::clearServerFaultPlan();
  };
  struct Case {
    std::string name;
    std::function<void()> leave;
    bool leftUntilTheNextStaging;
  };
  const std::vector<Case> cases = {
      {"a staging that fails in its second chunk", [&] { failCommit("stageReportContent#2", 0); },
       false},
      {"a commit that fails after its staging", [&] { failCommit("", 99999); }, false},
      {"a staging whose process died, its mark left", [&] { leaveDeadStaging(true, true); }, true},
      {"a staging whose process died, its mark gone", [&] { leaveDeadStaging(true, false); }, true},
      {"a staging whose process died after its commit", [&] { leaveDeadStaging(false, true); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = dump();
    c.leave();
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM loose_contents") + marks() > 0,
              c.leftUntilTheNextStaging);
    addReport(c_, widen("After " + c.name), folder_, writeFile("after.rpt", "after"));
    expectNothingLeft();
  }
}

}  // namespace
}  // namespace korva_rs_test
