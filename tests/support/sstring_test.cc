// Tests of the string family: block sharing and growth, multibyte walks in a
// UTF-8 locale, changes, conversions, collation and copies across threads.
// Tests that need multibyte text switch to "C.UTF-8" and restore "C".
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstring>
#include <new>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/test_platform.h"
#include "support/diagnostics.h"
#include "support/sstring.h"

namespace {

// Switches the whole process to the UTF-8 locale for one test.
class Utf8Locale {
 public:
  Utf8Locale() : ok_(std::setlocale(LC_ALL, "C.UTF-8") != nullptr) {}
  ~Utf8Locale() { std::setlocale(LC_ALL, "C"); }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

#define NEED_UTF8(loc)                                     \
  Utf8Locale loc;                                          \
  if (!loc.ok()) GTEST_SKIP() << "no C.UTF-8 locale here"

// Starts the diagnostics for one test and stops them again.
class StartedDiagnostics {
 public:
  StartedDiagnostics() { SDiagnostics::start({}); }
  ~StartedDiagnostics() { SDiagnostics::stop(); }
};

int refCount(const SAnsiString& s) { return s.block()->refCount.load(); }
int refCount(const SWCharString& s) { return s.block()->refCount.load(); }

std::string bytes(const SAnsiString& s) { return std::string(s.getBuffer(), s.getNBytes()); }

// ---- blocks ----

TEST(SStringBlocks, EmptyValuesShareTheStaticEmptyBlocks) {
  const SAnsiBuffer* ansi = emptyAnsiBuffer();
  EXPECT_EQ(ansi->refCount.load(), -1);
  EXPECT_EQ(ansi->nativeCharsUsed, 0);
  EXPECT_EQ(ansi->nativeCharsAllocated, -1);
  EXPECT_EQ(ansi->chars()[0], '\0');
  EXPECT_TRUE(ansi->isStatic());

  {
    SAnsiString a;
    SAnsiString b(static_cast<const char*>(nullptr));
    SAnsiString c("");
    SAnsiString d(c);
    SAnsiString e("text");
    e = "";
    SAnsiString f("text");
    f = static_cast<const char*>(nullptr);
    for (const SAnsiString* s : {&a, &b, &c, &d, &e, &f}) {
      EXPECT_EQ(s->block(), ansi);
      EXPECT_TRUE(s->isEmpty());
      EXPECT_STREQ(s->getBuffer(), "");
      EXPECT_EQ(s->capacity(), -1);
    }
    SAnsiStringCI ci;
    EXPECT_EQ(ci.block(), ansi);
  }
  EXPECT_EQ(ansi->refCount.load(), -1);  // never counted

  const SWideBuffer* wide = emptyWideBuffer();
  {
    SWCharString a;
    SWCharString b(static_cast<const wchar_t*>(nullptr));
    SWCharString c(L"");
    SWCharString d(c);
    EXPECT_EQ(a.block(), wide);
    EXPECT_EQ(b.block(), wide);
    EXPECT_EQ(c.block(), wide);
    EXPECT_EQ(d.block(), wide);
    EXPECT_STREQ(a.getBuffer(), L"");
  }
  EXPECT_EQ(wide->refCount.load(), -1);
  EXPECT_EQ(wide->nativeCharsAllocated, -1);
}

TEST(SStringBlocks, NewBlocksGetThirtyTwoUnitsOfSlack) {
  SAnsiString text("abc");
  EXPECT_EQ(text.capacity(), 3 + 1 + 32);
  EXPECT_EQ(text.getNBytes(), 3);
  EXPECT_EQ(refCount(text), 1);

  SAnsiString none("abc", 0);  // a count always allocates
  EXPECT_FALSE(none.block()->isStatic());
  EXPECT_EQ(none.capacity(), 33);
  EXPECT_EQ(none.getNBytes(), 0);
  EXPECT_STREQ(none.getBuffer(), "");

  SAnsiString counted("abcdef", 4);
  EXPECT_EQ(bytes(counted), "abcd");
  EXPECT_EQ(counted.capacity(), 4 + 1 + 32);

  // A zero in the source ends the copy; the rest is zero-filled and counted.
  SAnsiString padded("ab", 5);
  EXPECT_EQ(padded.getNBytes(), 5);
  EXPECT_EQ(bytes(padded), std::string("ab\0\0\0", 5));
  EXPECT_EQ(padded.getNChars(), 2);

  SWCharString wide(L"abcd");
  EXPECT_EQ(wide.capacity(), 4 + 1 + 32);
  SWCharString widePadded(L"a", 3);
  EXPECT_EQ(widePadded.getNBytes(), 3);
  EXPECT_EQ(widePadded.getBuffer()[1], L'\0');
}

TEST(SStringBlocks, CopiesShareOneBlockUntilOneChanges) {
  SAnsiString source("shared text");
  SAnsiString copy(source);
  SAnsiString assigned;
  assigned = source;
  EXPECT_EQ(copy.block(), source.block());
  EXPECT_EQ(assigned.block(), source.block());
  EXPECT_EQ(refCount(source), 3);

  copy += "!";
  EXPECT_NE(copy.block(), source.block());
  EXPECT_STREQ(copy.getBuffer(), "shared text!");
  EXPECT_STREQ(source.getBuffer(), "shared text");
  EXPECT_EQ(refCount(source), 2);

  // Every change separates the changed value and leaves the others alone.
  using Change = void (*)(SAnsiString&);
  const Change changes[] = {
      [](SAnsiString& s) { s.setAt(0, 'S'); },
      [](SAnsiString& s) { s.insertAt(0, SAnsiString(">")); },
      [](SAnsiString& s) { s.insertAt(0, SAnsiChar('>')); },
      [](SAnsiString& s) { s.deleteAt(0, 1); },
      [](SAnsiString& s) { s.makeUpper(); },
      [](SAnsiString& s) { s.trimRight(); s += " "; },
      [](SAnsiString& s) { s = "other"; },
      [](SAnsiString& s) { s.append("xyz", 2); },
      [](SAnsiString& s) { s.makeWritable(0); },
  };
  for (Change change : changes) {
    SAnsiString other(assigned);
    change(other);
    EXPECT_NE(other.block(), assigned.block());
    EXPECT_STREQ(assigned.getBuffer(), "shared text");
    EXPECT_EQ(refCount(assigned), 2);
  }

  SWCharString wide(L"wide");
  SWCharString wideCopy(wide);
  EXPECT_EQ(wideCopy.block(), wide.block());
  wideCopy.setAt(0, L'W');
  EXPECT_NE(wideCopy.block(), wide.block());
  EXPECT_STREQ(wide.getBuffer(), L"wide");
  EXPECT_STREQ(wideCopy.getBuffer(), L"Wide");
  EXPECT_EQ(refCount(wide), 1);
}

TEST(SStringBlocks, AppendGrowsByTheFixedRules) {
  struct Case {
    const char* name;
    const char* start;  // nullptr: the empty value
    bool shared;
    int appended;
    int capacity;
    bool sameBlock;
  };
  const Case cases[] = {
      // static empty: new block for 2u + m + 1, plus slack
      {"empty", nullptr, false, 4, 0 + 4 + 1 + 32, false},
      // unique with room: in place
      {"unique fits", "abc", false, 10, 36, true},
      {"unique fills exactly", "abc", false, 32, 36, true},
      // unique without room: reallocated to exactly 2u + m + 1
      {"unique grows", "abc", false, 33, 2 * 3 + 33 + 1, false},
      {"unique grows more", "abc", false, 40, 2 * 3 + 40 + 1, false},
      // shared with room: new block for u + m + 1, plus slack
      {"shared fits", "abc", true, 2, 3 + 2 + 1 + 32, false},
      // shared without room: new block for 2u + m + 1, plus slack
      {"shared grows", "abc", true, 40, 2 * 3 + 40 + 1 + 32, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SAnsiString value(c.start);
    SAnsiString other;
    if (c.shared) other = value;
    const SAnsiBuffer* before = value.block();
    std::string tail(static_cast<size_t>(c.appended), 'x');
    value += tail.c_str();
    EXPECT_EQ(value.capacity(), c.capacity);
    EXPECT_EQ(bytes(value), std::string(c.start ? c.start : "") + tail);
    if (c.sameBlock) {
      EXPECT_EQ(value.block(), before);
    }
    if (c.shared) {
      EXPECT_STREQ(other.getBuffer(), c.start);
    }
  }

  SWCharString wide(L"abc");
  wide += std::wstring(40, L'x').c_str();
  EXPECT_EQ(wide.capacity(), 2 * 3 + 40 + 1);
  SWCharString wideShared(L"abc");
  SWCharString wideOther(wideShared);
  wideShared += L"de";
  EXPECT_EQ(wideShared.capacity(), 3 + 2 + 1 + 32);
  EXPECT_STREQ(wideOther.getBuffer(), L"abc");
}

TEST(SStringBlocks, UniqueValueChangesInPlaceWhileCapacitySuffices) {
  SAnsiString value("ab");  // capacity 35
  const SAnsiBuffer* block = value.block();
  for (int i = 0; i < 30; ++i) value += 'c';  // 32 units used
  value.setAt(0, 'A');
  value.insertAt(1, SAnsiChar('-'));
  value.deleteAt(1, 1);
  value.makeUpper();
  value = "short";
  value.makeWritable(20);
  EXPECT_EQ(value.block(), block);
  EXPECT_EQ(value.capacity(), 35);
  EXPECT_STREQ(value.getBuffer(), "short");
  value += 'x';
  value += "";  // 0 units do nothing
  value.append("abc", 0);
  EXPECT_EQ(value.block(), block);
}

TEST(SStringBlocks, MakeWritableFollowsTheBlockState) {
  SAnsiString value("abcd");  // capacity 37
  value.makeWritable(2);       // below the used count: nothing to do
  EXPECT_EQ(value.capacity(), 37);
  value.makeWritable(50);  // unique, too small: reallocated to n + 33
  EXPECT_EQ(value.capacity(), 83);
  EXPECT_STREQ(value.getBuffer(), "abcd");

  SAnsiString other(value);
  value.makeWritable(1);  // shared: a private block for max(n, used) + 1, plus slack
  EXPECT_NE(value.block(), other.block());
  EXPECT_EQ(value.capacity(), 4 + 1 + 32);
  EXPECT_EQ(refCount(other), 1);

  SAnsiString empty;
  empty.makeWritable(0);  // the static block is never written
  EXPECT_FALSE(empty.block()->isStatic());
  EXPECT_EQ(empty.capacity(), 33);
}

TEST(SStringBlocks, OwnTextAsSourceIsSafe) {
  SAnsiString value("hello");
  const SAnsiBuffer* block = value.block();
  value = value.getBuffer();  // its own characters: nothing happens
  EXPECT_EQ(value.block(), block);
  EXPECT_STREQ(value.getBuffer(), "hello");
  value = value;
  EXPECT_EQ(refCount(value), 1);

  value = value.getBuffer() + 2;  // a tail of its own text
  EXPECT_STREQ(value.getBuffer(), "llo");

  SAnsiString grow("abcdefghijklmnopqrstuvwxyz");  // 26 of capacity 59
  grow += grow;                                     // 52: in place
  grow += grow;                                     // 104: reallocated, source moves
  EXPECT_EQ(grow.getNBytes(), 104);
  std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
  EXPECT_EQ(bytes(grow), alphabet + alphabet + alphabet + alphabet);
  SAnsiString tail("0123456789");
  tail.append(tail.getBuffer() + 5, 5);
  EXPECT_STREQ(tail.getBuffer(), "012345678956789");

  SAnsiString inserted("ab");
  inserted.insertAt(1, inserted);
  EXPECT_STREQ(inserted.getBuffer(), "aabb");
}

TEST(SStringBlocks, MovesLeaveTheEmptyValueBehind) {
  SAnsiString source("moved");
  const SAnsiBuffer* block = source.block();
  SAnsiString target(std::move(source));
  EXPECT_EQ(target.block(), block);
  EXPECT_EQ(source.block(), emptyAnsiBuffer());  // NOLINT: checking the moved-from state
  SAnsiString other("x");
  other = std::move(target);
  EXPECT_EQ(other.block(), block);
  EXPECT_EQ(refCount(other), 1);
}

TEST(SStringBlocks, AllocationFailureThrowsAndKeepsTheValue) {
  SAnsiString value("kept");
  const SAnsiBuffer* block = value.block();
  try {
    value.makeWritable(INT_MAX - 1);  // more than a block can count
    FAIL() << "no exception";
  } catch (const std::bad_alloc& e) {
    EXPECT_STREQ(e.what(), "bad allocation");
  }
  EXPECT_EQ(value.block(), block);
  EXPECT_STREQ(value.getBuffer(), "kept");

  std::string longText(100, 'y');
  sstringFailAllocationAt(1);  // the reallocation of a unique block
  EXPECT_THROW(value += longText.c_str(), std::bad_alloc);
  EXPECT_STREQ(value.getBuffer(), "kept");

  SAnsiString copy(value);
  sstringFailAllocationAt(1);  // the new block of a shared value
  EXPECT_THROW(copy += "more", std::bad_alloc);
  EXPECT_EQ(copy.block(), value.block());
  EXPECT_EQ(refCount(value), 2);

  sstringFailAllocationAt(2);  // the second allocation from now
  SAnsiString first("one");
  EXPECT_THROW(SAnsiString("two"), std::bad_alloc);
  sstringFailAllocationAt(0);
  EXPECT_STREQ(first.getBuffer(), "one");
}

TEST(SStringBlocks, CopiesOnManyThreadsKeepTheCount) {
  SAnsiString shared("shared between threads");
  SWCharString wide(L"wide and shared");
  const int start = refCount(shared);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared, &wide] {
      for (int i = 0; i < 20000; ++i) {
        SAnsiString copy(shared);
        SAnsiString other;
        other = copy;
        SWCharString wideCopy(wide);
        if (i % 100 == 0) {
          other += "!";  // a private block; the shared one is only read
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(refCount(shared), start);
  EXPECT_EQ(refCount(wide), 1);
  EXPECT_STREQ(shared.getBuffer(), "shared between threads");
}

// ---- characters and walks ----

TEST(SStringMultibyte, CharactersAreCountedNotBytes) {
  NEED_UTF8(loc);
  SAnsiString text("a\xc3\xa9\xe2\x82\xac" "b");  // a é € b
  EXPECT_EQ(text.getNBytes(), 7);
  EXPECT_EQ(text.getNChars(), 4);
  EXPECT_EQ(SAnsiString(text.getAt(1).bytes), SAnsiString("\xc3\xa9"));
  EXPECT_EQ(text.getAt(2).length(), 3);
  EXPECT_EQ(text.getAt(4).length(), 0);  // past the end: the zero character
  EXPECT_EQ(text.find(SAnsiChar("\xe2\x82\xac")), 2);
  EXPECT_EQ(text.find(SAnsiChar('b')), 3);
  EXPECT_EQ(text.find(SAnsiChar('z')), SAnsiString::npos);
  EXPECT_EQ(text.findString("\xe2\x82\xac" "b"), 2);
  EXPECT_EQ(text.findString(""), 0);
  EXPECT_EQ(text.findString("bb"), SAnsiString::npos);
  EXPECT_EQ(bytes(text.left(2)), "a\xc3\xa9");
  EXPECT_EQ(bytes(text.right(2)), "\xe2\x82\xac" "b");
  EXPECT_EQ(bytes(text.mid(1, 2)), "\xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(bytes(text.mid(3)), "b");
  EXPECT_TRUE(text.mid(4).isEmpty());
  EXPECT_EQ(text.right(4).block(), text.block());
  EXPECT_EQ(text.right(99).block(), text.block());
  EXPECT_TRUE(text.left(0).isEmpty());
  EXPECT_EQ(text.getWideSize(), static_cast<int>(5 * sizeof(wchar_t)));
  EXPECT_EQ(text.getAnsiSize(), 8);

  SAnsiString repeated("\xc3\xa9x\xc3\xa9");
  EXPECT_EQ(repeated.reverseFind(SAnsiChar("\xc3\xa9")), 2);
  EXPECT_EQ(repeated.find(SAnsiChar("\xc3\xa9")), 0);
}

TEST(SStringMultibyte, InvalidSequencesAdvanceOneByte) {
  NEED_UTF8(loc);
  struct Case {
    const char* text;
    int chars;
  };
  const Case cases[] = {
      {"a\xff" "b", 3},          // a byte that starts nothing
      {"\xc3(", 2},              // a lead byte without its continuation
      {"\xe2\x82", 2},           // a character cut short by the terminator
      {"\x80\x80\xc3\xa9", 3},   // stray continuation bytes, then é
      {"\xc0\xaf", 2},          // an overlong form of "/"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SAnsiString text(c.text);
    EXPECT_EQ(text.getNChars(), c.chars);
    EXPECT_EQ(text.getAt(0).bytes[0], c.text[0]);
  }
  SAnsiString mixed("a\xff" "b");
  EXPECT_EQ(mixed.getAt(1).length(), -1);
  EXPECT_EQ(mixed.find(SAnsiChar('b')), 2);
  EXPECT_EQ(mixed.getWideSize(), -1);
  wchar_t out[8];
  EXPECT_EQ(mixed.copyTo(out, sizeof out), -1);
}

TEST(SStringMultibyte, ByteCharactersInTheCLocale) {
  // Each byte is one character in the "C" locale: one that does not convert
  // where that locale knows no byte above 127, else the wide character of
  // the same number.
  SAnsiString text("caf\xc3\xa9");
  EXPECT_EQ(text.getNChars(), 5);
  const int wideSize = static_cast<int>((5 + 1) * sizeof(wchar_t));
  EXPECT_EQ(text.getWideSize(), korva_test::cLocaleRefusesBytesAbove127() ? -1 : wideSize);
}

TEST(SStringChanges, SetAtMayChangeTheByteLength) {
  NEED_UTF8(loc);
  SAnsiString word("cafe!");
  word.setAt(3, SAnsiChar("\xc3\xa9"));
  EXPECT_EQ(bytes(word), "caf\xc3\xa9!");
  EXPECT_EQ(word.getNBytes(), 6);
  word.setAt(0, SAnsiChar("\xe2\x82\xac"));
  EXPECT_EQ(bytes(word), "\xe2\x82\xac" "af\xc3\xa9!");
  word.setAt(3, SAnsiChar('e'));
  EXPECT_EQ(bytes(word), "\xe2\x82\xac" "afe!");
  EXPECT_EQ(word.getNBytes(), 7);
  EXPECT_EQ(word.getNChars(), 5);

  const SAnsiBuffer* block = word.block();
  word.setAt(1, SAnsiChar('a'));  // the same character: nothing to do
  EXPECT_EQ(word.block(), block);
}

TEST(SStringChanges, SetAtRefusesAnInvalidCharacter) {
  NEED_UTF8(loc);
  SAnsiString word("abc");
  SAnsiString copy(word);
  word.setAt(1, SAnsiChar("\xff"));  // diagnostics not started: silent
  EXPECT_EQ(word.block(), copy.block());
  EXPECT_STREQ(word.getBuffer(), "abc");
  EXPECT_TRUE(SDiagnostics::takeReports().empty());

  StartedDiagnostics diagnostics;
  word.setAt(1, SAnsiChar("\xc3"));  // a lead byte alone
  SAnsiString broken("a\xff" "c");
  broken.setAt(1, SAnsiChar('b'));  // the old character is invalid
  EXPECT_STREQ(word.getBuffer(), "abc");
  EXPECT_EQ(bytes(broken), "a\xff" "c");
  std::vector<std::string> reports = SDiagnostics::takeReports();
  ASSERT_EQ(reports.size(), 2u);
  const std::regex expected(
      R"(assert failure: \(.*sstring_ansi\.cc:[0-9]+\)\. \(false : SString::setAt: )"
      R"(Cannot set because c is not a valid character in this locale\)\.)");
  for (const std::string& r : reports) EXPECT_TRUE(std::regex_match(r, expected)) << r;
}

TEST(SStringChanges, InsertAndDeleteCountCharacters) {
  NEED_UTF8(loc);
  SAnsiString text("a\xc3\xa9z");
  text.insertAt(2, SAnsiString("\xe2\x82\xac"));
  EXPECT_EQ(bytes(text), "a\xc3\xa9\xe2\x82\xacz");
  text.insertAt(1, SAnsiChar("\xc3\xbc"));
  EXPECT_EQ(bytes(text), "a\xc3\xbc\xc3\xa9\xe2\x82\xacz");
  text.insertAt(99, SAnsiChar('!'));  // past the end: appended
  EXPECT_EQ(bytes(text), "a\xc3\xbc\xc3\xa9\xe2\x82\xacz!");
  text.deleteAt(1, 2);
  EXPECT_EQ(bytes(text), "a\xe2\x82\xacz!");
  text.deleteAt(2, 100);  // stops at the end
  EXPECT_EQ(bytes(text), "a\xe2\x82\xac");

  SAnsiString copy(text);
  text.deleteAt(5, 1);  // an empty range: nothing
  text.deleteAt(0, 0);
  text.insertAt(0, SAnsiString());
  EXPECT_EQ(text.block(), copy.block());
}

TEST(SStringChanges, TrimRemovesWhiteSpace) {
  struct Case {
    const char* text;
    const char* left;
    const char* right;
    const char* both;
  };
  const Case cases[] = {
      {"  ab c \t", "ab c \t", "  ab c", "ab c"},
      {"\r\n\v\f", "", "", ""},
      {"abc", "abc", "abc", "abc"},
      {"", "", "", ""},
      {" x", "x", " x", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SAnsiString left(c.text), right(c.text), both(c.text);
    left.trimLeft();
    right.trimRight();
    both.trim();
    EXPECT_STREQ(left.getBuffer(), c.left);
    EXPECT_STREQ(right.getBuffer(), c.right);
    EXPECT_STREQ(both.getBuffer(), c.both);
    if (!*c.both) {
      EXPECT_EQ(both.block(), emptyAnsiBuffer());
    }
  }
  SAnsiString clean("clean");
  SAnsiString copy(clean);
  clean.trim();  // nothing to remove: stays shared
  EXPECT_EQ(clean.block(), copy.block());

  SWCharString wide(L" \t wide \n");
  wide.trim();
  EXPECT_STREQ(wide.getBuffer(), L"wide");
  SWCharString wideSpace(L"   ");
  wideSpace.trimRight();
  EXPECT_EQ(wideSpace.block(), emptyWideBuffer());
}

TEST(SStringChanges, TrimKnowsWhiteSpaceBeyondAscii) {
  NEED_UTF8(loc);
  // no-break space, ideographic space, thin space; é is no white space
  SAnsiString text("\xc2\xa0\xe3\x80\x80x\xc3\xa9 \xe2\x80\x89");
  text.trim();
  EXPECT_EQ(bytes(text), "x\xc3\xa9");
  SAnsiString invalid("\xff \xa0");
  invalid.trim();  // invalid bytes are no white space
  EXPECT_EQ(bytes(invalid), "\xff \xa0");
  SWCharString wide(L"\u3000w\u00a0");
  wide.trim();
  EXPECT_STREQ(wide.getBuffer(), L"w");
}

TEST(SStringChanges, CaseMappingInTheCLocale) {
  SAnsiString text("Mixed Case 123");
  text.makeUpper();
  EXPECT_STREQ(text.getBuffer(), "MIXED CASE 123");
  text.makeLower();
  EXPECT_STREQ(text.getBuffer(), "mixed case 123");
  SAnsiString high("a\xe9z");  // not a character here: kept as it is
  high.makeUpper();
  EXPECT_EQ(bytes(high), "A\xe9Z");
  SWCharString wide(L"Wide");
  wide.makeUpper();
  EXPECT_STREQ(wide.getBuffer(), L"WIDE");
  wide.makeLower();
  EXPECT_STREQ(wide.getBuffer(), L"wide");
}

TEST(SStringChanges, CaseMappingOfMultibyteText) {
  NEED_UTF8(loc);
  SAnsiString text("\xc3\xa9t\xc3\xa9 \xe2\x82\xac");  // été €
  text.makeUpper();
  EXPECT_EQ(bytes(text), "\xc3\x89T\xc3\x89 \xe2\x82\xac");
  text.makeLower();
  EXPECT_EQ(bytes(text), "\xc3\xa9t\xc3\xa9 \xe2\x82\xac");

  // Characters whose mapping has another byte length: dotless i (2 bytes)
  // becomes I (1), the Kelvin sign (3) becomes k (1).
  SAnsiString shorter("x\xc4\xb1y");
  shorter.makeUpper();
  EXPECT_EQ(bytes(shorter), "XIY");
  EXPECT_EQ(shorter.getNBytes(), 3);
  SAnsiString kelvin("\xe2\x84\xaa!");
  kelvin.makeLower();
  EXPECT_EQ(bytes(kelvin), "k!");

  // An invalid byte stays, and so does the text after it.
  SAnsiString broken("a\xff" "b");
  broken.makeUpper();
  EXPECT_EQ(bytes(broken), "A\xff" "B");

  char one[6] = {'\xc3', '\xa9', 0, 0, 0, 0};
  int size = 0;
  EXPECT_TRUE(MakeUpperCaseChar(one, &size));
  EXPECT_EQ(size, 2);
  EXPECT_EQ(std::string(one, 2), "\xc3\x89");
  char bad[6] = {'\xff', 0, 0, 0, 0, 0};
  EXPECT_FALSE(MakeLowerCaseChar(bad, &size));
}

TEST(SStringChanges, FailedCaseMappingIsReported) {
  if (!korva_test::cLocaleRefusesBytesAbove127()) {
    GTEST_SKIP() << "every byte is a character in this C library's \"C\" locale";
  }
  StartedDiagnostics diagnostics;
  char bad[6] = {'\xff', 0, 0, 0, 0, 0};
  int size = 0;
  EXPECT_FALSE(MakeUpperCaseChar(bad, &size));
  std::vector<std::string> reports = SDiagnostics::takeReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      reports[0], std::regex(R"(assert failure: \(.*:[0-9]+\)\. \(false : MakeUpperCaseChar: )"
                             R"(Fail to convert to wchar_t\)\.)")))
      << reports[0];
}

// ---- conversions ----

TEST(SStringConversions, FailureLeavesTheValueUnchanged) {
  // Neither the "C" locale (POSIX) nor the Windows code page 1252 can
  // represent A with macron (U+0100).
  SAnsiString ansi("keep");
  const SAnsiBuffer* block = ansi.block();
  EXPECT_FALSE(ansi.assign(L"caf\u0100"));
  EXPECT_EQ(ansi.block(), block);
  EXPECT_STREQ(ansi.getBuffer(), "keep");
  EXPECT_TRUE(ansi.assign(static_cast<const wchar_t*>(nullptr)));
  EXPECT_STREQ(ansi.getBuffer(), "keep");
  EXPECT_TRUE(ansi.assign(L"plain"));
  EXPECT_STREQ(ansi.getBuffer(), "plain");
  EXPECT_EQ(ansi.capacity(), 5 + 1 + 32);

  SWCharString wide(L"keep");
  // Where every byte is a character, no 8-bit text fails to convert.
  if (korva_test::cLocaleRefusesBytesAbove127()) {
    EXPECT_FALSE(wide.assign("caf\xc3\xa9"));
    EXPECT_STREQ(wide.getBuffer(), L"keep");
  }
  EXPECT_TRUE(wide.assign(static_cast<const char*>(nullptr)));
  EXPECT_STREQ(wide.getBuffer(), L"keep");
  EXPECT_TRUE(wide.assign("plain"));
  EXPECT_STREQ(wide.getBuffer(), L"plain");

  SWCharString accented(L"\u0100");
  // Wine's wcstombs counts without checking; only converting fails there.
  if (!korva_test::runsUnderWine()) {
    EXPECT_EQ(accented.getAnsiSize(), -1);
  }
  char out[8] = "xxxxxxx";
  EXPECT_EQ(accented.copyTo(out, sizeof out), -1);
  EXPECT_STREQ(out, "");
}

TEST(SStringConversions, WideAndMultibyteInUtf8) {
  NEED_UTF8(loc);
  SAnsiString ansi;
  EXPECT_TRUE(ansi.assign(L"caf\u00e9 \u20ac"));
  EXPECT_EQ(bytes(ansi), "caf\xc3\xa9 \xe2\x82\xac");
  SWCharString wide;
  EXPECT_TRUE(wide.assign(ansi.getBuffer()));
  EXPECT_STREQ(wide.getBuffer(), L"caf\u00e9 \u20ac");
  EXPECT_EQ(wide.getAnsiSize(), 10);
  EXPECT_EQ(wide.getWideSize(), static_cast<int>(7 * sizeof(wchar_t)));

  wchar_t wbuf[6];
  EXPECT_EQ(ansi.copyTo(wbuf, sizeof wbuf), -1);  // 6 units + terminator do not fit
  EXPECT_EQ(wbuf[0], L'\0');
  wchar_t wfit[8];
  EXPECT_EQ(ansi.copyTo(wfit, sizeof wfit), 7);
  EXPECT_STREQ(wfit, L"caf\u00e9 \u20ac");
  char cbuf[10];
  EXPECT_EQ(wide.copyTo(cbuf, sizeof cbuf), 10);
  EXPECT_STREQ(cbuf, ansi.getBuffer());
  EXPECT_EQ(wide.copyTo(cbuf, 9), -1);
}

TEST(SStringConversions, CopyToOwnEncoding) {
  SAnsiString text("abc");
  char exact[4];
  EXPECT_EQ(text.copyTo(exact, 4), 4);
  EXPECT_STREQ(exact, "abc");
  char small[3];
  EXPECT_EQ(text.copyTo(small, 3), -1);
  EXPECT_EQ(text.copyTo(static_cast<char*>(nullptr), 10), -1);
  SWCharString wide(L"abc");
  wchar_t wexact[4];
  EXPECT_EQ(wide.copyTo(wexact, sizeof wexact), 4);
  EXPECT_STREQ(wexact, L"abc");
  EXPECT_EQ(wide.copyTo(wexact, 3 * sizeof(wchar_t)), -1);
}

TEST(SStringConversions, ToInteger) {
  struct Case {
    const char* text;
    int base;
    bool ok;
    long value;
  };
  const Case cases[] = {
      {"", 10, false, 0},
      {"123", 10, true, 123},
      {"-42", 10, true, -42},
      {"+7", 10, true, 7},
      {"12a", 10, false, 0},
      {"7 ", 10, false, 0},
      {"ff", 16, true, 255},
      {"0x1A", 16, true, 26},
      {"777", 8, true, 511},
      {"8", 8, false, 0},
      {"abc", 10, false, 0},
      {"-", 10, false, 0},
      {"99999999999999999999999", 10, false, 0},  // out of range: not clamped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    long out = -999;
    EXPECT_EQ(SAnsiString(c.text).toInteger(&out, c.base), c.ok);
    EXPECT_EQ(out, c.ok ? c.value : -999);
    std::wstring wideText(c.text, c.text + std::strlen(c.text));
    long wideOut = -999;
    EXPECT_EQ(SWCharString(wideText.c_str()).toInteger(&wideOut, c.base), c.ok);
    EXPECT_EQ(wideOut, c.ok ? c.value : -999);
  }
  long out = 0;
  EXPECT_FALSE(SAnsiString("12", 3).toInteger(&out));  // a zero unit inside the text
}

// ---- comparison ----

TEST(SStringCompare, CaseSensitiveAndCaseInsensitiveOrder) {
  // In "C" and "C.UTF-8" upper case sorts before lower case.
  for (bool utf8 : {false, true}) {
    SCOPED_TRACE(utf8 ? "C.UTF-8" : "C");
    Utf8Locale* loc = utf8 ? new Utf8Locale : nullptr;
    if (loc && !loc->ok()) {
      delete loc;
      continue;
    }
    EXPECT_TRUE(SAnsiString("B") < SAnsiString("a"));
    EXPECT_TRUE(SAnsiStringCI("a") < SAnsiStringCI("B"));
    EXPECT_TRUE(SAnsiString("abc") != SAnsiString("ABC"));
    EXPECT_TRUE(SAnsiStringCI("abc") == SAnsiStringCI("ABC"));
    EXPECT_TRUE(SAnsiStringCI("abc") <= SAnsiStringCI("ABC"));
    EXPECT_TRUE(SAnsiStringCI("abc") >= SAnsiStringCI("ABC"));
    EXPECT_FALSE(SAnsiStringCI("abc") > SAnsiStringCI("ABC"));
    EXPECT_TRUE(SAnsiStringCI("b") > SAnsiStringCI("A"));
    EXPECT_FALSE(SAnsiStringCI("abc") != "ABC");
    EXPECT_EQ(SAnsiStringCI("abc").compare("ABD"), -1);
    EXPECT_EQ(SAnsiStringCI("b").compare("A"), 1);
    EXPECT_EQ(SAnsiStringCI("Q").compare("q"), 0);
    EXPECT_EQ(SAnsiString("abc").compare("abd"), -1);
    EXPECT_EQ(SAnsiString("").compare(nullptr), 0);
    EXPECT_GT(SAnsiString("a").compare(nullptr), 0);
    EXPECT_EQ(SAnsiStringCI().compare(nullptr), 0);
    EXPECT_TRUE(SAnsiString("a") <= SAnsiString("a"));
    EXPECT_TRUE(SAnsiString("b") >= SAnsiString("a"));
    EXPECT_TRUE(SAnsiString("b") > SAnsiString("B"));
    EXPECT_TRUE(SWCharString(L"B") < SWCharString(L"a"));
    EXPECT_EQ(SWCharString(L"x").compare(nullptr), 1);
    delete loc;
  }
}

TEST(SStringCompare, MultibyteTextCollates) {
  NEED_UTF8(loc);
  EXPECT_TRUE(SAnsiStringCI("\xc3\xa9t\xc3\xa9") == SAnsiStringCI("\xc3\x89T\xc3\x89"));
  EXPECT_FALSE(SAnsiString("\xc3\xa9") == SAnsiString("\xc3\x89"));
  EXPECT_TRUE(SAnsiString("z") < SAnsiString("\xc3\xa9"));
  // Invalid text still compares, consistently both ways.
  SAnsiString bad("a\xff"), good("a");
  EXPECT_EQ(bad.compare(good.getBuffer()), -good.compare(bad.getBuffer()));
  EXPECT_NE(bad.compare(good.getBuffer()), 0);
}

TEST(SStringConcat, PlusBuildsNewValues) {
  SAnsiString a("ab");
  SAnsiString sum = a + SAnsiString("cd");
  EXPECT_STREQ(sum.getBuffer(), "abcd");
  EXPECT_STREQ((a + "x").getBuffer(), "abx");
  EXPECT_STREQ(("x" + a).getBuffer(), "xab");
  EXPECT_STREQ(a.getBuffer(), "ab");
  EXPECT_EQ(refCount(a), 1);
  SAnsiString empty;
  EXPECT_EQ((empty + empty).block(), emptyAnsiBuffer());
  SWCharString w = SWCharString(L"a") + SWCharString(L"b");
  EXPECT_STREQ(w.getBuffer(), L"ab");
}

TEST(SWCharStringReading, FindAndSubstrings) {
  SWCharString text(L"path/to/file");
  EXPECT_EQ(text.find(L'/'), 4);
  EXPECT_EQ(text.reverseFind(L'/'), 7);
  EXPECT_EQ(text.find(L'x'), SWCharString::npos);
  EXPECT_EQ(text.findString(L"to"), 5);
  EXPECT_EQ(text.findString(L"zz"), SWCharString::npos);
  EXPECT_STREQ(text.left(4).getBuffer(), L"path");
  EXPECT_STREQ(text.right(4).getBuffer(), L"file");
  EXPECT_STREQ(text.mid(5, 2).getBuffer(), L"to");
  EXPECT_STREQ(text.mid(8).getBuffer(), L"file");
  EXPECT_TRUE(text.mid(50).isEmpty());
  EXPECT_EQ(text.right(12).block(), text.block());
  text.insertAt(4, SWCharString(L"s"));
  text.deleteAt(0, 5);
  EXPECT_STREQ(text.getBuffer(), L"/to/file");
  text.deleteAt(4, 99);
  EXPECT_STREQ(text.getBuffer(), L"/to/");
}

TEST(SWCharStringReading, GetAtOutsideTheTextIsTheZeroCharacter) {
  SWCharString text(L"file");
  SWCharString empty;
  struct Case {
    const SWCharString* value;
    int index;
    wchar_t expected;
  };
  const Case cases[] = {
      {&text, 0, L'f'},
      {&text, 3, L'e'},
      {&text, 4, L'\0'},                                   // the terminator
      {&text, -1, L'\0'},                                  // before the text, inside the block
      {&text, text.block()->nativeCharsAllocated, L'\0'},  // just past the block
      {&text, 1 << 20, L'\0'},
      {&empty, 0, L'\0'},
      {&empty, 1, L'\0'},  // past the static empty block
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.value->getAt(c.index), c.expected) << "index " << c.index;
  }
}

}  // namespace
