// korvapush with names beyond ASCII, spelled as the system spells them (the
// ANSI code page on Windows, UTF-8 here), and two runs at once against one
// repository.
#include <thread>

#include "common/test_platform.h"
#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

using NamesAndRunsTest = E2ETest;

TEST_F(NamesAndRunsTest, NamesBeyondAsciiAreLoggedInTheLocalSpellingAndStoredAsText) {
  const std::string folder = korva_test::programSpelling(
      "B\xc3\xbc"
      "cher");  // Bücher
  const std::string report = korva_test::programSpelling(
      "\xc3\x9c"
      "bersicht");  // Übersicht
  ASSERT_FALSE(folder.empty());
  ASSERT_FALSE(report.empty());
  const fs::path src = work() / "named";
  writeFile(src /
                fs::u8path("B\xc3\xbc"
                           "cher") /
                fs::u8path("\xc3\x9c"
                           "bersicht.rpt"),
            "R");
  writeFile(work() / "publish.xml", "<publish/>");

  ProgramRun run = push((work() / "publish.xml").string(), src.string());
  ASSERT_EQ(run.exitCode, 0) << run.out;
  Json server = dump();
  const int64_t folderId = folderIdAt(server,
                                      "B\xc3\xbc"
                                      "cher");
  const int64_t reportId = reportIdAt(server,
                                      "B\xc3\xbc"
                                      "cher",
                                      "\xc3\x9c"
                                      "bersicht");
  ASSERT_GE(folderId, 0);
  ASSERT_GE(reportId, 0);
  Lines expected = {connected(), addedLine("folder", folder, id(folderId)),
                    addedLine("report", report, id(reportId))};
  append(&expected, publishSummary((work() / "publish.xml").string(), 0, 0, 0, 1, 0, 0, 1, 0, 0));
  EXPECT_EQ(maskedLines(run.out), expected);
}

TEST_F(NamesAndRunsTest, TwoRunsAtOnceStoreEachObjectOnce) {
  ProgramRun runs[2];
  {
    std::thread other([&] { runs[1] = push(examplePublishXml(), tree().string()); });
    runs[0] = push(examplePublishXml(), tree().string());
    other.join();
  }
  for (const ProgramRun& run : runs) EXPECT_EQ(run.exitCode, 0) << run.out;
  Json server = dump();
  EXPECT_EQ(server["users"].size(), 3u);  // the Administrator, audit1 and sales1
  EXPECT_EQ(server["objects"].size(), 6u);
  EXPECT_GE(reportIdAt(server, "Finance/Archive", "First Quarter Summary"), 0);
  EXPECT_GE(reportIdAt(server, "HR", "staff"), 0);
}

}  // namespace
}  // namespace e2e
