// The support library's text types: SAnsiString (8-bit multibyte text),
// SAnsiStringCI (the same, compared without regard to case) and SWCharString
// (wide text, wchar_t code units).
//
// A value is one pointer to a shared, reference-counted SStringBuffer block;
// copies share the block and the first change gives the value a private one
// (copy on write). Empty values share a static empty block and never allocate.
// All character handling goes through the C runtime's current locale; the
// library never selects a locale itself.
//
// Thread-safety: values may be copied and destroyed on any thread (the block's
// count changes atomically); one value must not be changed from two threads.
// Ownership: each value owns one reference to its block.
#ifndef KORVA_SUPPORT_SSTRING_H_
#define KORVA_SUPPORT_SSTRING_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// One block of the C heap: header followed by the code units and a terminator.
// nativeCharsAllocated == -1 marks a static empty block.
template <typename CharT>
struct SStringBuffer {
  std::atomic<int32_t> refCount;
  int32_t nativeCharsUsed;
  int32_t nativeCharsAllocated;
  CharT* chars() { return reinterpret_cast<CharT*>(this + 1); }
  const CharT* chars() const { return reinterpret_cast<const CharT*>(this + 1); }
  bool isStatic() const { return nativeCharsAllocated == -1; }
};

using SAnsiBuffer = SStringBuffer<char>;
using SWideBuffer = SStringBuffer<wchar_t>;

// The static empty blocks, set up before any string is built.
SAnsiBuffer* emptyAnsiBuffer();
SWideBuffer* emptyWideBuffer();

// For tests: the count-th block allocation or reallocation from now (1 = the
// next) fails as if the heap were exhausted; 0 turns the hook off.
void sstringFailAllocationAt(int count);

// One multibyte character: 6 bytes, zero-filled, its first mblen bytes count.
struct SAnsiChar {
  char bytes[6] = {0, 0, 0, 0, 0, 0};
  SAnsiChar() = default;
  SAnsiChar(char c) { bytes[0] = c; }  // NOLINT: a single-byte character
  explicit SAnsiChar(const char* mb);  // the character that starts at mb
  int length() const;                  // mblen of the stored character, -1 if invalid
  bool operator==(const SAnsiChar& o) const;
  bool operator!=(const SAnsiChar& o) const { return !(*this == o); }
};

// Case helpers: map the multibyte character at dest in place, reporting its new
// byte length through charSize. False when the character cannot be converted.
bool MakeUpperCaseChar(char* dest, int* charSize);
bool MakeLowerCaseChar(char* dest, int* charSize);

// What the 8-bit and the wide text types share: the block handling (copies,
// assignment, conversion from the other type's text, growth, copy on write)
// and the edits that only need positions in the text. Each type walks its
// text its own way: the 8-bit one by multibyte characters, the wide one by
// code units. Derived is the text type itself, the type of the values given
// back. Members are instantiated for the two types in sstring_base.cc.
template <typename CharT, typename Derived>
class SStringBase {
 public:
  static constexpr int npos = -1;
  using OtherChar = std::conditional_t<sizeof(CharT) == 1, wchar_t, char>;

  SStringBase(const SStringBase& other);
  SStringBase(SStringBase&& other) noexcept;
  ~SStringBase();
  SStringBase& operator=(const SStringBase& other);
  SStringBase& operator=(SStringBase&& other) noexcept;

  // From the other type's text (wcstombs or mbstowcs). False (value unchanged)
  // when the text cannot be converted; a null text leaves the value unchanged
  // and answers true.
  bool assign(const OtherChar* text);

  const CharT* getBuffer() const { return buffer_->chars(); }
  int getNBytes() const { return buffer_->nativeCharsUsed; }  // code units
  bool isEmpty() const { return buffer_->nativeCharsUsed == 0; }

  // Character positions, as the type counts them.
  Derived left(int n) const;
  Derived right(int n) const;
  Derived mid(int i) const;
  Derived mid(int i, int n) const;

  bool toInteger(long* out, int base = 10) const;

  Derived& operator+=(const Derived& s);
  Derived& operator+=(const CharT* s);
  Derived& append(const CharT* s, int count);  // up to count units, to a zero unit

  void insertAt(int i, const Derived& s);
  void deleteAt(int i, int n);
  void trimLeft();
  void trimRight();
  void trim();

  // Makes the block private and able to hold n code units (plus terminator).
  void makeWritable(int n);

  // Introspection, for tests and benchmarks.
  const SStringBuffer<CharT>* block() const { return buffer_; }
  int capacity() const { return buffer_->nativeCharsAllocated; }

 protected:
  SStringBase();
  explicit SStringBase(const CharT* text);
  SStringBase(const CharT* text, int count);
  void assignText(const CharT* text);

  SStringBuffer<CharT>* buffer_;
};

class SAnsiString : public SStringBase<char, SAnsiString> {
 public:
  SAnsiString() = default;
  SAnsiString(const char* text) : SStringBase(text) {}  // NOLINT: implicit, like the text it holds
  SAnsiString(const char* text, int count) : SStringBase(text, count) {}
  SAnsiString& operator=(const char* text) {
    assignText(text);
    return *this;
  }

  int getNChars() const;
  SAnsiChar getAt(int i) const;

  // Character positions; npos when absent.
  int find(const SAnsiChar& c) const;
  int reverseFind(const SAnsiChar& c) const;
  int findString(const char* s) const;

  int getWideSize() const;  // bytes of the wide form with terminator, -1 on failure
  int getAnsiSize() const;  // nativeCharsUsed + 1
  int copyTo(char* buffer, int bytes) const;
  int copyTo(wchar_t* buffer, int bytes) const;

