// Multibyte helpers: restartable conversions with local state (the plain
// mblen/mbtowc keep hidden state and are not safe across threads), the
// character-class table, and collation through the wide form of the text.
#include "support/mbcs.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

namespace mbcs {

int charLength(const char* p, size_t maxBytes) {
  if (!p) return -1;
  std::mbstate_t state{};
  size_t r = std::mbrlen(p, std::min<size_t>(maxBytes, kMaxCharBytes), &state);
  if (r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2)) return -1;
  return static_cast<int>(r);
}

int step(const char* p, const char* end) {
  if (p >= end || *p == 0) return 0;
  int length = charLength(p, static_cast<size_t>(end - p));
  return length <= 0 ? 1 : length;
}

int countChars(const char* p, const char* end) {
  int n = 0;
  for (int s = step(p, end); s > 0; s = step(p, end)) {
    p += s;
    ++n;
  }
  return n;
}

const char* charAt(const char* p, const char* end, int index) {
  for (int i = 0; i < index; ++i) {
    int s = step(p, end);
    if (s == 0) break;
    p += s;
  }
  return p;
}

bool toWide(const char* p, size_t maxBytes, wchar_t* out) {
  std::mbstate_t state{};
  wchar_t wc = 0;
  size_t r = std::mbrtowc(&wc, p, std::min<size_t>(maxBytes, kMaxCharBytes), &state);
  if (r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2)) return false;
  *out = wc;
  return true;
}

namespace {

struct ClassRange {
  wchar_t first;
  wchar_t last;
  int bits;
};

// Classes of the characters from 128 up that the library recognises, sorted
// by first character: Latin-1 letters and signs and the Unicode spaces.
// Characters not listed have no class.
constexpr ClassRange kClassTable[] = {
    {0x0085, 0x0085, kSpace},
    {0x00A0, 0x00A0, kSpace},
    {0x00A1, 0x00A9, kPunct},
    {0x00AA, 0x00AA, kLetter | kLower},
    {0x00AB, 0x00B4, kPunct},
    {0x00B5, 0x00B5, kLetter | kLower},
    {0x00B6, 0x00B9, kPunct},
    {0x00BA, 0x00BA, kLetter | kLower},
    {0x00BB, 0x00BF, kPunct},
    {0x00C0, 0x00D6, kLetter | kUpper},
    {0x00D7, 0x00D7, kPunct},
    {0x00D8, 0x00DE, kLetter | kUpper},
    {0x00DF, 0x00F6, kLetter | kLower},
    {0x00F7, 0x00F7, kPunct},
    {0x00F8, 0x00FF, kLetter | kLower},
    {0x1680, 0x1680, kSpace},
    {0x2000, 0x200A, kSpace},
    {0x2028, 0x2029, kSpace},
    {0x202F, 0x202F, kSpace},
    {0x205F, 0x205F, kSpace},
    {0x3000, 0x3000, kSpace},
    {0xFF10, 0xFF19, kDigit},
};

}  // namespace

int charClass(wchar_t c) {
  if (c < 0) return 0;
  if (c < 128) {
    int ch = static_cast<int>(c);
    int bits = 0;
    if (std::isalpha(ch)) bits |= kLetter;
    if (std::islower(ch)) bits |= kLower;
    if (std::isupper(ch)) bits |= kUpper;
    if (std::isspace(ch)) bits |= kSpace;
    if (std::ispunct(ch)) bits |= kPunct;
    if (std::isdigit(ch)) bits |= kDigit;
    return bits;
  }
  const ClassRange* end = kClassTable + sizeof kClassTable / sizeof kClassTable[0];
  const ClassRange* it = std::upper_bound(
      kClassTable, end, c, [](wchar_t v, const ClassRange& r) { return v < r.first; });
  if (it == kClassTable) return 0;
  --it;
  return c <= it->last ? it->bits : 0;
}

bool isWhiteSpace(wchar_t c) {
  if (c >= 0 && c < 128) return std::isspace(static_cast<int>(c)) != 0;
  return (charClass(c) & kSpace) != 0;
}

bool isWhiteSpaceAt(const char* p, const char* end) {
  if (p >= end || *p == 0) return false;
  wchar_t wc;
  return toWide(p, static_cast<size_t>(end - p), &wc) && isWhiteSpace(wc);
}

