// The publish runner's walk over trees with symbolic links (POSIX only: on
// Windows creating a link needs a privilege a test account does not have):
// links that lead back to where the walk already is, a second way into a
// directory, and an entry whose status cannot be read.
#include <gtest/gtest.h>

#include "actions/publish_runner_fixture.h"

namespace runner_test {
namespace {

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
  int top = idIn(lines, LOG_INFO_PUB "Successfully added folder Top");
  int inner = idIn(lines, LOG_INFO_PUB "Successfully added folder Inner");
  int r = idIn(lines, LOG_INFO_PUB "Successfully added report r");
  int i = idIn(lines, LOG_INFO_PUB "Successfully added report i");

  auto loop = [](const fs::path& path) {
    return Lines{LOG_ERROR_ACT "The directory " + path.string() +
                     " leads back to a directory that contains it.",
                 LOG_ERROR_ACT "Failed to add folder " + path.filename().string() +
                     ". All reports and folders within it would be skipped."};
  };
  Lines expected = {connectedLine(), LOG_INFO_PUB "Successfully added folder Top with id " +
                                         std::to_string(top) + " to Veltrane Enterprise."};
  for (const std::string& name : listingOrder(src() / "Top")) {
    if (name == "r.rpt") {
      expected.push_back(LOG_INFO_PUB "Successfully added report r with id " + std::to_string(r) +
                         " to Veltrane Enterprise.");
    } else if (name == "self") {
      for (const std::string& l : loop(src() / "Top" / "self")) expected.push_back(l);
    } else if (name == "Inner") {
      expected.push_back(LOG_INFO_PUB "Successfully added folder Inner with id " +
                         std::to_string(inner) + " to Veltrane Enterprise.");
      for (const std::string& n : listingOrder(src() / "Top" / "Inner")) {
        if (n == "i.rpt") {
          expected.push_back(LOG_INFO_PUB "Successfully added report i with id " +
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
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().string().c_str()), &count), kStatusOk);
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
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().string().c_str()), &count), kStatusOk);
  EXPECT_EQ(count, 9);
}

TEST_F(PublishRunnerTest, AnEntryThatCannotBeReadIsNamedBeforeItsDirectoryFails) {
  writeFile(src() / "Top" / "r.rpt", "r");
  fs::create_symlink(work() / "nowhere", src() / "Top" / "dangling");
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  int top = idIn(lines, LOG_INFO_PUB "Successfully added folder Top");
  Lines expected = {
      connectedLine(),
      LOG_INFO_PUB "Successfully added folder Top with id " + std::to_string(top) +
          " to Veltrane Enterprise.",
      LOG_ERROR_ACT "The directory entry " + (src() / "Top" / "dangling").string() +
          " cannot be read: No such file or directory.",
      LOG_ERROR_ACT "Failed to publish content of " + (src() / "Top").string() +
          " to Veltrane Enterprise. System function failed.",
  };
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 1, 0, 0, 0, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace runner_test
