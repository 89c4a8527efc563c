// SStringBase: the members that SAnsiString and SWCharString share, written
// once over the code unit type and instantiated for both at the end.
//
// Positions are walked through the overloads below: the 8-bit text by
// multibyte characters, stopping at a zero byte; the wide text by code units,
// up to the used length (trimming stops at a zero unit, as the 8-bit walk does).
//
// Thread-safety: see sstring.h. Ownership: each value holds one reference.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "platform/crt_text.h"
#include "support/mbcs.h"
#include "support/sstring.h"
#include "support/sstring_buffer.h"

using namespace sstring_detail;

namespace {

const char* charAt(const char* p, const char* end, int n) { return mbcs::charAt(p, end, n); }
const wchar_t* charAt(const wchar_t* p, const wchar_t* end, int n) {
  return n < end - p ? p + n : end;
}

int step(const char* p, const char* end) { return mbcs::step(p, end); }
int step(const wchar_t* p, const wchar_t* end) { return p < end && *p ? 1 : 0; }

bool isWhiteSpaceAt(const char* p, const char* end) { return mbcs::isWhiteSpaceAt(p, end); }
bool isWhiteSpaceAt(const wchar_t* p, const wchar_t* end) {
  return step(p, end) > 0 && mbcs::isWhiteSpace(*p);
}

size_t convert(char* out, const wchar_t* text, size_t n) {
  return korva::crt::textFromWide(out, text, n);
}
size_t convert(wchar_t* out, const char* text, size_t n) {
  return korva::crt::textToWide(out, text, n);
}

long toLong(const char* p, char** stop, int base) { return std::strtol(p, stop, base); }
long toLong(const wchar_t* p, wchar_t** stop, int base) { return std::wcstol(p, stop, base); }

// Units of text up to count or the first zero unit, whichever comes first.
template <typename CharT>
int boundedLength(const CharT* text, int count) {
  const CharT* zero = std::char_traits<CharT>::find(text, static_cast<size_t>(count), CharT(0));
  return zero ? static_cast<int>(zero - text) : count;
}

}  // namespace

// ---- construction and assignment ----

template <typename CharT, typename Derived>
SStringBase<CharT, Derived>::SStringBase() : buffer_(emptyBuffer<CharT>()) {}

template <typename CharT, typename Derived>
SStringBase<CharT, Derived>::SStringBase(const CharT* text) : buffer_(emptyBuffer<CharT>()) {
  if (text && *text) buffer_ = blockFromUnits(text, std::char_traits<CharT>::length(text));
}

// count units: the text up to its first zero unit, zeros after it.
template <typename CharT, typename Derived>
SStringBase<CharT, Derived>::SStringBase(const CharT* text, int count)
    : buffer_(emptyBuffer<CharT>()) {
  const CharT* r = text;
  int nNativeChars = count;
  SSTRING_CHECK(r != nullptr || nNativeChars == 0, "r!=NULL || nNativeChars==0", nullptr);
  if (count < 0) count = 0;
  SStringBuffer<CharT>* b = allocateBlock<CharT>(static_cast<int64_t>(count) + 1);
  int copied = text ? boundedLength(text, count) : 0;
  copyUnits(b->chars(), text, copied);
  std::char_traits<CharT>::assign(b->chars() + copied, static_cast<size_t>(count - copied),
                                  CharT(0));
  setUsed(b, count);
  buffer_ = b;
}

template <typename CharT, typename Derived>
SStringBase<CharT, Derived>::SStringBase(const SStringBase& other) : buffer_(other.buffer_) {
  addRef(buffer_);
}

template <typename CharT, typename Derived>
SStringBase<CharT, Derived>::SStringBase(SStringBase&& other) noexcept : buffer_(other.buffer_) {
  other.buffer_ = emptyBuffer<CharT>();
}

template <typename CharT, typename Derived>
SStringBase<CharT, Derived>::~SStringBase() {
  release(buffer_);
}

template <typename CharT, typename Derived>
SStringBase<CharT, Derived>& SStringBase<CharT, Derived>::operator=(const SStringBase& other) {
  if (buffer_ == other.buffer_) return *this;
  addRef(other.buffer_);
  release(buffer_);
  buffer_ = other.buffer_;
  return *this;
}

template <typename CharT, typename Derived>
SStringBase<CharT, Derived>& SStringBase<CharT, Derived>::operator=(SStringBase&& other) noexcept {
  if (this != &other) {
    release(buffer_);
    buffer_ = other.buffer_;
    other.buffer_ = emptyBuffer<CharT>();
  }
  return *this;
}

template <typename CharT, typename Derived>
void SStringBase<CharT, Derived>::assignText(const CharT* text) {
  if (text == buffer_->chars()) return;
  if (!text || !*text) return makeEmpty(buffer_);
  assignUnits(buffer_, text, std::char_traits<CharT>::length(text));
}

template <typename CharT, typename Derived>
bool SStringBase<CharT, Derived>::assign(const OtherChar* text) {
  if (!text) return true;
  size_t length = convert(nullptr, text, 0);
  if (length == static_cast<size_t>(-1)) return false;
  if (length > static_cast<size_t>(INT32_MAX - 64)) throwBadAlloc();
  SStringBuffer<CharT>* b = allocateBlock<CharT>(static_cast<int64_t>(length) + 1);
  size_t done = convert(b->chars(), text, length + 1);
  if (done == static_cast<size_t>(-1)) {
    release(b);
    return false;
  }
  setUsed(b, static_cast<int64_t>(done));
  release(buffer_);
  buffer_ = b;
  return true;
}

