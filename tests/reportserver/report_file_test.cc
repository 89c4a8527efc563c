// Report files: content stored byte for byte in chunks, with name, size and
// digest; the last file attached wins; files that cannot be read, or not
// without waiting, are refused; no file is read while the repository's write
// lock is held; paths are spelled in the process's encoding.
#include <cerrno>
#include <string>
#include <vector>

#include "platform/content_digest.h"
#include "tests/reportserver/report_file_fixture.h"

namespace korva_rs_test {
namespace {

std::string sha256Hex(const std::string& data) {
  korva::Sha256Digest digest;
  digest.update(data.data(), data.size());
  return digest.finishHex();
}

TEST_F(ReportFileTest, ContentIsStoredByteForByteInChunks) {
  const size_t mib = 1024 * 1024;
  struct Case {
    size_t size;
    int64_t chunks;
  };
  const std::vector<Case> cases = {{0, 0},   {1, 1},       {mib - 1, 1},
                                   {mib, 1}, {mib + 1, 2}, {5 * mib / 2, 3}};
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::string content = randomBytes(c.size, seed++);
    std::string file = writeFile("r" + std::to_string(c.size) + ".rpt", content);
    int32_t id = addReport(c_, L"R" + std::to_wstring(c.size), folder_, file);
    EXPECT_EQ(exported(id), content);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM content_chunks k JOIN reports r"
                     " ON r.content_id = k.content_id WHERE r.id = " +
                     std::to_string(id)),
              c.chunks);
    EXPECT_NE(dump().find("\"file\": {\"name\": \"r" + std::to_string(c.size) +
                          ".rpt\", \"size\": " + std::to_string(c.size) + ", \"sha256\": \"" +
                          sha256Hex(content) + "\"}"),
              std::string::npos);
  }
  EXPECT_EQ(scalar("SELECT MAX(length(data)) FROM content_chunks"), static_cast<int64_t>(mib));
}

TEST_F(ReportFileTest, TheLastFileAttachedWins) {
  std::string first = writeFile("first.rpt", "first");
  std::string second = writeFile("second.rpt", std::string(2 * 1024 * 1024, 's'));
  std::string third = writeFile("third.rpt", "third");
  int32_t id = addReport(c_, L"R", folder_, first);

  Ref<korva::InfoObjects> list = children(c_, folder_, "Report");
  Ref<korva::ReportFiles> files;
  Ref<IUnknown> answer;
  ASSERT_EQ(itemOf(list, 1)->files(files.put()), S_OK);
  ASSERT_EQ(files->addFile(Variant::fromString(widen(second)), 1, Variant(), answer.put()), S_OK);
  ASSERT_TRUE(answer);
  ASSERT_EQ(c_.store->commit(list.get()), S_OK) << lastError();
  EXPECT_EQ(exported(id), readFile(second));
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM content_chunks"), 2);

  ASSERT_EQ(files->addFile(Variant::fromString(widen(first)), 1, Variant(), answer.put()), S_OK);
  ASSERT_EQ(files->addFile(Variant::fromString(widen(third)), 1, Variant(), answer.put()), S_OK);
  ASSERT_EQ(c_.store->commit(list.get()), S_OK) << lastError();
  EXPECT_EQ(exported(id), "third");
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM content_chunks"), 1);
  EXPECT_NE(dump().find("\"file\": {\"name\": \"third.rpt\", \"size\": 5"), std::string::npos);
}

