// Wide text on Windows is UTF-16: a character beyond the basic plane takes
// two code units of an SWCharString, and conversions follow the code page
// of the C runtime's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "support/sstring.h"

namespace {

TEST(SStringWin32, WideTextHoldsUtf16CodeUnits) {
  static_assert(sizeof(wchar_t) == 2, "wide text is UTF-16 on Windows");
  SWCharString face(L"\U0001F600");
  EXPECT_EQ(face.getNChars(), 2);
  EXPECT_EQ(face.getWideSize(), 6);
  SWCharString upper(L"stra\u00dfe \u00e9t\u00e9");
  upper.makeUpper();
  EXPECT_EQ(std::wstring(upper.getBuffer()).substr(0, 4), L"STRA");
}

TEST(SStringWin32, ConversionsFollowTheLocalesCodePage) {
  // The "C" locale reads a byte as the character of the same number.
  SAnsiString latin;
  EXPECT_TRUE(latin.assign(L"caf\u00e9"));
  EXPECT_STREQ(latin.getBuffer(), "caf\xe9");
  SWCharString back;
  EXPECT_TRUE(back.assign(latin.getBuffer()));
  EXPECT_STREQ(back.getBuffer(), L"caf\u00e9");

  const std::string saved = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, ".1252"), nullptr);
  SAnsiString euro;
  EXPECT_TRUE(euro.assign(L"\u20ac 5"));
  EXPECT_STREQ(euro.getBuffer(), "\x80 5");
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