// ---- reading ----

template <typename CharT, typename Derived>
Derived SStringBase<CharT, Derived>::left(int n) const {
  return mid(0, n);
}

template <typename CharT, typename Derived>
Derived SStringBase<CharT, Derived>::right(int n) const {
  int total = static_cast<const Derived*>(this)->getNChars();
  if (n >= total) return static_cast<const Derived&>(*this);
  if (n <= 0) return Derived();
  return mid(total - n);
}

template <typename CharT, typename Derived>
Derived SStringBase<CharT, Derived>::mid(int i) const {
  return mid(i, INT_MAX);
}

template <typename CharT, typename Derived>
Derived SStringBase<CharT, Derived>::mid(int i, int n) const {
  if (i < 0) i = 0;
  if (n <= 0) return Derived();
  const CharT* end = buffer_->chars() + buffer_->nativeCharsUsed;
  const CharT* p = charAt(buffer_->chars(), end, i);
  const CharT* q = charAt(p, end, n);
  if (q == p) return Derived();
  return Derived(p, static_cast<int>(q - p));
}

// Fails (out untouched) on an empty text, on characters left over and on a
// value out of range, which strtol would clamp silently.
template <typename CharT, typename Derived>
bool SStringBase<CharT, Derived>::toInteger(long* out, int base) const {
  if (!out || isEmpty()) return false;
  const CharT* begin = buffer_->chars();
  CharT* stop = nullptr;
  errno = 0;
  long value = toLong(begin, &stop, base);
  if (errno == ERANGE || stop == begin || stop != begin + buffer_->nativeCharsUsed) return false;
  *out = value;
  return true;
}

// ---- changing ----

template <typename CharT, typename Derived>
Derived& SStringBase<CharT, Derived>::operator+=(const Derived& s) {
  appendUnits(buffer_, s.getBuffer(), s.getNBytes());
  return static_cast<Derived&>(*this);
}

template <typename CharT, typename Derived>
Derived& SStringBase<CharT, Derived>::operator+=(const CharT* s) {
  if (s) appendUnits(buffer_, s, std::char_traits<CharT>::length(s));
  return static_cast<Derived&>(*this);
}

template <typename CharT, typename Derived>
Derived& SStringBase<CharT, Derived>::append(const CharT* s, int count) {
  if (s && count > 0) appendUnits(buffer_, s, boundedLength(s, count));
  return static_cast<Derived&>(*this);
}

template <typename CharT, typename Derived>
void SStringBase<CharT, Derived>::makeWritable(int n) {
  sstring_detail::makeWritable(buffer_, n < 0 ? 0 : n);
}

template <typename CharT, typename Derived>
void SStringBase<CharT, Derived>::insertAt(int i, const Derived& s) {
  if (s.isEmpty()) return;
  Derived keep(s);  // s may be this value: its text must survive the change
  const CharT* begin = buffer_->chars();
  const CharT* p = charAt(begin, begin + buffer_->nativeCharsUsed, i < 0 ? 0 : i);
  insertUnits(buffer_, p - begin, keep.getBuffer(), keep.getNBytes());
}

template <typename CharT, typename Derived>
void SStringBase<CharT, Derived>::deleteAt(int i, int n) {
  if (i < 0 || n <= 0) return;
  const CharT* begin = buffer_->chars();
  const CharT* end = begin + buffer_->nativeCharsUsed;
  const CharT* p = charAt(begin, end, i);
  const CharT* q = charAt(p, end, n);
  const int64_t byteN = p - begin;
  const int64_t nBytesToDelete = q - p;
  const int64_t nBytesInString = buffer_->nativeCharsUsed;
  if (nBytesToDelete == 0) return;
  SSTRING_CHECK(byteN + nBytesToDelete <= nBytesInString,
                "byteN + nBytesToDelete <= nBytesInString", nullptr);
  eraseUnits(buffer_, byteN, nBytesToDelete);
}

template <typename CharT, typename Derived>
void SStringBase<CharT, Derived>::trimLeft() {
  const CharT* begin = buffer_->chars();
  const CharT* end = begin + buffer_->nativeCharsUsed;
  const CharT* p = begin;
  while (isWhiteSpaceAt(p, end)) p += step(p, end);
  if (p == begin) return;
  if (step(p, end) == 0) return makeEmpty(buffer_);
  eraseUnits(buffer_, 0, p - begin);
}

template <typename CharT, typename Derived>
void SStringBase<CharT, Derived>::trimRight() {
  const CharT* begin = buffer_->chars();
  const CharT* end = begin + buffer_->nativeCharsUsed;
  const CharT* keepEnd = nullptr;
  for (const CharT* p = begin; step(p, end) > 0; p += step(p, end)) {
    if (!isWhiteSpaceAt(p, end)) keepEnd = p + step(p, end);
  }
  if (!keepEnd) return makeEmpty(buffer_);
  if (step(keepEnd, end) == 0) return;
  const int64_t kept = keepEnd - begin;
  sstring_detail::makeWritable(buffer_, buffer_->nativeCharsUsed);
  setUsed(buffer_, kept);
}

template <typename CharT, typename Derived>
void SStringBase<CharT, Derived>::trim() {
  trimRight();
  trimLeft();
}

template class SStringBase<char, SAnsiString>;
template class SStringBase<wchar_t, SWCharString>;
