// The C runtime's text functions on POSIX, which has none of them: collation
// through the wide form of the texts (with a byte-order shortcut where it
// cannot differ), and character walks over mbrlen in which a byte that starts
// no character is a character of its own.
//
// Thread-safety: conversions keep their state on the stack; the shortcut's
// check of the character type is cached per thread.
// Ownership: nothing is kept.
#include <algorithm>
#include <cctype>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

#include "platform/crt_text.h"

namespace korva {
namespace crt {
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
    for (wchar_t* p = text_; *p; ++p)
      *p = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*p)));
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
  int plain = 0;
  if (plainCompare(a, b, &plain)) return plain;
  WideForm wa(a);
  WideForm wb(b);
  if (wa.ok() && wb.ok()) return sign(std::wcscoll(wa.text(), wb.text()));
  return sign(std::strcoll(a, b));
}

int collateNoCase(const char* a, const char* b) {
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

namespace {

// Bytes of the character at p: its length, or 1 where the bytes start no
// character; 0 at the terminator. Sets *valid to false for such a byte.
size_t stepOver(const char* p, bool* valid) {
  if (*p == 0) return 0;
  std::mbstate_t state{};
  size_t r = std::mbrlen(p, static_cast<size_t>(kMaxCharBytes), &state);
  if (r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2) || r == 0) {
    if (valid) *valid = false;
    return 1;
  }
  return r;
}

}  // namespace

int charLength(const char* p, size_t maxBytes) {
  if (p == nullptr) return -1;
  std::mbstate_t state{};
  const size_t r = std::mbrlen(p, std::min<size_t>(maxBytes, kMaxCharBytes), &state);
  if (r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2)) return -1;
  return static_cast<int>(r);
}

bool charToWide(const char* p, size_t maxBytes, wchar_t* out) {
  std::mbstate_t state{};
  wchar_t wc = 0;
  const size_t r = std::mbrtowc(&wc, p, std::min<size_t>(maxBytes, kMaxCharBytes), &state);
  if (r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2)) return false;
  *out = wc;
  return true;
}

int charFromWide(wchar_t c, char* out) {
  char bytes[MB_LEN_MAX > 8 ? MB_LEN_MAX : 8];
  std::mbstate_t state{};
  const size_t n = std::wcrtomb(bytes, c, &state);
  if (n == static_cast<size_t>(-1) || n > static_cast<size_t>(kMaxCharBytes)) return -1;
  std::memcpy(out, bytes, n);
  return static_cast<int>(n);
}

size_t textToWide(wchar_t* out, const char* text, size_t room) {
  const size_t needed = std::mbstowcs(nullptr, text, 0);
  if (out == nullptr || needed == static_cast<size_t>(-1)) return needed;
  if (needed > room) return static_cast<size_t>(-1);
  return std::mbstowcs(out, text, room);
}

size_t textFromWide(char* out, const wchar_t* text, size_t room) {
  const size_t needed = std::wcstombs(nullptr, text, 0);
  if (out == nullptr || needed == static_cast<size_t>(-1)) return needed;
  if (needed > room) return static_cast<size_t>(-1);
  return std::wcstombs(out, text, room);
}

long charCount(const char* text) {
  long n = 0;
  bool valid = true;
  for (size_t s = stepOver(text, &valid); s > 0; s = stepOver(text, &valid)) {
    text += s;
    ++n;
  }
  return valid ? n : -1;
}

const char* findText(const char* text, const char* sub) {
  const size_t wanted = std::strlen(sub);
  for (;;) {
    if (std::strncmp(text, sub, wanted) == 0) return text;
    size_t s = stepOver(text, nullptr);
    if (s == 0) return nullptr;
    text += s;
  }
}

wchar_t upperWide(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

wchar_t lowerWide(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

}  // namespace crt
}  // namespace korva
