// SStrTok: tokens, empty tokens from doubled separators, the remaining text.
#include "support/str_tok.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace {

struct TokCase {
  const char* text;
  const char* separator;
  // Every token up to and including the first one handed out from an empty
  // remainder, with the remaining text after each.
  std::vector<std::pair<std::string, std::string>> steps;
};

TEST(StrTok, SplitsAtEveryOccurrenceOfTheSeparator) {
  const TokCase cases[] = {
      {"Sales\\\\2024", "\\", {{"Sales", "\\2024"}, {"", "2024"}, {"2024", ""}, {"", ""}}},
      {"Sales", "\\", {{"Sales", ""}, {"", ""}}},
      {"\\Top\\Sub\\", "\\", {{"", "Top\\Sub\\"}, {"Top", "Sub\\"}, {"Sub", ""}, {"", ""}}},
      {"a::b:c", "::", {{"a", "b:c"}, {"b:c", ""}, {"", ""}}},
      {"", "\\", {{"", ""}}},
      {"abc", "", {{"abc", ""}, {"", ""}}},  // an empty separator occurs nowhere
  };
  for (const TokCase& c : cases) {
    SStrTok byString{SAnsiString(c.text), SAnsiString(c.separator)};
    SStrTok byText(c.text, c.separator);
    for (SStrTok* tok : {&byString, &byText}) {
      EXPECT_STREQ(tok->getRemaining().getBuffer(), c.text);
      for (const auto& step : c.steps) {
        EXPECT_EQ(std::string(tok->nextToken().getBuffer()), step.first) << c.text;
        EXPECT_EQ(std::string(tok->getRemaining().getBuffer()), step.second) << c.text;
      }
    }
  }
}

TEST(StrTok, DropsExactlyTheSeparatorsBytesInMultibyteText) {
  std::string saved = setlocale(LC_CTYPE, nullptr);
  if (setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale here";
  // "\xc3" alone is no character, but it is the first byte of "\xc3\xa9".
  SStrTok tok("a\xc3\xa9" "b", "\xc3");
  EXPECT_STREQ(tok.nextToken().getBuffer(), "a");
  EXPECT_STREQ(tok.getRemaining().getBuffer(), "\xa9" "b");
  setlocale(LC_CTYPE, saved.c_str());
}

TEST(StrTok, TheRemainingTextIsACopy) {
  SStrTok tok("a\\b", "\\");
  SAnsiString remaining = tok.getRemaining();
  tok.nextToken();
  EXPECT_STREQ(remaining.getBuffer(), "a\\b");
  remaining += "x";
  EXPECT_STREQ(tok.getRemaining().getBuffer(), "b");
}

}  // namespace
