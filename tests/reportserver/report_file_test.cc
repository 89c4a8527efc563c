// Report files: content stored byte for byte in chunks, with name, size and
// digest; the last file attached wins; files that cannot be read are refused
// when attached.
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "reportserver/repository.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

std::string sha256Hex(const std::string& data) {
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(data.data(), data.size(), hash, &n, EVP_sha256(), nullptr);
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < n; ++i) {
    hex.push_back(digits[hash[i] >> 4]);
    hex.push_back(digits[hash[i] & 15]);
  }
  return hex;
}

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

class ReportFileTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    c_ = connect();
    folder_ = addFolder(c_, L"F");
  }

  std::string exported(int32_t id) {
    static int serial = 0;
    std::string path = (home_ / ("out" + std::to_string(serial++))).string();
    std::string error;
    EXPECT_TRUE(korva::exportReportContent("localhost", id, path, &error)) << error;
    return readFile(path);
  }

  Connection c_;
  int32_t folder_ = 0;
};

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
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM report_chunks WHERE report_id = " + std::to_string(id)),
              c.chunks);
    EXPECT_NE(dump().find("\"file\": {\"name\": \"r" + std::to_string(c.size) +
                          ".rpt\", \"size\": " + std::to_string(c.size) + ", \"sha256\": \"" +
                          sha256Hex(content) + "\"}"),
              std::string::npos);
  }
  EXPECT_EQ(scalar("SELECT MAX(length(data)) FROM report_chunks"), static_cast<int64_t>(mib));
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
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM report_chunks"), 2);

  ASSERT_EQ(files->addFile(Variant::fromString(widen(first)), 1, Variant(), answer.put()), S_OK);
  ASSERT_EQ(files->addFile(Variant::fromString(widen(third)), 1, Variant(), answer.put()), S_OK);
  ASSERT_EQ(c_.store->commit(list.get()), S_OK) << lastError();
  EXPECT_EQ(exported(id), "third");
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM report_chunks"), 1);
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
  if (::geteuid() != 0) {  // root reads anything
    std::string locked = writeFile("locked.rpt", "secret");
    ::chmod(locked.c_str(), 0);
    EXPECT_EQ(files->addFile(Variant::fromString(widen(locked)), 1, Variant(), answer.put()),
              E_FAIL);
    EXPECT_EQ(lastError(), "Cannot open the report file \"" + locked + "\": Permission denied.");
  }
  // The report without a file is stored as such.
  ASSERT_EQ(report->setTitle(B(L"Empty")), S_OK);
  ASSERT_EQ(report->setProperty(B(L"SI_PARENTID"), Variant::fromInt(folder_)), S_OK);
  ASSERT_EQ(c_.store->commit(list.get()), S_OK);
  EXPECT_NE(dump().find("\"file\": null"), std::string::npos);
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
