// The server's UTF-8 codec and JSON string escaping, independent of the
// process locale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reportserver/text/json_text.h"
#include "reportserver/text/utf8.h"

namespace {

// One code point as wide text: a surrogate pair where wchar_t is 16 bits.
std::wstring wideOf(char32_t c) {
  if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
    c -= 0x10000;
    return {static_cast<wchar_t>(0xD800 + (c >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF))};
  }
  return std::wstring(1, static_cast<wchar_t>(c));
}

TEST(Utf8Test, RoundTripsEveryPlane) {
  const std::vector<std::pair<std::wstring, std::string>> cases = {
      {L"", ""},
      {L"plain", "plain"},
      {L"\x00e9t\x00e9", "\xc3\xa9t\xc3\xa9"},
      {L"\x20ac", "\xe2\x82\xac"},
      {wideOf(0x1F600), "\xf0\x9f\x98\x80"},
      {wideOf(0x10FFFF), "\xf4\x8f\xbf\xbf"},
      {std::wstring(1, L'\x7f') + L"\x0080\x07ff\x0800\xffff",
       "\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf"},
  };
  for (const auto& [wide, utf8] : cases) {
    EXPECT_EQ(korva::toUtf8(wide), utf8);
    EXPECT_EQ(korva::fromUtf8(utf8), wide);
  }
  EXPECT_EQ(korva::toUtf8(static_cast<const wchar_t*>(nullptr)), "");
}

TEST(Utf8Test, IllFormedInputBecomesReplacementCharacters) {
  const std::wstring r(1, static_cast<wchar_t>(0xFFFD));
  const std::vector<std::pair<std::string, std::wstring>> cases = {
      {"\xff", r},
      {"a\x80"
       "b",
       L"a" + r + L"b"},
      {"\xc3", r},                          // cut short
      {"\xc0\xaf", r + r},                  // over-long
      {"\xed\xa0\x80", r + r + r},          // a surrogate
      {"\xf4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
      {"\xe2\x82"
       "x",
       r + L"x"},
  };
  for (const auto& [utf8, wide] : cases) EXPECT_EQ(korva::fromUtf8(utf8), wide) << utf8;
  if (sizeof(wchar_t) == 4) {
    EXPECT_EQ(korva::toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
    EXPECT_EQ(korva::toUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xef\xbf\xbd");
  }
}

TEST(JsonTextTest, EscapesWhatJsonRequiresAndPassesTheRest) {
  EXPECT_EQ(korva::jsonString(""), "\"\"");
  EXPECT_EQ(korva::jsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(korva::jsonString("\b\f\n\r\t"), "\"\\b\\f\\n\\r\\t\"");
  EXPECT_EQ(korva::jsonString(std::string("\x00\x01\x1f\x7f", 4)),
            "\"\\u0000\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(korva::jsonString("\xc3\xa9\xe2\x82\xac"), "\"\xc3\xa9\xe2\x82\xac\"");
}

}  // namespace
