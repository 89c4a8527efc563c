// SWCharString: wide text (wchar_t code units) on shared, copy-on-write
// blocks. A character is one code unit.
//
// Thread-safety: see sstring.h. Ownership: each value holds one reference.
#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "platform/crt_text.h"
#include "support/mbcs.h"
#include "support/sstring.h"
#include "support/sstring_buffer.h"

using namespace sstring_detail;

namespace {

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

wchar_t SWCharString::getAt(int i) const {
  if (i < 0 || i >= buffer_->nativeCharsUsed) return L'\0';
  return buffer_->chars()[i];
}

int SWCharString::find(wchar_t c) const {
  if (c == 0) return npos;
  const wchar_t* p = buffer_->chars();
  const wchar_t* hit = std::wmemchr(p, c, static_cast<size_t>(buffer_->nativeCharsUsed));
  return hit ? static_cast<int>(hit - p) : npos;
}

int SWCharString::reverseFind(wchar_t c) const {
  if (c == 0) return npos;
  const wchar_t* p = buffer_->chars();
  for (int i = buffer_->nativeCharsUsed - 1; i >= 0; --i) {
    if (p[i] == c) return i;
  }
  return npos;
}

int SWCharString::findString(const wchar_t* s) const {
  const wchar_t* l = s;
  SSTRING_CHECK(l != nullptr, "l != NULL", nullptr);
  if (!s) return npos;
  const wchar_t* p = buffer_->chars();
  const wchar_t* hit = std::wcsstr(p, s);
  return hit ? static_cast<int>(hit - p) : npos;
}

int SWCharString::getWideSize() const {
  return static_cast<int>((static_cast<size_t>(buffer_->nativeCharsUsed) + 1) * sizeof(wchar_t));
}

int SWCharString::getAnsiSize() const {
  size_t n = korva::crt::textFromWide(nullptr, buffer_->chars(), 0);
  if (n == static_cast<size_t>(-1)) return -1;
  return static_cast<int>(n) + 1;
}

// The whole text and its terminator, or -1 and an empty buffer: a conversion
// cut off at the buffer's end would leave it unterminated.
int SWCharString::copyTo(char* buffer, int bytes) const {
  char* outBuffer = buffer;
  SSTRING_CHECK(outBuffer != 0, "outBuffer != 0", nullptr);
  if (!buffer || bytes < 0) return -1;
  size_t needed = korva::crt::textFromWide(nullptr, buffer_->chars(), 0);
  if (needed == static_cast<size_t>(-1) || needed + 1 > static_cast<size_t>(bytes)) {
    if (bytes > 0) buffer[0] = 0;
    return -1;
  }
  size_t done = korva::crt::textFromWide(buffer, buffer_->chars(), static_cast<size_t>(bytes));
  if (done == static_cast<size_t>(-1)) {
    buffer[0] = 0;
    return -1;
  }
  return static_cast<int>(done) + 1;
}

int SWCharString::copyTo(wchar_t* buffer, int bytes) const {
  wchar_t* outBuffer = buffer;
  SSTRING_CHECK(outBuffer != NULL, "outBuffer!=NULL", nullptr);
  if (!buffer || bytes < 0) return -1;
  size_t units = static_cast<size_t>(bytes) / sizeof(wchar_t);
  int nBytesUsed = buffer_->nativeCharsUsed + 1;
  if (units < static_cast<size_t>(nBytesUsed)) {
    if (units > 0) buffer[0] = 0;
    return -1;
  }
  std::wmemcpy(buffer, buffer_->chars(), static_cast<size_t>(nBytesUsed));
  return nBytesUsed;
}

void SWCharString::setAt(int i, wchar_t c) {
  SSTRING_CHECK(i >= 0 && i < buffer_->nativeCharsUsed, "i < getNChars()", nullptr);
  if (i < 0 || i >= buffer_->nativeCharsUsed) return;
  if (buffer_->chars()[i] == c) return;
  // A zero unit would cut the text short.
  SSTRING_CHECK(c != 0, "c != 0", nullptr);
  if (c == 0) return;
  sstring_detail::makeWritable(buffer_, buffer_->nativeCharsUsed);
  buffer_->chars()[i] = c;
}

namespace {

// Maps every unit; the block is made private only when something changes.
void mapWideCase(SWideBuffer*& b, bool upper) {
  const int64_t u = b->nativeCharsUsed;
  for (int64_t i = 0; i < u; ++i) {
    wchar_t c = b->chars()[i];
    if (c == 0) break;
    wchar_t m = upper ? korva::crt::upperWide(c) : korva::crt::lowerWide(c);
    if (m == c) continue;
    sstring_detail::makeWritable(b, u);
    b->chars()[i] = m;
  }
}

}  // namespace

void SWCharString::makeUpper() { mapWideCase(buffer_, true); }
void SWCharString::makeLower() { mapWideCase(buffer_, false); }

int SWCharString::compare(const wchar_t* other) const {
  return sign(std::wcscoll(buffer_->chars(), other ? other : L""));
}

SWCharString operator+(const SWCharString& a, const SWCharString& b) {
  SWCharString r(a);
  r += b;
  return r;
}
