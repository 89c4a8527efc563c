// Visible escapes of control characters: C0, DEL and C1 found by character,
// and everything else passed byte for byte. The process's encoding is that of
// the "C" locale here, which reads ASCII alike everywhere; what it makes of
// other bytes differs (glibc reads none, so UTF-8 is the fallback, which the
// publish runner's POSIX tests see in names).
#include "platform/visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using korva::EscapeStyle;
using korva::TextEncoding;
using korva::visibleText;

struct Case {
  std::string text;
  std::string log;   // kLog
  std::string json;  // kJson
};

const Case kCases[] = {
    {"plain \\ text", "plain \\ text", "plain \\\\ text"},
    {"a\nb\r\tc", "a\\nb\\r\\tc", "a\\nb\\r\\tc"},
    {"\x1b[31mred", "\\x1b[31mred", "\\u001b[31mred"},
    {std::string("nul\0\b\f\x7f", 7), "nul\\x00\\x08\\x0c\\x7f", "nul\\u0000\\b\\f\\u007f"},
    {"csi\xc2\x9b"
     "2J \xc2\x80",
     "csi\\u009b2J \\u0080", "csi\\u009b2J \\u0080"},
    {"\xc3\xa9t\xc3\xa9 \xc2\xa0 \xe2\x82\xac \xf0\x9f\x93\x8a \"q\"",
     "\xc3\xa9t\xc3\xa9 \xc2\xa0 \xe2\x82\xac \xf0\x9f\x93\x8a \"q\"",
     "\xc3\xa9t\xc3\xa9 \xc2\xa0 \xe2\x82\xac \xf0\x9f\x93\x8a \\\"q\\\""},
    // Stray bytes: one that an 8-bit terminal would obey is escaped as a
    // byte, any other passes.
    {"lone\x9b x\xff\xc3", "lone\\x9b x\xff\xc3", "lone\\u009b x\xff\xc3"},
};

TEST(VisibleTextTest, ControlCharactersAreEscapedAndNothingElse) {
  for (const Case& c : kCases) {
    EXPECT_EQ(visibleText(c.text, TextEncoding::kUtf8, EscapeStyle::kLog), c.log) << c.text;
    EXPECT_EQ(visibleText(c.text, TextEncoding::kUtf8, EscapeStyle::kJson), c.json) << c.text;
    bool ascii = true;
    for (char ch : c.text) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    if (ascii) {
      EXPECT_EQ(visibleText(c.text, TextEncoding::kProcess, EscapeStyle::kLog), c.log) << c.text;
    }
  }
}

}  // namespace