TEST_F(ReportFileTest, FilesThatCannotBeReadAreRefusedWhenAttached) {
  Ref<korva::InfoObjects> list = children(c_, folder_, "Report");
  Ref<korva::InfoObject> report;
  ASSERT_EQ(list->add(c_.plugins["Report"].get(), report.put()), S_OK);
  Ref<korva::ReportFiles> files;
  ASSERT_EQ(report->files(files.put()), S_OK);
  Ref<IUnknown> answer;
  const std::string missing = (home_ / "missing.rpt").string();
  EXPECT_EQ(files->addFile(Variant::fromString(widen(missing)), 1, Variant(), answer.put()),
            E_FAIL);
  EXPECT_EQ(lastError(),
            "Cannot open the report file \"" + missing + "\": No such file or directory.");
  EXPECT_EQ(files->addFile(Variant::fromString(widen(home_.string())), 1, Variant(), answer.put()),
            E_FAIL);
  EXPECT_EQ(lastError(),
            "Cannot attach \"" + home_.string() + "\" to the report: it is a folder, not a file.");
  EXPECT_EQ(files->addFile(Variant::fromString(L""), 1, Variant(), answer.put()), E_FAIL);
  EXPECT_EQ(lastError(), "No report file was named.");
  EXPECT_EQ(files->addFile(Variant::fromInt(1), 1, Variant(), answer.put()), E_INVALIDARG);
  EXPECT_EQ(lastError(), "addFile needs a string variant naming a local file.");
  EXPECT_EQ(files->addFile(Variant::fromString(L"x"), 1, Variant(), nullptr), E_POINTER);
  // The report without a file is stored as such.
  ASSERT_EQ(report->setTitle(B(L"Empty")), S_OK);
  ASSERT_EQ(report->setProperty(B(L"SI_PARENTID"), Variant::fromInt(folder_)), S_OK);
  ASSERT_EQ(c_.store->commit(list.get()), S_OK);
  EXPECT_NE(dump().find("\"file\": null"), std::string::npos);
}

TEST_F(ReportFileTest, NoReportFileIsReadWhileTheRepositoryIsLocked) {
  // Another connection tries the write lock before every read of a file; it
  // must always get it at once.
  korva::Database other;
  std::string error;
  ASSERT_TRUE(korva::openRepository(repositoryPath(), &other, &error)) << error;
  sqlite3_busy_timeout(other.handle(), 0);
  int reads = 0;
  int readsUnderLock = 0;
  WatchedOpener opener;
  opener.beforeRead = [&] {
    ++reads;
    if (!other.exec("BEGIN IMMEDIATE", nullptr)) {
      ++readsUnderLock;
    } else {
      other.exec("ROLLBACK", nullptr);
    }
    return 0;
  };
  const std::string content = randomBytes(5 * 1024 * 1024 / 2, 7);
  int32_t id = addReport(c_, L"Big", folder_, writeFile("big.rpt", content));
  EXPECT_GE(reads, 4);  // the check when attached, three chunks and the end
  EXPECT_EQ(readsUnderLock, 0);
  EXPECT_EQ(exported(id), content);
}

TEST_F(ReportFileTest, ThumbnailAndReportTypeAreStored) {
  std::string file = writeFile("r.rpt", "r");
  Ref<korva::InfoObjects> list = children(c_, folder_, "Report");
  Ref<korva::InfoObject> report;
  ASSERT_EQ(list->add(c_.plugins["Report"].get(), report.put()), S_OK);
  ASSERT_EQ(report->setProperty(B(L"SI_PARENTID"), Variant::fromInt(folder_)), S_OK);
  ASSERT_EQ(report->setTitle(B(L"Q1")), S_OK);
  ASSERT_EQ(report->setDescription(B(L"First quarter")), S_OK);
  ASSERT_EQ(report->setProperty(B(L"SI_REPORTTYPE"), Variant::fromString(L"summary")), S_OK);
  Ref<korva::ReportObject> details;
  ASSERT_EQ(report.query(&details), S_OK);
  ASSERT_EQ(details->setThumbnail(true), S_OK);
  Ref<korva::ReportFiles> files;
  Ref<IUnknown> answer;
  ASSERT_EQ(report->files(files.put()), S_OK);
  ASSERT_EQ(files->addFile(Variant::fromString(widen(file)), 1, Variant(), answer.put()), S_OK);
  ASSERT_EQ(c_.store->commit(list.get()), S_OK) << lastError();
  EXPECT_NE(
      dump().find("{\"id\": " + std::to_string(idOf(report)) +
                  ", \"type\": \"Report\", \"parentId\": " + std::to_string(folder_) +
                  ", \"title\": \"Q1\", \"description\": \"First quarter\",\n"
                  "              \"reportType\": \"summary\", \"thumbnail\": true,\n"
                  "              \"file\": {\"name\": \"r.rpt\", \"size\": 1, \"sha256\": \"" +
                  sha256Hex("r") + "\"}, \"rights\": []}"),
      std::string::npos)
      << dump();
}

}  // namespace
}  // namespace korva_rs_test
