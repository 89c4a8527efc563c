// The C runtime's text functions on Windows. A character is one of the
// process's multibyte code page (_getmbcp): one byte, or a lead byte and the
// byte after it. Conversions to and from wide text go through that code page
// too, so they do not depend on the locale a host process selected (the C
// runtime's "C" locale would read every byte as the character of the same
// number). _mbscoll and _mbsicoll are the runtime's own, over the
// same code page; _wcsupr and _wcslwr map UTF-16 code units.
//
// Thread-safety: the runtime keeps its code page and locale per process;
// safe while nobody changes them. Ownership: nothing is kept.
#include <mbctype.h>
#include <mbstring.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "platform/crt_text.h"
#include "platform/win32/windows_api.h"

namespace korva {
namespace crt {
namespace {

const unsigned char* bytes(const char* text) {
  return reinterpret_cast<const unsigned char*>(text);
}

// The code page of the conversions: the runtime's multibyte one, or the
// ANSI code page where the runtime runs single-byte "C" (0).
UINT codePage() {
  const int page = _getmbcp();
  return page > 0 ? static_cast<UINT>(page) : CP_ACP;
}

// Code pages for which WideCharToMultiByte refuses the used-default flag.
bool takesUsedDefault(UINT page) { return page != CP_UTF8 && page != CP_UTF7; }

}  // namespace

int charLength(const char* p, size_t maxBytes) {
  if (p == nullptr || maxBytes == 0) return -1;
  if (*p == 0) return 0;
  if (!_ismbblead(static_cast<unsigned char>(*p))) return 1;
  return maxBytes >= 2 && p[1] != 0 ? 2 : -1;
}

bool charToWide(const char* p, size_t maxBytes, wchar_t* out) {
  const int length = charLength(p, maxBytes);
  if (length < 0) return false;
  if (length == 0) {
    *out = 0;
    return true;
  }
  wchar_t wide[2];
  if (MultiByteToWideChar(codePage(), MB_ERR_INVALID_CHARS, p, length, wide, 2) != 1) {
    return false;
  }
  *out = wide[0];
  return true;
}

int charFromWide(wchar_t c, char* out) {
  if (c == 0) {
    out[0] = 0;
    return 1;
  }
  const UINT page = codePage();
  BOOL usedDefault = FALSE;
  char buffer[kMaxCharBytes];
  const int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, &c, 1, buffer, sizeof buffer,
                                    nullptr, takesUsedDefault(page) ? &usedDefault : nullptr);
  if (n <= 0 || usedDefault) return -1;
  memcpy(out, buffer, static_cast<size_t>(n));
  return n;
}

size_t textToWide(wchar_t* out, const char* text, size_t room) {
  const size_t failed = static_cast<size_t>(-1);
  const int length = static_cast<int>(strlen(text));
  int needed = 0;
  if (length > 0) {
    needed = MultiByteToWideChar(codePage(), MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    if (needed <= 0) return failed;
  }
  if (out == nullptr) return static_cast<size_t>(needed);
  if (static_cast<size_t>(needed) > room) return failed;
  if (length > 0 &&
      MultiByteToWideChar(codePage(), MB_ERR_INVALID_CHARS, text, length, out, needed) != needed) {
    return failed;
  }
  if (static_cast<size_t>(needed) < room) out[needed] = 0;
  return static_cast<size_t>(needed);
}

size_t textFromWide(char* out, const wchar_t* text, size_t room) {
  const size_t failed = static_cast<size_t>(-1);
  const UINT page = codePage();
  const int length = static_cast<int>(wcslen(text));
  int needed = 0;
  if (length > 0) {
    BOOL usedDefault = FALSE;
    needed = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr,
                                 takesUsedDefault(page) ? &usedDefault : nullptr);
    if (needed <= 0 || usedDefault) return failed;
  }
  if (out == nullptr) return static_cast<size_t>(needed);
  if (static_cast<size_t>(needed) > room) return failed;
  if (length > 0 && WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, text, length, out, needed,
                                        nullptr, nullptr) != needed) {
    return failed;
  }
  if (static_cast<size_t>(needed) < room) out[needed] = 0;
  return static_cast<size_t>(needed);
}

int collate(const char* a, const char* b) { return _mbscoll(bytes(a), bytes(b)); }

int collateNoCase(const char* a, const char* b) { return _mbsicoll(bytes(a), bytes(b)); }

long charCount(const char* text) {
  long n = 0;
  for (;;) {
    const int length = charLength(text, kMaxCharBytes);
    if (length == 0) return n;
    if (length < 0) return -1;
    text += length;
    ++n;
  }
}

// A match starts on a character, never on the second byte of one. Not
// _mbsstr: some runtimes compare it byte by byte, and then "\" would be
// found inside a double-byte character.
const char* findText(const char* text, const char* sub) {
  const size_t n = strlen(sub);
  for (const char* p = text;;) {
    if (strncmp(p, sub, n) == 0) return p;
    if (*p == 0) return nullptr;
    const int length = charLength(p, kMaxCharBytes);
    p += length > 0 ? length : 1;
  }
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