namespace {

// The wide form of a multibyte text; short texts stay on the stack.
class WideForm {
 public:
  explicit WideForm(const char* text) {
    size_t n = std::mbstowcs(nullptr, text, 0);
    if (n == static_cast<size_t>(-1)) return;
    wchar_t* to = small_;
    if (n >= sizeof small_ / sizeof small_[0]) {
      big_.assign(n + 1, L'\0');
      to = &big_[0];
    }
    if (std::mbstowcs(to, text, n + 1) == static_cast<size_t>(-1)) return;
    to[n] = 0;
    text_ = to;
  }
  bool ok() const { return text_ != nullptr; }
  wchar_t* text() { return text_; }
  void lower() {
    for (wchar_t* p = text_; *p; ++p) *p = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*p)));
  }

 private:
  wchar_t small_[128];
  std::wstring big_;
  wchar_t* text_ = nullptr;
};

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Map keys and names are nearly always plain ASCII, and converting both
// texts to wide form for every comparison dominated map lookups. Where the
// answer cannot differ, the bytes are compared directly: the collation is
// "C" (wcscoll is then wcscmp) and the character type maps every ASCII byte
// to the wide character of the same value (true of UTF-8 and the ISO 8859
// sets; not of every multibyte set, which is why it is checked).
bool plainOrder() {
  const char* collation = std::setlocale(LC_COLLATE, nullptr);
  if (!collation || (std::strcmp(collation, "C") != 0 && std::strcmp(collation, "POSIX") != 0)) {
    return false;
  }
  const char* ctype = std::setlocale(LC_CTYPE, nullptr);
  if (!ctype) return false;
  // Checked once per character type and thread.
  thread_local std::string checkedType;
  thread_local bool asciiIsItself = false;
  if (checkedType != ctype) {
    bool same = true;
    for (int c = 1; c < 128 && same; ++c) {
      const char text[2] = {static_cast<char>(c), 0};
      wchar_t wide[2] = {0, 0};
      same = std::mbstowcs(wide, text, 2) == 1 && wide[0] == static_cast<wchar_t>(c);
    }
    checkedType = ctype;
    asciiIsItself = same;
  }
  return asciiIsItself;
}

bool isAscii(const char* p) {
  for (; *p; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  }
  return true;
}

// The byte order of two texts when it is sure to be their collation order:
// everything up to the first difference is ASCII, and so are the two bytes
// that differ. What follows the difference cannot change the answer: had a
// conversion failed, the order would have been strcoll's, which in the "C"
// collation is the byte order too. Answers false when it cannot tell.
bool plainCompare(const char* a, const char* b, int* result) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x == *y && *x != 0) {
    if (*x >= 0x80) return false;
    ++x;
    ++y;
  }
  if (*x >= 0x80 || *y >= 0x80 || !plainOrder()) return false;
  *result = *x < *y ? -1 : *x > *y ? 1 : 0;
  return true;
}

int compareBytesNoCase(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    int cx = std::tolower(*x);
    int cy = std::tolower(*y);
    if (cx != cy || cx == 0) return sign(cx - cy);
  }
}

}  // namespace

int collate(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  int plain = 0;
  if (plainCompare(a, b, &plain)) return plain;
  WideForm wa(a);
  WideForm wb(b);
  if (wa.ok() && wb.ok()) return sign(std::wcscoll(wa.text(), wb.text()));
  return sign(std::strcoll(a, b));
}

int collateNoCase(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  if (isAscii(a) && isAscii(b) && plainOrder()) {
    // wcscmp of the lower-cased wide forms, one character at a time; the
    // lower case still comes from the locale (it need not stay ASCII).
    for (;; ++a, ++b) {
      wint_t x = std::towlower(static_cast<unsigned char>(*a));
      wint_t y = std::towlower(static_cast<unsigned char>(*b));
      if (x != y) return static_cast<wchar_t>(x) < static_cast<wchar_t>(y) ? -1 : 1;
      if (x == 0) return 0;
    }
  }
  WideForm wa(a);
  WideForm wb(b);
  if (wa.ok() && wb.ok()) {
    wa.lower();
    wb.lower();
    return sign(std::wcscoll(wa.text(), wb.text()));
  }
  return compareBytesNoCase(a, b);
}

}  // namespace mbcs
