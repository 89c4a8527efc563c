// Multibyte helpers: character lengths and conversions through the platform's
// C runtime (platform/crt_text.h, with no hidden conversion state), the
// character-class table, and collation.
#include "support/mbcs.h"

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <type_traits>

#include "platform/crt_text.h"

namespace mbcs {

int charLength(const char* p, size_t maxBytes) {
  return korva::crt::charLength(p, std::min<size_t>(maxBytes, kMaxCharBytes));
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

const char* lastCharStart(const char* p, const char* end) {
  const char* last = end;
  while (p < end) {
    last = p;
    const int s = step(p, end);
    p += s > 0 ? s : 1;
  }
  return last;
}

const char* findLastChar(const char* p, const char* end, char c) {
  const char* found = nullptr;
  while (p < end) {
    if (*p == c) found = p;
    const int s = step(p, end);
    p += s > 0 ? s : 1;
  }
  return found;
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
  return korva::crt::charToWide(p, std::min<size_t>(maxBytes, kMaxCharBytes), out);
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
    {0x0085, 0x0085, kSpace},           {0x00A0, 0x00A0, kSpace},
    {0x00A1, 0x00A9, kPunct},           {0x00AA, 0x00AA, kLetter | kLower},
    {0x00AB, 0x00B4, kPunct},           {0x00B5, 0x00B5, kLetter | kLower},
    {0x00B6, 0x00B9, kPunct},           {0x00BA, 0x00BA, kLetter | kLower},
    {0x00BB, 0x00BF, kPunct},           {0x00C0, 0x00D6, kLetter | kUpper},
    {0x00D7, 0x00D7, kPunct},           {0x00D8, 0x00DE, kLetter | kUpper},
    {0x00DF, 0x00F6, kLetter | kLower}, {0x00F7, 0x00F7, kPunct},
    {0x00F8, 0x00FF, kLetter | kLower}, {0x1680, 0x1680, kSpace},
    {0x2000, 0x200A, kSpace},           {0x2028, 0x2029, kSpace},
    {0x202F, 0x202F, kSpace},           {0x205F, 0x205F, kSpace},
    {0x3000, 0x3000, kSpace},           {0xFF10, 0xFF19, kDigit},
};

// wchar_t is signed on POSIX and unsigned on Windows.
template <typename Char>
bool isNegative(Char c) {
  if constexpr (std::is_signed<Char>::value) {
    return c < 0;
  } else {
    return false;
  }
}

}  // namespace

int charClass(wchar_t c) {
  if (isNegative(c)) return 0;
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
  if (!isNegative(c) && c < 128) return std::isspace(static_cast<int>(c)) != 0;
  return (charClass(c) & kSpace) != 0;
}

bool isWhiteSpaceAt(const char* p, const char* end) {
  if (p >= end || *p == 0) return false;
  wchar_t wc;
  return toWide(p, static_cast<size_t>(end - p), &wc) && isWhiteSpace(wc);
}

namespace {

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

int collate(const char* a, const char* b) {
  return sign(korva::crt::collate(a ? a : "", b ? b : ""));
}

int collateNoCase(const char* a, const char* b) {
  return sign(korva::crt::collateNoCase(a ? a : "", b ? b : ""));
}

}  // namespace mbcs
