// Report files on POSIX: a file its owner may not read, a FIFO and a
// device are refused without waiting, and paths in a Latin-1 locale.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/reportserver/report_file_fixture.h"

namespace korva_rs_test {
namespace {

TEST_F(ReportFileTest, AFileItsOwnerMayNotReadIsRefusedWhenAttached) {
  Ref<korva::InfoObjects> list;
  if (::geteuid() != 0) {  // root reads anything
    std::string locked = writeFile("locked.rpt", "secret");
    ::chmod(locked.c_str(), 0);
    EXPECT_EQ(attachToNew(widen(locked), &list), E_FAIL);
    EXPECT_EQ(lastError(), "Cannot open the report file \"" + locked + "\": Permission denied.");
  }
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

}  // namespace
}  // namespace korva_rs_test
