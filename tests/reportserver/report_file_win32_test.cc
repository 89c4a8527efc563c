// Report files on Windows: devices ("NUL", "CON") are refused without being
// read, and a path with a character above ASCII, widened the way the client
// widens it (the C runtime's conversion of the locale in force), names the
// same file again: in the plain "C" locale and in the user's ANSI code page.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/reportserver/report_file_fixture.h"

namespace korva_rs_test {
namespace {

TEST_F(ReportFileTest, DevicesAreNoRegularFiles) {
  for (const char* device : {"NUL", "CON"}) {
    SCOPED_TRACE(device);
    Ref<korva::InfoObjects> list;
    EXPECT_EQ(attachToNew(widen(device), &list), E_FAIL);
    EXPECT_EQ(lastError(),
              std::string("Cannot attach \"") + device + "\" to the report: it is not a regular file.");
  }
}

TEST_F(ReportFileTest, AnAnsiPathIsSpelledBackAsTheClientWidenedIt) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  const std::string local = home_.string() + "\\R\xe9sum\xe9.rpt";  // "é" in code page 1252
  // Made through the C runtime, which hands the bytes to the ANSI file functions.
  std::FILE* f = std::fopen(local.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fputs("r\xe9sum\xe9", f);
  std::fclose(f);
  for (const char* locale : {"C", ""}) {
    SCOPED_TRACE(locale);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, locale));
    std::vector<wchar_t> wide(local.size() + 1);
    const size_t n = std::mbstowcs(wide.data(), local.c_str(), wide.size());
    ASSERT_NE(n, static_cast<size_t>(-1));
    Ref<korva::InfoObjects> list;
    const HRESULT attached = attachToNew(std::wstring(wide.data(), n), &list);
    const HRESULT committed = attached == S_OK ? c_.store->commit(list.get()) : attached;
    const std::string description = lastError();
    std::setlocale(LC_CTYPE, saved.c_str());
    ASSERT_EQ(attached, S_OK) << description;
    ASSERT_EQ(committed, S_OK) << description;
    EXPECT_EQ(exported(idOf(itemOf(list, 1))), "r\xe9sum\xe9");
  }
}

}  // namespace
}  // namespace korva_rs_test
