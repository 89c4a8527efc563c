// korvapush and korvadrop in the Japanese locale (code page 932 on Windows,
// where 表 is 95 5C and 能 is 94 5C: their second byte is that of "\").
// Folders named so publish once each, with their reports, and delete.
#include <clocale>
#include <string>

#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

const char kHyo[] = "\xe8\xa1\xa8";                  // 表
const char kNoryoku[] = "\xe8\x83\xbd\xe5\x8a\x9b";  // 能力

class DoubleByteNamesTest : public E2ETest {
 protected:
  void SetUp() override {
    // The suite's environment names the locale; a machine without it
    // cannot run the suite (the test scripts generate it).
    const bool present = std::setlocale(LC_CTYPE, "") != nullptr;
    std::setlocale(LC_CTYPE, "C");
    if (!present) GTEST_SKIP() << "the locale ja_JP.UTF-8 is missing";
    E2ETest::SetUp();
    hyo_ = korva_test::programSpelling(kHyo);
    noryoku_ = korva_test::programSpelling(kNoryoku);
    ASSERT_FALSE(hyo_.empty());
    ASSERT_FALSE(noryoku_.empty());
    src_ = work() / "src2";
    writeFile(src_ / fs::u8path(kHyo) / "a.rpt", "A");
    writeFile(src_ / fs::u8path(kNoryoku) / "b.rpt", "B");
    writeFile(work() / "publish.xml", "<publish/>");
  }

  std::string publishXml() const { return (work() / "publish.xml").string(); }

  std::string hyo_, noryoku_;
  fs::path src_;
};

TEST_F(DoubleByteNamesTest, TwoFoldersAndTwoReportsPublishAndDelete) {
  ProgramRun run = push(publishXml(), src_.string());
  ASSERT_EQ(run.exitCode, 0) << run.out;
  Json server = dump();
  EXPECT_EQ(server["objects"].size(), 4u);
  const int64_t hyo = folderIdAt(server, kHyo);
  const int64_t noryoku = folderIdAt(server, kNoryoku);
  const int64_t a = reportIdAt(server, kHyo, "a");
  const int64_t b = reportIdAt(server, kNoryoku, "b");
  ASSERT_GE(hyo, 0);
  ASSERT_GE(noryoku, 0);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  Lines expected = {connected()};
  for (const std::string& name : listingOrder(src_)) {
    if (name == hyo_) {
      append(&expected, {addedLine("folder", hyo_, id(hyo)), addedLine("report", "a", id(a))});
    } else {
      EXPECT_EQ(name, noryoku_);
      append(&expected,
             {addedLine("folder", noryoku_, id(noryoku)), addedLine("report", "b", id(b))});
    }
  }
  append(&expected, publishSummary(publishXml(), 0, 0, 0, 2, 0, 0, 2, 0, 0));
  EXPECT_EQ(maskedLines(run.out), expected);

  ProgramRun removed = drop({"-delrpt", hyo_ + "\\a", "-delfld", hyo_});
  EXPECT_EQ(removed.exitCode, 0) << removed.out;
  expected = {connected(), LOG_INFO_PUB "Successfully deleted report a from Veltrane Enterprise.",
              LOG_INFO_PUB "Successfully deleted folder " + hyo_ + " from Veltrane Enterprise."};
  append(&expected, deleteSummary(1, 0, 1, 0));
  EXPECT_EQ(maskedLines(removed.out), expected);
  Json after = dump();
  EXPECT_EQ(folderIdAt(after, kHyo), -1);
  EXPECT_EQ(reportIdAt(after, kNoryoku, "b"), b);
  EXPECT_EQ(after["objects"].size(), 2u);
}

}  // namespace
}  // namespace e2e
