// Collation's byte-order shortcut: for every pair of texts, in the "C" and
// "C.UTF-8" locales, collate and collateNoCase answer exactly what the
// comparison of the wide forms answers.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "support/mbcs.h"

namespace {

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// The order the shortcut must reproduce: the wide forms by wcscoll (after
// lower-casing for the case-blind order), else strcoll of the bytes.
int reference(const std::string& a, const std::string& b, bool noCase) {
  std::wstring wa(a.size() + 1, L'\0'), wb(b.size() + 1, L'\0');
  size_t na = std::mbstowcs(&wa[0], a.c_str(), wa.size());
  size_t nb = std::mbstowcs(&wb[0], b.c_str(), wb.size());
  if (na == static_cast<size_t>(-1) || nb == static_cast<size_t>(-1)) {
    return noCase ? 2 : sign(std::strcoll(a.c_str(), b.c_str()));  // 2: not compared here
  }
  wa.resize(na);
  wb.resize(nb);
  if (noCase) {
    for (wchar_t& c : wa) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    for (wchar_t& c : wb) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
  return sign(std::wcscoll(wa.c_str(), wb.c_str()));
}

class CollateShortcut : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!std::setlocale(LC_ALL, GetParam())) GTEST_SKIP() << "no locale " << GetParam();
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(CollateShortcut, AgreesWithTheWideOrder) {
  const std::vector<std::string> texts = {
      "", "a", "A", "b", "ab", "abc", "abd", "Abc", "f0001_r00042", "f0001_r00043",
      "f0001_r0004", "Report 1.9", "Report 1.10", "~", "\x7f",
      "caf\xc3\xa9", "cafe", "caf\xc3\xa9s", "caf\xc3\xa8", "\xc3\xa9t\xc3\xa9", "\xe2\x82\xac",
      "abc\xff", "abc\xc3", "ab\xff", "\xff", "x\xc3\xa9y", "x\xc3\xa9z"};
  for (const std::string& a : texts) {
    for (const std::string& b : texts) {
      EXPECT_EQ(mbcs::collate(a.c_str(), b.c_str()), reference(a, b, false))
          << "\"" << a << "\" vs \"" << b << "\"";
      int blind = reference(a, b, true);
      if (blind != 2) {
        EXPECT_EQ(mbcs::collateNoCase(a.c_str(), b.c_str()), blind)
            << "\"" << a << "\" vs \"" << b << "\" without case";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Locales, CollateShortcut, ::testing::Values("C", "C.UTF-8"));

}  // namespace