  using SStringBase::operator+=;
  SAnsiString& operator+=(char c);

  void setAt(int i, const SAnsiChar& c);
  using SStringBase::insertAt;
  void insertAt(int i, const SAnsiChar& c);
  void makeUpper();
  void makeLower();

  // Ordering: locale collation, case significant; null is "".
  int compare(const char* other) const;
};

SAnsiString operator+(const SAnsiString& a, const SAnsiString& b);
SAnsiString operator+(const SAnsiString& a, const char* b);
SAnsiString operator+(const char* a, const SAnsiString& b);

inline bool operator==(const SAnsiString& a, const SAnsiString& b) {
  return a.compare(b.getBuffer()) == 0;
}
inline bool operator!=(const SAnsiString& a, const SAnsiString& b) {
  return a.compare(b.getBuffer()) != 0;
}
inline bool operator<(const SAnsiString& a, const SAnsiString& b) {
  return a.compare(b.getBuffer()) < 0;
}
inline bool operator<=(const SAnsiString& a, const SAnsiString& b) {
  return a.compare(b.getBuffer()) <= 0;
}
inline bool operator>(const SAnsiString& a, const SAnsiString& b) {
  return a.compare(b.getBuffer()) > 0;
}
inline bool operator>=(const SAnsiString& a, const SAnsiString& b) {
  return a.compare(b.getBuffer()) >= 0;
}
inline bool operator==(const SAnsiString& a, const char* b) { return a.compare(b) == 0; }
inline bool operator!=(const SAnsiString& a, const char* b) { return a.compare(b) != 0; }

// Same text type, compared with case-insensitive collation (-1, 0, 1).
class SAnsiStringCI : public SAnsiString {
 public:
  using SAnsiString::SAnsiString;
  SAnsiStringCI() = default;
  SAnsiStringCI(const SAnsiString& s) : SAnsiString(s) {}  // NOLINT
  SAnsiStringCI& operator=(const char* text) {
    SAnsiString::operator=(text);
    return *this;
  }
  int compare(const char* other) const;
};

inline bool operator==(const SAnsiStringCI& a, const SAnsiStringCI& b) {
  return a.compare(b.getBuffer()) == 0;
}
inline bool operator!=(const SAnsiStringCI& a, const SAnsiStringCI& b) {
  return a.compare(b.getBuffer()) != 0;
}
inline bool operator<(const SAnsiStringCI& a, const SAnsiStringCI& b) {
  return a.compare(b.getBuffer()) < 0;
}
inline bool operator==(const SAnsiStringCI& a, const char* b) { return a.compare(b) == 0; }
// The rest of the set, so that no comparison of two case-insensitive values
// falls back to the case-sensitive operators of the base class.
inline bool operator<=(const SAnsiStringCI& a, const SAnsiStringCI& b) {
  return a.compare(b.getBuffer()) <= 0;
}
inline bool operator>(const SAnsiStringCI& a, const SAnsiStringCI& b) {
  return a.compare(b.getBuffer()) > 0;
}
inline bool operator>=(const SAnsiStringCI& a, const SAnsiStringCI& b) {
  return a.compare(b.getBuffer()) >= 0;
}
inline bool operator!=(const SAnsiStringCI& a, const char* b) { return a.compare(b) != 0; }

class SWCharString : public SStringBase<wchar_t, SWCharString> {
 public:
  SWCharString() = default;
  SWCharString(const wchar_t* text) : SStringBase(text) {}  // NOLINT
  SWCharString(const wchar_t* text, int count) : SStringBase(text, count) {}
  SWCharString& operator=(const wchar_t* text) {
    assignText(text);
    return *this;
  }

  int getNChars() const { return buffer_->nativeCharsUsed; }
  // The zero character for an index outside the text, as the 8-bit getAt.
  wchar_t getAt(int i) const;

  int find(wchar_t c) const;
  int reverseFind(wchar_t c) const;
  int findString(const wchar_t* s) const;

  int getWideSize() const;
  int getAnsiSize() const;  // -1 when the text cannot be converted
  int copyTo(char* buffer, int bytes) const;
  int copyTo(wchar_t* buffer, int bytes) const;

  void setAt(int i, wchar_t c);
  void makeUpper();
  void makeLower();

  int compare(const wchar_t* other) const;  // wcscoll
};

SWCharString operator+(const SWCharString& a, const SWCharString& b);
inline bool operator==(const SWCharString& a, const SWCharString& b) {
  return a.compare(b.getBuffer()) == 0;
}
inline bool operator!=(const SWCharString& a, const SWCharString& b) {
  return a.compare(b.getBuffer()) != 0;
}
inline bool operator<(const SWCharString& a, const SWCharString& b) {
  return a.compare(b.getBuffer()) < 0;
}
inline bool operator<=(const SWCharString& a, const SWCharString& b) {
  return a.compare(b.getBuffer()) <= 0;
}
inline bool operator>(const SWCharString& a, const SWCharString& b) {
  return a.compare(b.getBuffer()) > 0;
}
inline bool operator>=(const SWCharString& a, const SWCharString& b) {
  return a.compare(b.getBuffer()) >= 0;
}
inline bool operator==(const SWCharString& a, const wchar_t* b) { return a.compare(b) == 0; }
inline bool operator!=(const SWCharString& a, const wchar_t* b) { return a.compare(b) != 0; }

extern template class SStringBase<char, SAnsiString>;
extern template class SStringBase<wchar_t, SWCharString>;

#endif  // KORVA_SUPPORT_SSTRING_H_
