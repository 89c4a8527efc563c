// SWCharString: wide text (wchar_t code units) on shared, copy-on-write
// blocks. A character is one code unit.
//
// Thread-safety: see sstring.h. Ownership: each value holds one reference.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "support/mbcs.h"
#include "support/sstring.h"
#include "support/sstring_buffer.h"

using namespace sstring_detail;

namespace {

int boundedLength(const wchar_t* text, int count) {
  const wchar_t* zero = std::wmemchr(text, L'\0', static_cast<size_t>(count));
  return zero ? static_cast<int>(zero - text) : count;
}

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

SWCharString::SWCharString() : buffer_(emptyWideBuffer()) {}

SWCharString::SWCharString(const wchar_t* text) : buffer_(emptyWideBuffer()) {
  if (text && *text) buffer_ = blockFromUnits(text, static_cast<int64_t>(std::wcslen(text)));
}

SWCharString::SWCharString(const wchar_t* text, int count) : buffer_(emptyWideBuffer()) {
  const wchar_t* r = text;
  int nNativeChars = count;
  SSTRING_CHECK(r != nullptr || nNativeChars == 0, "r!=NULL || nNativeChars==0", nullptr);
  if (count < 0) count = 0;
  SWideBuffer* b = allocateBlock<wchar_t>(static_cast<int64_t>(count) + 1);
  int copied = text ? boundedLength(text, count) : 0;
  if (copied > 0) std::wmemcpy(b->chars(), text, static_cast<size_t>(copied));
  std::wmemset(b->chars() + copied, L'\0', static_cast<size_t>(count - copied));
  setUsed(b, count);
  buffer_ = b;
}

SWCharString::SWCharString(const SWCharString& other) : buffer_(other.buffer_) {
  addRef(buffer_);
}

SWCharString::SWCharString(SWCharString&& other) noexcept : buffer_(other.buffer_) {
  other.buffer_ = emptyWideBuffer();
}

SWCharString::~SWCharString() { release(buffer_); }

SWCharString& SWCharString::operator=(const SWCharString& other) {
  if (buffer_ == other.buffer_) return *this;
  addRef(other.buffer_);
  release(buffer_);
  buffer_ = other.buffer_;
  return *this;
}

SWCharString& SWCharString::operator=(SWCharString&& other) noexcept {
  if (this != &other) {
    release(buffer_);
    buffer_ = other.buffer_;
    other.buffer_ = emptyWideBuffer();
  }
  return *this;
}

SWCharString& SWCharString::operator=(const wchar_t* text) {
  if (text == buffer_->chars()) return *this;
  if (!text || !*text) {
    makeEmpty(buffer_);
    return *this;
  }
  assignUnits(buffer_, text, static_cast<int64_t>(std::wcslen(text)));
  return *this;
}

bool SWCharString::assign(const char* text) {
  if (!text) return true;
  size_t length = std::mbstowcs(nullptr, text, 0);
  if (length == static_cast<size_t>(-1)) return false;
  if (length > static_cast<size_t>(INT32_MAX - 64)) throwBadAlloc();
  SWideBuffer* b = allocateBlock<wchar_t>(static_cast<int64_t>(length) + 1);
  size_t done = std::mbstowcs(b->chars(), text, length + 1);
  if (done == static_cast<size_t>(-1)) {
    release(b);
    return false;
  }
  setUsed(b, static_cast<int64_t>(done));
  release(buffer_);
  buffer_ = b;
  return true;
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

SWCharString SWCharString::left(int n) const {
  if (n <= 0) return SWCharString();
  if (n > buffer_->nativeCharsUsed) n = buffer_->nativeCharsUsed;
  if (n == 0) return SWCharString();
  return SWCharString(buffer_->chars(), n);
}

SWCharString SWCharString::right(int n) const {
  const int total = buffer_->nativeCharsUsed;
  if (n >= total) return *this;
  if (n <= 0) return SWCharString();
  return SWCharString(buffer_->chars() + (total - n), n);
}

SWCharString SWCharString::mid(int i) const {
  if (i < 0) i = 0;
  const int total = buffer_->nativeCharsUsed;
  if (i >= total) return SWCharString();
  return SWCharString(buffer_->chars() + i, total - i);
}

SWCharString SWCharString::mid(int i, int n) const {
  if (i < 0) i = 0;
  const int total = buffer_->nativeCharsUsed;
  if (n <= 0 || i >= total) return SWCharString();
  if (n > total - i) n = total - i;
  return SWCharString(buffer_->chars() + i, n);
}

int SWCharString::getWideSize() const {
  return static_cast<int>((static_cast<size_t>(buffer_->nativeCharsUsed) + 1) * sizeof(wchar_t));
}

int SWCharString::getAnsiSize() const {
  size_t n = std::wcstombs(nullptr, buffer_->chars(), 0);
  if (n == static_cast<size_t>(-1)) return -1;
  return static_cast<int>(n) + 1;
}

// The whole text and its terminator, or -1 and an empty buffer: a conversion
// cut off at the buffer's end would leave it unterminated.
int SWCharString::copyTo(char* buffer, int bytes) const {
  char* outBuffer = buffer;
  SSTRING_CHECK(outBuffer != 0, "outBuffer != 0", nullptr);
  if (!buffer || bytes < 0) return -1;
  size_t needed = std::wcstombs(nullptr, buffer_->chars(), 0);
  if (needed == static_cast<size_t>(-1) || needed + 1 > static_cast<size_t>(bytes)) {
    if (bytes > 0) buffer[0] = 0;
    return -1;
  }
  size_t done = std::wcstombs(buffer, buffer_->chars(), static_cast<size_t>(bytes));
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

bool SWCharString::toInteger(long* out, int base) const {
  if (!out || isEmpty()) return false;
  const wchar_t* begin = buffer_->chars();
  wchar_t* stop = nullptr;
  errno = 0;
  long value = std::wcstol(begin, &stop, base);
  if (errno == ERANGE || stop == begin || stop != begin + buffer_->nativeCharsUsed) return false;
  *out = value;
  return true;
}

SWCharString& SWCharString::operator+=(const SWCharString& s) {
  appendUnits(buffer_, s.buffer_->chars(), s.buffer_->nativeCharsUsed);
  return *this;
}

SWCharString& SWCharString::operator+=(const wchar_t* s) {
  if (s) appendUnits(buffer_, s, static_cast<int64_t>(std::wcslen(s)));
  return *this;
}

SWCharString& SWCharString::append(const wchar_t* s, int count) {
  if (s && count > 0) appendUnits(buffer_, s, boundedLength(s, count));
  return *this;
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

void SWCharString::insertAt(int i, const SWCharString& s) {
  if (s.isEmpty()) return;
  SWCharString keep(s);  // s may be this value: its text must survive the change
  const int64_t u = buffer_->nativeCharsUsed;
  const int64_t at = i < 0 ? 0 : (i > u ? u : i);
  const int64_t m = keep.getNBytes();
  sstring_detail::makeWritable(buffer_, u + m);
  wchar_t* chars = buffer_->chars();
  copyUnits(chars + at + m, chars + at, u - at);
  copyUnits(chars + at, keep.getBuffer(), m);
  setUsed(buffer_, u + m);
}

void SWCharString::deleteAt(int i, int n) {
  const int64_t u = buffer_->nativeCharsUsed;
  if (i < 0 || n <= 0 || i >= u) return;
  const int64_t count = n > u - i ? u - i : n;
  sstring_detail::makeWritable(buffer_, u);
  wchar_t* chars = buffer_->chars();
  copyUnits(chars + i, chars + i + count, u - i - count);
  setUsed(buffer_, u - count);
}

void SWCharString::trimLeft() {
  const wchar_t* chars = buffer_->chars();
  const int64_t u = buffer_->nativeCharsUsed;
  int64_t skipped = 0;
  while (skipped < u && chars[skipped] != 0 && mbcs::isWhiteSpace(chars[skipped])) ++skipped;
  if (skipped == 0) return;
  if (skipped == u || chars[skipped] == 0) {
    makeEmpty(buffer_);
    return;
  }
  sstring_detail::makeWritable(buffer_, u);
  wchar_t* w = buffer_->chars();
  copyUnits(w, w + skipped, u - skipped);
  setUsed(buffer_, u - skipped);
}

void SWCharString::trimRight() {
  const wchar_t* chars = buffer_->chars();
  const int64_t u = buffer_->nativeCharsUsed;
  int64_t keepEnd = -1;
  for (int64_t i = 0; i < u && chars[i] != 0; ++i) {
    if (!mbcs::isWhiteSpace(chars[i])) keepEnd = i + 1;
  }
  if (keepEnd < 0) {
    makeEmpty(buffer_);
    return;
  }
  if (keepEnd == u || chars[keepEnd] == 0) return;
  sstring_detail::makeWritable(buffer_, u);
  setUsed(buffer_, keepEnd);
}

void SWCharString::trim() {
  trimRight();
  trimLeft();
}

namespace {

// Maps every unit; the block is made private only when something changes.
void mapWideCase(SWideBuffer*& b, bool upper) {
  const int64_t u = b->nativeCharsUsed;
  for (int64_t i = 0; i < u; ++i) {
    wchar_t c = b->chars()[i];
    if (c == 0) break;
    wchar_t m = static_cast<wchar_t>(upper ? std::towupper(static_cast<wint_t>(c))
                                           : std::towlower(static_cast<wint_t>(c)));
    if (m == c) continue;
    sstring_detail::makeWritable(b, u);
    b->chars()[i] = m;
  }
}

}  // namespace

void SWCharString::makeUpper() { mapWideCase(buffer_, true); }
void SWCharString::makeLower() { mapWideCase(buffer_, false); }

void SWCharString::makeWritable(int n) { sstring_detail::makeWritable(buffer_, n < 0 ? 0 : n); }

int SWCharString::compare(const wchar_t* other) const {
  return sign(std::wcscoll(buffer_->chars(), other ? other : L""));
}

SWCharString operator+(const SWCharString& a, const SWCharString& b) {
  SWCharString r(a);
  r += b;
  return r;
}
