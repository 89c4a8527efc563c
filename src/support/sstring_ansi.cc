// SAnsiString and SAnsiStringCI: 8-bit multibyte text on shared,
// copy-on-write blocks; SAnsiChar and the case helpers.
//
// Character positions are counted in characters: a walk advances by the
// length of each multibyte character (one byte over an invalid sequence) and
// stops at the first zero byte or at the end of the used units.
//
// Thread-safety: see sstring.h. Ownership: each value holds one reference.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/crt_text.h"
#include "support/mbcs.h"
#include "support/sstring.h"
#include "support/sstring_buffer.h"

using namespace sstring_detail;

namespace {

// Shared body of the two case helpers.
bool mapCaseChar(char* dest, int* charSize, bool upper, const char* toWideFailure,
                 const char* backFailure) {
  wchar_t wc = 0;
  if (!dest || !mbcs::toWide(dest, mbcs::kMaxCharBytes, &wc)) {
    SSTRING_CHECK(false, "false", toWideFailure);
    return false;
  }
  wc = static_cast<wchar_t>(upper ? std::towupper(static_cast<wint_t>(wc))
                                  : std::towlower(static_cast<wint_t>(wc)));
  char out[korva::crt::kMaxCharBytes];
  const int n = korva::crt::charFromWide(wc, out);
  if (n < 0 || n > mbcs::kMaxCharBytes) {
    SSTRING_CHECK(false, "false", backFailure);
    return false;
  }
  std::memcpy(dest, out, static_cast<size_t>(n));
  if (charSize) *charSize = n;
  return true;
}

}  // namespace

bool MakeUpperCaseChar(char* dest, int* charSize) {
  return mapCaseChar(dest, charSize, true, "MakeUpperCaseChar: Fail to convert to wchar_t",
                     "MakeUpperCaseChar: Fail to convert back to MBCS");
}

bool MakeLowerCaseChar(char* dest, int* charSize) {
  return mapCaseChar(dest, charSize, false, "MakeLowerCaseChar: Fail to convert to wchar_t",
                     "MakeLowerCaseChar: Fail to convert back to MBCS");
}

// ---- SAnsiChar ----

SAnsiChar::SAnsiChar(const char* mb) {
  if (!mb) return;
  int length = mbcs::charLength(mb);
  int n = length > 0 ? length : (length == 0 ? 0 : 1);
  std::memcpy(bytes, mb, static_cast<size_t>(n));
}

int SAnsiChar::length() const { return mbcs::charLength(bytes, sizeof bytes); }

bool SAnsiChar::operator==(const SAnsiChar& o) const {
  int la = length();
  if (la != o.length()) return false;
  size_t n = la > 0 ? static_cast<size_t>(la) : sizeof bytes;
  return std::memcmp(bytes, o.bytes, n) == 0;
}

// ---- reading ----

int SAnsiString::getNChars() const {
  const char* p = buffer_->chars();
  // Where the runtime refuses to count (a byte that starts no character),
  // such a byte counts as one character, as every walk here takes it.
  const long n = korva::crt::charCount(p);
  return n >= 0 ? static_cast<int>(n) : mbcs::countChars(p, p + buffer_->nativeCharsUsed);
}

SAnsiChar SAnsiString::getAt(int i) const {
  SAnsiChar c;
  if (i < 0) return c;
  const char* begin = buffer_->chars();
  const char* end = begin + buffer_->nativeCharsUsed;
  const char* p = mbcs::charAt(begin, end, i);
  int s = mbcs::step(p, end);
  std::memcpy(c.bytes, p, static_cast<size_t>(s));
  return c;
}

