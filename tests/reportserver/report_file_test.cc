// Report files: content stored byte for byte in chunks, with name, size and
// digest; the last file attached wins; files that cannot be read, or not
// without waiting, are refused; no file is read while the repository's write
// lock is held; paths are spelled in the process's encoding.
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/file_reader.h"
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

// Opens files as the system does while installed, and lets a test act before
// every read of a report file: a non-zero answer of beforeRead is what the
// read answers.
class WatchedOpener : public korva::FileOpener {
 public:
  WatchedOpener() : previous_(korva::setFileOpenerForTesting(this)) {}
  ~WatchedOpener() override { korva::setFileOpenerForTesting(previous_); }
  WatchedOpener(const WatchedOpener&) = delete;
  WatchedOpener& operator=(const WatchedOpener&) = delete;

  std::function<int()> beforeRead = [] { return 0; };

  int open(const std::string& path, std::unique_ptr<korva::FileReader>* reader) override {
    std::unique_ptr<korva::FileReader> real;
    int error = korva::defaultFileOpener().open(path, &real);
    if (error == 0) *reader = std::make_unique<Reader>(std::move(real), this);
    return error;
  }

 private:
  class Reader : public korva::FileReader {
   public:
    Reader(std::unique_ptr<korva::FileReader> real, WatchedOpener* owner)
        : real_(std::move(real)), owner_(owner) {}
    korva::FileKind kind() const override { return real_->kind(); }
    int read(void* buffer, size_t size, size_t* got) override {
      *got = 0;
      int error = owner_->beforeRead();
      return error != 0 ? error : real_->read(buffer, size, got);
    }

   private:
    std::unique_ptr<korva::FileReader> real_;
    WatchedOpener* owner_;
  };

  korva::FileOpener* previous_;
};

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

  // Attaches the file to a new report in the folder, pending in *list;
  // answers what addFile answered.
  HRESULT attachToNew(const std::wstring& path, Ref<korva::InfoObjects>* list) {
    *list = children(c_, folder_, "Report");
    Ref<korva::InfoObject> report = newIn(c_, *list, "Report");
    report->setTitle(B(L"R"));
    report->setProperty(B(L"SI_PARENTID"), Variant::fromInt(folder_));
    Ref<korva::ReportFiles> files;
    Ref<IUnknown> answer;
    EXPECT_EQ(report->files(files.put()), S_OK);
    return files->addFile(Variant::fromString(path), 1, Variant(), answer.put());
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

TEST_F(ReportFileTest, OnlyRegularFilesThatCanBeReadAtOnceAreAttached) {
  const std::string fifo = (home_ / "x.rpt").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // no writer: opening it to read would wait
  const std::string plain = writeFile("plain.rpt", "plain");
  WatchedOpener opener;
  opener.beforeRead = [] { return EAGAIN; };  // a regular file with nothing to give yet
  struct Case {
    std::string path;
    std::string description;
  };
  const std::vector<Case> cases = {
      {fifo, "Cannot attach \"" + fifo + "\" to the report: it is not a regular file."},
      {"/dev/null", "Cannot attach \"/dev/null\" to the report: it is not a regular file."},
      {plain, "Cannot attach \"" + plain + "\" to the report: it cannot be read without waiting."},
  };
  const std::string before = dump();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Ref<korva::InfoObjects> list;
    EXPECT_EQ(attachToNew(widen(c.path), &list), E_FAIL);
    EXPECT_EQ(lastError(), c.description);
  }
  // Readable when attached, not any more at the commit: nothing is stored.
  opener.beforeRead = [] { return 0; };
  Ref<korva::InfoObjects> list;
  ASSERT_EQ(attachToNew(widen(plain), &list), S_OK) << lastError();
  opener.beforeRead = [] { return EAGAIN; };
  EXPECT_EQ(c_.store->commit(list.get()), E_FAIL);
  EXPECT_EQ(lastError(), "Nothing was committed. " + cases[2].description);
  EXPECT_EQ(dump(), before);
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

TEST_F(ReportFileTest, PathsAreSpelledInTheProcesssEncoding) {
  // The client made the wide path with the locale's conversion; in Latin-1,
  // "é" is the one byte 0xE9 on disk.
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  const char* latin1 = nullptr;
  for (const char* name : {"de_DE.ISO-8859-1", "en_US.ISO-8859-1", "de_DE.iso88591"}) {
    char spelled[8];
    if (std::setlocale(LC_CTYPE, name) && std::wctomb(spelled, L'\x00e9') == 1 &&
        spelled[0] == '\xe9') {
      latin1 = name;
      break;
    }
  }
  if (!latin1) {
    std::setlocale(LC_CTYPE, saved.c_str());
    GTEST_SKIP() << "No Latin-1 locale on this machine (scripts/test generates de_DE.ISO-8859-1).";
  }
  std::filesystem::create_directories(home_ / "Caf\xe9");
  const std::string content = "r\xe9sum\xe9";
  writeFile("Caf\xe9/R\xe9sum\xe9.rpt", content);
  Ref<korva::InfoObjects> list;
  HRESULT attached =
      attachToNew(widen(home_.string()) + L"/Caf\x00e9/R\x00e9sum\x00e9.rpt", &list);
  HRESULT committed = attached == S_OK ? c_.store->commit(list.get()) : attached;
  const std::string description = lastError();
  std::setlocale(LC_CTYPE, saved.c_str());
  ASSERT_EQ(attached, S_OK) << description << " in " << latin1;
  ASSERT_EQ(committed, S_OK) << description;
  // Stored under its name in UTF-8.
  EXPECT_NE(dump().find("\"file\": {\"name\": \"R\xc3\xa9sum\xc3\xa9.rpt\", \"size\": 6"),
            std::string::npos)
      << dump();
  EXPECT_EQ(exported(idOf(itemOf(list, 1))), content);
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
