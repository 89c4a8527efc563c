// The C runtime's own text functions on Windows: _mbscoll, _mbsicoll,
// _mbstrlen and _mbsstr follow the locale and the multibyte code page in
// force; _wcsupr and _wcslwr map UTF-16 code units.
//
// Thread-safety: the runtime keeps its locale data per process; safe while
// nobody changes the locale. Ownership: nothing is kept.
#include <mbstring.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "platform/crt_text.h"

namespace korva {
namespace crt {
namespace {

const unsigned char* bytes(const char* text) {
  return reinterpret_cast<const unsigned char*>(text);
}

}  // namespace

int collate(const char* a, const char* b) { return _mbscoll(bytes(a), bytes(b)); }

int collateNoCase(const char* a, const char* b) { return _mbsicoll(bytes(a), bytes(b)); }

long charCount(const char* text) {
  const size_t n = _mbstrlen(text);
  return n == static_cast<size_t>(-1) ? -1 : static_cast<long>(n);
}

const char* findText(const char* text, const char* sub) {
  return reinterpret_cast<const char*>(_mbsstr(bytes(text), bytes(sub)));
}

wchar_t upperWide(wchar_t c) {
  wchar_t text[2] = {c, 0};
  _wcsupr(text);
  return text[0];
}

wchar_t lowerWide(wchar_t c) {
  wchar_t text[2] = {c, 0};
  _wcslwr(text);
  return text[0];
}

}  // namespace crt
}  // namespace korva