namespace {

// Index of the first (or the last) character of b equal to c; npos when none.
int findChar(const SAnsiBuffer* b, const SAnsiChar& c, bool last) {
  int wanted = c.length();
  if (wanted == 0) return SAnsiString::npos;
  if (wanted < 0) wanted = 1;
  const char* p = b->chars();
  const char* end = p + b->nativeCharsUsed;
  int found = SAnsiString::npos;
  for (int s = mbcs::step(p, end), index = 0; s > 0; p += s, s = mbcs::step(p, end), ++index) {
    if (s != wanted || std::memcmp(p, c.bytes, static_cast<size_t>(s)) != 0) continue;
    found = index;
    if (!last) break;
  }
  return found;
}

}  // namespace

int SAnsiString::find(const SAnsiChar& c) const { return findChar(buffer_, c, false); }
int SAnsiString::reverseFind(const SAnsiChar& c) const { return findChar(buffer_, c, true); }

int SAnsiString::findString(const char* s) const {
  const char* l = s;
  SSTRING_CHECK(l != nullptr, "l != NULL", nullptr);
  if (!s) return npos;
  const char* p = buffer_->chars();
  const char* hit = korva::crt::findText(p, s);
  return hit ? mbcs::countChars(p, hit) : npos;
}

int SAnsiString::getWideSize() const {
  size_t n = korva::crt::textToWide(nullptr, buffer_->chars(), 0);
  if (n == static_cast<size_t>(-1)) return -1;
  return static_cast<int>((n + 1) * sizeof(wchar_t));
}

int SAnsiString::getAnsiSize() const { return buffer_->nativeCharsUsed + 1; }

int SAnsiString::copyTo(char* buffer, int bytes) const {
  char* outBuffer = buffer;
  SSTRING_CHECK(outBuffer != 0, "outBuffer != 0", nullptr);
  if (!buffer) return -1;
  int nBytesInBuffer = bytes;
  int nBytesUsed = buffer_->nativeCharsUsed + 1;
  SSTRING_CHECK(nBytesInBuffer >= nBytesUsed, "nBytesInBuffer >= nBytesUsed", nullptr);
  if (nBytesInBuffer < nBytesUsed) return -1;
  std::memcpy(buffer, buffer_->chars(), static_cast<size_t>(nBytesUsed));
  return nBytesUsed;
}

// The whole text and its terminator, or -1 and an empty buffer: a conversion
// cut off at the buffer's end would leave it unterminated.
int SAnsiString::copyTo(wchar_t* buffer, int bytes) const {
  wchar_t* outBuffer = buffer;
  SSTRING_CHECK(outBuffer != NULL, "outBuffer!=NULL", nullptr);
  if (!buffer || bytes < 0) return -1;
  size_t units = static_cast<size_t>(bytes) / sizeof(wchar_t);
  size_t needed = korva::crt::textToWide(nullptr, buffer_->chars(), 0);
  if (needed == static_cast<size_t>(-1) || needed + 1 > units) {
    if (units > 0) buffer[0] = 0;
    return -1;
  }
  size_t done = korva::crt::textToWide(buffer, buffer_->chars(), units);
  if (done == static_cast<size_t>(-1)) {
    buffer[0] = 0;
    return -1;
  }
  return static_cast<int>(done) + 1;
}

// ---- changing ----

SAnsiString& SAnsiString::operator+=(char c) {
  if (c) appendUnits(buffer_, &c, 1);
  return *this;
}

void SAnsiString::setAt(int i, const SAnsiChar& c) {
  const char* begin = buffer_->chars();
  const char* end = begin + buffer_->nativeCharsUsed;
  const char* p = i < 0 ? end : mbcs::charAt(begin, end, i);
  SSTRING_CHECK(mbcs::step(p, end) > 0, "i < getNChars()", nullptr);
  if (mbcs::step(p, end) == 0) return;
  int oldLen = mbcs::charLength(p, static_cast<size_t>(end - p));
  int newLen = c.length();
  if (oldLen == newLen && oldLen > 0 && std::memcmp(p, c.bytes, static_cast<size_t>(oldLen)) == 0) {
    return;
  }
  // A zero character would cut the text short; it is refused like an invalid one.
  if (oldLen < 0 || newLen <= 0) {
    SSTRING_CHECK(false, "false",
                  "SString::setAt: Cannot set because c is not a valid character in this locale");
    return;
  }
  const int64_t offset = p - begin;
  const int64_t u = buffer_->nativeCharsUsed;
  sstring_detail::makeWritable(buffer_, u + newLen - oldLen);
  char* chars = buffer_->chars();
  if (newLen != oldLen) {
    int64_t nBytesToMove = u - offset - oldLen;
    SSTRING_CHECK(nBytesToMove >= 0, "nBytesToMove >= 0", nullptr);
    copyUnits(chars + offset + newLen, chars + offset + oldLen, nBytesToMove);
    setUsed(buffer_, u + newLen - oldLen);
  }
  std::memcpy(chars + offset, c.bytes, static_cast<size_t>(newLen));
}

void SAnsiString::insertAt(int i, const SAnsiChar& c) {
  int charSize = c.length();
  SSTRING_CHECK(charSize > 0, "charSize > 0", nullptr);
  if (charSize <= 0) return;
  const char* begin = buffer_->chars();
  const char* p = mbcs::charAt(begin, begin + buffer_->nativeCharsUsed, i < 0 ? 0 : i);
  insertUnits(buffer_, p - begin, c.bytes, charSize);
}

namespace {

// Maps every character of the value's text. A character that cannot be
// mapped, and a byte that starts no valid character, is kept as it is, so
// that no text is lost; the failed mapping is reported.
template <bool (*Map)(char*, int*)>
void mapCase(SAnsiBuffer*& b, const char* failure) {
  const char* begin = b->chars();
  const char* end = begin + b->nativeCharsUsed;
  std::string mapped;
  mapped.reserve(static_cast<size_t>(b->nativeCharsUsed));
  for (const char* p = begin; mbcs::step(p, end) > 0; p += mbcs::step(p, end)) {
    int s = mbcs::step(p, end);
    if (mbcs::charLength(p, static_cast<size_t>(end - p)) <= 0) {
      mapped.append(p, static_cast<size_t>(s));
      continue;
    }
    char dest[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(dest, p, static_cast<size_t>(s));
    int charSize = 0;
    bool ok = Map(dest, &charSize);
    if (!ok) {
      SSTRING_CHECK(false, failure, nullptr);
      mapped.append(p, static_cast<size_t>(s));
    } else {
      mapped.append(dest, static_cast<size_t>(charSize));
    }
  }
  const size_t textBytes = static_cast<size_t>(mbcs::charAt(begin, end, INT_MAX) - begin);
  if (mapped.size() == textBytes && std::memcmp(mapped.data(), begin, textBytes) == 0 &&
      textBytes == static_cast<size_t>(b->nativeCharsUsed)) {
    return;  // nothing changes: the block stays shared
  }
  assignUnits(b, mapped.data(), static_cast<int64_t>(mapped.size()));
}

}  // namespace

void SAnsiString::makeUpper() {
  mapCase<MakeUpperCaseChar>(buffer_, "MakeUpperCaseChar(dest, &charSize)");
}

void SAnsiString::makeLower() {
  mapCase<MakeLowerCaseChar>(buffer_, "MakeLowerCaseChar(dest, &charSize)");
}

// ---- comparison and concatenation ----

int SAnsiString::compare(const char* other) const { return mbcs::collate(buffer_->chars(), other); }

int SAnsiStringCI::compare(const char* other) const {
  return mbcs::collateNoCase(getBuffer(), other);
}

SAnsiString operator+(const SAnsiString& a, const SAnsiString& b) {
  SAnsiString r(a);
  r += b;
  return r;
}

SAnsiString operator+(const SAnsiString& a, const char* b) {
  SAnsiString r(a);
  r += b;
  return r;
}

SAnsiString operator+(const char* a, const SAnsiString& b) {
  SAnsiString r(a);
  r += b;
  return r;
}
